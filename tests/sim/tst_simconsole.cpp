#include "simconsole.h"
#include "simulator.h"
#include "simwire.h"

#include <QtTest>

namespace {

const QVariantMap Installation{
    {"wards", QVariantList{QVariantMap{{"_id", "w-a"}, {"name", "Internal A"}}}},
    {"rooms", QVariantList{QVariantMap{{"_id", "r-101"}, {"name", "Room 101"}, {"number", 101}, {"ward", "w-a"}},
                           QVariantMap{{"_id", "r-nurse"}, {"name", "Nurses"}, {"number", 100}, {"ward", "w-a"}}}},
    {"units", QVariantList{
                  QVariantMap{{"_id", "127.0.0.11"}, {"type", "Tolva"}, {"room", "r-101"}, {"bed", 1}},
                  QVariantMap{{"_id", "127.0.0.14"}, {"type", "brisa"}, {"room", "r-101"}},
                  QVariantMap{{"_id", "127.0.0.15"}, {"type", "Pardo"}, {"room", "r-nurse"}},
                  QVariantMap{{"_id", "127.0.0.17"}, {"type", "Lumo"}},
                  QVariantMap{{"_id", "127.0.0.19"}, {"type", "Corvi"}, {"room", "r-nurse"}},
                  QVariantMap{{"_id", "300.0.0.1"}, {"type", "Tolva"}},
                  QVariantMap{{"_id", "127.0.0.20"}, {"type", "Tardis"}},
                  QVariantMap{{"_id", "127.0.0.11"}, {"type", "Brisa"}},
              }},
};

const QString CorviDefaults = "VolumeCH1:0\nVolumeCH2:0\nSwitchOnCH1:0\nSwitchOnCH2:0\n"
                              "Inputs:FM1_FM2\nCH1:0.0.0.0 0\nCH2:0.0.0.0 0";
const QString NothingPlugged = "SV:Connect\nOEZ:Disconnect\nNV1:Connect\nNV2:Disconnect\n"
                               "NV3:Disconnect\nNV4:Disconnect\nNV5:Disconnect\nNV6:Disconnect\n"
                               "NV7:Disconnect\nNV8:Disconnect";

// The simulator without sockets: a stand-in core acknowledges every command
// of a unit at once and records it as "Cmd|payload".
struct Rig
{
    Rig()
    {
        simulator.load(Installation, &problems);
        for (SimUnit* unit : simulator.units()) {
            QObject::connect(unit->link(), &SimLink::transmit, [this, unit](const QByteArray& bytes) {
                const SimWire::Datagram d = SimWire::dissect(bytes);
                if (d.kind != SimWire::Datagram::Command)
                    return;
                sent.append(d.cmd + QLatin1Char('|') + d.payload.trimmed());
                unit->link()->receive(SimWire::checksummed(
                    "AckNo:" + QByteArray::number(d.number) + "\nError:0\n"));
            });
        }
        QObject::connect(&simulator, &Simulator::changed, [this](const QString& line) { events.append(line); });
    }

    // "Cmd|payload", a list's elements separated by "||".
    void fromCore(const QString& ip, const QString& command)
    {
        const QString name = command.section(QLatin1Char('|'), 0, 0);
        const QStringList parts = command.section(QLatin1Char('|'), 1).split(QStringLiteral("||"));
        for (int i = 0; i < parts.size(); ++i) {
            QString payload = parts.at(i);
            if (i > 0)
                payload.prepend(QStringLiteral("Continue\n"));
            if (i < parts.size() - 1)
                payload.append(QStringLiteral("\nNotFinished"));
            simulator.unit(QHostAddress(ip))->link()->receive(SimWire::command(numbers.take(), name, payload));
        }
    }

    Simulator simulator;
    SimConsole console{&simulator};
    QStringList problems;
    QStringList sent;
    QStringList events;
    SimWire::Numbering numbers;
};

} // namespace

class TestSimConsole : public QObject
{
    Q_OBJECT
private slots:
    void installationAndGeneratedUnits()
    {
        Rig rig;
        QCOMPARE(rig.problems, QStringList({"unit 6: '300.0.0.1' is not an IPv4 address",
                                            "unit 127.0.0.20: unknown model 'Tardis'",
                                            "unit 127.0.0.11: listed twice, the first entry is used"}));
        QCOMPARE(rig.simulator.units().size(), 5);

        const QVariantMap generated = Simulator::generate(3, "mixed");
        QStringList units;
        for (const QVariant& u : generated.value("units").toList()) {
            const QVariantMap m = u.toMap();
            units.append(QStringList{m["_id"].toString(), m["type"].toString(), m["room"].toString(),
                                     m["bed"].toString(), m["clientName"].toString()}
                             .join(QLatin1Char(' ')));
        }
        QCOMPARE(units, QStringList({"127.0.1.1 Fenno r1 1 Bed 1/1", "127.0.1.2 Tolva r1 2 Bed 1/2",
                                     "127.0.1.3 Brisa r2 1 Bed 2/1"}));
        QCOMPARE(generated.value("rooms").toList().size(), 2);
        Simulator simulator;
        QStringList problems;
        simulator.load(generated, &problems);
        QVERIFY(problems.isEmpty());
        QCOMPARE(simulator.unit(QHostAddress("127.0.1.3"))->label(), QStringLiteral("127.0.1.3 Brisa (Room 2)"));
        QCOMPARE(Simulator::generate(600, "Tolva").value("units").toList().last().toMap().value("_id"),
                 QVariant("127.0.3.92"));
    }

    void commands_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QString>("error");

        const QString usageCall = "usage: call IP VS|VK|AL|NVn|DC NUMBER";
        QTest::newRow("call") << "" << "call 127.0.0.11 VS" << QStringList{"CallChange|VS:1"} << "";
        QTest::newRow("dial") << "" << "call 127.0.0.15 DC 102"
                              << QStringList{"DialCall|Dial:102\nDestination:Base"} << "";
        QTest::newRow("cancel one") << "call 127.0.0.11 VS" << "cancel 127.0.0.11 vs"
                                    << QStringList{"CallChange|VS:0"} << "";
        QTest::newRow("cancel all") << "call 127.0.0.15 DC 102" << "cancel 127.0.0.15"
                                    << QStringList{"DialCall|Cancelled"} << "";
        QTest::newRow("answer") << "" << "answer 127.0.0.15" << QStringList{"Requests|CallAnswerBase"} << "";
        QTest::newRow("hang up") << "" << "  hangup   127.0.0.15 " << QStringList{"Requests|TalkCancelRqst"} << "";
        QTest::newRow("presence") << "presence 127.0.0.11 PP on" << "presence 127.0.0.11 ps ON"
                                  << QStringList{"PresenceStatus|PS:1\nPP:1"} << "";
        QTest::newRow("pa starts") << "" << "pa 127.0.0.14" << QStringList{"Requests|StartPA"} << "";
        QTest::newRow("pa stops") << "pa 127.0.0.14" << "pa 127.0.0.14" << QStringList{"Requests|StopPA"} << "";
        QTest::newRow("door") << "" << "door 127.0.0.14" << QStringList{"Requests|OpenEZ"} << "";
        QTest::newRow("night") << "" << "mode 127.0.0.14 Night" << QStringList{"Requests|ModeNight"} << "";
        QTest::newRow("day") << "" << "mode 127.0.0.14 day" << QStringList{"Requests|ModeDay"} << "";
        QTest::newRow("no mode") << "" << "mode 127.0.0.14 dusk" << QStringList() << "usage: mode IP day|night";
        QTest::newRow("restart") << "" << "restart 127.0.0.11"
            << QStringList{"BasicInfo|AcronymPU:Tolva\nNamePU:Tolva bedside unit\nProductCodePU:TV-220\n"
                           "TypePU:Tolva\nFWVersionPU:02.17\nTypeGT:Rasto II\nFWVersionGT:02.17\n"
                           "MAC Address:02:00:7F:00:00:0B"}
            << "";
        QTest::newRow("comment") << "" << "# a note" << QStringList() << "";
        QTest::newRow("unplugged") << "unplug 127.0.0.11" << "call 127.0.0.11 VS" << QStringList()
                                   << "127.0.0.11 is unplugged (plug it in first)";

        QTest::newRow("unknown") << "" << "frobnicate 1" << QStringList() << "unknown command 'frobnicate' (try 'help')";
        QTest::newRow("no code") << "" << "call 127.0.0.11" << QStringList() << usageCall;
        QTest::newRow("bad code") << "" << "call 127.0.0.11 NV9" << QStringList() << usageCall;
        QTest::newRow("number without dial") << "" << "call 127.0.0.11 VS 12" << QStringList() << usageCall;
        QTest::newRow("too many words") << "" << "answer 127.0.0.11 now" << QStringList() << "usage: answer IP";
        QTest::newRow("no such unit") << "" << "door 127.0.0.99" << QStringList() << "no simulated unit at 127.0.0.99";
        QTest::newRow("not an address") << "" << "door kitchen" << QStringList() << "'kitchen' is not a unit address";
        QTest::newRow("nothing to cancel") << "" << "cancel 127.0.0.11" << QStringList() << "127.0.0.11 has no call to cancel";
        QTest::newRow("cancel bad code") << "" << "cancel 127.0.0.11 ZZ" << QStringList()
                                         << "'ZZ' is not a call code (VS, VK, AL, NV1..NV8, DC)";
        QTest::newRow("presence word") << "" << "presence 127.0.0.11 PS maybe" << QStringList()
                                       << "usage: presence IP PP|PS on|off";
        QTest::newRow("wait word") << "" << "wait soon" << QStringList()
                                   << "'soon' is not a number of milliseconds (0 to 3600000)";
    }

    void commands()
    {
        QFETCH(QString, before);
        QFETCH(QString, line);

        Rig rig;
        QCOMPARE(rig.console.execute(before).error, QString());
        rig.sent.clear();
        QTEST(rig.console.execute(line).error, "error");
        QTEST(rig.sent, "sent");
    }

    void coreDrivesUnits_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QStringList>("core");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QStringList>("replies");

        const QString bed1 = "Ward:Internal A\nRoomNo:101\nBedNo:1\nRoom:Room 101";
        const QString pardo = "127.0.0.15 Pardo (Nurses): ";
        QTest::newRow("ringing")
            << QStringList{"call 127.0.0.11 VS"} << "127.0.0.15"
            << QStringList{"DisplayCalls|Icon:P\n" + bed1 + "\nClient:Novak",
                           "Buzz|Target:Mtf\nToneType:PV\nVolume:Day\nInvite:BlinkVSM"}
            << QStringList{pardo + "rings VS from 127.0.0.11, bed 1",
                           pardo + "buzzes PV at Mtf, invite BlinkVSM, volume Day"}
            << QStringList();
        QTest::newRow("a list names each source")
            << QStringList{"call 127.0.0.14 AL", "call 127.0.0.11 NV4"} << "127.0.0.15"
            << QStringList{"DisplayCalls|Icon:V\nWard:Internal A\nRoomNo:101\nRoom:Room 101||Icon:n\n" + bed1,
                           "DisplayCalls|Clear",
                           "DisplayCalls|Icon:P\nClient:Centrální hlášení"}
            << QStringList{pardo + "rings AL from 127.0.0.14; shows muted NV4 from 127.0.0.11, bed 1",
                           pardo + "no longer shows AL from 127.0.0.14; no longer shows NV4 from 127.0.0.11, bed 1",
                           pardo + "rings call P: Centrální hlášení"}
            << QStringList();
        QTest::newRow("talk")
            << QStringList{"call 127.0.0.11 VS"} << "127.0.0.15"
            << QStringList{"DisplayTalk|Icon:P\n" + bed1,
                           "VoIP|ImmediateTalk 127.0.0.11 10004 10002\nSetAudioMode MIC_SPKR\nSetAudioLevel IN 5",
                           "GetStatus|Notifications", "VoIP|EndCall", "VoIP|EndCall", "DisplayTalk|Clear"}
            << QStringList{pardo + "shows talk with VS from 127.0.0.11, bed 1", pardo + "talks with 127.0.0.11",
                           pardo + "voice ended", pardo + "talk screen cleared"}
            << QStringList{"Notifications|CallStatus CONNECTED"};
        const QString tolva = "127.0.0.11 Tolva (Room 101): ";
        const QString clock = "DisplayDateTime|Date:1.2.2024\nTime:%1\nBright1:20:00,%2\nBright2:7:00,%2\nName:Hana";
        QTest::newRow("screen, lights and buzzer change only when they differ")
            << QStringList() << "127.0.0.11"
            << QStringList{"DisplayLanguage|Language:CZE", "DisplayLanguage|Language:CZE",
                           clock.arg("8:00:00").arg(100), clock.arg("8:15:00").arg(100),
                           clock.arg("8:30:00").arg(20), "Lights|", "Lights|PS:1\nVS:1", "Lights|",
                           "Buzz|Volume:Night", "Buzz|Target:Base\nToneType:Ringing\nVolume:Night",
                           "Buzz|ToneType:None", "Buzz|Volume:Night"}
            << QStringList{tolva + "language CZE", tolva + "shows 1.2.2024 8:00:00, backlight 100, name day Hana",
                           tolva + "shows 1.2.2024 8:30:00, backlight 20, name day Hana",
                           tolva + "lights PS VS", tolva + "lights off", tolva + "buzzer volume Night",
                           tolva + "buzzes Ringing at Base, volume Night", tolva + "buzzer off"}
            << QStringList();
        QTest::newRow("own calls handled by the core")
            << QStringList{"call 127.0.0.11 VS", "call 127.0.0.11 NV2"} << "127.0.0.11"
            << QStringList{"CallHandle|NV2:Mute", "GetStatus|Call", "CallHandle|VS:Kill", "GetStatus|Call",
                           "CallHandle|NV2:Kill", "GetStatus|Call"}
            << QStringList{tolva + "call NV2 muted", tolva + "call VS ended by the core",
                           tolva + "call NV2 ended by the core"}
            << QStringList{"CallStatus|NV2:2\nVS:1", "CallStatus|NV2:2", "CallStatus|VS:0"};
        QTest::newRow("dial, door and PA")
            << QStringList{"call 127.0.0.15 DC 102", "pa 127.0.0.15"} << "127.0.0.15"
            << QStringList{"DialProgress|State:Ringing", "DialProgress|State:Busy", "DoorLock|Action:Open\nTime:4",
                           "VariousControl|PARejected", "Frobnicate|1"}
            << QStringList{pardo + "dial 102 ringing", pardo + "dial 102 busy", pardo + "door opened for 4 s",
                           pardo + "PA rejected", pardo + "ignores unknown command Frobnicate"}
            << QStringList();
        QTest::newRow("status of a Lumo")
            << QStringList{"presence 127.0.0.17 PS on"} << "127.0.0.17"
            << QStringList{"GetStatus|All", "GetStatus|Presence", "PMBGetStatus|Info"} << QStringList()
            << QStringList{"BasicInfo|AcronymPU:Lumo\nNamePU:Lumo corridor display\nProductCodePU:LM-600\n"
                           "TypePU:Lumo\nFWVersionPU:01.02\nTypeGT:Lumo\nFWVersionGT:01.02\n"
                           "MAC Address:02:00:7F:00:00:11",
                           "ConnectionStatus|MTF:0000\n" + NothingPlugged, "PresenceStatus|PS:1\nPP:0",
                           "PMBInfo|ID:PMB00017\nType:PMB-2\nFWVersion:01.04\nErr:0"};
        const QString corviSet = "VolumeCH1:5\nVolumeCH2:5\nSwitchOnCH1:1\nSwitchOnCH2:0\nInputs:FM1_FM2\n"
                                 "CH1:10.10.0.1 5012\nCH2:10.10.0.1 5014";
        const QString corvi = "127.0.0.19 Corvi (Nurses): ";
        QTest::newRow("settings are reported back as set")
            << QStringList() << "127.0.0.19"
            << QStringList{"GetStatus|Config", "SetConfig|" + corviSet, "GetStatus|Config",
                           "FM1Control|Perform:Tune\nFreq:98.5", "GetStatus|FM1Status",
                           "PMBSetConfigBT|BT0:A1B2C3 NV1", "PMBGetStatus|ConfigBT", "PMBSetConfigBT|Erase",
                           "PMBGetStatus|ConfigBT"}
            << QStringList{corvi + "configured: VolumeCH1:5, VolumeCH2:5, SwitchOnCH1:1, SwitchOnCH2:0, "
                                   "Inputs:FM1_FM2, CH1:10.10.0.1 5012, CH2:10.10.0.1 5014",
                           corvi + "FM1 tuned to 98.5", corvi + "paired devices: BT0:A1B2C3 NV1",
                           corvi + "paired devices erased"}
            << QStringList{"Config|" + CorviDefaults, "Config|" + corviSet,
                           "FM1Status|Input:FM\nFreq:98.5\nPI:0\nPS:\nTuning:0\nNotFound:0\nValid:1\nPoor:0\n"
                           "Stereo:1\nRail:0\nRDS:1\nErrors:0\nRSSI:42\nSNR:30\nMP:0\nCap:0\nFreqOffs:0",
                           "PMBConfigBT|BT0:A1B2C3 NV1", "PMBConfigBT|"};
    }

    void coreDrivesUnits()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, ip);
        QFETCH(QStringList, core);

        Rig rig;
        for (const QString& line : before)
            QCOMPARE(rig.console.execute(line).error, QString());
        rig.sent.clear();
        for (const QString& command : core)
            rig.fromCore(ip, command);
        QTEST(rig.events, "events");
        QTEST(rig.sent, "replies");
    }

    // Lines after a "wait" run once it has passed; a bad line between is reported, the rest runs.
    void waitHoldsLaterLines()
    {
        Rig rig;
        QStringList errors;
        connect(&rig.console, &SimConsole::error, this, [&](const QString& e) { errors.append(e); });
        QSignalSpy idle(&rig.console, &SimConsole::idle);
        QElapsedTimer clock;
        clock.start();
        for (const char* line : {"wait 200", "bogus", "answer 127.0.0.11"})
            rig.console.feed(line);
        QVERIFY(rig.sent.isEmpty());
        QVERIFY(!rig.console.isIdle());
        QVERIFY(idle.wait(2000));
        QVERIFY(clock.elapsed() >= 190);
        QCOMPARE(errors, QStringList{"error: unknown command 'bogus' (try 'help')"});
        QCOMPARE(rig.sent, QStringList{"Requests|CallAnswerBase"});
    }
};

QTEST_GUILESS_MAIN(TestSimConsole)
#include "tst_simconsole.moc"
