#include "support/fakeunit.h"
#include "rondel/parsers.h"
#include "rondel/records.h"
#include "rondel/rondelcommandparser.h"
#include "support/logcapture.h"

#include <QtTest>

// Parsers get the whole datagram, line ends normalised, header lines included.
static QByteArray datagram(const QByteArray& cmd, const QByteArray& payload, int msgNo = 1)
{
    return "MsgNo:" + QByteArray::number(msgNo) + "\nCmd:" + cmd + "\n" + payload + "CRC:0000";
}

// A command's record as one line, its fields in order, so that a fault
// shows whole. Maps are written sorted, "key=value" (buttons "key value").
QString describe(const Command& c)
{
    const auto sorted = [](const auto& map, QChar between) {
        QStringList entries;
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            entries << it.key() + between + QVariant(it.value()).toString();
        entries.sort();
        return entries.join(',');
    };
    const QString& name = c.name;
    QStringList f;
    if (name == "BasicInfo") {
        const BasicInfo i = c.record<BasicInfo>();
        f = QStringList{i.macAddress, i.namePU, i.acronymPU, i.productCodePU, i.typePU, i.fwVersionPU,
                        i.typeGT, i.fwVersionGT};
    } else if (name == "BT") {
        const BT b = c.record<BT>();
        f = QStringList{b.id, b.type, b.fwVersion, b.vBat};
    } else if (name == "PMBInfo") {
        const PMBInfo b = c.record<PMBInfo>();
        f = QStringList{b.id, b.type, b.fwVersion, b.err};
    } else if (name == "CallChange" || name == "CallStatus") {
        f << sorted(c.record<CallChange>(), '=');
    } else if (name == "Config") {
        const Config k = c.record<Config>();
        f << QString::number(k.radioChannels);
        for (int i = 0; i < qMax(k.channelAddresses.size(), k.channelPorts.size()); ++i)
            f << k.channelAddresses.value(i).toString() + ' ' + QString::number(k.channelPorts.value(i, -1));
        for (int n : {k.volumeCH1, k.volumeCH2, int(k.switchOnCH1), int(k.switchOnCH2), k.inputs})
            f << QString::number(n);
        f << (k.isComplete() ? "complete" : "incomplete");
    } else if (name == "ConnectionStatus" || name == "ConnectionChange") {
        const ConnectionStatus s = c.record<ConnectionStatus>();
        f << QString("sv=%1,oez=%2,mtf=%3").arg(s.sv).arg(s.oez).arg(s.mtf) << sorted(s.nv, '=')
          << sorted(s.vs, '=');
    } else if (name == "DialCall") {
        const DialCall d = c.record<DialCall>();
        f << d.number << (d.cancelled ? "cancelled" : "") << QString::number(d.destination);
    } else if (name == "FM1Status" || name == "FM2Status") {
        const FMStatus t = c.record<FMStatus>();
        f = QStringList{QString::number(t.tuner), QString::number(t.input), t.freq, t.freqOffs, t.pi, t.ps,
                        t.tuning, t.notFound, t.valid, t.poor, t.stereo, t.rail, t.rds, t.errors, t.rssi,
                        t.snr, t.mp, t.cap};
    } else if (name == "Notifications") {
        f << QString::number(c.record<Notifications>().voipState);
    } else if (name == "PresenceStatus") {
        f << QString("PS=%1,PP=%2").arg(c.record<PresenceStatus>().ps).arg(c.record<PresenceStatus>().pp);
    } else if (name == "PMBConfigBT") {
        f << sorted(c.record<PMBConfigBT>(), ' ');
    } else if (name == "Requests") {
        for (const Request& request : c.record<Requests>())
            f << QString::number(request.type) + ' ' + request.text;
    }
    return f.join('|');
}

// --- The per-address reader -------------------------------------------------

// What the reader does with datagrams, in order: "ack <no> <error>" and "OK"
// sent back, "got OK" and "got ack <no>" heard, and each command delivered as
// "<name> <no>: <record>".
struct ReaderJournal
{
    explicit ReaderJournal(RondelCommandParser* reader)
    {
        QObject::connect(reader, &RondelCommandParser::sendAck, reader,
                         [this](int no, int error) { lines << QStringLiteral("ack %1 %2").arg(no).arg(error); });
        QObject::connect(reader, &RondelCommandParser::sendOK, reader, [this] { lines << "OK"; });
        QObject::connect(reader, &RondelCommandParser::receivedOK, reader, [this] { lines << "got OK"; });
        QObject::connect(reader, &RondelCommandParser::receivedAck, reader,
                         [this](int no) { lines << "got ack " + QString::number(no); });
        QObject::connect(reader, &RondelCommandParser::receivedCommand, reader, [this](const Command& c) {
            commands << c;
            lines << QStringLiteral("%1 %2: %3").arg(c.name).arg(c.msgNo).arg(describe(c));
        });
    }
    QStringList lines;
    QList<Command> commands;
};

class TestRondelParsers : public QObject
{
    Q_OBJECT
private slots:
    void payloads_data()
    {
        QTest::addColumn<QString>("cmd");
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QString>("outcome"); // the record, or the error the unit is told
        QTest::newRow("basic info") << "BasicInfo"
            << "MAC Address:00:1A:2B:3C:4D:5E\nNamePU: Room unit \nAcronymPU:PJ\n"
               "ProductCodePU:PC-17\nTypePU:3\nFWVersionPU:2.4.1\nTypeGT:7\nFWVersionGT:1.0\n"
            << "001A2B3C4D5E|Room unit|PJ|PC-17|3|2.4.1|7|1.0";
        // A button's id is upper case with its prefix; a board's is as sent.
        QTest::newRow("button") << "BT" << "ID:00a1b2c3\nType:Pendant\nFWVersion:1.2\nVBat:3.1V\n"
                                << "00A1B2C3|Pendant|1.2|3.1V";
        QTest::newRow("board") << "PMBInfo" << "ID:00a1b2c3\nType:PMB2\nFWVersion:3.0\nErr:none\n"
                               << "00a1b2c3|PMB2|3.0|none";
        // The remark and the blank before it dropped; a later line replaces an
        // earlier one; a line without colon is skipped.
        QTest::newRow("call change")
            << "CallChange" << "NV1 (bed by the window):1\nAL:0\nVS : 2\nNoColonHere\nAL:1\n"
            << "AL=1,NV1=1,VS=2";
        QTest::newRow("reading stops at the checksum")
            << "CallStatus" << "VK:1\nCRC:1234\nVS:9\n" << "VK=1";
        QTest::newRow("radio") << "Config"
            << "RadioChannels:2\nCH1:239.254.1.1 5004\nCH2: 239.254.1.2  x\nVolumeCH1:7\n"
               "VolumeCH2:3\nSwitchOnCH1:1\nSwitchOnCH2:0\nInputs:fm1_ext1\n"
            << "2|239.254.1.1 5004|239.254.1.2 0|7|3|1|0|2|complete";
        QTest::newRow("radio short of channels, default inputs") << "Config"
            << "RadioChannels:3\nCH1:239.254.1.1 5004\n"
            << "3|239.254.1.1 5004|0|0|0|0|1|incomplete";
        QTest::newRow("connections") << "ConnectionStatus"
            << "OEZ:connect\nNV2:Connect VS:Disconnect\nNV5:Disconnect\nNV6:Unplugged\n"
               "MTF:80A1 (Nurse 3)\n"
            << "sv=0,oez=1,mtf=32929|NV1=0,NV2=1,NV3=0,NV4=0,NV5=0,NV6=-1,NV7=0,NV8=0|NV2=0";
        QTest::newRow("connections, handset not a number") << "ConnectionStatus"
            << "SV:Connect VS:Connect\nMTF:zz\n"
            << "sv=1,oez=0,mtf=0|NV1=0,NV2=0,NV3=0,NV4=0,NV5=0,NV6=0,NV7=0,NV8=0|";
        QTest::newRow("connections, no handset") << "ConnectionStatus" << "SV:Disconnect\n"
            << "sv=0,oez=0,mtf=-1|NV1=0,NV2=0,NV3=0,NV4=0,NV5=0,NV6=0,NV7=0,NV8=0|";
        // A change leaves unset what it does not mention, unlike a reported disconnection.
        QTest::newRow("connection change") << "ConnectionChange" << "NV8:Connect\n"
            << "sv=-1,oez=-1,mtf=-1|NV1=-1,NV2=-1,NV3=-1,NV4=-1,NV5=-1,NV6=-1,NV7=-1,NV8=1|";
        QTest::newRow("dial") << "DialCall" << "Dial:1234\nDestination:mtf\n" << "1234||2";
        QTest::newRow("dial cancelled") << "DialCall" << "Cancelled\n" << "|cancelled|0";
        QTest::newRow("tuner 2") << "FM2Status"
            << "Input:ext1\nFreq:98.5\nFreqOffs:-2\nPI:2204\nPS:RADIO 1\nTuning:0\nNotFound:0\n"
               "Valid:1\nPoor:0\nStereo:1\nRail:0\nRDS:1\nErrors:3\nRSSI:40\nSNR:25\nMP:4\nCap:12\n"
            << "2|2|98.5|-2|2204|RADIO 1|0|0|1|0|1|0|1|3|40|25|4|12";
        QTest::newRow("tuner 1") << "FM1Status" << "Input:FM\n" << "1|1||||||||||||||||";
        QTest::newRow("voice connected") << "Notifications" << "CallStatus connected\n" << "2";
        QTest::newRow("voice receiving PA")
            << "Notifications" << "CallStatus   RECEIVING_PA\n" << "5";
        QTest::newRow("voice, colon") << "Notifications" << "CallStatus:connected\n" << "0";
        QTest::newRow("presence") << "PresenceStatus" << "PS:1\nPP:0\n" << "PS=1,PP=0";
        QTest::newRow("presence, 2 is no") << "PresenceStatus" << "PS:2\nPP:1\n" << "PS=0,PP=1";
        QTest::newRow("pairing") << "PMBConfigBT" << "BT0:0123456789AB 1\nBT1: A1B2C3  0 \n"
                                 << "BT0123456789AB 1,BTA1B2C3 0";
        QTest::newRow("requests") << "Requests"
            << "startpa\nSomething else\nConnectWard 3\nDisconnectWard2\ntalkcancelrqst\n"
            << "5 startpa|9 ConnectWard 3|10 DisconnectWard2|1 talkcancelrqst";

        // Refused, with the error the unit is told.
        QTest::newRow("basic info without acronym")
            << "BasicInfo" << "NamePU:Other\n" << "refused 49";
        QTest::newRow("call state out of range") << "CallChange" << "NV2:3\n" << "refused 64";
        QTest::newRow("call state missing") << "CallChange" << "NV2:\n" << "refused 64";
        QTest::newRow("channel count not a number")
            << "Config" << "RadioChannels:two\n" << "refused 64";
        QTest::newRow("channel without port") << "Config" << "CH1:239.254.1.1\n" << "refused 64";
        QTest::newRow("channel address with port")
            << "Config" << "CH1:239.254.1.1:5004 1\n" << "refused 64";
        QTest::newRow("volume not a number") << "Config" << "VolumeCH2:loud\n" << "refused 64";
        QTest::newRow("unknown inputs") << "Config" << "Inputs:FM2\n" << "refused 64";
        QTest::newRow("connection without colon")
            << "ConnectionStatus" << "NV3 Connect\n" << "refused 64";
        QTest::newRow("dial without number") << "DialCall" << "Destination:Base\n" << "refused 49";
        QTest::newRow("dial to nowhere")
            << "DialCall" << "Dial:12\nDestination:Moon\n" << "refused 64";
        QTest::newRow("tuner input unknown") << "FM2Status" << "Input:AM\n" << "refused 64";
        QTest::newRow("pairing without slot")
            << "PMBConfigBT" << "BT0:0123456789AB\n" << "refused 64";
        QTest::newRow("pairing without colon")
            << "PMBConfigBT" << "BT0 0123456789AB 1\n" << "refused 64";
    }

    // What each parser reads from a payload it accepts, and the error with
    // which it refuses one the unit should not have sent.
    void payloads()
    {
        QFETCH(QString, cmd);
        QFETCH(QString, payload);
        RondelCommandParser reader;
        CommandParser* parser = reader.parser(cmd);
        QVERIFY(parser);
        if (const int error = parser->parse(datagram(cmd.toLatin1(), payload.toUtf8()))) {
            QTEST("refused " + QString::number(error), "outcome");
            return;
        }
        QCOMPARE(parser->command().name, cmd);
        QTEST(describe(parser->command()), "outcome");
    }

    // Every parse starts afresh, and a refused one leaves the last command.
    void parsersKeepNothingBetweenDatagrams()
    {
        BTParser parser;
        QCOMPARE(parser.parse(datagram("BT", "ID:1\nType:Pendant\n")), 0);
        QCOMPARE(parser.parse(datagram("BT", "VBat:2.9V\n")), 0);
        QCOMPARE(describe(parser.command()), QStringLiteral("|||2.9V"));
        BasicInfoParser info;
        QCOMPARE(info.parse(datagram("BasicInfo", "AcronymPU:PJ\nNamePU:Room unit\n")), 0);
        QCOMPARE(info.parse(datagram("BasicInfo", "NamePU:Other\n")), 49);
        QCOMPARE(info.command().record<BasicInfo>().namePU, QStringLiteral("Room unit"));
    }

    void reader_data()
    {
        // Each datagram is checksummed, but for those marked "!" which go as they are.
        QTest::addColumn<QStringList>("datagrams");
        QTest::addColumn<QStringList>("journal");
        const QString presence = QStringLiteral("MsgNo:9\nCmd:PresenceStatus\nPS:1\n");
        // Well-formed answers are never acknowledged; a broken one is.
        QTest::newRow("probe, answers") << QStringList{"!Ping", "!OK", "AckNo:12\nError:5\n", "AckNo:x\nError:0\n"}
                                        << QStringList{"OK", "got OK", "got ack 12", "ack -1 65528"};
        QTest::newRow("command") << QStringList{"MsgNo:4\r\nCmd:Requests\r\nOpenEZ\r\n"}
                                 << QStringList{"ack 4 0", "Requests 4: 4 OpenEZ"};
        // Refused with the parser's error; an unknown command is accepted and dropped.
        QTest::newRow("refused and unknown")
            << QStringList{"MsgNo:5\nCmd:BasicInfo\nNamePU:x\n", "MsgNo:6\nCmd:Weather\nSunny\n",
                           "!MsgNo:7\nCmd:Requests\nOpenEZ\nCRC:0000", "!MsgNo:8"}
            << QStringList{"ack 5 49", "ack 6 0", "ack 7 97", "ack 8 99"};
        // A repeat is acknowledged, not delivered again. Same number and name
        // with new content (a restarted unit counting afresh), or another name,
        // is another command; only the last delivered one is compared with.
        QTest::newRow("repeats")
            << QStringList{presence, presence, "MsgNo:9\nCmd:PresenceStatus\nPS:0\n", presence,
                           "MsgNo:9\nCmd:Requests\nOpenEZ\n", presence}
            << QStringList{"ack 9 0", "PresenceStatus 9: PS=1,PP=0", "ack 9 0", "ack 9 0",
                           "PresenceStatus 9: PS=0,PP=0", "ack 9 0", "PresenceStatus 9: PS=1,PP=0", "ack 9 0",
                           "Requests 9: 4 OpenEZ", "ack 9 0", "PresenceStatus 9: PS=1,PP=0"};
        // Our acknowledgement of the second part was lost: not gathered twice.
        const QString second = QStringLiteral("MsgNo:2\nCmd:Requests\nContinue\nStopPA\nNotFinished\n");
        QTest::newRow("series") << QStringList{"MsgNo:1\nCmd:Requests\nStartPA\nNotFinished\n", second, second,
                                               "MsgNo:3\nCmd:Requests\nContinue\nModeDay\n"}
                                << QStringList{"ack 1 0", "ack 2 0", "ack 2 0", "ack 3 0",
                                               "Requests 3: 5 StartPA|6 StopPA|7 ModeDay"};
        // A later report of a source replaces the earlier one.
        QTest::newRow("call status in parts")
            << QStringList{"MsgNo:4\nCmd:CallStatus\nNV1:1\nAL:1\nNotFinished\n",
                           "MsgNo:5\nCmd:CallStatus\nContinue\nNV2:2\nAL:0\n"}
            << QStringList{"ack 4 0", "ack 5 0", "CallStatus 5: AL=0,NV1=1,NV2=2"};
        // A series that starts afresh (no "Continue") drops an abandoned one.
        QTest::newRow("abandoned series")
            << QStringList{"MsgNo:6\nCmd:PMBConfigBT\nBT0:AAAAAA 1\nNotFinished\n",
                           "MsgNo:7\nCmd:PMBConfigBT\nBT0:BBBBBB 1\nNotFinished\n",
                           "MsgNo:8\nCmd:PMBConfigBT\nContinue\nBT1:CCCCCC 0\n"}
            << QStringList{"ack 6 0", "ack 7 0", "ack 8 0", "PMBConfigBT 8: BTBBBBBB 1,BTCCCCCC 0"};
    }

    void reader()
    {
        QFETCH(QStringList, datagrams);
        RondelCommandParser reader;
        ReaderJournal journal(&reader);
        for (const QString& datagram : datagrams) {
            reader.parseDatagram(datagram.startsWith('!') ? datagram.mid(1).toUtf8()
                                                          : FakeUnit::checksummed(datagram.toUtf8()));
        }
        QTEST(journal.lines, "journal");
        QCOMPARE(reader.pendingParser(), nullptr);
    }

    void boundsTheElementsOfASeries_data()
    {
        QTest::addColumn<int>("datagrams");
        QTest::addColumn<int>("linesEach");
        QTest::addColumn<int>("delivered"); // requests of the series delivered; 0: dropped
        QTest::newRow("at the limit") << 256 << 1 << 256;
        QTest::newRow("one datagram more") << 257 << 1 << 0;
        QTest::newRow("rest of a long series ignored") << 300 << 1 << 0;
        QTest::newRow("too many entries in few datagrams") << 3 << 100 << 0;
        QTest::newRow("single datagram, many entries") << 1 << 300 << 300;
    }

    void boundsTheElementsOfASeries()
    {
        QFETCH(int, datagrams);
        QFETCH(int, linesEach);
        QFETCH(int, delivered);
        LogCapture log;
        RondelCommandParser reader(QHostAddress(QStringLiteral("127.0.0.9")));
        ReaderJournal journal(&reader);

        for (int i = 0; i < datagrams; ++i) {
            QByteArray text = "MsgNo:" + QByteArray::number(i % 256) + "\nCmd:Requests\n";
            if (i > 0)
                text += "Continue\n";
            for (int line = 0; line < linesEach; ++line)
                text += "ConnectWard " + QByteArray::number(i) + "\n";
            if (i < datagrams - 1)
                text += "NotFinished\n";
            reader.parseDatagram(FakeUnit::checksummed(text));
        }
        QCOMPARE(journal.lines.filter(QRegularExpression("^ack ")).size(), datagrams); // all still acknowledged
        QCOMPARE(journal.commands.size(), delivered ? 1 : 0);
        if (delivered)
            QCOMPARE(journal.commands.at(0).record<Requests>().size(), delivered);
        QCOMPARE(log.linesStartingWith(QStringLiteral("Warning")),
                 delivered ? QStringList()
                           : QStringList{QStringLiteral("Warning \"Rondel - series of NotFinished datagrams "
                                                        "from 127.0.0.9 dropped: more than 256 elements\"")});

        // The next command is read as usual.
        reader.parseDatagram(FakeUnit::checksummed("MsgNo:77\nCmd:Requests\nOpenEZ\n"));
        QCOMPARE(journal.commands.last().record<Requests>().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestRondelParsers)
#include "tst_rondelparsers.moc"
