#include "core/constants.h"
#include "rondel/rondelformat.h"
#include "rondel/rondelmqttlogger.h"

#include <QtTest>

class TestRondelFormat : public QObject
{
    Q_OBJECT
private slots:
    void outgoingText()
    {
        // Trimmed, one line end, carriage returns dropped, checksum in lower case;
        // the checksums here are the units' own.
        QCOMPARE(RondelFormat::finish(QStringLiteral("  hello\r\nworld \n\n")),
                 QByteArray("hello\nworld\nCRC:2c67"));

        QCOMPARE(RondelFormat::acknowledgement(5, 0), QByteArray("AckNo:5\nError:0\nCRC:08d0"));
        QCOMPARE(RondelFormat::acknowledgement(-1, RondelInvalidAckNo),
                 QByteArray("AckNo:-1\nError:65528\nCRC:8028"));

        // An empty payload leaves no empty line; trailing blank lines of a
        // payload collapse into one line end.
        const auto datagram = [](const QString& name, const QString& payload, int number) {
            return RondelFormat::commandDatagram({name, payload}, number);
        };
        QCOMPARE(datagram("GetStatus", "BasicInfo", 7),
                 QByteArray("MsgNo:7\nCmd:GetStatus\nBasicInfo\nCRC:4d64"));
        QCOMPARE(datagram("Lights", QString(), 0), QByteArray("MsgNo:0\nCmd:Lights\nCRC:a376"));
        QCOMPARE(datagram("Lights", "PS:1\n\n\n", 0), QByteArray("MsgNo:0\nCmd:Lights\nPS:1\nCRC:026b"));

        // Text is UTF-8 on the wire, and the checksum covers the encoded bytes.
        QCOMPARE(datagram("DisplayCalls", QStringLiteral("Icon:A\nClient:\u017Dofie\n"), 3),
                 QByteArray("MsgNo:3\nCmd:DisplayCalls\nIcon:A\nClient:\xc5\xbdofie\nCRC:55a9"));
    }

    void headerReading_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("header"); // message number, command, error, "+" when not finished

        QTest::newRow("ping") << QByteArray("Ping") << "-1 Ping 0";
        QTest::newRow("ping crlf") << QByteArray("Ping\r\n") << "-1 Ping 0";
        QTest::newRow("ping after blank line") << QByteArray("\nPing") << "-1 Ping 0";
        QTest::newRow("ok") << QByteArray("OK") << "-1 OK 0";
        QTest::newRow("lone msgno") << QByteArray("MsgNo:7") << "7  99";
        QTest::newRow("command") << QByteArray("MsgNo:4\nCmd:Requests\nStartPA\nCRC:5a85") << "4 Requests 0";
        QTest::newRow("upper-case checksum")
            << QByteArray("MsgNo:4\nCmd:Requests\nStartPA\nCRC:5A85") << "4 Requests 0";
        QTest::newRow("checksum over crlf as received")
            << QByteArray("MsgNo:4\r\nCmd:Requests\r\nStartPA\r\nCRC:326b") << "4 Requests 0";
        QTest::newRow("crlf checksummed without cr")
            << QByteArray("MsgNo:4\r\nCmd:Requests\r\nStartPA\r\nCRC:5a85") << "4 Requests 97";
        QTest::newRow("wrong checksum") << QByteArray("MsgNo:4\nCmd:Requests\nStartPA\nCRC:5a86") << "4 Requests 97";
        QTest::newRow("checksum not hex") << QByteArray("MsgNo:2\nCmd:Requests\nCRC:zzzz") << "2 Requests 97";
        QTest::newRow("crc text inside payload")
            << QByteArray("MsgNo:1\nCmd:Requests\nNote CRC:here\nStartPA\nCRC:fc05") << "1 Requests 97";
        QTest::newRow("cmd on line 0") << QByteArray("Cmd:Requests\nMsgNo:1\nCRC:0000") << "-1  32";
        QTest::newRow("blank line before cmd") << QByteArray("MsgNo:1\n\nCmd:Requests\nStartPA\nCRC:0000") << "1  32";
        QTest::newRow("msgno not first") << QByteArray("\nMsgNo:1\nCmd:Requests\nCRC:0000") << "-1  17";
        QTest::newRow("ackno not first") << QByteArray("MsgNo:1\nAckNo:3\nCRC:0000") << "1  17";
        QTest::newRow("msgno not a number") << QByteArray("MsgNo:abc\nCmd:Requests\nCRC:0000") << "-1  64";
        QTest::newRow("empty key") << QByteArray("MsgNo:1\n:x\nCRC:0000") << "1  64";
        QTest::newRow("ack") << QByteArray("AckNo:12\nError:0\nCRC:191f") << "12 AckNo 0";
        QTest::newRow("ackno not a number") << QByteArray("AckNo:x\nError:0\nCRC:a864") << "-1 AckNo 65528";
        QTest::newRow("not finished")
            << QByteArray("MsgNo:1\nCmd:DisplayCalls\nContinue\nNotFinished\nCRC:1899") << "1 DisplayCalls 0 +";
        // A blank before the colon makes it an ordinary payload line.
        QTest::newRow("msgno with blank") << QByteArray("MsgNo :5\nCmd:Requests\nCRC:9e6d") << "-1 Requests 0";
        QTest::newRow("no cmd line") << QByteArray("MsgNo:9\nCRC:6c53") << "9  0";
        QTest::newRow("empty datagram") << QByteArray() << "-1  99";
        // Read as text: it ends at a zero byte, and any Unicode blank is trimmed.
        QTest::newRow("zero byte ends it") << QByteArray("MsgNo:7\nCmd:X\n\0CRC:0000", 23) << "7 X 99";
        QTest::newRow("ping after a non-ASCII blank") << QByteArray("\xc2\xa0Ping") << "-1 Ping 0";
        QTest::newRow("non-ASCII blank trimmed") << QByteArray("\xc2\xa0MsgNo:7\nCmd:X\nCRC:0000") << "7 X 97";
    }

    void headerReading()
    {
        QFETCH(QByteArray, datagram);
        const DatagramHeader h = RondelFormat::readHeader(datagram);
        QTEST(QStringLiteral("%1 %2 %3%4").arg(h.msgNo).arg(h.cmd).arg(h.error).arg(h.notFinished ? " +" : ""), "header");
    }

    // The mirror of a datagram on "rondel/<ip>/in|out": escaping, the command
    // name, the text ending at a zero byte, and text that is not ASCII.
    void trafficEntry_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QByteArray>("entry");
        const QByteArray stamp = ",\"timestamp\":\"2024-03-05T07:08:09.010\"}";
        QTest::newRow("escapes") << QByteArray("MsgNo:3\nCmd: Call\"Ch\\ange \t\nA:\x01\x1f\x7f\nCRC:0000")
            << "{\"cmd\":\"Call\\\"Ch\\\\ange\",\"data\":\"MsgNo:3\\nCmd: Call\\\"Ch\\\\ange \\t\\nA:\\u0001\\u001f\x7f\\nCRC:0000\"" + stamp;
        QTest::newRow("zero byte") << QByteArray("MsgNo:3\nCmd:X\nA:b\0c\nCRC:0000", 28)
            << "{\"cmd\":\"X\",\"data\":\"MsgNo:3\\nCmd:X\\nA:b\"" + stamp;
        QTest::newRow("zero byte before the name") << QByteArray("MsgNo:3\0\nCmd:X\nCRC:0000", 23)
            << "{\"cmd\":\"\",\"data\":\"MsgNo:3\"" + stamp;
        QTest::newRow("first Cmd: wins") << QByteArray("MsgNo:5\nCmdx:Cmd:Y\nCmd:Z\nCRC:0000")
            << "{\"cmd\":\"Y\",\"data\":\"MsgNo:5\\nCmdx:Cmd:Y\\nCmd:Z\\nCRC:0000\"" + stamp;
        QTest::newRow("acknowledgement") << QByteArray("AckNo:1\nError:\b\f\nCRC:0000")
            << "{\"cmd\":\"Ack\",\"data\":\"AckNo:1\\nError:\\b\\f\\nCRC:0000\"" + stamp;
        QTest::newRow("UTF-8, invalid byte") << QByteArray("MsgNo:4\nCmd:Show\nText:\xc5\xbd\xff\nCRC:0000")
            << "{\"cmd\":\"Show\",\"data\":\"MsgNo:4\\nCmd:Show\\nText:\xc5\xbd\xef\xbf\xbd\\nCRC:0000\"" + stamp;
        QTest::newRow("name trimmed of non-ASCII space")
            << QByteArray("MsgNo:6\r\nCmd:\xc2\xa0Name\xc2\xa0\r\nCRC:0000")
            << "{\"cmd\":\"Name\",\"data\":\"MsgNo:6\\r\\nCmd:\xc2\xa0Name\xc2\xa0\\r\\nCRC:0000\"" + stamp;
    }

    void trafficEntry()
    {
        QFETCH(QByteArray, datagram);
        QTEST(RondelMqttLogger::payload(datagram, "2024-03-05T07:08:09.010"), "entry");
    }
};

QTEST_GUILESS_MAIN(TestRondelFormat)
#include "tst_rondelformat.moc"
