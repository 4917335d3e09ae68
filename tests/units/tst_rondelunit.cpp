#include "calls/call.h"
#include "calls/calls.h"
#include "support/respondingunit.h"
#include "support/unitbus.h"
#include "units/rondelunitstatusretrieval.h"
#include "units/models/unitmodels.h"

#include <QtTest>

#include <memory>

namespace {

const QHostAddress UnitIp(QStringLiteral("127.0.0.2"));
constexpr int Repeat = 300; // ms; units repeat their requests every 10 s

std::unique_ptr<RondelUnit> makeModel(const QString& type, const QHostAddress& ip)
{
    switch (Unit::typeFromText(type)) {
    case Unit::FennoType: return std::make_unique<Fenno>(ip);
    case Unit::TolvaType: return std::make_unique<Tolva>(ip);
    case Unit::BrisaType: return std::make_unique<Brisa>(ip);
    case Unit::PardoType: return std::make_unique<Pardo>(ip);
    case Unit::DeskaType: return std::make_unique<Deska>(ip);
    case Unit::LumoType: return std::make_unique<Lumo>(ip);
    case Unit::CorviType: return std::make_unique<Corvi>(ip);
    default: return nullptr;
    }
}

} // namespace

// A unit attached to the bus, talking to a fake unit over loopback UDP.

class TestRondelUnit : public QObject
{
    Q_OBJECT
private slots:
    void lumoAsksForEverythingAndRepeats()
    {
        LoopbackBus bus;
        FakeUnit* fake = bus.addUnit(UnitIp);
        QVERIFY(fake);
        Lumo lumo(UnitIp);
        lumo.setRequestRepeatInterval(Repeat);
        lumo.statusRetrieval()->setStartSpread(1);
        lumo.attach(bus.server());
        QSignalSpy done(&lumo, &RondelUnit::retrievalDone);

        lumo.startStatusRetrieval();
        QVERIFY(fake->waitForCommands("GetStatus", 2, 2000));
        const QList<FakeUnit::Datagram> asked = fake->commands("GetStatus");
        QCOMPARE(commandTexts(asked), QStringList({"GetStatus|All", "GetStatus|All"}));
        QVERIFY(asked.at(1).atMs - asked.at(0).atMs >= Repeat - 50);

        // It reports nothing beyond its identity: done at once, and no more asking.
        fake->sendCommand("BasicInfo", "AcronymPU:Lumo\nTypeGT:Lumo");
        QVERIFY(done.wait(2000));
        QTest::qWait(Repeat + 100);
        QCOMPARE(done.count(), 1);
        QCOMPARE(fake->commands("GetStatus").size(), 2);
    }

    void everyModelOverLoopback_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QStringList>("retrieval");
        QTest::addColumn<QStringList>("applied");
        QTest::addColumn<QStringList>("ownCall");
        QTest::addColumn<int>("sourceMode");

        const QString language = QStringLiteral("DisplayLanguage|Language:CZE");
        const QString clock =
            QStringLiteral("DisplayDateTime|Date:D\nTime:T\nBright1:20:00,100\nBright2:7:00,100");
        const QString setMode = QStringLiteral("SetMode|PS:Permanent\nPP:Permanent");
        const QString endCall = QStringLiteral("VoIP|EndCall");
        const QString connection = QStringLiteral("GetStatus|Connection");
        const QString config = QStringLiteral("GetStatus|Config");
        const QString pmb = QStringLiteral("PMBGetStatus|Info");
        const QString callsClear = QStringLiteral("DisplayCalls|Clear");
        const QString alBase = QStringLiteral("Buzz|Target:Base\nToneType:AL\nVolume:Day");
        const QString alMtf = QStringLiteral("Buzz|Target:Mtf\nToneType:AL\nVolume:Day");
        const QStringList fennoScreen{language, clock, callsClear, "DisplayPresences|Clear",
                                      "DisplayTalk|Clear", "DisplayWards|Clear"};
        const QStringList lumoScreen{language, clock, callsClear};
        const QStringList fullRetrieval{"BasicInfo", "Presence", "Call", "Notifications"};
        // The one-line screen shows date and time for the own call, chosen
        // again for the (empty) muted list.

        QTest::newRow("Fenno") << "Fenno" << fullRetrieval
                               << fennoScreen + QStringList{setMode, endCall} + fennoScreen
                                      + QStringList{pmb}
                               << QStringList{alMtf, callsClear} << 2;
        QTest::newRow("Tolva") << "Tolva" << fullRetrieval
                               << QStringList{language, clock, setMode, endCall, language, clock,
                                              connection, config, pmb}
                               << QStringList{alBase, clock, clock} << 1;
        QTest::newRow("Brisa") << "Brisa" << fullRetrieval
                               << QStringList{language, clock, endCall, language, clock, connection,
                                              config, pmb}
                               << QStringList{alBase, clock, clock} << 1;
        QTest::newRow("Pardo")
            << "Pardo" << fullRetrieval
            << QStringList{language, clock, endCall, language, clock, connection, config, pmb}
            << QStringList{alMtf, clock, clock} << 2;
        QTest::newRow("Deska") << "Deska" << QStringList{"BasicInfo", "Presence", "Call"}
                               << QStringList{language, clock, setMode, endCall, language, clock,
                                              connection, config, pmb}
                               << QStringList{alBase, clock, clock} << 3;
        QTest::newRow("Lumo") << "Lumo" << QStringList{"All"}
                              << lumoScreen + QStringList{setMode, endCall} + lumoScreen
                                     + QStringList{connection, pmb}
                              << QStringList{alBase, callsClear} << 1;
        // No buzzer; the tuners are asked instead of the call status.
        QTest::newRow("Corvi") << "Corvi" << QStringList{"BasicInfo", "Notifications"}
                               << QStringList{language, clock, "GetStatus|FM1Status",
                                              "GetStatus|FM2Status", language, clock, config, pmb}
                               << QStringList{clock, clock} << 1;
    }

    // A configured unit of each model on the bus: it is read by its status
    // retrieval, starts its screen, turns the unit's reports and requests into
    // calls and requests, and drives its buzzer and screen. The lights, and how
    // each screen shows a received call, are checked with the features.
    void everyModelOverLoopback()
    {
        QFETCH(QString, model);
        QFETCH(QStringList, retrieval);
        QFETCH(QStringList, applied);
        QFETCH(QStringList, ownCall);
        QFETCH(int, sourceMode);

        LoopbackBus bus;
        RespondingUnit responding(UnitIp, bus.port(), model);
        QVERIFY(responding.isBound());
        responding.setScreen("Rasto 3");
        std::unique_ptr<RondelUnit> unit = makeModel(model, UnitIp);
        QVERIFY(unit);
        unit->loadSettings({{"clientName", "Bed 4"},
                            {"presences", QVariantMap{{"pp", true}, {"ps", true}}}});
        // The designed 10 s repeats: every request here is answered at once,
        // and the configuration and tuner requests stay unanswered.
        unit->statusRetrieval()->setStartSpread(1);
        unit->attach(bus.server());

        QSignalSpy done(unit.get(), &RondelUnit::retrievalDone);
        unit->startStatusRetrieval();
        QVERIFY(done.wait(2000));
        QStringList asked;
        for (const FakeUnit::Datagram& d : responding.commands("GetStatus"))
            asked.append(d.payload.trimmed());
        QCOMPARE(asked, retrieval);

        const auto settle = [&](int count) {
            QVERIFY(responding.waitForCommands(QString(), count));
            QTest::qWait(100);
        };
        responding.clearReceived();
        unit->initialiseFromBasicInfo();
        unit->applyRetrievedState();
        settle(applied.size());
        QCOMPARE(commandTexts(responding.commands()), applied);

        // The unit's own alarm and a ward request, sent by the unit.
        responding.clearReceived();
        QSignalSpy night(unit.get(), &Unit::requestModeNight);
        responding.sendCommand("CallChange", "AL:1");
        responding.sendCommand("Requests", "ModeNight");
        QVERIFY(night.wait(2000));
        const Call own = unit->calls()->ownCall();
        QVERIFY(own.isAL());
        QCOMPARE(own.sourceMode(), sourceMode);
        settle(ownCall.size());
        QCOMPARE(commandTexts(responding.commands()), ownCall);
    }

};

QTEST_GUILESS_MAIN(TestRondelUnit)
#include "tst_rondelunit.moc"
