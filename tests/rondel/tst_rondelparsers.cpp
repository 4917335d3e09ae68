#include "support/fakeunit.h"
#include "rondel/parsers.h"
#include "rondel/records.h"
#include "rondel/rondelcommandparser.h"
#include "support/logcapture.h"

#include <QtTest>

// Parsers get the whole datagram with line ends normalised; header lines are
// part of what they see.
static QByteArray datagram(const QByteArray& cmd, const QByteArray& payload, int msgNo = 1)
{
    return "MsgNo:" + QByteArray::number(msgNo) + "\nCmd:" + cmd + "\n" + payload + "CRC:0000";
}

// --- The per-address reader -------------------------------------------------

// What the reader does with datagrams, in order: "ack <no> <error>" and "OK"
// sent back, "got OK" and "got ack <no>" heard, and each command delivered as
// "<name> <no>: <content>".
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
            QStringList content;
            for (const Request& request : c.record<Requests>())
                content << request.text;
            const CallChange calls = c.record<CallChange>();
            QStringList sources;
            for (auto it = calls.cbegin(); it != calls.cend(); ++it)
                sources << it.key() + '=' + QString::number(it.value());
            sources.sort();
            content += sources;
            const PMBConfigBT buttons = c.record<PMBConfigBT>();
            for (auto it = buttons.cbegin(); it != buttons.cend(); ++it)
                content << it.key() + ' ' + it.value();
            if (c.name == QLatin1String("PresenceStatus"))
                content << QString("PS=%1").arg(c.record<PresenceStatus>().ps);
            lines << QStringLiteral("%1 %2: %3").arg(c.name).arg(c.msgNo).arg(content.join(','));
        });
    }
    QStringList lines;
    QList<Command> commands;
};


class TestRondelParsers : public QObject
{
    Q_OBJECT
private slots:
    void rejectedPayloads_data()
    {
        QTest::addColumn<QString>("cmd");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("error");
        QTest::newRow("basic info without acronym") << "BasicInfo" << QByteArray("NamePU:Other\n") << 49;
        QTest::newRow("call state out of range") << "CallChange" << QByteArray("NV2:3\n") << 64;
        QTest::newRow("call state missing") << "CallChange" << QByteArray("NV2:\n") << 64;
        QTest::newRow("channel count not a number") << "Config" << QByteArray("RadioChannels:two\n") << 64;
        QTest::newRow("channel without port") << "Config" << QByteArray("CH1:239.254.1.1\n") << 64;
        QTest::newRow("channel address with port") << "Config" << QByteArray("CH1:239.254.1.1:5004 1\n") << 64;
        QTest::newRow("volume not a number") << "Config" << QByteArray("VolumeCH2:loud\n") << 64;
        QTest::newRow("unknown inputs") << "Config" << QByteArray("Inputs:FM2\n") << 64;
        QTest::newRow("connection without colon") << "ConnectionStatus" << QByteArray("NV3 Connect\n") << 64;
        QTest::newRow("dial without number") << "DialCall" << QByteArray("Destination:Base\n") << 49;
        QTest::newRow("dial to nowhere") << "DialCall" << QByteArray("Dial:12\nDestination:Moon\n") << 64;
        QTest::newRow("tuner input unknown") << "FM2Status" << QByteArray("Input:AM\n") << 64;
        QTest::newRow("pairing without slot") << "PMBConfigBT" << QByteArray("BT0:0123456789AB\n") << 64;
        QTest::newRow("pairing without colon") << "PMBConfigBT" << QByteArray("BT0 0123456789AB 1\n") << 64;
    }

    // A payload the unit should not have sent is refused with the error it is told.
    void rejectedPayloads()
    {
        QFETCH(QString, cmd);
        QFETCH(QByteArray, payload);
        RondelCommandParser reader;
        CommandParser* parser = reader.parser(cmd);
        QVERIFY(parser);
        QTEST(parser->parse(datagram(cmd.toLatin1(), payload)), "error");
    }

    void basicInfoAndDevices()
    {
        BasicInfoParser parser;
        QCOMPARE(parser.parse(datagram("BasicInfo", "MAC Address:00:1A:2B:3C:4D:5E\nNamePU: Room unit \n"
                                                    "AcronymPU:PJ\nProductCodePU:PC-17\nTypePU:3\n"
                                                    "FWVersionPU:2.4.1\nTypeGT:7\nFWVersionGT:1.0\n")),
                 0);
        const BasicInfo info = parser.command().record<BasicInfo>();
        QCOMPARE(parser.command().name, QStringLiteral("BasicInfo"));
        QCOMPARE(QStringList({info.macAddress, info.namePU, info.acronymPU, info.productCodePU, info.typePU,
                              info.fwVersionPU, info.typeGT, info.fwVersionGT}),
                 QStringList({"001A2B3C4D5E", "Room unit", "PJ", "PC-17", "3", "2.4.1", "7", "1.0"}));
        QCOMPARE(parser.parse(datagram("BasicInfo", "NamePU:Other\n")), 49);
        QCOMPARE(parser.command().record<BasicInfo>().namePU, QStringLiteral("Room unit"));

        // A button's id is upper case with its prefix; a board's is as sent.
        BTParser bt;
        QCOMPARE(bt.parse(datagram("BT", "ID:00a1b2c3\nType:Pendant\nFWVersion:1.2\nVBat:3.1V\n")), 0);
        const BT device = bt.command().record<BT>();
        QCOMPARE(QStringList({device.id, device.type, device.fwVersion, device.vBat}),
                 QStringList({"00A1B2C3", "Pendant", "1.2", "3.1V"}));
        PMBInfoParser pmb;
        QCOMPARE(pmb.parse(datagram("PMBInfo", "ID:00a1b2c3\nType:PMB2\nFWVersion:3.0\nErr:none\n")), 0);
        const PMBInfo board = pmb.command().record<PMBInfo>();
        QCOMPARE(QStringList({board.id, board.type, board.fwVersion, board.err}),
                 QStringList({"00a1b2c3", "PMB2", "3.0", "none"}));
    }

    void callStatus()
    {
        // The remark and the blank before it dropped; a later line replaces an
        // earlier one; a line without colon is skipped.
        CallChangeParser change;
        QCOMPARE(change.parse(datagram("CallChange", "NV1 (bed by the window):1\nAL:0\nVS : 2\nNoColonHere\nAL:1\n")), 0);
        QCOMPARE(change.command().record<CallChange>(), (CallChange{{"NV1", 1}, {"AL", 1}, {"VS", 2}}));

        // Reading stops at the checksum line.
        CallStatusParser status;
        QCOMPARE(status.parse("MsgNo:3\nCmd:CallStatus\nVK:1\nCRC:1234\nVS:9\n"), 0);
        QCOMPARE(status.command().record<CallChange>(), (CallChange{{"VK", 1}}));
    }

    void config()
    {
        ConfigParser parser;
        QCOMPARE(parser.parse(datagram("Config", "RadioChannels:2\nCH1:239.254.1.1 5004\nCH2: 239.254.1.2  x\n"
                                                 "VolumeCH1:7\nVolumeCH2:3\nSwitchOnCH1:1\nSwitchOnCH2:0\n"
                                                 "Inputs:fm1_ext1\n")),
                 0);
        const Config config = parser.command().record<Config>();
        QCOMPARE(config.radioChannels, 2);
        QCOMPARE(config.channelAddresses,
                 (QVector<QHostAddress>{QHostAddress("239.254.1.1"), QHostAddress("239.254.1.2")}));
        QCOMPARE(config.channelPorts, (QVector<int>{5004, 0}));
        QCOMPARE(QList<int>({config.volumeCH1, config.volumeCH2, config.switchOnCH1, config.switchOnCH2, config.inputs}),
                 QList<int>({7, 3, 1, 0, 2}));
        QVERIFY(config.isComplete());

        QCOMPARE(parser.parse(datagram("Config", "RadioChannels:3\nCH1:239.254.1.1 5004\n")), 0);
        QVERIFY(!parser.command().record<Config>().isComplete());
        QCOMPARE(parser.command().record<Config>().inputs, 1); // default FM1_FM2
    }

    void connectionStatus()
    {
        ConnectionStatusParser parser;
        QCOMPARE(parser.parse(datagram("ConnectionStatus", "OEZ:connect\nNV2:Connect VS:Disconnect\n"
                                                           "NV5:Disconnect\nNV6:Unplugged\nMTF:80A1 (Nurse 3)\n")),
                 0);
        ConnectionStatus status = parser.command().record<ConnectionStatus>();
        QCOMPARE(status.sv, 0); // no "SV:" line
        QCOMPARE(status.oez, 1);
        QCOMPARE(status.nv.size(), 8);
        QCOMPARE(QList<int>({status.nv.value("NV1"), status.nv.value("NV2"), status.nv.value("NV5"), status.nv.value("NV6")}),
                 QList<int>({0, 1, 0, -1}));
        QCOMPARE(status.vs, (QHash<QString, int>{{QStringLiteral("NV2"), 0}}));
        QCOMPARE(status.mtf, 0x80A1);

        QCOMPARE(parser.parse(datagram("ConnectionStatus", "SV:Connect VS:Connect\nMTF:zz\n")), 0);
        status = parser.command().record<ConnectionStatus>();
        QCOMPARE(status.sv, 1);
        QCOMPARE(status.mtf, 0);
        QVERIFY(status.vs.isEmpty());
        QCOMPARE(parser.parse(datagram("ConnectionStatus", "SV:Disconnect\n")), 0);
        QCOMPARE(parser.command().record<ConnectionStatus>().mtf, -1);

        // What a change does not mention is not set, so that it can be told
        // from a reported disconnection.
        ConnectionChangeParser change;
        QCOMPARE(change.parse(datagram("ConnectionChange", "NV8:Connect\n")), 0);
        status = change.command().record<ConnectionStatus>();
        QCOMPARE(QList<int>({status.nv.value("NV8"), status.nv.value("NV1"), status.sv, status.oez, status.mtf}),
                 QList<int>({1, -1, -1, -1, -1}));
    }

    void dialCall()
    {
        DialCallParser parser;
        QCOMPARE(parser.parse(datagram("DialCall", "Dial:1234\nDestination:mtf\n")), 0);
        DialCall dial = parser.command().record<DialCall>();
        QCOMPARE(dial.number, QStringLiteral("1234"));
        QVERIFY(!dial.cancelled);
        QCOMPARE(dial.destination, 2);

        QCOMPARE(parser.parse(datagram("DialCall", "Cancelled\n")), 0);
        dial = parser.command().record<DialCall>();
        QVERIFY(dial.cancelled && dial.number.isEmpty());
        QCOMPARE(dial.destination, 0);
    }

    void fmStatus()
    {
        FM2StatusParser parser;
        QCOMPARE(parser.parse(datagram("FM2Status",
                                       "Input:ext1\nFreq:98.5\nFreqOffs:-2\nPI:2204\nPS:RADIO 1\n"
                                       "Tuning:0\nNotFound:0\nValid:1\nPoor:0\nStereo:1\nRail:0\n"
                                       "RDS:1\nErrors:3\nRSSI:40\nSNR:25\nMP:4\nCap:12\n")),
                 0);
        const FMStatus status = parser.command().record<FMStatus>();
        QCOMPARE(status.tuner, 2);
        QCOMPARE(status.input, 2);
        const QStringList fields{status.freq, status.freqOffs, status.pi,       status.ps,
                                 status.tuning, status.notFound, status.valid, status.poor,
                                 status.stereo, status.rail,     status.rds,   status.errors,
                                 status.rssi,   status.snr,      status.mp,    status.cap};
        QCOMPARE(fields, (QStringList{"98.5", "-2", "2204", "RADIO 1", "0", "0", "1", "0", "1", "0",
                                      "1", "3", "40", "25", "4", "12"}));
        FM1StatusParser first;
        QCOMPARE(first.parse(datagram("FM1Status", "Input:FM\n")), 0);
        QCOMPARE(first.command().record<FMStatus>().tuner, 1);
        QCOMPARE(first.command().record<FMStatus>().input, 1);
    }

    void notificationsAndPresence()
    {
        NotificationsParser notifications;
        QList<int> states;
        for (const char* line : {"CallStatus connected\n", "CallStatus   RECEIVING_PA\n", "CallStatus:connected\n"}) {
            QCOMPARE(notifications.parse(datagram("Notifications", line)), 0);
            states << notifications.command().record<Notifications>().voipState;
        }
        QCOMPARE(states, QList<int>({2, 5, 0}));

        PresenceStatusParser presence;
        QCOMPARE(presence.parse(datagram("PresenceStatus", "PS:1\nPP:0\n")), 0);
        QVERIFY(presence.command().record<PresenceStatus>().ps && !presence.command().record<PresenceStatus>().pp);
        QCOMPARE(presence.parse(datagram("PresenceStatus", "PS:2\nPP:1\n")), 0);
        QVERIFY(!presence.command().record<PresenceStatus>().ps && presence.command().record<PresenceStatus>().pp);
    }

    void pmbConfigBT()
    {
        PMBConfigBTParser parser;
        QCOMPARE(parser.parse(datagram("PMBConfigBT", "BT0:0123456789AB 1\nBT1: A1B2C3  0 \n")), 0);
        QCOMPARE(parser.command().record<PMBConfigBT>(),
                 (PMBConfigBT{{QStringLiteral("BT0123456789AB"), QStringLiteral("1")},
                              {QStringLiteral("BTA1B2C3"), QStringLiteral("0")}}));
    }

    void requests()
    {
        RequestsParser parser;
        QCOMPARE(parser.parse(datagram("Requests", "startpa\nSomething else\nConnectWard 3\n"
                                                   "DisconnectWard2\ntalkcancelrqst\n")),
                 0);
        QStringList read;
        for (const Request& request : parser.command().record<Requests>())
            read << QString::number(request.type) + ' ' + request.text;
        QCOMPARE(read, QStringList({"5 startpa", "9 ConnectWard 3", "10 DisconnectWard2", "1 talkcancelrqst"}));
    }

    void everyParseStartsAfresh()
    {
        BTParser parser;
        QCOMPARE(parser.parse(datagram("BT", "ID:1\nType:Pendant\n")), 0);
        QCOMPARE(parser.parse(datagram("BT", "VBat:2.9V\n")), 0);
        QVERIFY(parser.command().record<BT>().id.isEmpty());
        QVERIFY(parser.command().record<BT>().type.isEmpty());
    }

    void reader_data()
    {
        // Each datagram is checksummed, but for those marked "!" which go as
        // they are.
        QTest::addColumn<QStringList>("datagrams");
        QTest::addColumn<QStringList>("journal");
        const QString presence = QStringLiteral("MsgNo:9\nCmd:PresenceStatus\nPS:1\n");
        // Well-formed answers are never acknowledged; a broken one is.
        QTest::newRow("probe, answers") << QStringList{"!Ping", "!OK", "AckNo:12\nError:5\n", "AckNo:x\nError:0\n"}
                                        << QStringList{"OK", "got OK", "got ack 12", "ack -1 65528"};
        QTest::newRow("command") << QStringList{"MsgNo:4\r\nCmd:Requests\r\nOpenEZ\r\n"}
                                 << QStringList{"ack 4 0", "Requests 4: OpenEZ"};
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
            << QStringList{"ack 9 0", "PresenceStatus 9: PS=1", "ack 9 0", "ack 9 0", "PresenceStatus 9: PS=0",
                           "ack 9 0", "PresenceStatus 9: PS=1", "ack 9 0", "Requests 9: OpenEZ", "ack 9 0",
                           "PresenceStatus 9: PS=1"};
        // Our acknowledgement of the second part was lost: not gathered twice.
        const QString second = QStringLiteral("MsgNo:2\nCmd:Requests\nContinue\nStopPA\nNotFinished\n");
        QTest::newRow("series") << QStringList{"MsgNo:1\nCmd:Requests\nStartPA\nNotFinished\n", second, second,
                                               "MsgNo:3\nCmd:Requests\nContinue\nModeDay\n"}
                                << QStringList{"ack 1 0", "ack 2 0", "ack 2 0", "ack 3 0",
                                               "Requests 3: StartPA,StopPA,ModeDay"};
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
