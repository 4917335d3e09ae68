#include "rondel/rondel.h"
#include "rondel/rondelserver.h"
#include "support/logcapture.h"

#include <QtTest>

namespace {

// Keeps the commands the builder queues instead of sending them.
class RecordingServer : public RondelServer
{
public:
    RecordingServer()
        : RondelServer(nullptr, nullptr, nullptr)
    {
    }

    void send(const QVariantMap& command, const QHostAddress& ip) override
    {
        commands.append(command);
        addresses.append(ip);
    }

    // "Cmd" and "Msg" of the i-th queued command.
    QStringList at(int i) const
    {
        return {commands.at(i).value(QStringLiteral("Cmd")).toString(),
                commands.at(i).value(QStringLiteral("Msg")).toString()};
    }
    QStringList last() const { return at(commands.size() - 1); }

    QList<QVariantMap> commands;
    QList<QHostAddress> addresses;
};

CallDisplayInfo call(QChar icon, const QString& ward, const QString& roomNo, const QString& bedNo,
                     const QString& room, const QString& client)
{
    CallDisplayInfo info;
    info.icon = icon;
    info.ward = ward;
    info.roomNo = roomNo;
    info.bedNo = bedNo;
    info.room = room;
    info.client = client;
    return info;
}

PresenceDisplayInfo presence(const QString& ward, const QString& bedNo)
{
    PresenceDisplayInfo info;
    info.icon = QLatin1Char('P');
    info.ward = ward;
    info.roomNo = QStringLiteral("12");
    info.bedNo = bedNo;
    info.room = QStringLiteral("Room 12");
    info.client = QStringLiteral("Novak");
    return info;
}

} // namespace

class TestRondelBuilder : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void buzz();
    void callHandleAndProgress();
    void displayCallsList();
    void displayPresencesAndWards();
    void displayTalkAndClears();
    void displayDateTime();
    void lightsAndMode();
    void pmbConfigBT();
    void statusRequests();
    void radioConfiguration();
    void voice();
    void valuesCannotEndTheLineOrTheChecksum_data();
    void valuesCannotEndTheLineOrTheChecksum();

private:
    RecordingServer* m_server = nullptr;
    Rondel* m_rondel = nullptr;
    LogCapture* m_log = nullptr;
};

void TestRondelBuilder::init()
{
    m_log = new LogCapture;
    m_server = new RecordingServer;
    m_rondel = new Rondel(m_server, QHostAddress(QStringLiteral("127.0.0.5")), m_server);
}

void TestRondelBuilder::cleanup()
{
    delete m_server;
    delete m_log;
}

void TestRondelBuilder::buzz()
{
    m_rondel->buzz(BuzzParams::withVolume(1));
    QCOMPARE(m_server->last(), (QStringList{"Buzz", "Volume:Night\n"}));
    m_rondel->buzz(BuzzParams::withToneType(0));
    QCOMPARE(m_server->last(), (QStringList{"Buzz", "ToneType:None\n"}));
    m_rondel->buzz(BuzzParams());
    QCOMPARE(m_server->last(), (QStringList{"Buzz", ""}));
    m_rondel->buzz(BuzzParams(2, 6, 2, 3));
    QCOMPARE(m_server->last(),
             (QStringList{"Buzz", "Target:Mtf\nToneType:Ringing\nVolume:Day\nInvite:BlinkVSM\n"}));
    m_rondel->buzz(BuzzParams(3, 1, 3));
    QCOMPARE(m_server->last(),
             (QStringList{"Buzz", "Target:Synthesizer\nToneType:PV\nVolume:NotSet\n"}));
    m_rondel->buzz(BuzzParams(7, 9, 9, 4));
    QCOMPARE(m_server->last(),
             (QStringList{"Buzz", "Target:NotSet\nToneType:NotSet\nVolume:NotSet\nInvite:No\n"}));

    QCOMPARE(m_server->addresses.last(), QHostAddress(QStringLiteral("127.0.0.5")));
    QCOMPARE(m_log->count(QStringLiteral("Debug \"127.0.0.5 buzz\"")), 6);
}

void TestRondelBuilder::callHandleAndProgress()
{
    m_rondel->callHandle(QStringLiteral("NV1"), Rondel::Mute);
    QCOMPARE(m_server->last(), (QStringList{"CallHandle", "NV1:Mute\n"}));
    m_rondel->callHandle(QStringLiteral("VS"), 1);
    QCOMPARE(m_server->last(), (QStringList{"CallHandle", "VS:KillHard\n"}));
    m_rondel->callHandle(QStringLiteral("AL"), 3);
    QCOMPARE(m_server->last(), (QStringList{"CallHandle", "AL:Unmute\n"}));
    m_rondel->callHandle(QStringLiteral("AL"), 8);
    QCOMPARE(m_server->last(), (QStringList{"CallHandle", "AL:Kill\n"}));

    m_rondel->dialProgressBusy();
    m_rondel->dialProgressFailed();
    m_rondel->dialProgressRinging();
    QCOMPARE(m_server->at(4), (QStringList{"DialProgress", "State:Busy"}));
    QCOMPARE(m_server->at(5), (QStringList{"DialProgress", "State:Failed"}));
    QCOMPARE(m_server->at(6), (QStringList{"DialProgress", "State:Ringing"}));
    QVERIFY(m_log->contains(QStringLiteral("Debug \"127.0.0.5 dialProgressRinging\"")));
}

void TestRondelBuilder::displayCallsList()
{
    m_rondel->displayCalls({call('A', "Interna", "12", "3", "Room 12", "Novak"),
                            call('N', "", "14", "", "", "Svoboda"),
                            call('T', "Interna", "", "", "Room 15", "")});
    QCOMPARE(m_server->commands.size(), 3);
    QCOMPARE(m_server->at(0),
             (QStringList{"DisplayCalls", "Icon:A\nWard:Interna\nRoomNo:12\nBedNo:3\nRoom:Room 12\n"
                                          "Client:Novak\nNotFinished\n"}));
    QCOMPARE(m_server->at(1),
             (QStringList{"DisplayCalls", "Continue\nIcon:N\nRoomNo:14\nClient:Svoboda\nNotFinished\n"}));
    QCOMPARE(m_server->at(2),
             (QStringList{"DisplayCalls", "Continue\nIcon:T\nWard:Interna\nRoom:Room 15\n"}));
    QCOMPARE(m_log->count(QStringLiteral("Debug \"127.0.0.5 displayCalls\"")), 1);

    m_rondel->displayCalls({call('E', "", "", "", "", "")});
    QCOMPARE(m_server->last(), (QStringList{"DisplayCalls", "Icon:E\n"}));

    m_rondel->displayCalls({});
    QCOMPARE(m_server->commands.size(), 4);
}

void TestRondelBuilder::displayPresencesAndWards()
{
    m_rondel->displayPresences({presence("", "0"), presence("Interna", "x"), presence("Interna", "4")});
    QCOMPARE(m_server->commands.size(), 3);
    QCOMPARE(m_server->at(0), (QStringList{"DisplayPresences",
                                           "Icon:P\nWard:\nRoomNo:12\nRoom:Room 12\nClient:Novak\n"
                                           "TlfNo:\nNotFinished\n"}));
    QCOMPARE(m_server->at(1), (QStringList{"DisplayPresences",
                                           "Continue\nIcon:P\nWard:Interna\nRoomNo:12\nRoom:Room 12\n"
                                           "Client:Novak\nTlfNo:\nNotFinished\n"}));
    QCOMPARE(m_server->at(2), (QStringList{"DisplayPresences",
                                           "Continue\nIcon:P\nWard:Interna\nRoomNo:12\nBedNo:4\n"
                                           "Room:Room 12\nClient:Novak\nTlfNo:\n"}));

    m_rondel->displayWards({{"W1", "Interna", true}, {"W2", "Surgery", false}});
    QCOMPARE(m_server->at(3),
             (QStringList{"DisplayWards", "ID:W1\nName:Interna\nConnected:1\nNotFinished\n"}));
    QCOMPARE(m_server->at(4),
             (QStringList{"DisplayWards", "Continue\nID:W2\nName:Surgery\nConnected:0\n"}));
    QCOMPARE(m_log->count(QStringLiteral("Debug \"127.0.0.5 displayPresences\"")), 1);
    QCOMPARE(m_log->count(QStringLiteral("Debug \"127.0.0.5 displayWards\"")), 1);
}

void TestRondelBuilder::displayTalkAndClears()
{
    m_rondel->displayTalk(call('t', "Interna", "12", "", "Room 12", "Novak"));
    QCOMPARE(m_server->last(),
             (QStringList{"DisplayTalk", "Icon:t\nWard:Interna\nRoomNo:12\nRoom:Room 12\nClient:Novak\n"}));
    m_rondel->displayTalkClear();
    m_rondel->displayCallsClear();
    m_rondel->displayPresencesClear();
    m_rondel->displayWardsClear();
    QCOMPARE(m_server->at(1), (QStringList{"DisplayTalk", "Clear"}));
    QCOMPARE(m_server->at(2), (QStringList{"DisplayCalls", "Clear"}));
    QCOMPARE(m_server->at(3), (QStringList{"DisplayPresences", "Clear"}));
    QCOMPARE(m_server->at(4), (QStringList{"DisplayWards", "Clear"}));
    m_rondel->displayLanguage(2);
    QCOMPARE(m_server->last(), (QStringList{"DisplayLanguage", "Language:ENG\n"}));
    m_rondel->displayLanguage(9);
    QCOMPARE(m_server->last(), (QStringList{"DisplayLanguage", "Language:NONE\n"}));
    m_rondel->doorLockOpen(5);
    QCOMPARE(m_server->last(), (QStringList{"DoorLock", "Action:Open\nTime:5"}));
    m_rondel->variousControlPARejected();
    QCOMPARE(m_server->last(), (QStringList{"VariousControl", "PARejected"}));
}

void TestRondelBuilder::displayDateTime()
{
    // The payload carries the time of the call; accept either side of a
    // second boundary.
    const QDateTime before = QDateTime::currentDateTime();
    m_rondel->displayDateTime(60, QStringLiteral("Ludmila"));
    const QDateTime after = QDateTime::currentDateTime();
    const auto expected = [](const QDateTime& t) {
        return QStringLiteral("Date:%1\nTime:%2\nBright1:20:00,60\nBright2:7:00,60\nName:Ludmila\n")
            .arg(t.date().toString(QStringLiteral("d.M.yyyy")), t.time().toString(QStringLiteral("h:mm:ss")));
    };
    QCOMPARE(m_server->last().at(0), QStringLiteral("DisplayDateTime"));
    const QString payload = m_server->last().at(1);
    QVERIFY2(payload == expected(before) || payload == expected(after), qPrintable(payload));

    m_rondel->displayDateTime(5, QString());
    QVERIFY(!m_server->last().at(1).contains(QStringLiteral("Name:")));
    QVERIFY(m_server->last().at(1).endsWith(QStringLiteral("Bright2:7:00,5\n")));
}

void TestRondelBuilder::lightsAndMode()
{
    LightState all;
    all.ps = all.pp = all.pl = all.al = all.vp = all.vs = all.vk = all.nv = true;
    m_rondel->lights(all);
    QCOMPARE(m_server->last(),
             (QStringList{"Lights", "PS:1\nPP:1\nPL:1\nAL:1\nNV:1\nVP:1\nVS:1\nVK:1\n"}));
    m_rondel->lights(LightState());
    QCOMPARE(m_server->last(), (QStringList{"Lights", ""}));

    LightState room;
    room.vp = true;
    LightState unit;
    unit.nv = true;
    unit.ps = true;
    m_rondel->lights(room | unit);
    QCOMPARE(m_server->last(), (QStringList{"Lights", "PS:1\nNV:1\nVP:1\n"}));
    QVERIFY((room | unit) != room);
    QVERIFY((room | room) == room);

    m_rondel->setMode(PresenceMode{1, 0});
    QCOMPARE(m_server->last(), (QStringList{"SetMode", "PS:Permanent\nPP:Normal\n"}));
    m_rondel->setMode(PresenceMode{2, 1});
    QCOMPARE(m_server->last(), (QStringList{"SetMode", "PS:Normal\nPP:Permanent\n"}));
}

void TestRondelBuilder::pmbConfigBT()
{
    m_rondel->pmbConfigBT(PMBConfigBT());
    QCOMPARE(m_server->last(), (QStringList{"PMBSetConfigBT", "Erase\n"}));
    m_rondel->pmbConfigBT(PMBConfigBT{{"BTA1B2C3D4E5F6", "0"}, {"BT0123456789AB", "1"}});
    QCOMPARE(m_server->last(), (QStringList{"PMBSetConfigBT", "BT0:6789AB 1\nBT1:D4E5F6 0\n"}));
}

void TestRondelBuilder::statusRequests()
{
    m_rondel->requestAll();
    m_rondel->requestBasicInfo();
    m_rondel->requestCallStatus();
    m_rondel->requestConfig();
    m_rondel->requestConnectionStatus();
    m_rondel->requestFMStatus(1);
    m_rondel->requestNotifications();
    m_rondel->requestPresenceStatus();
    m_rondel->requestPMBConfigBT();
    m_rondel->requestPMBInfo();
    const QList<QStringList> expected{
        {"GetStatus", "All"},           {"GetStatus", "BasicInfo"},     {"GetStatus", "Call"},
        {"GetStatus", "Config"},        {"GetStatus", "Connection"},    {"GetStatus", "FM1Status"},
        {"GetStatus", "Notifications"}, {"GetStatus", "Presence"},      {"PMBGetStatus", "ConfigBT"},
        {"PMBGetStatus", "Info"}};
    QCOMPARE(m_server->commands.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(m_server->at(i), expected.at(i));
    QVERIFY(m_log->contains(QStringLiteral("Debug \"127.0.0.5 requestFMStatus\"")));
    QVERIFY(m_log->contains(QStringLiteral("Debug \"127.0.0.5 requestPMBInfo\"")));
}

void TestRondelBuilder::radioConfiguration()
{
    m_rondel->fmControl(2, QStringLiteral("98.5"));
    QCOMPARE(m_server->last(), (QStringList{"FM2Control", "Perform:Tune\nFreq:98.5\n"}));

    Config config;
    config.volumeCH1 = 7;
    config.volumeCH2 = 12;
    config.switchOnCH1 = true;
    config.inputs = 2;
    config.channelAddresses = {QHostAddress(QStringLiteral("239.254.1.1")),
                               QHostAddress(QStringLiteral("239.254.1.2"))};
    config.channelPorts = {5004, 5006};
    m_rondel->setConfigCorvi(config);
    QCOMPARE(m_server->last(),
             (QStringList{"SetConfig", "VolumeCH1:7\nVolumeCH2:12\nSwitchOnCH1:1\nSwitchOnCH2:0\n"
                                       "Inputs:FM1_EXT1\nCH1:239.254.1.1 5004\nCH2:239.254.1.2 5006\n"}));
    // A record short of channels writes what it has.
    config.channelAddresses.resize(1);
    config.channelPorts.resize(1);
    config.inputs = 0;
    m_rondel->setConfigCorvi(config);
    QCOMPARE(m_server->last(),
             (QStringList{"SetConfig", "VolumeCH1:7\nVolumeCH2:12\nSwitchOnCH1:1\nSwitchOnCH2:0\n"
                                       "Inputs:NotSet\nCH1:239.254.1.1 5004\n"}));

    m_rondel->setConfigRadioChannels({QHostAddress(QStringLiteral("239.254.0.1")),
                                      QHostAddress(QStringLiteral("239.254.0.2"))},
                                     {6000, 6002});
    QCOMPARE(m_server->last(), (QStringList{"SetConfig", "RadioChannels:2\nCH1:239.254.0.1 6000\n"
                                                         "CH2:239.254.0.2 6002\n"}));
    m_rondel->setConfigRadioChannels({}, {});
    QCOMPARE(m_server->last(), (QStringList{"SetConfig", "RadioChannels:0\n"}));
}

void TestRondelBuilder::voice()
{
    VoIP voip;
    voip.type = 2;
    voip.levelIn = 4;
    voip.levelOut = 6;
    voip.address = QHostAddress(QStringLiteral("10.10.0.21"));
    m_rondel->voipImmediateTalk(voip);
    QCOMPARE(m_server->last(),
             (QStringList{"VoIP", "ImmediateTalk 10.10.0.21 10002 10004\nSetAudioMode LINE_LEVEL\n"
                                  "SetAudioLevel IN 4\nSetAudioLevel OUT 6\n"}));
    voip.type = 1;
    voip.address = QHostAddress(QStringLiteral("239.254.0.9"));
    voip.portB = 10010;
    m_rondel->voipTransmitPA(voip);
    QCOMPARE(m_server->last(), (QStringList{"VoIP", "TransmitPA 239.254.0.9 10010\nSetAudioMode MIC_SPKR\n"
                                                    "SetAudioLevel IN 4\n"}));
    m_rondel->voipReceivePA(voip);
    QCOMPARE(m_server->last(), (QStringList{"VoIP", "ReceivePA IP 239.254.0.9 10010\nSetAudioMode MIC_SPKR\n"
                                                    "SetAudioLevel OUT 6\n"}));
    m_rondel->voipEndCall();
    QCOMPARE(m_server->last(), (QStringList{"VoIP", "EndCall"}));

    // The defaults: local host, ports 10002 and 10004.
    m_rondel->voipImmediateTalk(VoIP());
    QCOMPARE(m_server->last(),
             (QStringList{"VoIP", "ImmediateTalk 127.0.0.1 10002 10004\nSetAudioMode MIC_SPKR\n"
                                  "SetAudioLevel IN 0\nSetAudioLevel OUT 0\n"}));
}

void TestRondelBuilder::valuesCannotEndTheLineOrTheChecksum_data()
{
    QTest::addColumn<QString>("ward");
    QTest::addColumn<QString>("client");
    QTest::addColumn<QString>("payload");
    // A line break would start a marker line of its own; "CRC:" anywhere
    // makes the unit take its checksum from there and refuse the entry.
    QTest::newRow("line breaks") << "Ward\nNotFinished" << "Novak\r\nPetr"
                                 << "Icon:A\nWard:Ward NotFinished\nRoomNo:1\nClient:Novak  Petr\n";
    QTest::newRow("checksum marker") << "CRC:" << "Novak CRC:0 CRC:"
                                     << "Icon:A\nWard:CRC :\nRoomNo:1\nClient:Novak CRC :0 CRC :\n";
    QTest::newRow("marker after a break") << "W" << "Novak\nCRC:beef"
                                          << "Icon:A\nWard:W\nRoomNo:1\nClient:Novak CRC :beef\n";
    QTest::newRow("other case kept") << "crc:1" << "CRC;2"
                                     << "Icon:A\nWard:crc:1\nRoomNo:1\nClient:CRC;2\n";
}

void TestRondelBuilder::valuesCannotEndTheLineOrTheChecksum()
{
    QFETCH(QString, ward);
    QFETCH(QString, client);
    QFETCH(QString, payload);
    m_rondel->displayCalls({call('A', ward, "1", "", "", client)});
    QCOMPARE(m_server->last(), (QStringList{"DisplayCalls", payload}));
}

QTEST_GUILESS_MAIN(TestRondelBuilder)
#include "tst_rondelbuilder.moc"
