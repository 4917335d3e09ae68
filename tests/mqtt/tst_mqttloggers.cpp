#include "core/clock.h"
#include "mqtt/mqttpublisher.h"
#include "rondel/rondelmqttlogger.h"
#include "support/brokerfixture.h"
#include "support/fakeunit.h"
#include "support/temproot.h"

#include <QUdpSocket>
#include <QtTest>

#include <ctime>

// What leaves the core on MQTT from its logs: critical lines on "core/error"
// and the mirror of the field-bus traffic.
class TestMqttLoggers : public QObject
{
    Q_OBJECT
private slots:
    // One broker for all: the tests publish nothing retained.
    void initTestCase() { QVERIFY2(m_broker.start(), qPrintable(m_broker.errorString())); }

    void busTrafficIsMirroredPerUnitAndDirectionInLocalTime()
    {
        BrokerClient watcher(m_broker);
        QVERIFY(watcher.watch({"rondel/#"}));
        MqttPublisher publisher(m_broker.host(), m_broker.port());
        publisher.connectToHost();
        QTRY_VERIFY(publisher.isConnectedToHost());

        RondelMqttLogger logger(&publisher);
        logger.setClock([] { return QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9, 10)); });
        const QHostAddress unit(QStringLiteral("127.0.0.2"));
        const QHostAddress other(QStringLiteral("127.0.0.3"));

        logger.logSent("Ping", unit);
        logger.logReceived("OK", unit);
        logger.logReceived("Ping", other);
        logger.logSent("AckNo:12\nError:0\nCRC:1a2b", unit);
        logger.logReceived("MsgNo:7\r\nCmd:CallChange\r\nButton:1\r\nCRC:00ff", other);
        logger.logSent("MsgNo:200\nCmd:GetStatus\nCRC:4d2c", other);
        logger.logReceived("MsgNo:8\nMode:1\nCRC:0000", unit);
        logger.logSent("OK", other);

        QVERIFY(watcher.waitForMessages(4));
        QTest::qWait(100);
        // Ping and OK are not mirrored; a datagram without a command line shows with no name.
        const QString entry = R"(rondel/%1 q0 {"cmd":"%2","data":"%3","timestamp":"2024-03-05T07:08:09.010"})";
        QCOMPARE(watcher.summaries(), QStringList({
            entry.arg("127.0.0.2/out", "Ack", R"(AckNo:12\nError:0\nCRC:1a2b)"),
            entry.arg("127.0.0.3/in", "CallChange", R"(MsgNo:7\r\nCmd:CallChange\r\nButton:1\r\nCRC:00ff)"),
            entry.arg("127.0.0.3/out", "GetStatus", R"(MsgNo:200\nCmd:GetStatus\nCRC:4d2c)"),
            entry.arg("127.0.0.2/in", "", R"(MsgNo:8\nMode:1\nCRC:0000)")}));

        // The entries carry local time, here Prague summer time; the clock is set 200 ms past
        // a second, so that both entries fall into the same second.
        watcher.clear();
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", ":/usr/share/zoneinfo/Europe/Prague");
        tzset();
        const QDateTime target(QDate(2024, 7, 15), QTime(10, 0, 0, 200), Qt::UTC);
        Clock::setOffset(target.toMSecsSinceEpoch() - QDateTime::currentMSecsSinceEpoch());
        RondelMqttLogger local(&publisher);
        for (const char* unit : {"10.0.0.1", "192.168.100.255"})
            local.logSent("AckNo:1\nError:0\nCRC:0000", QHostAddress(unit));
        Clock::setOffset(0);
        qputenv("TZ", zone);
        tzset();

        QVERIFY(watcher.waitForMessages(2));
        // Only the milliseconds after the 200 may differ.
        QStringList entries = watcher.summaries();
        entries.replaceInStrings(QRegularExpression("\\.2\\d\\d\"}$"), ".2xx\"}");
        const QString summer = R"(rondel/%1/out q0 {"cmd":"Ack","data":"AckNo:1\nError:0\nCRC:0000",)"
                               R"("timestamp":"2024-07-15T12:00:00.2xx"})";
        QCOMPARE(entries, QStringList({summer.arg("10.0.0.1"), summer.arg("192.168.100.255")}));
    }

    // The daemon as the run command starts it: its loggers are wired before the
    // broker is reached, and the bus mirror is on.
    void daemonPublishesCriticalLinesAndMirrorsTheBus()
    {
        BrokerClient watcher(m_broker);
        QVERIFY(watcher.watch({"core/error", "rondel/#"}));

        // The bus port is taken: the first bind fails with a critical line, retried until free.
        QUdpSocket blocker;
        QVERIFY(blocker.bind(QHostAddress(QHostAddress::LocalHost), 0));
        const quint16 rondelPort = blocker.localPort();

        TempRoot root;
        QProcess daemon;
        daemon.setProcessChannelMode(QProcess::MergedChannels);
        daemon.start(QStringLiteral(ORVANTACORE_BINARY),
                     {"--root", root.path(), "--rondel-address", "127.0.0.1", "--rondel-port",
                      QString::number(rondelPort), "--broker", QStringLiteral("127.0.0.1:%1").arg(m_broker.port())});
        QVERIFY(watcher.waitForMessages(1, 10000));
        QCOMPARE(watcher.summaries().first(),
                 QString("core/error q0 {\"error\":\"Critical Rondel socket bind Failed!\"}"));

        blocker.close();
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += daemon.readAll()).contains("Debug Units initialisation ..."), 5000);

        FakeUnit unit(QHostAddress("127.0.0.5"), rondelPort);
        unit.sendPing();
        QVERIFY(unit.waitFor([&] { return unit.received().size() >= 1; }));
        unit.sendCommand(0, "BT", "Version:1.2\r");
        QVERIFY(unit.waitForAck(0));
        QVERIFY(watcher.waitForMessages(5, 5000));
        QTest::qWait(300); // nothing else may follow: "Ping" and "OK" are not mirrored
        // The acknowledgement and the question to the unknown unit go out while
        // its command is handled, so they are mirrored before the command.
        QStringList mirrored;
        for (const BrokerMessage& message : watcher.messages().mid(1)) {
            const QJsonObject object = QJsonDocument::fromJson(message.payload).object();
            mirrored << message.topic + ' ' + object.value("cmd").toString() + ' ' + object.value("data").toString();
        }
        QCOMPARE(mirrored, (QStringList{
            "rondel/127.0.0.5/out Ack " + FakeUnit::checksummed("AckNo:0\nError:0\n").trimmed(),
            "rondel/127.0.0.5/out GetStatus MsgNo:0\nCmd:GetStatus\nBasicInfo\nCRC:c86d",
            "rondel/127.0.0.5/in BT " + FakeUnit::checksummed("MsgNo:0\nCmd:BT\nVersion:1.2\r\n"),
            "rondel/127.0.0.5/in Ack " + FakeUnit::checksummed("AckNo:0\nError:0\n").trimmed()}));

        daemon.terminate();
        QVERIFY(daemon.waitForFinished(5000));
        QCOMPARE(watcher.messages("core/error").size(), 1);
    }

private:
    BrokerFixture m_broker;
};

QTEST_GUILESS_MAIN(TestMqttLoggers)
#include "tst_mqttloggers.moc"
