#include "mqtt/mqttpublisher.h"
#include "mqtt/mqttsubscriber.h"
#include "support/brokerfixture.h"
#include "support/logcapture.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// Short enough that no test waits long for a reconnection.
constexpr int FastReconnect = 100;

// The topic and payload of each message a subscriber received.
QStringList received(const QSignalSpy& spy)
{
    QStringList result;
    for (const QList<QVariant>& arguments : spy) {
        const MqttMessage message = arguments.first().value<MqttMessage>();
        result << message.topic + QLatin1Char(' ') + QString::fromUtf8(message.payload);
    }
    return result;
}

} // namespace

class TestMqttClients : public QObject
{
    Q_OBJECT
private slots:
    void publishedWhileBrokerDownArriveInOrderAfterwards()
    {
        // A persistent broker and watcher session, so that the watcher gets
        // everything whichever of the two clients reconnects first.
        BrokerFixture broker(BrokerFixture::Persistence::On);
        QVERIFY2(broker.start(), qPrintable(broker.errorString()));
        BrokerClient watcher(broker, QStringLiteral("watcher-order"));
        QVERIFY(watcher.connectToBroker());
        QVERIFY(watcher.subscribe(QStringLiteral("#")));
        broker.stop();

        LogCapture log;
        MqttPublisher publisher(broker.host(), broker.port());
        MqttSubscriber subscriber(broker.host(), broker.port());
        publisher.setReconnectInterval(FastReconnect);
        subscriber.setReconnectInterval(FastReconnect);
        QSignalSpy errors(&publisher, &MqttClient::error);
        QSignalSpy subscriberErrors(&subscriber, &MqttClient::error);
        publisher.connectToHost();
        subscriber.connectToHost();
        // Several attempts fail before the broker comes up; each is logged.
        QTRY_VERIFY_WITH_TIMEOUT(errors.count() >= 2 && subscriberErrors.count() >= 2, 3000);
        const int code = errors.first().first().toInt();
        QVERIFY(code != 0);
        QVERIFY(log.count(QStringLiteral("Debug \"MqttPublisher::onError %1\"").arg(code)) >= 2);
        QVERIFY(log.count(QStringLiteral("Debug \"MqttSubscriber::onError %1\"").arg(code)) >= 2);

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
        QCOMPARE(watcher.summaries(2), QStringList({"units/127.0.0.2/state q2 {\"s\":1}",
                                                    "calls/1700000000000 q2 {\"c\":2}",
                                                    "units/127.0.0.2/state q2 {\"s\":3}"}));
        QCOMPARE(watcher.summaries(0), QStringList({"core/error q0 {\"error\":\"e1\"}",
                                                    "rondel/127.0.0.2/in q0 {\"cmd\":\"Ack\"}"}));
        QCOMPARE(publisher.queuedCount(), 0);
        QCOMPARE(publisher.nextMessageId(), quint16(5));
        QTRY_VERIFY(subscriber.isConnectedToHost());
        // Once told to stop, it stays down.
        publisher.disconnectFromHost();
        QTRY_VERIFY(!publisher.isConnectedToHost());
    }

    void publishRetainedForcesQos2AndRetainPublishKeepsFlags()
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
        QCOMPARE(early.summaries(0), QStringList({"core/error q0 {\"error\":\"x\"}"}));

        // Only retained messages reach a subscriber that comes later, with the
        // QoS they were stored with.
        BrokerClient late(broker);
        QVERIFY(late.connectToBroker());
        QVERIFY(late.subscribe(QStringLiteral("#")));
        QVERIFY(late.waitForMessages(2));
        QTest::qWait(100);
        QStringList retained = late.summaries();
        retained.sort();
        QCOMPARE(retained, QStringList({"own/flags q1 retained kept",
                                        "units/127.0.0.5/info q2 retained {\"a\":1}"}));
    }

    void subscriptionsSurviveBrokerRestart()
    {
        // Without persistence a restarted broker forgets every session.
        BrokerFixture broker(BrokerFixture::Persistence::Off);
        QVERIFY2(broker.start(), qPrintable(broker.errorString()));

        MqttSubscriber subscriber(broker.host(), broker.port());
        subscriber.setReconnectInterval(FastReconnect);
        QSignalSpy subscribed(&subscriber, &MqttClient::subscribed);
        QSignalSpy messages(&subscriber, &MqttSubscriber::messageReceived);
        QSignalSpy connected(&subscriber, &MqttClient::connected);
        QSignalSpy disconnected(&subscriber, &MqttClient::disconnected);
        const auto topics = [&] {
            QStringList result;
            for (const QList<QVariant>& arguments : subscribed)
                result << arguments.first().toString();
            return result;
        };

        // Asked for twice before connecting: subscribed once; asked for while
        // connected: subscribed at once.
        subscriber.subscribe(QStringLiteral("call/+/terminate"));
        subscriber.subscribe(QStringLiteral("call/+/terminate"));
        QCOMPARE(subscribed.count(), 0);
        subscriber.connectToHost();
        QTRY_COMPARE(subscribed.count(), 1);
        subscriber.subscribe(QStringLiteral("settings/updated"));
        QTRY_COMPARE(subscribed.count(), 2);
        {
            BrokerClient sender(broker);
            QVERIFY(sender.connectToBroker());
            QVERIFY(sender.publish(QStringLiteral("call/1700000000123/terminate"), "", 1));
        }
        QTRY_COMPARE(messages.count(), 1);

        QVERIFY2(broker.restart(), qPrintable(broker.errorString()));
        QTRY_COMPARE(disconnected.count(), 1);
        QTRY_COMPARE(connected.count(), 2);
        QTRY_COMPARE(subscribed.count(), 4);
        QTest::qWait(100);
        QCOMPARE(topics(), QStringList({"call/+/terminate", "settings/updated", "call/+/terminate",
                                        "settings/updated"}));

        BrokerClient sender(broker);
        QVERIFY(sender.connectToBroker());
        QVERIFY(sender.publish(QStringLiteral("settings/updated"), "1", 1));
        QVERIFY(sender.publish(QStringLiteral("call/1700000000456/terminate"), "", 1));
        QTRY_COMPARE(messages.count(), 3);
        QCOMPARE(received(messages), QStringList({"call/1700000000123/terminate ", "settings/updated 1",
                                                  "call/1700000000456/terminate "}));
    }

    void diagnosticsAreBoundedDuringOutageStateIsNot()
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
        const QString traffic = QStringLiteral("rondel/127.0.0.2/out q0 ");
        for (int i = 0; i < 10; ++i) {
            publisher.publish(MqttMessage(0, QStringLiteral("rondel/127.0.0.2/out"), "d" + QByteArray::number(i)));
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
        QCOMPARE(watcher.summaries(2), QStringList({"units/127.0.0.2/state q2 s1"}));
        QCOMPARE(watcher.summaries(1), QStringList({"errors/1 q1 s3"}));
        QCOMPARE(watcher.summaries(0), QStringList({"units/127.0.0.2/info q0 s2", traffic + "d7",
                                                    traffic + "d8", traffic + "d9"}));
        const QString dropped = QStringLiteral(
            "Warning \"MqttPublisher dropped %1 diagnostic messages while the broker was unreachable\"");
        QCOMPARE(log.linesStartingWith("Warning"), QStringList({dropped.arg(7)}));

        // Connected, nothing is held back and nothing dropped however many.
        watcher.clear();
        for (int i = 0; i < 20; ++i)
            publisher.publish(MqttMessage(0, QStringLiteral("rondel/127.0.0.2/out"), "live"));
        QVERIFY(watcher.waitForMessages(20));

        // The count starts again with every outage.
        QSignalSpy disconnected(&publisher, &MqttClient::disconnected);
        broker.stop();
        QTRY_COMPARE(disconnected.count(), 1);
        watcher.clear();
        for (int i = 0; i < 4; ++i)
            publisher.publish(MqttMessage(0, QStringLiteral("rondel/127.0.0.2/out"), "e" + QByteArray::number(i)));
        QVERIFY2(broker.start(), qPrintable(broker.errorString()));
        QVERIFY(watcher.waitForMessages(3));
        QTest::qWait(100);
        QCOMPARE(watcher.summaries(), QStringList({traffic + "e1", traffic + "e2", traffic + "e3"}));
        QCOMPARE(log.linesStartingWith("Warning"), QStringList({dropped.arg(7), dropped.arg(1)}));
    }
};

QTEST_GUILESS_MAIN(TestMqttClients)
#include "tst_mqttclients.moc"
