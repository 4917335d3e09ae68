#include "calls/calls.h"
#include "support/logcapture.h"
#include "support/unitbus.h"
#include "units/features/connecteddevices.h"
#include "units/displays/displays.h"
#include "units/settings/nvsettings.h"
#include "units/features/presences.h"
#include "units/firmwareversion.h"
#include "units/unconfiguredunit.h"
#include "units/models/unitmodels.h"
#include "units/registry/unitsfactory.h"
#include "wards/room.h"
#include "wards/ward.h"

#include <QtTest>

#include <memory>

namespace {

const QHostAddress Ip(QStringLiteral("127.0.0.2"));
const QHostAddress OtherIp(QStringLiteral("127.0.0.3"));

// Hands a parsed command to a unit that is in step, as the bus would.
void deliver(RondelUnit& unit, const QString& name, const QString& payload)
{
    const Command command = parsedCommand(name, payload);
    QVERIFY2(!command.name.isEmpty(), qPrintable(name + " does not parse"));
    unit.receivedCommand(command);
}

// Answers every request of a retrieval that has been started.
void answerRetrieval(RondelUnit& unit, const QString& basicInfo, const QString& callStatus)
{
    unit.receivedCommand(parsedCommand("BasicInfo", basicInfo));
    unit.receivedCommand(parsedCommand("PresenceStatus", "PS:0"));
    unit.receivedCommand(parsedCommand("CallStatus", callStatus));
    unit.receivedCommand(parsedCommand("Notifications", "CallStatus NOT_CONNECTED"));
}

// What a display shows for a call: icon|ward|room|room number|bed|client.
QString shown(CallType type, const QString& code, CallCapable* source)
{
    const CallDisplayInfo info = Call(type, code, source).displayInfo();
    return QStringList({info.icon, info.ward, info.room, info.roomNo, info.bedNo, info.client})
        .join(QLatin1Char('|'));
}

} // namespace

class TestUnitModels : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_server = std::make_unique<RecordingServer>();
        m_nv = std::make_unique<NVSettings>();
        m_ward = std::make_unique<Ward>(QStringLiteral("w1"));
        m_ward->setName(QStringLiteral("Interna"));
        m_room = std::make_unique<Room>(QStringLiteral("r1"));
        m_room->setName(QStringLiteral("Pokoj"));
        m_room->setNumber(12);
        m_room->setWard(m_ward.get());
    }

    void callReports_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("retrieved");
        QTest::addColumn<QStringList>("reports");
        QTest::addColumn<QStringList>("trace");
        QTest::addColumn<QString>("calls");
        const QString tolva = QStringLiteral("Tolva");
        const QString alarm = QStringLiteral("CallChange|VS:1\nVKM:1\nAL:1");
        const QString dial = QStringLiteral("DialCall|Dial:205\nDestination:Mtf");

        // One own call, the most urgent reported; a 0 for another kind leaves it.
        QTest::newRow("own call priority") << tolva << "" << QStringList{alarm, "CallChange|VS:0"}
                                           << QStringList{"new AL"} << "own AL m1";
        QTest::newRow("own kind cancels") << tolva << "" << QStringList{alarm, "CallChange|AL:0"}
                                          << QStringList{"new AL", "canceled AL"} << "";
        QTest::newRow("handset patient call") << tolva << "" << QStringList{"CallChange|VSM:1"}
                                              << QStringList{"new VSM"} << "own VSM m2";
        QTest::newRow("handset call cancelled by VS")
            << tolva << "" << QStringList{"CallChange|VSM:1", "CallChange|VS:0"}
            << QStringList{"new VSM", "canceled VSM"} << "";
        // NV3 is cancelled by answering: it does not outlive its talk.
        QTest::newRow("device calls")
            << tolva << "" << QStringList{"CallChange|NV1:1\nBT00A1:1\nNV3:1"}
            << QStringList{"new BT00A1", "new NV1", "new NV3"}
            << "BT00A1 m3 persists mobile, NV1 m3 persists, NV3 m3";
        // Held at the unit: muted in place, and the unit knows already; reported
        // ringing again while muted, the unit is told to keep it muted.
        QTest::newRow("device call held")
            << tolva << "" << QStringList{"CallChange|NV1:1", "CallChange|NV1:2", "CallChange|NV1:1"}
            << QStringList{"new NV1", "muted NV1", "CallHandle|NV1:Mute"} << "NV1 m3 muted persists";
        QTest::newRow("device call cancelled, unknown code ignored")
            << tolva << "" << QStringList{"CallChange|NV1:1", "CallChange|NV1:0\nUNKNOWN:1"}
            << QStringList{"new NV1", "canceled NV1"} << "";
        QTest::newRow("dial call; a second one fails")
            << tolva << "" << QStringList{dial, "DialCall|Dial:300\nDestination:Base"}
            << QStringList{"new DC", "DialProgress|State:Failed"} << "own DC m2 '205'";
        QTest::newRow("dial cancelled") << tolva << "" << QStringList{dial, "DialCall|Cancelled"}
                                        << QStringList{"new DC", "canceled DC"} << "";
        QTest::newRow("dial cancel leaves another own call")
            << tolva << "" << QStringList{"CallChange|VS:1", "DialCall|Cancelled"}
            << QStringList{"new VS"} << "own VS m1";
        // A held patient call cannot outlive its talk: the unit is told to drop
        // it. A Deska keeps its held alarm muted.
        QTest::newRow("held at retrieval") << tolva << "VS:2\nNV4:2" << QStringList{}
                                           << QStringList{"muted NV4", "CallHandle|VS:Kill"}
                                           << "NV4 m3 muted persists";
        QTest::newRow("Deska held at retrieval") << "Deska" << "AL:2\nVS:2" << QStringList{}
                                                 << QStringList{"new AL"} << "own AL m3 muted persists";
    }

    // What a unit makes of the calls it reports: the registry's announcements
    // and the commands back, step by step, and the calls it holds in the end.
    void callReports()
    {
        QFETCH(QString, model);
        QFETCH(QString, retrieved);
        QFETCH(QStringList, reports);
        const UnitsFactory factory(nullptr, nullptr, nullptr, nullptr);
        std::unique_ptr<RondelUnit> unit(
            qobject_cast<RondelUnit*>(factory.create(UnitsFactory::typeFromText(model), Ip, Location())));
        unit->setInstallationSettings(nullptr, nullptr, m_nv.get(), nullptr);
        QVariantList nv;
        for (int i = 0; i < 9; ++i)
            nv.append(QVariantMap{{"name", ""}, {"bed", 0}, {"cancelByAnswering", i == 3}});
        unit->loadSettings({{"nv", nv}});
        Calls* calls = unit->calls();
        QStringList trace;
        connect(calls, &Calls::callNew, this, [&](const Call& c) { trace << "new " + c.code(); });
        connect(calls, &Calls::callMuted, this, [&](const Call& c) { trace << "muted " + c.code(); });
        connect(calls, &Calls::callCanceled, this, [&](const Call& c) { trace << "canceled " + c.code(); });
        connect(calls, &Calls::callReplaced, this,
                [&](const Call& o, const Call& n) { trace << "replaced " + o.code() + ">" + n.code(); });
        const QRegularExpression answers(QStringLiteral("^(CallHandle|DialProgress)"));

        bringUp(*unit, "AcronymPU:" + model, retrieved);
        trace += m_server->take(Ip).filter(answers);
        for (const QString& report : reports) {
            deliver(*unit, report.section(QLatin1Char('|'), 0, 0), report.section(QLatin1Char('|'), 1));
            trace += m_server->take(Ip).filter(answers);
        }
        QTEST(trace, "trace");

        QStringList held;
        const auto describe = [](const Call& c) {
            return c.code() + " m" + QString::number(c.sourceMode())
                + (c.text().isEmpty() ? QString() : " '" + c.text() + "'")
                + (c.isMutedOnly() ? " muted" : "") + (c.persistsAfterTalk() ? " persists" : "")
                + (c.isMobile() ? " mobile" : "");
        };
        if (calls->hasOwnCall())
            held << "own " + describe(calls->ownCall());
        for (const Call& c : calls->nvCalls())
            held << describe(c);
        QTEST(held.join(", "), "calls");
    }

    void requests_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("request");
        QTest::addColumn<QStringList>("outcome");
        const QString noRinging = QStringLiteral("Warning CallAnswer request withouth incoming ringing call");
        const QString ownPA = QStringLiteral("own PA mode 1 Centrální hlášení/");

        QTest::newRow("answer, nothing rings") << "idle" << "CallAnswerBase" << QStringList{noRinging};
        QTest::newRow("answer on the handset") << "ringing" << "CallAnswerMtf"
                                               << QStringList{"answer VS at mode 2"};
        QTest::newRow("answer while talking") << "incoming talk" << "CallAnswerBase"
                                              << QStringList{noRinging};
        QTest::newRow("cancel, no talk") << "idle" << "TalkCancelRqst"
            << QStringList{"VoIP|EndCall", "Warning \"127.0.0.2 TalkCancel request withouth talking\""};
        QTest::newRow("cancel incoming talk") << "incoming talk" << "TalkCancelRqst"
                                              << QStringList{"end incoming VS"};
        QTest::newRow("cancel own talk") << "own talk" << "TalkCancelRqst"
                                         << QStringList{"end outgoing VS", "own VS mode 1 /Interna"};
        QTest::newRow("wards and modes, in order")
            << "idle" << "ConnectWard 7\nModeNight\nDisconnectWard w-int-b\nOpenEZ\nModeDay"
            << QStringList{"connect 7", "night", "disconnect w-int-b", "open EZ", "day"};
        QTest::newRow("PA, any letter case") << "idle" << "startpa" << QStringList{ownPA};
        QTest::newRow("PA during a PA") << "own PA" << "StartPA"
                                        << QStringList{"VariousControl|PARejected", ownPA};
        QTest::newRow("PA while a call rings") << "ringing" << "StartPA"
                                               << QStringList{"VariousControl|PARejected"};
        QTest::newRow("PA stopped") << "own PA" << "StopPA" << QStringList{};
        QTest::newRow("PA in talk stopped by the handler") << "own PA talk" << "StopPA"
                                                           << QStringList{"end outgoing PA", ownPA};
    }

    // Each request, in each state that matters: a request to the core, a command back, or a warning.
    void requests()
    {
        QFETCH(QString, state);
        QFETCH(QString, request);
        Tolva unit(Ip);
        Brisa other(OtherIp);
        unit.setLocation(Location{m_room.get(), 0});
        bringUp(unit, "AcronymPU:Tolva");
        Calls* calls = unit.calls();
        Call received(CallType::VS, QStringLiteral("VS"), &other);
        received.setRinging();
        if (state == "ringing" || state == "incoming talk")
            calls->addReceivedCall(received);
        if (state == "incoming talk")
            calls->setTalk(received);
        const bool pa = state.startsWith("own PA");
        Call own(pa ? CallType::PA : CallType::VS, pa ? "PA" : "VS", &unit);
        own.setSourceMode(1);
        if (state.startsWith("own"))
            calls->setCall(own);
        if (state.endsWith("talk") && state.startsWith("own"))
            calls->setTalk(own);

        QStringList outcome;
        connect(&unit, &Unit::requestAnswareCall, this, [&](const Call& call) {
            outcome << "answer " + call.code() + " at mode " + QString::number(call.targetMode(&unit));
            QCOMPARE(call, received);
        });
        connect(&unit, &Unit::requestEndOutgoingTalk, this, [&](const Call& c) { outcome << "end outgoing " + c.code(); });
        connect(&unit, &Unit::requestEndIncomingTalk, this, [&](const Call& c) { outcome << "end incoming " + c.code(); });
        connect(&unit, &Unit::requestOpenEZ, this, [&] { outcome << "open EZ"; });
        connect(&unit, &Unit::requestModeDay, this, [&] { outcome << "day"; });
        connect(&unit, &Unit::requestModeNight, this, [&] { outcome << "night"; });
        connect(&unit, &Unit::requestConnectWard, this, [&](const QString& id) { outcome << "connect " + id; });
        connect(&unit, &Unit::requestDisconnectWard, this, [&](const QString& id) { outcome << "disconnect " + id; });
        m_server->clear();
        LogCapture log;
        deliver(unit, "Requests", request);

        outcome += m_server->take(Ip).filter(QRegularExpression("^(VoIP|VariousControl)"));
        outcome += log.linesStartingWith("Warning");
        if (calls->hasOwnCall()) {
            const Call now = calls->ownCall();
            outcome << QStringLiteral("own %1 mode %2 %3/%4")
                           .arg(now.code())
                           .arg(now.sourceMode())
                           .arg(now.displayInfo().client, now.displayInfo().ward);
        }
        QTEST(outcome, "outcome");
    }

    // A unit reporting its identity unasked, or a new own call during a talk, has restarted: out
    // of step, nothing is made of the identity; the device codes of the report still count.
    void fallsOutOfSync()
    {
        Tolva unit(Ip);
        Brisa other(OtherIp);
        bringUp(unit, "AcronymPU:Tolva");
        m_server->clear();
        QSignalSpy outOfSync(&unit, &RondelUnit::outOfSync);
        QSignalSpy updated(&unit, &Unit::basicInfoUpdated);
        QSignalSpy callsChanged(unit.calls(), &Calls::callsChanged);
        deliver(unit, "BasicInfo", "AcronymPU:Tolva");
        QCOMPARE(QList<int>({outOfSync.count(), updated.count(), callsChanged.count()}), QList<int>({1, 0, 0}));
        QCOMPARE(m_server->take(Ip), QStringList());

        Call received(CallType::VS, QStringLiteral("VS"), &other);
        unit.calls()->addReceivedCall(received);
        unit.calls()->setTalk(received);
        deliver(unit, "CallChange", "VS:1\nNV2:1");
        QCOMPARE(outOfSync.count(), 2);
        QVERIFY(!unit.calls()->hasOwnCall());
        QVERIFY(unit.calls()->hasNVCall("NV2"));

        // During a PA the call is taken.
        unit.calls()->setTalk(Call(CallType::PA, QStringLiteral("PA"), &other));
        deliver(unit, "CallChange", "VK:1");
        QCOMPARE(outOfSync.count(), 2);
        QVERIFY(unit.calls()->ownCall().isVK());
    }

    // A unit read while it goes on reporting: a call change during the reading is dropped (the
    // call status read next covers it); one after it waits for the state to be applied and is
    // then replayed, unless the unit is read afresh first.
    void retrievalQueuesAndReplaysCommands()
    {
        Tolva unit(Ip);
        unit.loadSettings({{"presences", QVariantMap{{"pp", true}, {"ps", true}}}});
        unit.attach(m_server.get());
        QSignalSpy outOfSync(&unit, &RondelUnit::outOfSync);
        QSignalSpy updated(&unit, &Unit::basicInfoUpdated);
        bool ownCallWhenAnnounced = false;
        connect(&unit, &Unit::basicInfoUpdated, this, [&] { ownCallWhenAnnounced = unit.calls()->hasOwnCall(); });

        unit.startStatusRetrieval();
        deliver(unit, "BasicInfo", "AcronymPU:Tolva\nFWVersionPU:02.04\nMAC Address:00:11:22:33:44:55");
        deliver(unit, "CallChange", "VK:1");
        deliver(unit, "PresenceStatus", "PS:1\nPP:0");
        deliver(unit, "CallStatus", "NV1:1\nVS:0");
        QCOMPARE(unit.pendingCommandCount(), 0);
        deliver(unit, "Notifications", "CallStatus NOT_CONNECTED");
        QCOMPARE(m_server->take(Ip), QStringList({"GetStatus|Presence", "GetStatus|Call", "GetStatus|Notifications"}));
        deliver(unit, "CallChange", "VS:1");
        QCOMPARE(unit.pendingCommandCount(), 1);
        QVERIFY(!unit.calls()->hasOwnCall());

        unit.initialiseFromBasicInfo();
        QCOMPARE(unit.firmwareVersion(), FirmwareVersion(2, 4));
        unit.applyRetrievedState();
        QCOMPARE(updated.count(), 1);
        QCOMPARE(updated.at(0).at(0).value<BasicInfo>().macAddress, QStringLiteral("001122334455"));
        QVERIFY(ownCallWhenAnnounced);
        QCOMPARE(unit.calls()->ownCall().code(), QStringLiteral("VS"));
        QVERIFY(unit.calls()->hasNVCall("NV1"));
        QVERIFY(unit.presences()->registeredPSFlag());
        QCOMPARE(outOfSync.count(), 0);
        // In order: the presence mode of a 2.4 firmware, the voice reset, the
        // ringing tone of the NV call (it rings on the unit itself although the
        // synthesizer speaks for it), the connection, configuration and PMB
        // requests, then the replayed call change rings for the own call.
        QCOMPARE(m_server->take(Ip),
                 QStringList({"SetMode|PS:Permanent\nPP:Permanent", "VoIP|EndCall",
                              "Buzz|Target:Base\nToneType:NV\nVolume:Day", "GetStatus|Connection",
                              "GetStatus|Config", "PMBGetStatus|Info",
                              "Buzz|Target:Base\nToneType:Ringing\nVolume:Day"}));

        // Read, and a cancellation waits for the state to be applied; the unit, out of step, is read
        // again after the patient called once more: the cancellation is stale.
        unit.startStatusRetrieval();
        answerRetrieval(unit, "AcronymPU:Tolva", "NV1:1");
        deliver(unit, "CallChange", "NV1:0");
        QCOMPARE(unit.pendingCommandCount(), 1);
        bringUp(unit, "AcronymPU:Tolva", "NV1:1");
        QVERIFY(unit.calls()->hasNVCall("NV1"));
    }

    // A flooding unit holds a bounded number of waiting commands and device calls; the warning names it.
    void floodsAreBounded()
    {
        LogCapture log;
        Tolva unit(Ip);
        for (int i = 0; i < 202; ++i) // not in step yet: everything waits
            unit.receivedCommand(parsedCommand("CallChange", "VS:0"));
        QCOMPARE(unit.pendingCommandCount(), 200);
        bringUp(unit, "AcronymPU:Tolva");
        QStringList codes;
        for (int i = 0; i < 40; ++i)
            codes << QStringLiteral("BT%1:1").arg(i);
        deliver(unit, "CallChange", codes.join('\n'));
        QCOMPARE(unit.calls()->nvCalls().size(), 32);
        QCOMPARE(log.linesStartingWith("Warning"),
                 QStringList({"Warning \"127.0.0.2 200 commands wait for the unit's state, later ones are dropped\"",
                              "Warning \"127.0.0.2 32 device calls already, 8 more ignored\""}));
    }

    void callSignalsBecomeCommands()
    {
        Tolva unit(Ip);
        Tolva other(OtherIp);
        bringUp(unit, "AcronymPU:Tolva");
        Calls* calls = unit.calls();

        deliver(unit, "DialCall", "Dial:205\nDestination:Base");
        Call dial = calls->ownCall();
        m_server->clear();
        Call ringing = dial;
        ringing.setRinging();
        calls->updateOwnCall(ringing);
        calls->terminateCall(ringing, EndType::TargetBusy);
        QCOMPARE(m_server->take(Ip).filter("DialProgress"),
                 QStringList({"DialProgress|State:Ringing", "DialProgress|State:Busy"}));
        // Any other end of a dial, such as a number nobody has, is a failure.
        deliver(unit, "DialCall", "Dial:205\nDestination:Base");
        m_server->clear();
        calls->terminateCall(calls->ownCall(), EndType::NoValidTargets);
        QCOMPARE(m_server->take(Ip).filter("DialProgress"), QStringList({"DialProgress|State:Failed"}));

        deliver(unit, "CallChange", "VS:1");
        Call own = calls->ownCall();
        const VoIP voip{0, 53, 60, OtherIp, 10002, 10004};
        m_server->clear();
        own.setConnected();
        calls->connectCall(own, voip);
        calls->endTalk(own);
        calls->terminateCall(own, EndType::HangUp);
        QCOMPARE(m_server->take(Ip).filter(QRegularExpression("^(VoIP|CallHandle)")),
                 QStringList({"VoIP|ImmediateTalk 127.0.0.3 10002 10004\nSetAudioMode MIC_SPKR\n"
                              "SetAudioLevel IN 53\nSetAudioLevel OUT 60",
                              "VoIP|EndCall", "CallHandle|VS:Kill"}));

        // A PA of another unit is received; one's own is transmitted.
        Call pa(CallType::PA, QStringLiteral("PA"), &other);
        calls->connectReceivedCall(pa, voip);
        calls->terminateCall(pa, EndType::Canceled);
        QCOMPARE(m_server->take(Ip).filter(QRegularExpression("^(VoIP|VariousControl)")),
                 QStringList({"VoIP|ReceivePA IP 127.0.0.3 10004\nSetAudioMode MIC_SPKR\n"
                              "SetAudioLevel OUT 60",
                              "VariousControl|PARejected"}));
    }

    void displayInfoAndUnitInfo()
    {
        Brisa unit(Ip);
        unit.setInstallationSettings(nullptr, nullptr, m_nv.get(), nullptr);
        QVariantList nv;
        for (int i = 0; i < 9; ++i)
            nv.append(QVariantMap{{"name", i == 1 ? "Window bed" : ""}, {"bed", i == 1 ? 3 : 0}});
        unit.setLocation(Location{m_room.get(), 0});
        unit.loadSettings({{"clientName", "Jan"}, {"phone", "12"}, {"bed", 2}, {"nv", nv}});

        // A door-lock unit shows "V"; an NV input with its own name and bed shows them.
        Tolva tolva(OtherIp);
        const QStringList calls{shown(CallType::VS, "VS", &unit), shown(CallType::NV, "NV1", &unit),
                                shown(CallType::NV, "NV2", &unit), shown(CallType::AL, "AL", &tolva)};
        QCOMPARE(calls, QStringList({"V|Interna|Pokoj|12|2|Jan", "V|Interna|Pokoj|12|3|Window bed",
                                     "V|Interna|Pokoj|12|2|Jan", "A|Unknown ward|Unknown room|||"}));

        QVERIFY(unit.unitInfo() == (UnitInfo{QLatin1Char(' '), "Interna", "12", "2", "Pokoj", "Jan", "12"}));
        unit.reloadSettings({{"clientName", "Jan"}, {"phone", "12"}, {"nv", nv}},
                            Location{m_room.get(), 0});
        QVERIFY(unit.unitInfo().bedNo.isEmpty());
    }

    void reloadLevels_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value"); // none: the key is dropped
        QTest::addColumn<int>("level");
        QTest::newRow("client name") << "clientName" << QVariant("Petr") << 1;
        QTest::newRow("bed") << "bed" << QVariant(2) << 1;
        QTest::newRow("phone") << "phone" << QVariant("13") << 2;
        // Dropping the presences entry takes the configured PS away.
        QTest::newRow("presences dropped") << "presences" << QVariant() << 2;
        QTest::newRow("another room") << "room" << QVariant() << 2;
    }

    void reloadLevels()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        Tolva unit(Ip);
        unit.setInstallationSettings(nullptr, nullptr, m_nv.get(), nullptr);
        unit.setLocation(Location{m_room.get(), 0});
        const QVariantMap config{{"clientName", "Jan"}, {"phone", "12"}, {"bed", 1},
                                 {"presences", QVariantMap{{"ps", true}}}};
        unit.loadSettings(config);
        QVariantMap changed = config;
        if (value.isValid())
            changed.insert(key, value);
        else
            changed.remove(key);
        Room other(QStringLiteral("r2"));
        const Location there{key == QLatin1String("room") ? &other : m_room.get(), 0};
        QTEST(unit.reloadSettings(changed, there), "level");
        // What was reloaded is kept: the same again changes nothing.
        QCOMPARE(unit.reloadSettings(changed, there), 0);
    }

    void presenceModeByFirmware()
    {
        const QVariantMap config{{"presences", QVariantMap{{"pp", true}, {"ps", false}}}};
        const QList<QPair<QString, bool>> versions{
            {"2.3", false}, {"2.4", true}, {"03.00", true}, {"2.4.1", false}};
        for (const auto& version : versions) {
            Tolva unit(Ip);
            unit.loadSettings(config);
            bringUp(unit, "AcronymPU:Tolva\nFWVersionPU:" + version.first);
            QCOMPARE(unit.usesPresenceMode(), version.second);
            QCOMPARE(m_server->take(Ip).filter("SetMode"),
                     version.second ? QStringList({"SetMode|PS:Normal\nPP:Permanent"})
                                    : QStringList());
            QCOMPARE(unit.presences()->isPPRegistered(), version.second);
            QCOMPARE(unit.hasPresence(), version.second);
        }
    }

    // The screen type is matched in its letter case: "rasto" is no screen the
    // core knows, and the unit keeps the plain display.
    void pardoFollowsItsHandset()
    {
        Pardo pardo(Ip);
        bringUp(pardo, "AcronymPU:Pardo\nTypeGT:rasto");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(pardo.display()->metaObject(), &Display::staticMetaObject);
        QCOMPARE(pardo.display()->calls(), pardo.calls());
        QVERIFY(!pardo.acceptsDialCalls());
        QCOMPARE(pardo.sourceMode("VS"), 2);

        // The first change after a reset asks for the full status instead.
        m_server->clear();
        deliver(pardo, "ConnectionChange", "MTF:0082");
        QCOMPARE(m_server->take(Ip), QStringList({"GetStatus|Connection"}));
        QCOMPARE(pardo.connectedDevices()->mtfCode(), 0);

        QSignalSpy mtfChanged(&pardo, &RondelUnit::mtfChanged);
        deliver(pardo, "ConnectionStatus", "MTF:0082 (Nurse)");
        QCOMPARE(pardo.connectedDevices()->mtfCode(), 130);
        QCOMPARE(mtfChanged.count(), 1);
        QVERIFY(!pardo.acceptsDialCalls());
        QCOMPARE(pardo.sourceMode("VS"), 3);
        QCOMPARE(pardo.sourceMode("NV1"), 3);

        deliver(pardo, "ConnectionChange", "MTF:00A0");
        QCOMPARE(mtfChanged.count(), 2);
        QVERIFY(pardo.acceptsDialCalls());
        QCOMPARE(pardo.sourceMode("VS"), 2);

        // Talk volumes are looked up by these names: a Tolva on its handset is its own type.
        Tolva tolva(OtherIp);
        Brisa brisa(OtherIp);
        const QStringList types{pardo.audioType(2),
                                tolva.audioType(1), tolva.audioType(2), brisa.audioType(2)};
        QCOMPARE(types, QStringList({"Pardo", "Tolva/Brisa", "Tolva-MTF", "Tolva/Brisa"}));
    }

    void doorLock()
    {
        Melde melde(Ip);
        Tolva tolva(OtherIp);
        melde.attach(m_server.get());
        tolva.attach(m_server.get());
        melde.openDoor();
        tolva.openDoor();
        QCOMPARE(m_server->take(Ip), QStringList({"DoorLock|Action:Open\nTime:4"}));
        QCOMPARE(m_server->sent(OtherIp), QStringList());
    }

    void unconfiguredProbe()
    {
        UnconfiguredUnit unit(Ip);
        unit.attach(m_server.get());
        QSignalSpy basicInfo(&unit, &Unit::basicInfoUpdated);
        QSignalSpy sendingError(&unit, &UnconfiguredUnit::rondelSendingError);
        QSignalSpy sendingOK(&unit, &UnconfiguredUnit::rondelSendingOK);

        unit.startProbe();
        QCOMPARE(m_server->take(Ip), QStringList({"GetStatus|BasicInfo"}));
        unit.receivedCommand(parsedCommand("BasicInfo", "AcronymPU:Pardo"));
        QVERIFY(unit.isRondelUnit());
        QCOMPARE(unit.type(), 5);
        QCOMPARE(basicInfo.count(), 1);
        QCOMPARE(m_server->take(Ip), QStringList({"GetStatus|Presence"}));

        unit.unitNotResponding();
        unit.unitNotResponding();
        QCOMPARE(sendingError.count(), 1);
        QVERIFY(unit.hasRondelError());
        unit.unitStartResponding();
        QCOMPARE(sendingOK.count(), 1);
        QCOMPARE(m_server->take(Ip), QStringList({"GetStatus|Presence"}));
        unit.receivedCommand(parsedCommand("PresenceStatus", "PS:1"));
        QCOMPARE(unit.probeState(), int(UnconfiguredUnit::Done));
        QVERIFY(unit.presences()->isPSRegistered());

        // An address that never answers ends its probe as an unknown unit.
        UnconfiguredUnit silent(QHostAddress(QStringLiteral("127.0.0.5")));
        silent.attach(m_server.get());
        QSignalSpy silentInfo(&silent, &Unit::basicInfoUpdated);
        silent.startProbe();
        silent.unitNotResponding();
        QCOMPARE(silent.probeState(), int(UnconfiguredUnit::Done));
        QCOMPARE(silentInfo.count(), 1);
        QVERIFY(silentInfo.at(0).at(0).value<BasicInfo>().acronymPU.isEmpty());
        silent.unitStartResponding();
        QCOMPARE(silent.probeState(), int(UnconfiguredUnit::BasicInfoAsked));
        QVERIFY(silent.isRondelUnit());
    }

private:
    // Attaches the unit (once), then completes a retrieval from the given answers and applies it.
    void bringUp(RondelUnit& unit, const QString& basicInfo, const QString& callStatus = QString())
    {
        unit.attach(m_server.get());
        unit.startStatusRetrieval();
        answerRetrieval(unit, basicInfo, callStatus);
        unit.initialiseFromBasicInfo();
        unit.applyRetrievedState();
    }

    std::unique_ptr<RecordingServer> m_server;
    std::unique_ptr<NVSettings> m_nv;
    std::unique_ptr<Ward> m_ward;
    std::unique_ptr<Room> m_room;
};

QTEST_GUILESS_MAIN(TestUnitModels)
#include "tst_unitmodels.moc"
