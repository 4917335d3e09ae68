#include "support/brokerfixture.h"
#include "support/fakeunit.h"
#include "support/temproot.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

// The daemon as started by the run command: private broker, loopback field
// bus. What crosses the bus shows up on the broker.
class TestDaemonMqtt : public QObject
{
    Q_OBJECT

private slots:
    void busTrafficIsMirroredPerUnitAndDirection();
};

void TestDaemonMqtt::busTrafficIsMirroredPerUnitAndDirection()
{
    BrokerFixture broker;
    QVERIFY2(broker.start(), qPrintable(broker.errorString()));
    BrokerClient watcher(broker);
    QVERIFY(watcher.connectToBroker());
    QVERIFY(watcher.subscribe(QStringLiteral("rondel/#")));

    const quint16 port = FakeUnit::freePort();
    TempRoot root;
    QProcess daemon;
    daemon.setProcessChannelMode(QProcess::MergedChannels);
    daemon.start(QStringLiteral(ORVANTACORE_BINARY),
                 {"--root", root.path(), "--rondel-address", "127.0.0.1", "--rondel-port",
                  QString::number(port), "--broker", QString("127.0.0.1:%1").arg(broker.port())});
    QVERIFY(daemon.waitForStarted(5000));
    QByteArray output;
    QVERIFY(QTest::qWaitFor([&] {
        output += daemon.readAll();
        return output.contains("Debug Units initialisation ...");
    }, 10000));

    FakeUnit unit(QHostAddress("127.0.0.5"), port);
    QVERIFY(unit.isBound());
    unit.sendPing();
    QVERIFY(unit.waitFor([&] { return unit.received().size() >= 1; }));
    unit.sendCommand(0, "BT", "Version:1.2\r");
    QVERIFY(unit.waitForAck(0));

    QVERIFY(watcher.waitForMessages(4, 5000));
    QTest::qWait(300); // nothing else may follow: "Ping" and "OK" are not mirrored
    // The acknowledgement and the question what the unknown address is go
    // out while the command is being handled, so both are mirrored before
    // the command itself; the unit's acknowledgement of the question last.
    QCOMPARE(watcher.topics(), (QStringList{"rondel/127.0.0.5/out", "rondel/127.0.0.5/out",
                                            "rondel/127.0.0.5/in", "rondel/127.0.0.5/in"}));
    const BrokerMessage probe = watcher.messages("rondel/127.0.0.5/out").value(1);
    QCOMPARE(QJsonDocument::fromJson(probe.payload).object().value("data").toString(),
             QString("MsgNo:0\nCmd:GetStatus\nBasicInfo\nCRC:c86d"));

    const BrokerMessage in = watcher.messages("rondel/127.0.0.5/in").value(0);
    const QJsonObject inPayload = QJsonDocument::fromJson(in.payload).object();
    QCOMPARE(inPayload.value("cmd").toString(), QString("BT"));
    QCOMPARE(inPayload.value("data").toString(),
             QString::fromUtf8(FakeUnit::checksummed("MsgNo:0\nCmd:BT\nVersion:1.2\r\n")));
    QVERIFY(QDateTime::fromString(inPayload.value("timestamp").toString(), Qt::ISODate).isValid());
    QCOMPARE(in.qos, 0);
    QVERIFY(!in.retain);

    const BrokerMessage out = watcher.messages("rondel/127.0.0.5/out").value(0);
    const QJsonObject outPayload = QJsonDocument::fromJson(out.payload).object();
    QCOMPARE(outPayload.value("cmd").toString(), QString("Ack"));
    QCOMPARE(outPayload.value("data").toString(), QString("AckNo:0\nError:0\nCRC:") +
             QString("%1").arg(FakeUnit::checksum("AckNo:0\nError:0\n"), 4, 16, QLatin1Char('0')));
    QCOMPARE(outPayload.keys(), (QStringList{"cmd", "data", "timestamp"}));

    daemon.terminate();
    QVERIFY(daemon.waitForFinished(5000));
    QCOMPARE(daemon.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestDaemonMqtt)
#include "tst_daemonmqtt.moc"
