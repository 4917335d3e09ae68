#include "calls/call.h"
#include "calls/calls.h"
#include "rondel/records.h"
#include "simconsole.h"
#include "simulator.h"
#include "support/unitbus.h"
#include "units/models/unitmodels.h"
#include "units/rondelunitstatusretrieval.h"

#include <QtTest>

#include <memory>

namespace {

const QHostAddress SimIp(QStringLiteral("127.0.0.4"));

std::unique_ptr<RondelUnit> makeModel(const QString& type)
{
    switch (Unit::typeFromText(type)) {
    case Unit::FennoType: return std::make_unique<Fenno>(SimIp);
    case Unit::TolvaType: return std::make_unique<Tolva>(SimIp);
    case Unit::BrisaType: return std::make_unique<Brisa>(SimIp);
    case Unit::MeldeType: return std::make_unique<Melde>(SimIp);
    case Unit::PardoType: return std::make_unique<Pardo>(SimIp);
    case Unit::DeskaType: return std::make_unique<Deska>(SimIp);
    case Unit::LumoType: return std::make_unique<Lumo>(SimIp);
    case Unit::CorviType: return std::make_unique<Corvi>(SimIp);
    default: return nullptr;
    }
}

} // namespace

// The core's own unit objects on a real loopback bus, talking to simulated
// units: two independent implementations of the bus meet.
class TestSimCore : public QObject
{
    Q_OBJECT
private slots:
    void everyModelComesUpAndCalls_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("language"); // shown by a unit with a screen
        for (const QString& model : SimModel::names())
            QTest::newRow(qPrintable(model)) << model << (model == QLatin1String("Corvi") ? "" : "CZE");
    }

    void everyModelComesUpAndCalls()
    {
        QFETCH(QString, model);
        QFETCH(QString, language);

        LoopbackBus bus;
        QVERIFY(bus.isReady());
        Simulator simulator;
        simulator.load({{"units", QVariantList{QVariantMap{{"_id", SimIp.toString()}, {"type", model}}}}},
                       nullptr);
        QString error;
        QVERIFY2(simulator.bind(FakeUnit::CoreAddress, bus.port(), &error), qPrintable(error));
        SimUnit* simulated = simulator.unit(SimIp);
        SimConsole console(&simulator);

        std::unique_ptr<RondelUnit> unit = makeModel(model);
        QVERIFY(unit);
        unit->setRequestRepeatInterval(300);
        unit->statusRetrieval()->setStartSpread(1);
        unit->attach(bus.server());
        QSignalSpy done(unit.get(), &RondelUnit::retrievalDone);
        QSignalSpy updated(unit.get(), &Unit::basicInfoUpdated);
        unit->startStatusRetrieval();
        QVERIFY(done.wait(2000));
        unit->initialiseFromBasicInfo();
        unit->applyRetrievedState();
        QCOMPARE(updated.size(), 1);
        const BasicInfo info = updated.first().first().value<BasicInfo>();
        QCOMPARE(info.acronymPU, model);
        QCOMPARE(info.macAddress, QStringLiteral("02007F000004"));
        QTRY_COMPARE(simulated->language(), language);

        QCOMPARE(console.execute("call 127.0.0.4 AL").error, QString());
        QTRY_VERIFY(unit->calls()->ownCall().isAL());
        QCOMPARE(console.execute("cancel 127.0.0.4").error, QString());
        QTRY_VERIFY(!unit->calls()->hasOwnCall());
        QTRY_COMPARE(simulated->link()->queued(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSimCore)
#include "tst_simcore.moc"
