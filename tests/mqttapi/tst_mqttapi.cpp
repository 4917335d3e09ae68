#include "calls/calls.h"
#include "errors/errorevents.h"
#include "mqtt/mqttpublisher.h"
#include "mqtt/mqttsubscriber.h"
#include "mqttapi/cleaners.h"
#include "mqttapi/listeners.h"
#include "mqttapi/reporters.h"
#include "support/brokerfixture.h"
#include "support/fakecallcapable.h"
#include "support/logcapture.h"
#include "units/features/connecteddevices.h"
#include "units/features/presences.h"
#include "units/settings/calllimitssettings.h"
#include "units/settings/languagesettings.h"
#include "units/unit.h"

#include <QSet>
#include <QSignalSpy>
#include <QtTest>

namespace {

// A unit whose error flag and model the test decides.
class TestUnit : public Unit
{
public:
    explicit TestUnit(const char* ip, int model = NoType, bool rondelError = false)
        : Unit(QHostAddress(QString::fromLatin1(ip))), m_model(model), m_error(rondelError) {}
    int type() const override { return m_model; }
    bool hasRondelError() const override { return m_error; }

private:
    int m_model;
    bool m_error;
};

QStringList lines(const QVector<BrokerMessage>& messages)
{
    QStringList result;
    for (const BrokerMessage& message : messages)
        result << message.topic + QLatin1Char(' ') + QString::fromUtf8(message.payload);
    return result;
}

} // namespace

// What the services on the broker see of the core, checked with an MQTT
// client independent of the core's own.
class TestMqttApi : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void reportersPublishTheDesignedBytes();
    void cleanersRemoveOnlyTopicsOfUnknownUnitsAndCalls();
    void listenersActOnlyOnTheirOwnWellFormedMessages();

private:
    // Waits until the subscriber has heard `count` messages in all.
    bool heard(int count);
    // What a client connecting now is given as retained under the filter.
    QStringList retained(const QString& filter);

    std::unique_ptr<BrokerFixture> m_broker;
    std::unique_ptr<MqttPublisher> m_publisher;
    std::unique_ptr<MqttSubscriber> m_subscriber;
    std::unique_ptr<BrokerClient> m_watcher;
    std::unique_ptr<QSignalSpy> m_heard;
};

void TestMqttApi::init()
{
    m_broker = std::make_unique<BrokerFixture>();
    QVERIFY2(m_broker->start(), qPrintable(m_broker->errorString()));
    m_publisher = std::make_unique<MqttPublisher>(m_broker->host(), m_broker->port());
    m_subscriber = std::make_unique<MqttSubscriber>(m_broker->host(), m_broker->port());
    m_heard = std::make_unique<QSignalSpy>(m_subscriber.get(), &MqttSubscriber::messageReceived);
    m_publisher->connectToHost();
    m_subscriber->connectToHost();
    QTRY_VERIFY(m_publisher->isConnectedToHost() && m_subscriber->isConnectedToHost());
    m_watcher = std::make_unique<BrokerClient>(*m_broker);
    QVERIFY(m_watcher->connectToBroker());
    QVERIFY(m_watcher->subscribe(QStringLiteral("#")));
}

void TestMqttApi::cleanup()
{
    m_heard.reset();
    m_watcher.reset();
    m_subscriber.reset();
    m_publisher.reset();
    m_broker.reset();
}

bool TestMqttApi::heard(int count)
{
    return QTest::qWaitFor([&] { return m_heard->count() >= count; }, 5000);
}

QStringList TestMqttApi::retained(const QString& filter)
{
    BrokerClient late(*m_broker);
    if (!late.connectToBroker() || !late.subscribe(filter))
        return {QStringLiteral("no connection")};
    QTest::qWait(300);
    QStringList result;
    for (const BrokerMessage& message : late.messages())
        result << (message.retain && message.qos == 2 ? QString() : QStringLiteral("NOT RETAINED "))
                + message.topic;
    result.sort();
    return result;
}

void TestMqttApi::reportersPublishTheDesignedBytes()
{
    MqttPublisher* publisher = m_publisher.get();
    TestUnit desk("127.0.0.2", Unit::DeskaType, true);
    TestUnit plain("127.0.0.3");
    ConnectionStatus status;
    status.mtf = 0x1a;
    status.sv = ConnectionStatus::Connect;
    status.nv.insert(QStringLiteral("NV2"), ConnectionStatus::Connect);
    desk.connectedDevices()->statusReceived(status);
    desk.presences()->applyStatus(PresenceStatus{true, false});
    FakeCallCapable caller(QStringLiteral("127.0.0.9"));
    Call nv(CallType::NV, QStringLiteral("NV1"), &caller);
    nv.setRinging();
    desk.calls()->addReceivedCall(nv);
    desk.calls()->addReceivedCall(Call(CallType::VK, QStringLiteral("VK"), &caller));
    desk.calls()->setCall(Call(CallType::VS, QStringLiteral("VS"), &desk));
    desk.calls()->setNVCall(Call(CallType::NV, QStringLiteral("NV3"), &desk));

    BasicInfoMqttReporter(publisher).report(&desk, {"A", "N", "P", "tp", "p1", "tg", "g1", "0011"});
    ConnectionsMqttReporter(publisher).report(&desk);
    UnitStatusMqttReporter states(publisher);
    states.reportAll(QVector<Unit*>{&desk, &plain});
    PMBInfoMqttReporter pmb(publisher);
    pmb.report(&desk, {"7", "PMB", "2.1", "0"});
    pmb.reportCleared(&desk);
    BTVersionMqttReporter bts(publisher);
    for (const BT& bt : {BT{"12", "T", "1.0", "3.1"}, BT{"BT7", "T", "", ""}, BT{"bt3", "", "2", ""},
                         BT{"BT8", "", "", "3.0"}})
        bts.report(bt);
    ErrorEvents events;
    ErrorHistoryMqttReporter errors(&events, publisher);
    const ErrorEvent event{1700000000123, QHostAddress("127.0.0.2"), ErrorEvent::Rondel,
                           QDateTime(QDate(2024, 3, 1), QTime(8, 5, 9, 7)), QDateTime()};
    events.add(event);
    events.finish(event, QDateTime(QDate(2024, 3, 1), QTime(8, 6, 0, 500)));
    CallLimitsSettings limits;
    LanguageSettings language;
    SynthesizerMqttReporter synthesizer(&limits, &language, publisher);
    SynthesizedMessage message(QHostAddress("127.0.0.4"), 10102);
    message.priority = 8;
    message.type = 2;
    message.room = 12;
    synthesizer.reportStarted(message);
    synthesizer.reportStopped(message);

    // A topic the library refuses is lost, but not without a word.
    LogCapture log;
    m_publisher->publishRetained(MqttMessage(0, QStringLiteral("units/+/state"), "{}"));
    QVERIFY(log.contains(QStringLiteral(
        "Warning \"MqttPublisher could not send a message on units/+/state, error 3\"")));

    const QStringList expected{
        R"(units/127.0.0.2/info {"acronymPU":"A","fwVersionGT":"g1","fwVersionPU":"p1","mac":"0011","namePU":"N","productCodePU":"P","typeGT":"tg","typePU":"tp"})",
        R"(units/127.0.0.2/connections {"nv":[{"detected":true},{"detected":false},{"detected":true},{"detected":false},{"detected":false},{"detected":false},{"detected":false},{"detected":false},{"detected":false}],"oez":{"detected":false},"sv":{"detected":true}})",
        R"(units/127.0.0.2/state {"alIn":false,"alOut":false,"dcIn":false,"dcOut":false,"mtf":"1a","nvIn":true,"nvOut":true,"paIn":false,"paOut":false,"pl":false,"pp":true,"ps":false,"rdErr":true,"sbErr":false,"vkIn":true,"vkOut":false,"vsIn":false,"vsOut":true})",
        R"(units/127.0.0.3/state {"alIn":false,"alOut":false,"dcIn":false,"dcOut":false,"mtf":"","nvIn":false,"nvOut":false,"paIn":false,"paOut":false,"pl":false,"pp":false,"ps":false,"rdErr":false,"sbErr":false,"vkIn":false,"vkOut":false,"vsIn":false,"vsOut":false})",
        R"(units/127.0.0.2/pmbInfo {"err":"0","fwVersion":"2.1","id":"7","type":"PMB"})",
        R"(units/127.0.0.2/pmbInfo )",
        R"(bts/BT12/version {"fwVersion":"1.0","type":"T"})",
        R"(bts/BT7/version {"fwVersion":"","type":"T"})",
        R"(bts/BTbt3/version {"fwVersion":"2","type":""})",
        R"(errors/1700000000123 {"end":"","ip":"127.0.0.2","start":"2024-03-01T08:05:09.007","type":"Rondel"})",
        R"(errors/1700000000123 {"end":"2024-03-01T08:06:00.500","ip":"127.0.0.2","start":"2024-03-01T08:05:09.007","type":"Rondel"})",
        R"(synthesizerRequests/10102 {"action":"Start","ip":"127.0.0.4","language":"cs-CZ","port":10102,"priority":"VS","repeat":-1,"room":12,"timeout":180,"type":"Fragmented"})",
        R"(synthesizerRequests/10102 {"action":"Stop"})",
        R"(synthesizerRequests/10102 )",
    };
    QVERIFY(m_watcher->waitForMessages(expected.size()));
    QTest::qWait(200);
    QCOMPARE(lines(m_watcher->messages()), expected);
    // The removed PMB and synthesizer topics are gone; the rest stays.
    QCOMPARE(retained(QStringLiteral("#")),
             (QStringList{"bts/BT12/version", "bts/BT7/version", "bts/BTbt3/version",
                          "errors/1700000000123", "units/127.0.0.2/connections",
                          "units/127.0.0.2/info", "units/127.0.0.2/state", "units/127.0.0.3/state"}));
}

void TestMqttApi::cleanersRemoveOnlyTopicsOfUnknownUnitsAndCalls()
{
    // Left by an earlier run, or by someone else; only the first four unit
    // topics and the unknown call may go.
    const QStringList cleared{"units/127.0.0.9/info", "units/127.0.0.9/connections",
                              "units/127.0.0.9/pmbInfo", "units/127.0.0.9/state", "calls/77"};
    const QStringList kept{"units/127.0.0.2/state", "units/garbage/state", "units//state",
                           "units/127.000.0.9/state", "units/::1/state", "calls/55", "calls/077",
                           "calls/x1", "calls/-5"};
    for (const QString& topic : cleared + kept)
        QVERIFY(m_watcher->publish(topic, "{}", 1, true));
    m_watcher->clear();

    QSet<QHostAddress> units{QHostAddress("127.0.0.2")};
    const auto isKnown = [&](const QHostAddress& ip) { return units.contains(ip); };
    MqttSubscriber* subscriber = m_subscriber.get();
    BasicInfoMqttReporter info(m_publisher.get());
    ConnectionsMqttReporter connections(m_publisher.get());
    PMBInfoMqttReporter pmb(m_publisher.get());
    UnitStatusMqttReporter states(m_publisher.get());
    CallQueueMqttReporter calls(m_publisher.get());
    BasicInfoMqttCleaner infoCleaner(&info, subscriber, isKnown);
    ConnectionsMqttCleaner connectionsCleaner(&connections, subscriber, isKnown);
    PMBInfoMqttCleaner pmbCleaner(&pmb, subscriber, isKnown);
    UnitStatusMqttCleaner statesCleaner(&states, subscriber, isKnown);
    CallQueueMqttCleaner callsCleaner([](qint64 id) { return id == 55; }, &calls, subscriber);
    for (UnitTopicMqttCleaner* cleaner :
         std::initializer_list<UnitTopicMqttCleaner*>{&infoCleaner, &connectionsCleaner, &pmbCleaner, &statesCleaner})
        cleaner->start();
    callsCleaner.start();

    QVERIFY(m_watcher->waitForMessages(cleared.size()));
    QTest::qWait(300);
    QStringList removed;
    for (const BrokerMessage& message : m_watcher->messages())
        removed << message.topic + (message.payload.isEmpty() ? QString() : QStringLiteral(" NOT EMPTY"));
    removed.sort();
    QStringList expected = cleared;
    expected.sort();
    QCOMPARE(removed, expected);

    // A unit the registry lets go of right after announcing it takes its
    // topic along; one that is replaced at its address keeps it.
    m_watcher->clear();
    statesCleaner.onUnitRemoved(QHostAddress("127.0.0.2"));
    statesCleaner.onUnitRemoved(QHostAddress("127.0.0.3"));
    units = {QHostAddress("127.0.0.3")};
    QVERIFY(m_watcher->waitForMessages(1));
    QTest::qWait(200);
    QCOMPARE(lines(m_watcher->messages()), QStringList{"units/127.0.0.2/state "});
}

void TestMqttApi::listenersActOnlyOnTheirOwnWellFormedMessages()
{
    FakeCallCapable source;
    Call queued(CallType::VK, QStringLiteral("VK"), &source);
    const QString id = QString::number(queued.id());
    CallTerminateMqttListener terminate(
        [&](qint64 wanted) { return wanted == queued.id() ? queued : Call::null(); },
        m_subscriber.get());
    ConfigChangedMqttListener config(m_subscriber.get());
    UnitScannerMqttListener scanner(m_subscriber.get());
    QSignalSpy terminated(&terminate, &CallTerminateMqttListener::terminateCall);
    QSignalSpy reloads(&config, &ConfigChangedMqttListener::configChanged);
    QStringList addresses;
    connect(&scanner, &UnitScannerMqttListener::discoveredUnit, this,
            [&](const QHostAddress& ip) { addresses << ip.toString(); });
    QSignalSpy subscribed(m_subscriber.get(), &MqttClient::subscribed);
    terminate.start();
    config.start();
    scanner.start();
    QTRY_COMPARE(subscribed.count(), 3);

    const QVector<QPair<QString, QByteArray>> messages{
        {"call/" + id + "/terminate", ""},
        {"call/" + id + "/terminate", "anything"},
        {"call/1/terminate", ""},
        {"call/0" + id + "/terminate", ""},
        {"settings/updated", ""},
        {"settings/updated", "{}"},
        {"scannerAnswers", R"({"arpLeases":[{"ip":"10.0.0.5","mac":"aa"}],"dhcpLeases":[{"address":"10.0.0.6","name":"b"},{"address":"10.0.0.5"}]})"},
        {"scannerAnswers", R"({"arpLeases":[5,{},{"a":"nope"},{"a":"::1"},["10.0.0.8"],{"b":"x","a":"10.0.0.7"}],"dhcpLeases":"10.0.0.9"})"},
        {"scannerAnswers", "{\"arpLeases\":["},
        {"scannerAnswers", "[{\"ip\":\"10.0.0.10\"}]"},
        {"scannerAnswers", "{}"},
    };
    LogCapture log;
    for (const auto& message : messages)
        QVERIFY(m_watcher->publish(message.first, message.second, 1));
    QVERIFY(heard(messages.size()));

    QCOMPARE(terminated.count(), 2);
    QCOMPARE(terminated.at(1).at(0).value<Call>().id(), queued.id());
    QCOMPARE(reloads.count(), 2);
    QCOMPARE(addresses, (QStringList{"10.0.0.5", "10.0.0.6", "10.0.0.5", "10.0.0.7"}));
    const QString warning =
        QStringLiteral("Warning \"Ignored a payload that is not a JSON object on scannerAnswers\"");
    QCOMPARE(log.linesStartingWith(QStringLiteral("Warning")), (QStringList{warning, warning}));
}

QTEST_GUILESS_MAIN(TestMqttApi)
#include "tst_mqttapi.moc"
