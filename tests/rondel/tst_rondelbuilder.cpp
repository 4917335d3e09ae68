#include "rondel/rondel.h"
#include "support/logcapture.h"
#include "support/unitbus.h"

#include <QtTest>

#include <functional>

namespace {

CallDisplayInfo call(QChar icon, const QString& ward, const QString& roomNo, const QString& bedNo,
                     const QString& room, const QString& client)
{
    return {icon, ward, roomNo, bedNo, room, client};
}

PresenceDisplayInfo presence(const QString& ward, const QString& bedNo)
{
    return {QLatin1Char('P'), ward, QStringLiteral("12"), bedNo, QStringLiteral("Room 12"),
            QStringLiteral("Novak"), QString()};
}

using Build = std::function<void(Rondel&)>;

} // namespace

Q_DECLARE_METATYPE(Build)

class TestRondelBuilder : public QObject
{
    Q_OBJECT
private slots:
    void commands_data()
    {
        QTest::addColumn<Build>("build");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QString>("logged"); // the debug line's method name

        QTest::newRow("buzz") << Build([](Rondel& r) {
            r.buzz(BuzzParams::withVolume(1)); r.buzz(BuzzParams::withToneType(0)); r.buzz(BuzzParams());
            r.buzz(BuzzParams(2, 6, 2, 3)); r.buzz(BuzzParams(3, 1, 3)); r.buzz(BuzzParams(7, 9, 9, 4));
        }) << QStringList{"Buzz|Volume:Night", "Buzz|ToneType:None", "Buzz|",
                          "Buzz|Target:Mtf\nToneType:Ringing\nVolume:Day\nInvite:BlinkVSM",
                          "Buzz|Target:Synthesizer\nToneType:PV\nVolume:NotSet",
                          "Buzz|Target:NotSet\nToneType:NotSet\nVolume:NotSet\nInvite:No"} << "buzz";
        QTest::newRow("call handle") << Build([](Rondel& r) {
            r.callHandle(QStringLiteral("NV1"), Rondel::Mute); r.callHandle(QStringLiteral("VS"), 1);
            r.callHandle(QStringLiteral("AL"), 3); r.callHandle(QStringLiteral("AL"), 8);
        }) << QStringList{"CallHandle|NV1:Mute", "CallHandle|VS:KillHard", "CallHandle|AL:Unmute",
                          "CallHandle|AL:Kill"} << "callHandle";
        QTest::newRow("dial progress") << Build([](Rondel& r) {
            r.dialProgressBusy(); r.dialProgressFailed(); r.dialProgressRinging();
        }) << QStringList{"DialProgress|State:Busy", "DialProgress|State:Failed", "DialProgress|State:Ringing"}
                                       << "dialProgressRinging";
        // A list goes out in parts, each but the last marked unfinished.
        QTest::newRow("calls list") << Build([](Rondel& r) {
            r.displayCalls({call('A', "Interna", "12", "3", "Room 12", "Novak"),
                            call('N', "", "14", "", "", "Svoboda"), call('T', "Interna", "", "", "Room 15", "")});
            r.displayCalls({call('E', "", "", "", "", "")}); r.displayCalls({});
        }) << QStringList{"DisplayCalls|Icon:A\nWard:Interna\nRoomNo:12\nBedNo:3\nRoom:Room 12\nClient:Novak\nNotFinished",
                          "DisplayCalls|Continue\nIcon:N\nRoomNo:14\nClient:Svoboda\nNotFinished",
                          "DisplayCalls|Continue\nIcon:T\nWard:Interna\nRoom:Room 15", "DisplayCalls|Icon:E"}
                                    << "displayCalls";
        QTest::newRow("presences list") << Build([](Rondel& r) {
            r.displayPresences({presence("", "0"), presence("Interna", "x"), presence("Interna", "4")});
        }) << QStringList{"DisplayPresences|Icon:P\nWard:\nRoomNo:12\nRoom:Room 12\nClient:Novak\nTlfNo:\nNotFinished",
                          "DisplayPresences|Continue\nIcon:P\nWard:Interna\nRoomNo:12\nRoom:Room 12\nClient:Novak\n"
                          "TlfNo:\nNotFinished",
                          "DisplayPresences|Continue\nIcon:P\nWard:Interna\nRoomNo:12\nBedNo:4\nRoom:Room 12\n"
                          "Client:Novak\nTlfNo:"} << "displayPresences";
        QTest::newRow("wards list") << Build([](Rondel& r) {
            r.displayWards({{"W1", "Interna", true}, {"W2", "Surgery", false}});
        }) << QStringList{"DisplayWards|ID:W1\nName:Interna\nConnected:1\nNotFinished",
                          "DisplayWards|Continue\nID:W2\nName:Surgery\nConnected:0"} << "displayWards";
        QTest::newRow("talk and clears") << Build([](Rondel& r) {
            r.displayTalk(call('t', "Interna", "12", "", "Room 12", "Novak")); r.displayTalkClear();
            r.displayCallsClear(); r.displayPresencesClear(); r.displayWardsClear();
        }) << QStringList{"DisplayTalk|Icon:t\nWard:Interna\nRoomNo:12\nRoom:Room 12\nClient:Novak",
                          "DisplayTalk|Clear", "DisplayCalls|Clear", "DisplayPresences|Clear", "DisplayWards|Clear"}
                                         << "displayTalk";
        QTest::newRow("language, door, PA rejected") << Build([](Rondel& r) {
            r.displayLanguage(1); r.displayLanguage(0); r.displayLanguage(5); r.doorLockOpen(5);
            r.variousControlPARejected();
        }) << QStringList{"DisplayLanguage|Language:CZE", "DisplayLanguage|Language:NONE",
                          "DisplayLanguage|Language:NONE",
                          "DoorLock|Action:Open\nTime:5", "VariousControl|PARejected"} << "doorLockOpen";
        // Every light of either state burns in their combination.
        QTest::newRow("lights and mode") << Build([](Rondel& r) {
            LightState all;
            all.ps = all.pp = all.pl = all.al = all.vp = all.vs = all.vk = all.nv = true;
            LightState room;
            room.vp = true;
            r.lights(LightState() | all); r.lights(room | LightState()); r.lights(LightState());
            r.setMode(PresenceMode{1, 0}); r.setMode(PresenceMode{2, 1});
        }) << QStringList{"Lights|PS:1\nPP:1\nPL:1\nAL:1\nNV:1\nVP:1\nVS:1\nVK:1", "Lights|VP:1",
                          "Lights|", "SetMode|PS:Permanent\nPP:Normal", "SetMode|PS:Normal\nPP:Permanent"}
           << "lights";
        // The board keeps the last six digits of an address.
        QTest::newRow("pairing table") << Build([](Rondel& r) {
            r.pmbConfigBT(PMBConfigBT());
            r.pmbConfigBT(PMBConfigBT{{"BTA1B2C3D4E5F6", "0"}, {"BT0123456789AB", "1"}});
        }) << QStringList{"PMBSetConfigBT|Erase", "PMBSetConfigBT|BT0:6789AB 1\nBT1:D4E5F6 0"} << "pmbConfigBT";
        QTest::newRow("status requests") << Build([](Rondel& r) {
            r.requestAll(); r.requestBasicInfo(); r.requestCallStatus(); r.requestConfig();
            r.requestConnectionStatus(); r.requestFMStatus(1); r.requestNotifications(); r.requestPresenceStatus();
            r.requestPMBConfigBT(); r.requestPMBInfo();
        }) << QStringList{"GetStatus|All",       "GetStatus|BasicInfo",     "GetStatus|Call",
                          "GetStatus|Config",    "GetStatus|Connection",    "GetStatus|FM1Status",
                          "GetStatus|Notifications", "GetStatus|Presence", "PMBGetStatus|ConfigBT",
                          "PMBGetStatus|Info"} << "requestFMStatus";
        // A record short of channels writes what it has.
        QTest::newRow("radio") << Build([](Rondel& r) {
            r.fmControl(2, QStringLiteral("98.5"));
            Config config;
            config.volumeCH1 = 7;
            config.volumeCH2 = 12;
            config.switchOnCH1 = true;
            config.inputs = 2;
            config.channelAddresses = {QHostAddress("239.254.1.1"), QHostAddress("239.254.1.2")};
            config.channelPorts = {5004, 5006};
            r.setConfigCorvi(config);
            config.channelAddresses.resize(1);
            config.channelPorts.resize(1);
            config.inputs = 0;
            r.setConfigCorvi(config);
            r.setConfigRadioChannels({QHostAddress("239.254.0.1"), QHostAddress("239.254.0.2")}, {6000, 6002});
            r.setConfigRadioChannels({}, {});
        }) << QStringList{"FM2Control|Perform:Tune\nFreq:98.5",
                          "SetConfig|VolumeCH1:7\nVolumeCH2:12\nSwitchOnCH1:1\nSwitchOnCH2:0\n"
                          "Inputs:FM1_EXT1\nCH1:239.254.1.1 5004\nCH2:239.254.1.2 5006",
                          "SetConfig|VolumeCH1:7\nVolumeCH2:12\nSwitchOnCH1:1\nSwitchOnCH2:0\n"
                          "Inputs:NotSet\nCH1:239.254.1.1 5004",
                          "SetConfig|RadioChannels:2\nCH1:239.254.0.1 6000\nCH2:239.254.0.2 6002",
                          "SetConfig|RadioChannels:0"} << "setConfigCorvi";
        // The defaults: local host, ports 10002 and 10004.
        QTest::newRow("voice") << Build([](Rondel& r) {
            VoIP voip{2, 4, 6, QHostAddress(QStringLiteral("10.10.0.21")), 10002, 10004};
            r.voipImmediateTalk(voip);
            voip.type = 1;
            voip.address = QHostAddress(QStringLiteral("239.254.0.9"));
            voip.portB = 10010;
            r.voipTransmitPA(voip); r.voipReceivePA(voip); r.voipEndCall(); r.voipImmediateTalk(VoIP());
        }) << QStringList{"VoIP|ImmediateTalk 10.10.0.21 10002 10004\nSetAudioMode LINE_LEVEL\n"
                          "SetAudioLevel IN 4\nSetAudioLevel OUT 6",
                          "VoIP|TransmitPA 239.254.0.9 10010\nSetAudioMode MIC_SPKR\nSetAudioLevel IN 4",
                          "VoIP|ReceivePA IP 239.254.0.9 10010\nSetAudioMode MIC_SPKR\nSetAudioLevel OUT 6",
                          "VoIP|EndCall",
                          "VoIP|ImmediateTalk 127.0.0.1 10002 10004\nSetAudioMode MIC_SPKR\n"
                          "SetAudioLevel IN 0\nSetAudioLevel OUT 0"} << "voipImmediateTalk";

        // A line break would start a marker line of its own; "CRC:" anywhere
        // makes the unit take its checksum from there and refuse the entry.
        const auto entry = [](const QString& ward, const QString& client) {
            return Build([=](Rondel& r) { r.displayCalls({call('A', ward, "1", "", "", client)}); });
        };
        QTest::newRow("line breaks in values") << entry("Ward\nNotFinished", "Novak\r\nPetr")
            << QStringList{"DisplayCalls|Icon:A\nWard:Ward NotFinished\nRoomNo:1\nClient:Novak  Petr"} << "displayCalls";
        QTest::newRow("checksum marker in values") << entry("CRC:", "Novak CRC:0 CRC:")
            << QStringList{"DisplayCalls|Icon:A\nWard:CRC :\nRoomNo:1\nClient:Novak CRC :0 CRC :"} << "displayCalls";
        QTest::newRow("marker after a break") << entry("W", "Novak\nCRC:beef")
            << QStringList{"DisplayCalls|Icon:A\nWard:W\nRoomNo:1\nClient:Novak CRC :beef"} << "displayCalls";
        QTest::newRow("other case kept") << entry("crc:1", "CRC;2")
            << QStringList{"DisplayCalls|Icon:A\nWard:crc:1\nRoomNo:1\nClient:CRC;2"} << "displayCalls";
    }

    // Each builder call queues exactly these commands for the unit's address
    // (as the transport sends them: trimmed) and leaves one debug line naming itself.
    void commands()
    {
        QFETCH(Build, build);
        QFETCH(QString, logged);
        LogCapture log;
        RecordingServer server;
        Rondel rondel(&server, QHostAddress(QStringLiteral("127.0.0.5")), &server);
        build(rondel);
        QTEST(server.sent(QHostAddress(QStringLiteral("127.0.0.5"))), "sent");
        QVERIFY(log.contains("Debug \"127.0.0.5 " + logged + "\""));
    }
};

QTEST_GUILESS_MAIN(TestRondelBuilder)
#include "tst_rondelbuilder.moc"
