#include "calls/callqueue.h"
#include "config/configloader.h"
#include "support/corefixture.h"

#include <QtTest>

static const QString Patient = QStringLiteral("127.0.0.2");
static const QString Nurse = QStringLiteral("127.0.0.3");

// The core in process with fake units on loopback: a unit that goes takes
// its calls with it, and the screens that showed them are cleared.
class TestCallFlow : public QObject
{
    Q_OBJECT
private slots:
    void callsOfAUnitThatGoes_data()
    {
        // The units of the reloaded configuration; none: the patient's unit falls silent.
        QTest::addColumn<QStringList>("reloaded");
        QTest::addColumn<EndType>("end");
        QTest::newRow("stops answering") << QStringList{} << EndType::LostCommunication;
        QTest::newRow("deleted on reload") << QStringList{Nurse + " Fenno r2"} << EndType::UnitDeleted;
        QTest::newRow("moved on reload")
            << QStringList{Nurse + " Fenno r2", Patient + " Pardo r2"} << EndType::ConfigChanged;
    }
    void callsOfAUnitThatGoes()
    {
        QFETCH(QStringList, reloaded);
        CoreFixture core;
        QVERIFY(core.bringUp({Patient + " Pardo r1", Nurse + " Fenno r2"}, [](RespondingUnit* unit) {
            if (unit->address() == QHostAddress(Nurse))
                unit->setPresenceStatus("PS:1\nPP:0");
        }));
        // What the start-up still has on its way is of no interest.
        QVERIFY(core.settle());
        core.fake(Nurse)->clearReceived();

        QSignalSpy changes(core.core().callQueue(), &CallQueue::callChanged);
        core.fake(Patient)->sendCommand("CallChange", "VS:1");
        QVERIFY(core.fake(Nurse)->waitForCommand("DisplayCalls"));
        core.fake(Nurse)->clearReceived();
        if (reloaded.isEmpty()) {
            core.fake(Patient)->setSilent(true);
        } else {
            core.writeConfig(CoreFixture::config(reloaded));
            core.core().configLoader()->reload();
        }
        QVERIFY(core.fake(Nurse)->waitForCommand("DisplayCalls", 3000));
        QCOMPARE(core.fake(Nurse)->payloads("DisplayCalls"), QStringList{"Clear\n"});
        QVERIFY(core.core().callQueue()->isEmpty());
        QTEST(changes.last().at(0).value<Call>().endType(), "end");
    }
};

QTEST_GUILESS_MAIN(TestCallFlow)
#include "tst_callflow.moc"
