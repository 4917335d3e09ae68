#include "mqtt/mqttpublisher.h"
#include "mqtt/mqttsubscriber.h"
#include "support/brokerfixture.h"
#include "support/logcapture.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// Short enough that no test waits long for a reconnection.
constexpr int FastReconnect = 100;

// "topic payload" of the messages delivered with the QoS, in arrival order.
// The broker keeps order only within one QoS: it forwards a QoS 2 message
// after its handshake, so a QoS 0 message sent later may overtake it.
QStringList delivered(const QVector<BrokerMessage>& messages, int qos)
{
    QStringList result;
    for (const BrokerMessage& message : messages) {
        if (message.qos == qos)
            result << message.topic + QLatin1Char(' ') + QString::fromUtf8(message.payload);
    }
    return result;
}

} // namespace

class TestMqttClients : public QObject
{
    Q_OBJECT
private slots:
    void publishedWhileBrokerDownArriveInOrderAfterwards();
    void publishRetainedForcesQos2AndRetainPublishKeepsFlags();
    void subscriptionsSurviveBrokerRestart();
    void failedConnectionsAreLoggedAndRetried();
    void diagnosticsAreBoundedDuringOutageStateIsNot();
};

void TestMqttClients::publishedWhileBrokerDownArriveInOrderAfterwards()
{
    // A persistent broker and watcher session, so that the watcher gets
    // everything whichever of the two clients reconnects first.
    BrokerFixture broker(BrokerFixture::Persistence::On);
    QVERIFY2(broker.start(), qPrintable(broker.errorString()));
    BrokerClient watcher(broker, QStringLiteral("watcher-order"));
    QVERIFY(watcher.connectToBroker());
    QVERIFY(watcher.subscribe(QStringLiteral("#")));
    broker.stop();

    MqttPublisher publisher(broker.host(), broker.port());
    publisher.setReconnectInterval(FastReconnect);
    QSignalSpy errors(&publisher, &MqttClient::error);
    publisher.connectToHost();
    // Several attempts fail before the broker comes up.
    QTRY_VERIFY_WITH_TIMEOUT(errors.count() >= 2, 2000);

    publisher.publishRetained(MqttMessage(0, QStringLiteral("units/127.0.0.2/state"), "{\"s\":1}"));
    publisher.publish(MqttMessage(0, QStringLiteral("core/error"), "{\"error\":\"e1\"}"));
    publisher.publishRetained(MqttMessage(0, QStringLiteral("calls/1700000000000"), "{\"c\":2}"));
    publisher.publish(MqttMessage(0, QStringLiteral("rondel/127.0.0.2/in"), "{\"cmd\":\"Ack\"}"));
    publisher.publishRetained(MqttMessage(0, QStringLiteral("units/127.0.0.2/state"), "{\"s\":3}"));
    QVERIFY(!publisher.isConnectedToHost());
    QCOMPARE(publisher.queuedCount(), 5);
    QCOMPARE(publisher.nextMessageId(), quint16(0));

    QVERIFY2(broker.start(), qPrintable(broker.errorString()));
    QVERIFY(watcher.waitForMessages(5));
    QTest::qWait(100);
    QCOMPARE(watcher.messages().size(), 5);
    QCOMPARE(delivered(watcher.messages(), 2), QStringList({
        QStringLiteral("units/127.0.0.2/state {\"s\":1}"),
        QStringLiteral("calls/1700000000000 {\"c\":2}"),
        QStringLiteral("units/127.0.0.2/state {\"s\":3}"),
    }));
    QCOMPARE(delivered(watcher.messages(), 0), QStringList({
        QStringLiteral("core/error {\"error\":\"e1\"}"),
        QStringLiteral("rondel/127.0.0.2/in {\"cmd\":\"Ack\"}"),
    }));
    QCOMPARE(publisher.queuedCount(), 0);
    QCOMPARE(publisher.nextMessageId(), quint16(5));
}

void TestMqttClients::publishRetainedForcesQos2AndRetainPublishKeepsFlags()
{
    BrokerFixture broker;
    QVERIFY2(broker.start(), qPrintable(broker.errorString()));
    BrokerClient early(broker);
    QVERIFY(early.connectToBroker());
    QVERIFY(early.subscribe(QStringLiteral("#")));

    MqttPublisher publisher(broker.host(), broker.port());
    publisher.connectToHost();
    QTRY_VERIFY(publisher.isConnectedToHost());
    publisher.publishRetained(MqttMessage(0, QStringLiteral("units/127.0.0.5/info"), "{\"a\":1}"));
    publisher.publish(MqttMessage(0, QStringLiteral("core/error"), "{\"error\":\"x\"}"));
    publisher.publish(MqttMessage(0, QStringLiteral("own/flags"), "kept", 1, true));
    QVERIFY(early.waitForMessages(3));
    const QVector<BrokerMessage> error = early.messages(QStringLiteral("core/error"));
    QCOMPARE(error.size(), 1);
    QCOMPARE(error.first().qos, 0);
    QCOMPARE(error.first().retain, false);

    // Only retained messages reach a subscriber that comes later, with the
    // QoS they were stored with.
    BrokerClient late(broker);
    QVERIFY(late.connectToBroker());
    QVERIFY(late.subscribe(QStringLiteral("#")));
    QVERIFY(late.waitForMessages(2));
    QTest::qWait(100);
    QCOMPARE(late.messages().size(), 2);
    const QVector<BrokerMessage> info = late.messages(QStringLiteral("units/127.0.0.5/info"));
    QCOMPARE(info.size(), 1);
    QCOMPARE(info.first().payload, QByteArray("{\"a\":1}"));
    QCOMPARE(info.first().qos, 2);
    QCOMPARE(info.first().retain, true);
    const QVector<BrokerMessage> own = late.messages(QStringLiteral("own/flags"));
    QCOMPARE(own.size(), 1);
    QCOMPARE(own.first().qos, 1);
    QCOMPARE(own.first().retain, true);
}

void TestMqttClients::subscriptionsSurviveBrokerRestart()
{
    // Without persistence a restarted broker forgets every session.
    BrokerFixture broker(BrokerFixture::Persistence::Off);
    QVERIFY2(broker.start(), qPrintable(broker.errorString()));

    MqttSubscriber subscriber(broker.host(), broker.port());
    subscriber.setReconnectInterval(FastReconnect);
    QSignalSpy subscribed(&subscriber, &MqttClient::subscribed);
    QSignalSpy received(&subscriber, &MqttSubscriber::messageReceived);
    QSignalSpy connected(&subscriber, &MqttClient::connected);
    QSignalSpy disconnected(&subscriber, &MqttClient::disconnected);

    subscriber.subscribe(QStringLiteral("call/+/terminate"));
    subscriber.subscribe(QStringLiteral("call/+/terminate"));
    QCOMPARE(subscribed.count(), 0);
    subscriber.connectToHost();
    QTRY_COMPARE(subscribed.count(), 1);
    QTest::qWait(100);
    QCOMPARE(subscribed.count(), 1);
    QCOMPARE(subscribed.first().first().toString(), QStringLiteral("call/+/terminate"));

    // Asked for while connected: subscribed at once.
    subscriber.subscribe(QStringLiteral("settings/updated"));
    QTRY_COMPARE(subscribed.count(), 2);

    {
        BrokerClient sender(broker);
        QVERIFY(sender.connectToBroker());
        QVERIFY(sender.publish(QStringLiteral("call/1700000000123/terminate"), "", 1));
    }
    QTRY_COMPARE(received.count(), 1);
    const MqttMessage first = received.first().first().value<MqttMessage>();
    QCOMPARE(first.topic, QStringLiteral("call/1700000000123/terminate"));
    QCOMPARE(first.payload, QByteArray());

    QVERIFY2(broker.restart(), qPrintable(broker.errorString()));
    QTRY_COMPARE(disconnected.count(), 1);
    QTRY_COMPARE(connected.count(), 2);
    QTRY_COMPARE(subscribed.count(), 4);
    QCOMPARE(subscribed.at(2).first().toString(), QStringLiteral("call/+/terminate"));
    QCOMPARE(subscribed.at(3).first().toString(), QStringLiteral("settings/updated"));

    BrokerClient sender(broker);
    QVERIFY(sender.connectToBroker());
    QVERIFY(sender.publish(QStringLiteral("settings/updated"), "1", 1));
    QVERIFY(sender.publish(QStringLiteral("call/1700000000456/terminate"), "", 1));
    QTRY_COMPARE(received.count(), 3);
    QCOMPARE(received.at(1).first().value<MqttMessage>().topic, QStringLiteral("settings/updated"));
    QCOMPARE(received.at(1).first().value<MqttMessage>().payload, QByteArray("1"));
    QCOMPARE(received.at(2).first().value<MqttMessage>().topic,
             QStringLiteral("call/1700000000456/terminate"));
}

void TestMqttClients::failedConnectionsAreLoggedAndRetried()
{
    // A port where nothing listens: the broker was there and is gone.
    BrokerFixture broker;
    QVERIFY2(broker.start(), qPrintable(broker.errorString()));
    broker.stop();

    LogCapture log;
    MqttPublisher publisher(broker.host(), broker.port());
    MqttSubscriber subscriber(broker.host(), broker.port());
    publisher.setReconnectInterval(50);
    subscriber.setReconnectInterval(50);
    QSignalSpy publisherErrors(&publisher, &MqttClient::error);
    QSignalSpy subscriberErrors(&subscriber, &MqttClient::error);
    publisher.connectToHost();
    subscriber.connectToHost();
    QTRY_VERIFY_WITH_TIMEOUT(publisherErrors.count() >= 3 && subscriberErrors.count() >= 3, 3000);

    const int publisherCode = publisherErrors.first().first().toInt();
    const int subscriberCode = subscriberErrors.first().first().toInt();
    QVERIFY(publisherCode != 0);
    QVERIFY(log.count(QStringLiteral("Debug \"MqttPublisher::onError %1\"").arg(publisherCode)) >= 1);
    QVERIFY(log.count(QStringLiteral("Debug \"MqttSubscriber::onError %1\"").arg(subscriberCode)) >= 1);
    QVERIFY(log.linesStartingWith(QStringLiteral("Debug \"MqttPublisher::onError ")).size() >= 3);

    // Once the broker is back, both come up by themselves.
    QVERIFY2(broker.start(), qPrintable(broker.errorString()));
    QTRY_VERIFY(publisher.isConnectedToHost() && subscriber.isConnectedToHost());
    // And stop trying when told to.
    publisher.disconnectFromHost();
    QTRY_VERIFY(!publisher.isConnectedToHost());
}

void TestMqttClients::diagnosticsAreBoundedDuringOutageStateIsNot()
{
    BrokerFixture broker(BrokerFixture::Persistence::On);
    QVERIFY2(broker.start(), qPrintable(broker.errorString()));
    BrokerClient watcher(broker, QStringLiteral("watcher-bound"));
    QVERIFY(watcher.connectToBroker());
    QVERIFY(watcher.subscribe(QStringLiteral("#")));

    LogCapture log;
    MqttPublisher publisher(broker.host(), broker.port());
    publisher.setReconnectInterval(FastReconnect);
    publisher.setDiagnosticsLimit(3);
    const QString traffic = QStringLiteral("rondel/127.0.0.2/out");
    for (int i = 0; i < 10; ++i) {
        publisher.publish(MqttMessage(0, traffic, "d" + QByteArray::number(i)));
        if (i == 2)
            publisher.publishRetained(MqttMessage(0, QStringLiteral("units/127.0.0.2/state"), "s1"));
        if (i == 5)
            publisher.publish(MqttMessage(0, QStringLiteral("units/127.0.0.2/info"), "s2", 0, true));
        if (i == 8)
            publisher.publish(MqttMessage(0, QStringLiteral("errors/1"), "s3", 1, false));
    }
    QCOMPARE(publisher.queuedCount(), 6);

    publisher.connectToHost();
    QVERIFY(watcher.waitForMessages(6));
    QTest::qWait(100);
    QCOMPARE(watcher.messages().size(), 6);
    QCOMPARE(delivered(watcher.messages(), 2), QStringList({QStringLiteral("units/127.0.0.2/state s1")}));
    QCOMPARE(delivered(watcher.messages(), 1), QStringList({QStringLiteral("errors/1 s3")}));
    QCOMPARE(delivered(watcher.messages(), 0),
             QStringList({QStringLiteral("units/127.0.0.2/info s2"), traffic + " d7", traffic + " d8",
                          traffic + " d9"}));
    const QString dropped7 = QStringLiteral(
        "Warning \"MqttPublisher dropped 7 diagnostic messages while the broker was unreachable\"");
    QCOMPARE(log.count(dropped7), 1);

    // Connected, nothing is held back and nothing dropped however many.
    watcher.clear();
    for (int i = 0; i < 20; ++i)
        publisher.publish(MqttMessage(0, traffic, "live"));
    QVERIFY(watcher.waitForMessages(20));

    // The count starts again with every outage.
    QSignalSpy disconnected(&publisher, &MqttClient::disconnected);
    broker.stop();
    QTRY_COMPARE(disconnected.count(), 1);
    watcher.clear();
    for (int i = 0; i < 4; ++i)
        publisher.publish(MqttMessage(0, traffic, "e" + QByteArray::number(i)));
    QVERIFY2(broker.start(), qPrintable(broker.errorString()));
    QVERIFY(watcher.waitForMessages(3));
    QTest::qWait(100);
    QCOMPARE(delivered(watcher.messages(), 0), QStringList({traffic + " e1", traffic + " e2", traffic + " e3"}));
    QCOMPARE(watcher.messages().size(), 3);
    QCOMPARE(log.count(dropped7), 1);
    QCOMPARE(log.count(QStringLiteral(
                 "Warning \"MqttPublisher dropped 1 diagnostic messages while the broker was unreachable\"")),
             1);
}

QTEST_GUILESS_MAIN(TestMqttClients)
#include "tst_mqttclients.moc"
