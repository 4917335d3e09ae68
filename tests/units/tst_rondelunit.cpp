#include "calls/call.h"
#include "calls/calls.h"
#include "support/respondingunit.h"
#include "support/unitbus.h"
#include "units/registry/unitsfactory.h"
#include "units/rondelunit.h"
#include "units/rondelunitstatusretrieval.h"

#include <QtTest>

#include <memory>

// A unit attached to the bus, talking to a fake unit over loopback UDP.
static const QHostAddress UnitIp(QStringLiteral("127.0.0.2"));

class TestRondelUnit : public QObject
{
    Q_OBJECT
private slots:
    void everyModelOverLoopback_data()
    {
        // Each row is named after its model.
        QTest::addColumn<QStringList>("retrieval");
        QTest::addColumn<QStringList>("applied");
        QTest::addColumn<QStringList>("ownCall");
        QTest::addColumn<int>("sourceMode");

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
        const QStringList screen{"DisplayLanguage|Language:CZE", clock};
        const QStringList asked{connection, config, pmb};
        const QStringList fennoScreen = screen + QStringList{callsClear, "DisplayPresences|Clear",
                                                             "DisplayTalk|Clear", "DisplayWards|Clear"};
        const QStringList lumoScreen = screen + QStringList{callsClear};
        const QStringList fullRetrieval{"BasicInfo", "Presence", "Call", "Notifications"};
        // The one-line screen shows date and time for the own call, again for the empty muted list.

        QTest::newRow("Fenno") << fullRetrieval
                               << fennoScreen + QStringList{setMode, endCall} + fennoScreen
                                      + QStringList{pmb}
                               << QStringList{alMtf, callsClear} << 2;
        QTest::newRow("Tolva") << fullRetrieval
                               << screen + QStringList{setMode, endCall} + screen + asked
                               << QStringList{alBase, clock, clock} << 1;
        QTest::newRow("Brisa") << fullRetrieval << screen + QStringList{endCall} + screen + asked
                               << QStringList{alBase, clock, clock} << 1;
        QTest::newRow("Pardo") << fullRetrieval << screen + QStringList{endCall} + screen + asked
                               << QStringList{alMtf, clock, clock} << 2;
        QTest::newRow("Deska") << QStringList{"BasicInfo", "Presence", "Call"}
                               << screen + QStringList{setMode, endCall} + screen + asked
                               << QStringList{alBase, clock, clock} << 3;
        QTest::newRow("Lumo") << QStringList{"All"}
                              << lumoScreen + QStringList{setMode, endCall} + lumoScreen
                                     + QStringList{connection, pmb}
                              << QStringList{alBase, callsClear} << 1;
        // No buzzer; the tuners are asked instead of the call status.
        QTest::newRow("Corvi") << QStringList{"BasicInfo", "Notifications"}
                               << screen + QStringList{"GetStatus|FM1Status", "GetStatus|FM2Status"}
                                      + screen + QStringList{config, pmb}
                               << QStringList{clock, clock} << 1;
    }

    // A configured unit of each model on the bus: read by its status retrieval, it starts its
    // screen, turns the unit's reports into calls and requests, and drives buzzer and screen.
    // Lights, and how each screen shows a received call, are checked with the features.
    void everyModelOverLoopback()
    {
        const QString model = QString::fromLatin1(QTest::currentDataTag());
        QFETCH(QStringList, retrieval);
        QFETCH(QStringList, applied);
        QFETCH(QStringList, ownCall);

        LoopbackBus bus;
        RespondingUnit responding(UnitIp, bus.port(), model);
        QVERIFY(responding.isBound());
        responding.setScreen("Rasto 3");
        const UnitsFactory factory(nullptr, nullptr, nullptr, nullptr);
        std::unique_ptr<RondelUnit> unit(
            qobject_cast<RondelUnit*>(factory.create(UnitsFactory::typeFromText(model), UnitIp, Location())));
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
        QTEST(own.sourceMode(), "sourceMode");
        settle(ownCall.size());
        QCOMPARE(commandTexts(responding.commands()), ownCall);
    }

};

QTEST_GUILESS_MAIN(TestRondelUnit)
#include "tst_rondelunit.moc"
