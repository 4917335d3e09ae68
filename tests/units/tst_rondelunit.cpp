#include "calls/call.h"
#include "calls/calls.h"
#include "rondel/rondel.h"
#include "support/fakeunit.h"
#include "support/logcapture.h"
#include "support/unitbus.h"
#include "units/features/light.h"
#include "units/features/presences.h"
#include "units/rondelunitstatusretrieval.h"
#include "units/models/unitmodels.h"

#include <QtTest>

#include <memory>

namespace {

const QHostAddress UnitIp(QStringLiteral("127.0.0.2"));
const QHostAddress LumoIp(QStringLiteral("127.0.0.3"));
constexpr int Repeat = 300; // ms; units repeat their requests every 10 s

const QString TolvaBasicInfo = QStringLiteral(
    "AcronymPU:Tolva\nNamePU:Bedside\nFWVersionPU:02.04\nTypeGT:Other\nMAC Address:00:11:22:33:44:55");

// The payloads of the commands a fake unit received, as "Cmd|payload".
QStringList texts(const QList<FakeUnit::Datagram>& commands)
{
    QStringList result;
    for (const FakeUnit::Datagram& d : commands)
        result.append(d.cmd + QLatin1Char('|') + d.payload.trimmed());
    return result;
}

// As texts(), with the clock lines of "DisplayDateTime" checked against
// today's date and the time format, then written as "Date:today" and
// "Time:now" so that the rest can be compared byte for byte.
QStringList clockFreeTexts(const QList<FakeUnit::Datagram>& commands)
{
    static const QRegularExpression clock(
        QStringLiteral("^Date:(\\d{1,2}\\.\\d{1,2}\\.\\d{4})\nTime:\\d{1,2}:\\d\\d:\\d\\d\n"));
    QStringList result;
    for (const QString& text : texts(commands)) {
        const QString prefix = QStringLiteral("DisplayDateTime|");
        if (!text.startsWith(prefix)) {
            result.append(text);
            continue;
        }
        const QString payload = text.mid(prefix.size());
        const QRegularExpressionMatch match = clock.match(payload);
        if (!match.hasMatch()
            || match.captured(1) != QDate::currentDate().toString(QStringLiteral("d.M.yyyy"))) {
            result.append(text); // left as is: the comparison shows it
            continue;
        }
        result.append(prefix + QStringLiteral("Date:today\nTime:now\n")
                      + payload.mid(match.capturedLength()));
    }
    return result;
}

std::unique_ptr<RondelUnit> makeModel(const QString& type, const QHostAddress& ip)
{
    switch (Unit::typeFromText(type)) {
    case Unit::FennoType: return std::make_unique<Fenno>(ip);
    case Unit::TolvaType: return std::make_unique<Tolva>(ip);
    case Unit::BrisaType: return std::make_unique<Brisa>(ip);
    case Unit::MeldeType: return std::make_unique<Melde>(ip);
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
    void init();
    void cleanup();

    void retrievalQueuesAndReplaysCommands();
    void unsolicitedBasicInfoOnlyFallsOutOfSync();
    void lumoAsksForEverythingAndRepeats();
    void retrievalRestartsWhenCommunicationReturns();
    void answerRequests();
    void paRequests();
    void wardAndModeRequests();
    void talkCancelWithoutTalk();
    void rastoScreenFollowsCallsAndTalk();
    void everyModelOverLoopback_data();
    void everyModelOverLoopback();

private:
    // Runs a whole retrieval with the answers of a Tolva that has nothing
    // to report, and applies it.
    void bringUp();

    std::unique_ptr<LoopbackBus> m_bus;
    FakeUnit* m_fake = nullptr;
    std::unique_ptr<Tolva> m_unit;
    std::unique_ptr<Brisa> m_neighbour;
};

void TestRondelUnit::init()
{
    m_bus = std::make_unique<LoopbackBus>();
    QVERIFY(m_bus->isReady());
    m_fake = m_bus->addUnit(UnitIp);
    QVERIFY(m_fake);
    m_unit = std::make_unique<Tolva>(UnitIp);
    m_unit->loadSettings({{"clientName", "Bed 1"},
                          {"phone", "101"},
                          {"bed", 1},
                          {"presences", QVariantMap{{"pp", true}, {"ps", true}}}});
    m_unit->setRequestRepeatInterval(Repeat);
    m_unit->statusRetrieval()->setStartSpread(1);
    m_unit->attach(m_bus->server());
    m_neighbour = std::make_unique<Brisa>(QHostAddress(QStringLiteral("127.0.0.9")));
}

void TestRondelUnit::cleanup()
{
    m_neighbour.reset();
    m_unit.reset();
    m_bus.reset();
}

void TestRondelUnit::bringUp()
{
    QSignalSpy done(m_unit.get(), &RondelUnit::retrievalDone);
    m_unit->startStatusRetrieval();
    QVERIFY(m_fake->waitForCommands("GetStatus", 1));
    m_fake->sendCommand("BasicInfo", TolvaBasicInfo);
    QVERIFY(m_fake->waitForCommands("GetStatus", 2));
    m_fake->sendCommand("PresenceStatus", "PS:0\nPP:0");
    QVERIFY(m_fake->waitForCommands("GetStatus", 3));
    m_fake->sendCommand("CallStatus", "VS:0");
    QVERIFY(m_fake->waitForCommands("GetStatus", 4));
    m_fake->sendCommand("Notifications", "CallStatus NOT_CONNECTED");
    QVERIFY(done.wait(2000));
    m_unit->initialiseFromBasicInfo();
    m_unit->applyRetrievedState();
    QVERIFY(!m_unit->isSyncPending());
    QTest::qWait(100);
    m_fake->clearReceived();
}

void TestRondelUnit::retrievalQueuesAndReplaysCommands()
{
    QSignalSpy done(m_unit.get(), &RondelUnit::retrievalDone);
    QSignalSpy outOfSync(m_unit.get(), &RondelUnit::outOfSync);
    m_unit->startStatusRetrieval();
    QVERIFY(m_fake->waitForCommands("GetStatus", 1));
    QCOMPARE(m_fake->commands().at(0).bytes,
             QByteArray("MsgNo:0\nCmd:GetStatus\nBasicInfo\nCRC:c86d"));

    m_fake->sendCommand("BasicInfo", TolvaBasicInfo);
    QVERIFY(m_fake->waitForCommands("GetStatus", 2));
    // A call change while the presences are read goes to the retrieval,
    // which has no use for it: the call status read next covers it.
    m_fake->sendCommand("CallChange", "VK:1");
    QVERIFY(m_fake->waitForAck(1));
    QTest::qWait(50);
    QVERIFY(!m_unit->calls()->hasOwnCall());
    QCOMPARE(m_unit->pendingCommandCount(), 0);

    m_fake->sendCommand("PresenceStatus", "PS:1\nPP:0");
    QVERIFY(m_fake->waitForCommands("GetStatus", 3));
    m_fake->sendCommand("CallStatus", "NV1:1\nVS:0");
    QVERIFY(m_fake->waitForCommands("GetStatus", 4));
    QCOMPARE(texts(m_fake->commands("GetStatus")),
             QStringList({"GetStatus|BasicInfo", "GetStatus|Presence", "GetStatus|Call",
                          "GetStatus|Notifications"}));
    m_fake->sendCommand("Notifications", "CallStatus NOT_CONNECTED");
    QVERIFY(done.wait(2000));
    QCOMPARE(m_unit->statusRetrieval()->state(), int(RondelUnitStatusRetrieval::Done));

    // Retrieved but not applied yet: a new call waits.
    m_fake->sendCommand("CallChange", "VS:1");
    QVERIFY(QTest::qWaitFor([&] { return m_unit->pendingCommandCount() == 1; }, 2000));
    QVERIFY(!m_unit->calls()->hasOwnCall());

    bool ownCallWhenAnnounced = false;
    connect(m_unit.get(), &Unit::basicInfoUpdated, this,
            [&] { ownCallWhenAnnounced = m_unit->calls()->hasOwnCall(); });
    QSignalSpy updated(m_unit.get(), &Unit::basicInfoUpdated);
    m_fake->clearReceived();
    m_unit->initialiseFromBasicInfo();
    QCOMPARE(m_unit->firmwareVersion(), FirmwareVersion(2, 4));
    m_unit->applyRetrievedState();

    QCOMPARE(updated.count(), 1);
    QCOMPARE(updated.at(0).at(0).value<BasicInfo>().macAddress, QStringLiteral("001122334455"));
    QVERIFY(ownCallWhenAnnounced);
    QCOMPARE(m_unit->calls()->ownCall().code(), QStringLiteral("VS"));
    QCOMPARE(m_unit->calls()->nvCall("NV1").code(), QStringLiteral("NV1"));
    QVERIFY(m_unit->presences()->registeredPSFlag());
    QCOMPARE(outOfSync.count(), 0);

    // What the applied state sends, in order: the presence mode of a 2.4
    // firmware, the voice reset, the ringing tone of the NV call, the
    // connection, configuration and PMB requests (the NV call rings on the
    // unit itself although the synthesizer speaks for it), then the replayed call
    // change makes the tone ring for the own call.
    QVERIFY(m_fake->waitForCommands(QString(), 7));
    QTest::qWait(100);
    QCOMPARE(texts(m_fake->commands()),
             QStringList({"SetMode|PS:Permanent\nPP:Permanent", "VoIP|EndCall",
                          "Buzz|Target:Base\nToneType:NV\nVolume:Day",
                          "GetStatus|Connection", "GetStatus|Config", "PMBGetStatus|Info",
                          "Buzz|Target:Base\nToneType:Ringing\nVolume:Day"}));
    QCOMPARE(m_fake->commands().at(0).bytes,
             QByteArray("MsgNo:4\nCmd:SetMode\nPS:Permanent\nPP:Permanent\nCRC:4729"));
}

void TestRondelUnit::unsolicitedBasicInfoOnlyFallsOutOfSync()
{
    bringUp();
    QSignalSpy outOfSync(m_unit.get(), &RondelUnit::outOfSync);
    QSignalSpy updated(m_unit.get(), &Unit::basicInfoUpdated);
    QSignalSpy callsChanged(m_unit->calls(), &Calls::callsChanged);
    m_fake->sendCommand("BasicInfo", TolvaBasicInfo);
    QVERIFY(outOfSync.wait(2000));
    QTest::qWait(150);
    QCOMPARE(outOfSync.count(), 1);
    QCOMPARE(updated.count(), 0);
    QCOMPARE(callsChanged.count(), 0);
    QCOMPARE(m_fake->commands().size(), 0);
}

void TestRondelUnit::lumoAsksForEverythingAndRepeats()
{
    FakeUnit* fake = m_bus->addUnit(LumoIp);
    QVERIFY(fake);
    Lumo lumo(LumoIp);
    lumo.setRequestRepeatInterval(Repeat);
    lumo.statusRetrieval()->setStartSpread(1);
    lumo.attach(m_bus->server());
    QSignalSpy done(&lumo, &RondelUnit::retrievalDone);

    lumo.startStatusRetrieval();
    QVERIFY(fake->waitForCommands("GetStatus", 2, 2000));
    const QList<FakeUnit::Datagram> asked = fake->commands("GetStatus");
    QCOMPARE(texts(asked), QStringList({"GetStatus|All", "GetStatus|All"}));
    QVERIFY(asked.at(1).atMs - asked.at(0).atMs >= Repeat - 50);

    // It reports nothing beyond its identity: done at once.
    fake->sendCommand("BasicInfo", "AcronymPU:Lumo\nTypeGT:Lumo");
    QVERIFY(done.wait(2000));
    QCOMPARE(done.count(), 1);
    QTest::qWait(Repeat + 100);
    QCOMPARE(fake->commands("GetStatus").size(), 2);
}

void TestRondelUnit::retrievalRestartsWhenCommunicationReturns()
{
    m_unit->startStatusRetrieval();
    QVERIFY(m_fake->waitForCommands("GetStatus", 1));
    m_fake->sendCommand("BasicInfo", TolvaBasicInfo);
    QVERIFY(m_fake->waitForCommands("GetStatus", 2));
    QCOMPARE(m_unit->statusRetrieval()->state(),
             int(RondelUnitStatusRetrieval::PresenceStatusAsked));

    QSignalSpy failed(m_unit.get(), &RondelUnit::communicationFailed);
    QSignalSpy restored(m_unit.get(), &RondelUnit::communicationRestored);
    m_unit->unitNotResponding();
    QVERIFY(m_unit->hasRondelError());
    m_unit->unitStartResponding();
    QVERIFY(!m_unit->hasRondelError());
    QCOMPARE(failed.count(), 1);
    QCOMPARE(restored.count(), 1);
    QCOMPARE(m_unit->statusRetrieval()->state(), int(RondelUnitStatusRetrieval::BasicInfoAsked));
    QVERIFY(m_fake->waitForCommands("GetStatus", 3));
    QCOMPARE(texts(m_fake->commands("GetStatus")).last(), QStringLiteral("GetStatus|BasicInfo"));
}

void TestRondelUnit::answerRequests()
{
    bringUp();
    LogCapture log;
    QSignalSpy answer(m_unit.get(), &Unit::requestAnswareCall);

    // Nothing rings: the buzzer is refreshed and a warning logged.
    m_fake->sendCommand("Requests", "CallAnswerBase");
    QVERIFY(QTest::qWaitFor(
        [&] { return log.contains("Warning CallAnswer request withouth incoming ringing call"); },
        2000));
    QCOMPARE(answer.count(), 0);

    Call ringing(CallType::VS, QStringLiteral("VS"), m_neighbour.get());
    ringing.setRinging();
    m_unit->calls()->addReceivedCall(ringing);
    QVERIFY(m_fake->waitForCommand("Buzz"));
    QCOMPARE(texts(m_fake->commands("Buzz")),
             QStringList({"Buzz|Target:Base\nToneType:PV\nVolume:Day\nInvite:BlinkVS"}));

    m_fake->sendCommand("Requests", "CallAnswerMtf");
    QVERIFY(answer.wait(2000));
    const Call answered = answer.at(0).at(0).value<Call>();
    QCOMPARE(answered, ringing);
    QCOMPARE(answered.targetMode(m_unit.get()), 2);

    // While the unit talks the same request stops the tone instead.
    m_fake->clearReceived();
    m_unit->calls()->setTalk(answered);
    QVERIFY(m_fake->waitForCommands("Buzz", 2));
    QCOMPARE(texts(m_fake->commands("Buzz")),
             QStringList({"Buzz|ToneType:None", "Buzz|Volume:Day"}));
    log.clear();
    m_fake->sendCommand("Requests", "CallAnswerBase");
    QVERIFY(QTest::qWaitFor(
        [&] { return log.contains("Warning CallAnswer request withouth incoming ringing call"); },
        2000));
    QCOMPARE(answer.count(), 1);
}

void TestRondelUnit::paRequests()
{
    bringUp();
    m_fake->sendCommand("Requests", "startpa");
    QVERIFY(QTest::qWaitFor([&] { return m_unit->calls()->hasOwnCall(); }, 2000));
    const Call pa = m_unit->calls()->ownCall();
    QVERIFY(pa.isPA());
    QCOMPARE(pa.sourceMode(), 1);
    QCOMPARE(pa.displayInfo().client, QStringLiteral("Centrální hlášení"));
    QVERIFY(pa.displayInfo().ward.isEmpty());

    // Busy with its own call: rejected.
    m_fake->sendCommand("Requests", "StartPA");
    QVERIFY(m_fake->waitForCommand("VariousControl"));
    QCOMPARE(m_fake->commands("VariousControl").at(0).payload, QStringLiteral("PARejected\n"));
    QCOMPARE(m_unit->calls()->ownCall(), pa);

    m_fake->sendCommand("Requests", "StopPA");
    QVERIFY(QTest::qWaitFor([&] { return !m_unit->calls()->hasOwnCall(); }, 2000));

    // A ringing received call rejects it as well.
    m_fake->clearReceived();
    Call ringing(CallType::AL, QStringLiteral("AL"), m_neighbour.get());
    ringing.setRinging();
    m_unit->calls()->addReceivedCall(ringing);
    m_fake->sendCommand("Requests", "StartPA");
    QVERIFY(m_fake->waitForCommand("VariousControl"));
    QVERIFY(!m_unit->calls()->hasOwnCall());

    // A PA in talk is ended through the handler, not cancelled here.
    m_unit->calls()->removeReceivedCall(ringing);
    m_fake->sendCommand("Requests", "StartPA");
    QVERIFY(QTest::qWaitFor([&] { return m_unit->calls()->hasOwnCall(); }, 2000));
    m_unit->calls()->setTalk(m_unit->calls()->ownCall());
    QSignalSpy endOutgoing(m_unit.get(), &Unit::requestEndOutgoingTalk);
    m_fake->sendCommand("Requests", "StopPA");
    QVERIFY(endOutgoing.wait(2000));
    QVERIFY(m_unit->calls()->hasOwnCall());
}

void TestRondelUnit::wardAndModeRequests()
{
    bringUp();
    QSignalSpy connectWard(m_unit.get(), &Unit::requestConnectWard);
    QSignalSpy disconnectWard(m_unit.get(), &Unit::requestDisconnectWard);
    QSignalSpy day(m_unit.get(), &Unit::requestModeDay);
    QSignalSpy night(m_unit.get(), &Unit::requestModeNight);
    QSignalSpy openEZ(m_unit.get(), &Unit::requestOpenEZ);
    m_fake->sendCommand("Requests", "ConnectWard 7\nModeNight\nDisconnectWard w-int-b\nOpenEZ\nModeDay");
    QVERIFY(day.wait(2000));
    QCOMPARE(connectWard.count(), 1);
    QCOMPARE(connectWard.at(0).at(0).toString(), QStringLiteral("7"));
    QCOMPARE(disconnectWard.at(0).at(0).toString(), QStringLiteral("w-int-b"));
    QCOMPARE(night.count(), 1);
    QCOMPARE(openEZ.count(), 1);
}

void TestRondelUnit::talkCancelWithoutTalk()
{
    bringUp();
    LogCapture log;
    m_fake->sendCommand("Requests", "TalkCancelRqst");
    QVERIFY(m_fake->waitForCommand("VoIP"));
    QCOMPARE(m_fake->commands("VoIP").at(0).payload, QStringLiteral("EndCall\n"));
    QVERIFY(log.contains("Warning \"127.0.0.2 TalkCancel request withouth talking\""));

    Call ringing(CallType::VS, QStringLiteral("VS"), m_neighbour.get());
    ringing.setConnected();
    m_unit->calls()->addReceivedCall(ringing);
    m_unit->calls()->setTalk(ringing);
    QSignalSpy endIncoming(m_unit.get(), &Unit::requestEndIncomingTalk);
    m_fake->sendCommand("Requests", "TalkCancelRqst");
    QVERIFY(endIncoming.wait(2000));
    QCOMPARE(endIncoming.at(0).at(0).value<Call>(), ringing);
}

void TestRondelUnit::rastoScreenFollowsCallsAndTalk()
{
    QSignalSpy done(m_unit.get(), &RondelUnit::retrievalDone);
    m_unit->startStatusRetrieval();
    QVERIFY(m_fake->waitForCommands("GetStatus", 1));
    m_fake->sendCommand("BasicInfo", "AcronymPU:Tolva\nFWVersionPU:2.4\nTypeGT:Rasto II");
    QVERIFY(m_fake->waitForCommands("GetStatus", 2));
    m_fake->sendCommand("PresenceStatus", "PS:1");
    QVERIFY(m_fake->waitForCommands("GetStatus", 3));
    m_fake->sendCommand("CallStatus", "VS:0");
    QVERIFY(m_fake->waitForCommands("GetStatus", 4));
    m_fake->sendCommand("Notifications", "CallStatus NOT_CONNECTED");
    QVERIFY(done.wait(2000));
    m_unit->initialiseFromBasicInfo();
    m_unit->applyRetrievedState();
    QVERIFY(m_fake->waitForCommand("DisplayDateTime"));
    QTest::qWait(100);
    m_fake->clearReceived();

    m_neighbour->setClientName(QStringLiteral("Novak"));
    Call ringing(CallType::VS, QStringLiteral("VS"), m_neighbour.get());
    ringing.setRinging();
    m_unit->calls()->addReceivedCall(ringing);
    QVERIFY(m_fake->waitForCommand("DisplayCalls"));
    QCOMPARE(m_fake->commands("DisplayCalls").at(0).payload,
             QStringLiteral("Icon:V\nWard:Unknown ward\nRoom:Unknown room\nClient:Novak\n"));

    // Talk: the calls screen is cleared first, then the talk is shown.
    m_fake->clearReceived();
    ringing.setConnected();
    m_unit->calls()->connectReceivedCall(ringing, VoIP());
    QVERIFY(m_fake->waitForCommand("DisplayTalk"));
    QTest::qWait(100);
    const QString talk =
        QStringLiteral("DisplayTalk|Icon:V\nWard:Unknown ward\nRoom:Unknown room\nClient:Novak");
    const QStringList display = texts(m_fake->commands()).filter("Display");
    QCOMPARE(display.mid(0, 2), QStringList({"DisplayCalls|Clear", talk}));
    QCOMPARE(display.last(), talk);
    QVERIFY(!display.contains("DisplayCalls|Icon:V\nWard:Unknown ward\nRoom:Unknown room\nClient:Novak"));
    QCOMPARE(texts(m_fake->commands("VoIP")).size(), 1);

    // Talk over: back to date and time with no call left.
    m_fake->clearReceived();
    m_unit->calls()->endTalk(ringing);
    QVERIFY(m_fake->waitForCommand("DisplayDateTime"));
    QCOMPARE(texts(m_fake->commands()).first(), QStringLiteral("DisplayTalk|Clear"));
    QCOMPARE(texts(m_fake->commands("VoIP")), QStringList({"VoIP|EndCall"}));
}

void TestRondelUnit::everyModelOverLoopback_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QStringList>("retrieval");
    QTest::addColumn<QStringList>("applied");
    QTest::addColumn<QStringList>("ringing");
    QTest::addColumn<QStringList>("ownCall");
    QTest::addColumn<int>("sourceMode");

    const QString language = QStringLiteral("DisplayLanguage|Language:CZE");
    const QString clock =
        QStringLiteral("DisplayDateTime|Date:today\nTime:now\nBright1:20:00,100\nBright2:7:00,100");
    const QString setMode = QStringLiteral("SetMode|PS:Permanent\nPP:Permanent");
    const QString endCall = QStringLiteral("VoIP|EndCall");
    const QString connection = QStringLiteral("GetStatus|Connection");
    const QString config = QStringLiteral("GetStatus|Config");
    const QString pmb = QStringLiteral("PMBGetStatus|Info");
    const QString callsClear = QStringLiteral("DisplayCalls|Clear");
    const QString call = QStringLiteral(
        "DisplayCalls|Icon:V\nWard:Unknown ward\nRoom:Unknown room\nClient:Novak");
    const QString ringBase = QStringLiteral("Buzz|Target:Base\nToneType:PV\nVolume:Day\nInvite:BlinkVS");
    const QString alBase = QStringLiteral("Buzz|Target:Base\nToneType:AL\nVolume:Day");
    const QString alMtf = QStringLiteral("Buzz|Target:Mtf\nToneType:AL\nVolume:Day");
    const QStringList fennoScreen{language, clock, callsClear, "DisplayPresences|Clear",
                                  "DisplayTalk|Clear", "DisplayWards|Clear"};
    const QStringList lumoScreen{language, clock, callsClear};
    const QStringList fullRetrieval{"BasicInfo", "Presence", "Call", "Notifications"};
    // The one-line screen shows the call, clears it when the (empty) muted
    // list re-chooses the screen, and shows it again; the own call then
    // clears it for date and time, chosen again for the muted list.
    const QStringList rastoRinging{ringBase, call, callsClear, call};

    QTest::newRow("Fenno") << "Fenno" << fullRetrieval
                           << fennoScreen + QStringList{setMode, endCall} + fennoScreen
                                  + QStringList{pmb}
                           << QStringList{ringBase, call} << QStringList{alMtf, callsClear} << 2;
    QTest::newRow("Tolva") << "Tolva" << fullRetrieval
                           << QStringList{language, clock, setMode, endCall, language, clock,
                                          connection, config, pmb}
                           << rastoRinging << QStringList{alBase, callsClear, clock, clock} << 1;
    QTest::newRow("Brisa") << "Brisa" << fullRetrieval
                           << QStringList{language, clock, endCall, language, clock, connection,
                                          config, pmb}
                           << rastoRinging << QStringList{alBase, callsClear, clock, clock} << 1;
    QTest::newRow("Melde") << "Melde" << fullRetrieval
                           << QStringList{language, clock, endCall, language, clock, connection,
                                          config, pmb}
                           << rastoRinging << QStringList{alBase, callsClear, clock, clock} << 1;
    QTest::newRow("Pardo")
        << "Pardo" << fullRetrieval
        << QStringList{language, clock, endCall, language, clock, connection, config, pmb}
        << QStringList{"Buzz|Target:Mtf\nToneType:PV\nVolume:Day\nInvite:BlinkVSM", call,
                       callsClear, call}
        << QStringList{alMtf, callsClear, clock, clock} << 2;
    QTest::newRow("Deska") << "Deska" << QStringList{"BasicInfo", "Presence", "Call"}
                           << QStringList{language, clock, setMode, endCall, language, clock,
                                          connection, config, pmb}
                           << rastoRinging << QStringList{alBase, callsClear, clock, clock} << 3;
    QTest::newRow("Lumo") << "Lumo" << QStringList{"All"}
                          << lumoScreen + QStringList{setMode, endCall} + lumoScreen
                                 + QStringList{connection, pmb}
                          << QStringList{ringBase, call} << QStringList{alBase, callsClear} << 1;
    // No buzzer; the tuners are asked instead of the call status.
    QTest::newRow("Corvi") << "Corvi" << QStringList{"BasicInfo", "Notifications"}
                           << QStringList{language, clock, "GetStatus|FM1Status",
                                          "GetStatus|FM2Status", language, clock, config, pmb}
                           << QStringList{call, callsClear, call}
                           << QStringList{callsClear, clock, clock} << 1;
}

// A configured unit of each model on the bus: it is read by its status
// retrieval, starts its screen, turns the unit's reports and requests into
// calls and requests, and drives its lights, buzzer and screen.
void TestRondelUnit::everyModelOverLoopback()
{
    QFETCH(QString, model);
    QFETCH(QStringList, retrieval);
    QFETCH(QStringList, applied);
    QFETCH(QStringList, ringing);
    QFETCH(QStringList, ownCall);
    QFETCH(int, sourceMode);

    const QHostAddress ip(QStringLiteral("127.0.0.4"));
    FakeUnit* fake = m_bus->addUnit(ip);
    QVERIFY(fake);
    const QString basicInfo = "AcronymPU:" + model + "\nFWVersionPU:02.04\nTypeGT:Rasto 3";
    connect(fake, &FakeUnit::datagramReceived, fake, [fake, basicInfo](const FakeUnit::Datagram& d) {
        if (d.kind != FakeUnit::Datagram::Command || d.cmd != QLatin1String("GetStatus"))
            return;
        const QString asked = d.payload.trimmed();
        if (asked == QLatin1String("BasicInfo") || asked == QLatin1String("All"))
            fake->sendCommand("BasicInfo", basicInfo);
        else if (asked == QLatin1String("Presence"))
            fake->sendCommand("PresenceStatus", "PS:0\nPP:0");
        else if (asked == QLatin1String("Call"))
            fake->sendCommand("CallStatus", "VS:0");
        else if (asked == QLatin1String("Notifications"))
            fake->sendCommand("Notifications", "CallStatus NOT_CONNECTED");
    });

    std::unique_ptr<RondelUnit> unit = makeModel(model, ip);
    QVERIFY(unit);
    QCOMPARE(unit->type(), Unit::typeFromText(model));
    unit->loadSettings({{"clientName", "Bed 4"},
                        {"presences", QVariantMap{{"pp", true}, {"ps", true}}}});
    // The designed 10 s repeats: every request here is answered at once,
    // and the configuration and tuner requests stay unanswered.
    unit->statusRetrieval()->setStartSpread(1);
    unit->attach(m_bus->server());

    QSignalSpy done(unit.get(), &RondelUnit::retrievalDone);
    unit->startStatusRetrieval();
    QVERIFY(done.wait(2000));
    QStringList asked;
    for (const FakeUnit::Datagram& d : fake->commands("GetStatus"))
        asked.append(d.payload.trimmed());
    QCOMPARE(asked, retrieval);

    const auto settle = [&](int count) {
        QVERIFY(fake->waitForCommands(QString(), count));
        QTest::qWait(100);
    };
    fake->clearReceived();
    unit->initialiseFromBasicInfo();
    unit->applyRetrievedState();
    settle(applied.size());
    QCOMPARE(clockFreeTexts(fake->commands()), applied);

    // Lights burn only once the light module is reported; older firmware
    // shows the presence light "VP" as "VS".
    fake->clearReceived();
    fake->sendCommand("ConnectionStatus", "SV:Connect");
    QVERIFY(fake->waitForCommand("Lights"));
    LightState lights;
    lights.al = true;
    lights.vp = true;
    unit->light()->setLights(lights);
    settle(2);
    QCOMPARE(texts(fake->commands()), QStringList({"Lights|", "Lights|AL:1\nVS:1"}));

    fake->clearReceived();
    m_neighbour->setClientName(QStringLiteral("Novak"));
    Call received(CallType::VS, QStringLiteral("VS"), m_neighbour.get());
    received.setRinging();
    unit->calls()->addReceivedCall(received);
    settle(ringing.size());
    QCOMPARE(clockFreeTexts(fake->commands()), ringing);

    // The unit's own alarm and a ward request, sent by the unit.
    fake->clearReceived();
    QSignalSpy night(unit.get(), &Unit::requestModeNight);
    fake->sendCommand("CallChange", "AL:1");
    fake->sendCommand("Requests", "ModeNight");
    QVERIFY(night.wait(2000));
    const Call own = unit->calls()->ownCall();
    QVERIFY(own.isAL());
    QCOMPARE(own.sourceMode(), sourceMode);
    settle(ownCall.size());
    QCOMPARE(clockFreeTexts(fake->commands()), ownCall);
}

QTEST_GUILESS_MAIN(TestRondelUnit)
#include "tst_rondelunit.moc"
