#include "mqtt/messagespool.h"
#include "mqtt/mqttpublisher.h"
#include "mqtt/mqttsubscriber.h"
#include "support/brokerfixture.h"
#include "support/logcapture.h"

#include <QtTest>

// Short enough that no test waits long for a reconnection.
constexpr int FastReconnect = 100;

class TestMqttClients : public QObject
{
    Q_OBJECT
private slots:
    // What is published while the broker is down arrives once it is back, in
    // order within each QoS; only the newest few diagnostics are kept.
    void outageKeepsStateAndBoundsDiagnostics()
    {
        // A persistent session, so the watcher gets everything whichever client reconnects first.
        BrokerFixture broker(BrokerFixture::Persistence::On);
        QVERIFY2(broker.start(), qPrintable(broker.errorString()));
        BrokerClient watcher(broker, QStringLiteral("watcher-order"));
        QVERIFY(watcher.watch({"#"}));
        broker.stop();

        LogCapture log;
        MqttPublisher publisher(broker.host(), broker.port());
        MqttSubscriber subscriber(broker.host(), broker.port());
        publisher.setReconnectInterval(FastReconnect);
        subscriber.setReconnectInterval(FastReconnect);
        publisher.setDiagnosticsLimit(3);
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

        const QString traffic = QStringLiteral("rondel/127.0.0.2/out q0 ");
        for (int i = 0; i < 10; ++i) {
            publisher.publish(MqttMessage(0, QStringLiteral("rondel/127.0.0.2/out"), "d" + QByteArray::number(i)));
            if (i == 2)
                publisher.publishRetained(MqttMessage(0, QStringLiteral("units/127.0.0.2/state"), "s1"));
            if (i == 5)
                publisher.publish(MqttMessage(0, QStringLiteral("units/127.0.0.2/info"), "s2", 0, true));
            if (i == 6)
                publisher.publishRetained(MqttMessage(0, QStringLiteral("calls/1700000000000"), "c"));
            if (i == 8)
                publisher.publish(MqttMessage(0, QStringLiteral("errors/1"), "s3", 1, false));
        }
        QCOMPARE(publisher.queuedCount(), 7);
        QCOMPARE(publisher.nextMessageId(), quint16(0));

        QVERIFY2(broker.start(), qPrintable(broker.errorString()));
        QVERIFY(watcher.waitForMessages(7));
        QTest::qWait(100);
        QCOMPARE(watcher.summaries(2), QStringList({"units/127.0.0.2/state q2 s1", "calls/1700000000000 q2 c"}));
        QCOMPARE(watcher.summaries(1), QStringList({"errors/1 q1 s3"}));
        QCOMPARE(watcher.summaries(0), QStringList({"units/127.0.0.2/info q0 s2", traffic + "d7",
                                                    traffic + "d8", traffic + "d9"}));
        QCOMPARE(publisher.queuedCount(), 0);
        QCOMPARE(publisher.nextMessageId(), quint16(7));
        const QString dropped = QStringLiteral(
            "Warning \"MqttPublisher dropped %1 diagnostic messages while the broker was unreachable\"");
        QCOMPARE(log.linesStartingWith("Warning"), QStringList({dropped.arg(7)}));
        QTRY_VERIFY(subscriber.isConnectedToHost());

        // Connected, nothing is dropped however many: past a window they wait
        // in the publisher, not in the library, and all go in order. Topics
        // the library refuses take no place in the window.
        watcher.clear();
        publisher.setHandOverWindow(50);
        QStringList live, state;
        for (int i = 0; i < 60; ++i)
            publisher.publish(MqttMessage(0, QStringLiteral("rondel/+/out"), "refused"));
        for (int i = 0; i < 300; ++i) {
            const QByteArray payload = (i % 100 == 0 ? "st\xc3\xa1v " : "live ") + QByteArray::number(i);
            if (i % 100 == 0) {
                publisher.publish(MqttMessage(0, QStringLiteral("units/127.0.0.9/\u017eivot"), payload, 2));
                state << QStringLiteral("units/127.0.0.9/\u017eivot q2 ") + QString::fromUtf8(payload);
            } else {
                publisher.publish(MqttMessage(0, QStringLiteral("rondel/127.0.0.2/out"), payload));
                live << traffic + QString::fromUtf8(payload);
            }
        }
        QCOMPARE(publisher.queuedCount(), 300 - 50);
        QVERIFY(watcher.waitForMessages(300));
        QCOMPARE(watcher.summaries(0), live);
        QCOMPARE(watcher.summaries(2), state);
        QCOMPARE(publisher.queuedCount(), 0);
        QCOMPARE(log.count(QStringLiteral("Warning \"MqttPublisher could not send a message on rondel/+/out, error 3\"")), 60);
        QCOMPARE(log.linesStartingWith("Warning").size(), 61);
        log.clear();

        // A broker that falls far behind costs the oldest diagnostics past
        // the backlog bound, never a state message; the log says so at once
        // and again, with the count, once the broker has caught up.
        watcher.clear();
        publisher.setBacklogLimit(20);
        live.clear();
        for (int i = 0; i < 100; ++i) {
            publisher.publish(MqttMessage(0, QStringLiteral("rondel/127.0.0.2/out"), "b" + QByteArray::number(i)));
            if (i < 50 || i >= 80)
                live << traffic + 'b' + QString::number(i);
            if (i == 60)
                publisher.publishRetained(MqttMessage(0, QStringLiteral("units/127.0.0.3/state"), "s4"));
        }
        QCOMPARE(publisher.queuedCount(), 21);
        const QString behind = QStringLiteral("Warning \"MqttPublisher drops the oldest diagnostic messages: "
                                              "the broker is 20 messages behind\"");
        QCOMPARE(log.linesStartingWith("Warning"), QStringList({behind}));
        QVERIFY(watcher.waitForMessages(71));
        QCOMPARE(watcher.summaries(0), live);
        QCOMPARE(watcher.summaries(2), QStringList({"units/127.0.0.3/state q2 s4"}));
        QTRY_COMPARE(log.linesStartingWith("Warning"),
                     QStringList({behind, "Warning \"MqttPublisher dropped 30 diagnostic messages while the broker was behind\""}));
        log.clear();

        // Only retained messages reach a subscriber that comes later, with the
        // QoS they were stored with: publishRetained forces QoS 2.
        BrokerClient late(broker);
        QVERIFY(late.watch({"#"}));
        QVERIFY(late.waitForMessages(4));
        QTest::qWait(100);
        QStringList retained = late.summaries();
        retained.sort();
        QCOMPARE(retained, QStringList({"calls/1700000000000 q2 retained c",
                                        "units/127.0.0.2/info q0 retained s2",
                                        "units/127.0.0.2/state q2 retained s1",
                                        "units/127.0.0.3/state q2 retained s4"}));

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
        QCOMPARE(log.linesStartingWith("Warning"), QStringList({dropped.arg(1)}));
        // Once told to stop, it stays down.
        publisher.disconnectFromHost();
        QTRY_VERIFY(!publisher.isConnectedToHost());
    }

    // What waits for the broker comes back as it went in, and a backlog
    // that never empties does not keep what was already sent.
    void spoolKeepsMessagesAndGivesBackSpace()
    {
        MessageSpool spool;
        const MqttMessage odd(0, QStringLiteral("a/\u017e"), QByteArray("\0x\xff", 3), 2, true);
        spool.push(7, odd);
        spool.push(9, MqttMessage(0, QStringLiteral("b"), QByteArray()));
        QCOMPARE(spool.frontSequence(), quint64(7));
        const MqttMessage back = spool.takeFront();
        QCOMPARE(back.topic, odd.topic);
        QCOMPARE(back.payload, odd.payload);
        QCOMPARE(int(back.qos), 2);
        QVERIFY(back.retain);
        for (int i = 0; i < 10000; ++i) {
            spool.push(quint64(10 + i), MqttMessage(0, QStringLiteral("t"), QByteArray(100, 'x')));
            QCOMPARE(spool.takeFront().topic, i == 0 ? QStringLiteral("b") : QStringLiteral("t"));
        }
        QCOMPARE(spool.size(), 1);
        QVERIFY(spool.bufferSize() < 1000);
        spool.dropFront();
        QVERIFY(spool.isEmpty());
        QCOMPARE(spool.bufferSize(), 0);
    }

    void subscriptionsSurviveBrokerRestart()
    {
        // Without persistence a restarted broker forgets every session.
        BrokerFixture broker(BrokerFixture::Persistence::Off);
        QVERIFY2(broker.start(), qPrintable(broker.errorString()));

        MqttSubscriber subscriber(broker.host(), broker.port());
        subscriber.setReconnectInterval(FastReconnect);
        QStringList subscribed, messages;
        connect(&subscriber, &MqttClient::subscribed, this, [&](const QString& topic) { subscribed << topic; });
        connect(&subscriber, &MqttSubscriber::messageReceived, this,
                [&](const MqttMessage& m) { messages << m.topic + ' ' + QString::fromUtf8(m.payload); });
        QSignalSpy connected(&subscriber, &MqttClient::connected);
        QSignalSpy disconnected(&subscriber, &MqttClient::disconnected);

        // Asked for twice before connecting: subscribed once; while connected: at once.
        subscriber.subscribe(QStringLiteral("call/+/terminate"));
        subscriber.subscribe(QStringLiteral("call/+/terminate"));
        QCOMPARE(subscribed.size(), 0);
        subscriber.connectToHost();
        QTRY_COMPARE(subscribed.size(), 1);
        subscriber.subscribe(QStringLiteral("settings/updated"));
        QTRY_COMPARE(subscribed.size(), 2);
        BrokerClient sender(broker);
        QVERIFY(sender.connectToBroker());
        QVERIFY(sender.publish(QStringLiteral("call/1700000000123/terminate"), "", 1));
        QTRY_COMPARE(messages.size(), 1);

        broker.stop();
        QVERIFY2(broker.start(), qPrintable(broker.errorString()));
        QTRY_COMPARE(disconnected.count(), 1);
        QTRY_COMPARE(connected.count(), 2);
        QTRY_COMPARE(subscribed.size(), 4);
        QTest::qWait(100);
        QCOMPARE(subscribed, QStringList({"call/+/terminate", "settings/updated",
                                                          "call/+/terminate", "settings/updated"}));

        QTRY_VERIFY(sender.isConnected());
        QVERIFY(sender.publish(QStringLiteral("settings/updated"), "1", 1));
        QVERIFY(sender.publish(QStringLiteral("call/1700000000456/terminate"), "", 1));
        QTRY_COMPARE(messages, QStringList({"call/1700000000123/terminate ", "settings/updated 1",
                                            "call/1700000000456/terminate "}));
    }
};

QTEST_GUILESS_MAIN(TestMqttClients)
#include "tst_mqttclients.moc"
