#include "calls/calls.h"
#include "config/configloader.h"
#include "core/runtimeoptions.h"
#include "errors/errorevents.h"
#include "mqtt/mqttpublisher.h"
#include "mqtt/mqttsubscriber.h"
#include "mqttapi/cleaners.h"
#include "mqttapi/listeners.h"
#include "mqttapi/reporters.h"
#include "support/brokerfixture.h"
#include "support/corefixture.h"
#include "support/fakecallcapable.h"
#include "support/logcapture.h"
#include "units/features/connecteddevices.h"
#include "units/features/presences.h"
#include "units/registry/units.h"
#include "units/registry/unitsinitializer.h"
#include "units/registry/unitsrepository.h"
#include "units/settings/calllimitssettings.h"
#include "units/settings/languagesettings.h"
#include "units/unit.h"

#include <QtTest>

namespace {

// A desk unit whose link has failed.
struct FailedDesk : Unit
{
    FailedDesk() : Unit(QHostAddress(QStringLiteral("127.0.0.2"))) {}
    int type() const override { return Unit::DeskaType; }
    bool hasRondelError() const override { return true; }
};

// "topic payload" of each message received, once `count` came and then nothing more.
QStringList settled(BrokerClient& client, int count)
{
    client.waitForMessages(count);
    QTest::qWait(300);
    QStringList result;
    for (const BrokerMessage& message : client.messages())
        result << message.topic + QLatin1Char(' ') + QString::fromUtf8(message.payload);
    return result;
}

// A VS call of 127.0.0.2 as published; `last` is its state on "calls/<id>",
// its end type on "callsHistory/<id>".
QString payload(const Call& call, const QString& last, const QString& to)
{
    const auto text = [](const QDateTime& at) {
        return at.isValid() ? at.toString("yyyy-MM-dd'T'HH:mm:ss.zzz") : QString();
    };
    const bool queued = !call.isFinished() || last == "Finished";
    return QString(R"({"endCall":"%1","endTalk":"%2",%3"from":"127.0.0.2","priority":"VS","startCall":"%4","startTalk":"%5",%6"to":[%7],"type":"VS"})")
        .arg(text(call.finishedAt()), text(call.disconnectedAt()),
             queued ? QString() : "\"endType\":\"" + last + "\",", text(call.created()),
             text(call.connectedAt()), queued ? "\"state\":\"" + last + "\"," : QString(), to);
}

} // namespace

// What the services on the broker see of the core, through a client independent of it.
class TestMqttApi : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_rig = std::make_unique<Rig>();
        QVERIFY2(m_rig->started, qPrintable(m_rig->broker.errorString()));
        m_rig->publisher.connectToHost();
        m_rig->subscriber.connectToHost();
        QTRY_VERIFY(m_rig->publisher.isConnectedToHost() && m_rig->subscriber.isConnectedToHost());
        // Not the bus traffic mirror: its flood would hold the state topics up.
        QVERIFY(m_rig->watcher.watch({"units/#", "bts/#", "calls/#", "callsHistory/#", "errors/#",
                                      "synthesizerRequests/#"}));
        RuntimeOptions options = runtimeOptions();
        options.brokerPort = m_rig->broker.port();
        setRuntimeOptions(options);
    }

    // The core and the clients go before their broker.
    void cleanup() { m_rig.reset(); }

    void reportersPublishTheirPayloadsByteForByte()
    {
        MqttPublisher* publisher = &m_rig->publisher;
        FailedDesk desk;
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
        states.reportAll(QVector<Unit*>{&desk});
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
        // A call waits, rings at a nurse, who answers and hangs up: the queue
        // entry follows each step, the history gets the end.
        CallQueueMqttReporter queue(publisher);
        FakeCallCapable nurse(QStringLiteral("127.0.0.3"));
        Call vs(CallType::VS, QStringLiteral("VS"), &desk);
        QVector<Call> steps{vs};
        vs.addReceiver(&nurse);
        vs.setRinging();
        steps << vs;
        vs.setTarget(&nurse, 1);
        vs.setConnected();
        steps << vs;
        vs.finish(EndType::HangUp);
        steps << vs;
        for (const Call& step : steps)
            queue.report(step);
        CallHistoryMqttReporter(publisher).report(vs);
        queue.clear(vs.id());

        // A topic the library refuses is lost, but not without a word.
        LogCapture log;
        m_rig->publisher.publishRetained(MqttMessage(0, QStringLiteral("units/+/state"), "{}"));
        QVERIFY(log.contains("Warning \"MqttPublisher could not send a message on units/+/state, error 3\""));

        QStringList expected{
            R"(units/127.0.0.2/info {"acronymPU":"A","fwVersionGT":"g1","fwVersionPU":"p1","mac":"0011","namePU":"N","productCodePU":"P","typeGT":"tg","typePU":"tp"})",
            R"(units/127.0.0.2/connections {"nv":[{"detected":true},{"detected":false},{"detected":true},{"detected":false},{"detected":false},{"detected":false},{"detected":false},{"detected":false},{"detected":false}],"oez":{"detected":false},"sv":{"detected":true}})",
            R"(units/127.0.0.2/state {"alIn":false,"alOut":false,"dcIn":false,"dcOut":false,"mtf":"1a","nvIn":true,"nvOut":true,"paIn":false,"paOut":false,"pl":false,"pp":true,"ps":false,"rdErr":true,"sbErr":false,"vkIn":true,"vkOut":false,"vsIn":false,"vsOut":true})",
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
        const QString topic = "calls/" + QString::number(vs.id()) + ' ';
        const QString history = "callsHistory/" + QString::number(vs.id());
        expected << topic + payload(steps[0], "New", "")
                 << topic + payload(steps[1], "Ringing", R"("127.0.0.3")")
                 << topic + payload(steps[2], "Connected", R"("127.0.0.3")")
                 << topic + payload(vs, "Finished", R"("127.0.0.3")")
                 << history + ' ' + payload(vs, "HangUp", R"("127.0.0.3")")
                 << topic;
        QCOMPARE(settled(m_rig->watcher, expected.size()), expected);
        // The removed PMB, synthesizer and call topics are gone; the rest stays.
        BrokerClient late(m_rig->broker);
        QVERIFY(late.watch({"#"}));
        QTest::qWait(300);
        QStringList retained;
        for (const BrokerMessage& message : late.messages())
            retained << (message.retain && message.qos == 2 ? "" : "NOT RETAINED ") + message.topic;
        retained.sort();
        QCOMPARE(retained, (QStringList{"bts/BT12/version", "bts/BT7/version", "bts/BTbt3/version", history,
                                        "errors/1700000000123", "units/127.0.0.2/connections",
                                        "units/127.0.0.2/info", "units/127.0.0.2/state"}));
    }

    void cleanersRemoveOnlyTopicsOfUnknownUnitsAndCalls()
    {
        // Left by an earlier run or someone else; only four unit topics and the unknown call go.
        QStringList cleared{"units/127.0.0.9/info", "units/127.0.0.9/connections",
                            "units/127.0.0.9/pmbInfo", "units/127.0.0.9/state", "calls/77"};
        const QStringList kept{"units/127.0.0.2/state", "units/garbage/state", "units//state",
                               "units/127.000.0.9/state", "units/::1/state", "calls/55", "calls/077",
                               "calls/x1", "calls/-5"};
        for (const QString& topic : cleared + kept)
            QVERIFY(m_rig->watcher.publish(topic, "{}", 1, true));
        m_rig->watcher.clear();

        QSet<QHostAddress> units{QHostAddress("127.0.0.2")};
        const auto isKnown = [&](const QHostAddress& ip) { return units.contains(ip); };
        MqttSubscriber* subscriber = &m_rig->subscriber;
        BasicInfoMqttReporter info(&m_rig->publisher);
        ConnectionsMqttReporter connections(&m_rig->publisher);
        PMBInfoMqttReporter pmb(&m_rig->publisher);
        UnitStatusMqttReporter states(&m_rig->publisher);
        CallQueueMqttReporter calls(&m_rig->publisher);
        BasicInfoMqttCleaner infoCleaner(&info, subscriber, isKnown);
        ConnectionsMqttCleaner connectionsCleaner(&connections, subscriber, isKnown);
        PMBInfoMqttCleaner pmbCleaner(&pmb, subscriber, isKnown);
        UnitStatusMqttCleaner statesCleaner(&states, subscriber, isKnown);
        CallQueueMqttCleaner callsCleaner([](qint64 id) { return id == 55; }, &calls, subscriber);
        infoCleaner.start(), connectionsCleaner.start(), pmbCleaner.start(), statesCleaner.start();
        callsCleaner.start();

        QStringList removed = settled(m_rig->watcher, cleared.size());
        removed.sort();
        cleared.replaceInStrings(QRegularExpression("$"), " ").sort();
        QCOMPARE(removed, cleared);

        // A unit the registry lets go of right after announcing it takes its
        // topic along; one that is replaced at its address keeps it.
        m_rig->watcher.clear();
        statesCleaner.onUnitRemoved(QHostAddress("127.0.0.2"));
        statesCleaner.onUnitRemoved(QHostAddress("127.0.0.3"));
        units = {QHostAddress("127.0.0.3")};
        QCOMPARE(settled(m_rig->watcher, 1), QStringList{"units/127.0.0.2/state "});
    }

    void listenersActOnlyOnTheirOwnWellFormedMessages()
    {
        FakeCallCapable source;
        Call queued(CallType::VK, QStringLiteral("VK"), &source);
        const QString id = QString::number(queued.id());
        CallTerminateMqttListener terminate(
            [&](qint64 wanted) { return wanted == queued.id() ? queued : Call::null(); },
            &m_rig->subscriber);
        UnitScannerMqttListener scanner(&m_rig->subscriber);
        QSignalSpy terminated(&terminate, &CallTerminateMqttListener::terminateCall);
        QStringList addresses;
        connect(&scanner, &UnitScannerMqttListener::discoveredUnit, this,
                [&](const QHostAddress& ip) { addresses << ip.toString(); });
        QSignalSpy subscribed(&m_rig->subscriber, &MqttClient::subscribed);
        QSignalSpy heard(&m_rig->subscriber, &MqttSubscriber::messageReceived);
        terminate.start();
        scanner.start();
        QTRY_COMPARE(subscribed.count(), 2);

        const QVector<QPair<QString, QByteArray>> messages{
            {"call/" + id + "/terminate", "anything"},
            {"call/0" + id + "/terminate", ""},
            {"call/999/terminate", ""},
            {"scannerAnswers", R"({"arpLeases":[5,{},{"a":"nope"},{"a":"::1"},["10.0.0.8"],{"b":"x","a":"10.0.0.7"}],"dhcpLeases":"10.0.0.9"})"},
            {"scannerAnswers", "[{\"ip\":\"10.0.0.10\"}]"},
            {"scannerAnswers", "{\"arpLeases\":["},
            {"scannerAnswers", "{}"},
        };
        LogCapture log;
        for (const auto& message : messages)
            QVERIFY(m_rig->watcher.publish(message.first, message.second, 1));
        QTRY_COMPARE(heard.count(), messages.size());

        QCOMPARE(terminated.count(), 1);
        QCOMPARE(terminated.at(0).at(0).value<Call>().id(), queued.id());
        QCOMPARE(addresses, QStringList{"10.0.0.7"});
        const QString ignored = "Warning \"Ignored a payload that is not a JSON object on scannerAnswers\"";
        QCOMPARE(log.linesStartingWith(QStringLiteral("Warning")), QStringList({ignored, ignored}));
    }

    // The whole core in the test process, on the same broker.
    void startUpCleaningThenUnitState()
    {
        // Left by an earlier run: an unconfigured unit, a known one, a call the queue lacks.
        for (const char* topic : {"units/127.0.0.9/state", "units/127.0.0.9/info", "units/127.0.0.2/state",
                                  "calls/1234"})
            QVERIFY(m_rig->watcher.publish(topic, "{\"old\":1}", 1, true));
        QVERIFY(m_rig->core.bringUp({"127.0.0.2 Tolva"}));
        const auto last = [&](const QString& topic) {
            const QVector<BrokerMessage> messages = m_rig->watcher.messages(topic);
            return messages.isEmpty() ? QByteArray("none") : messages.last().payload;
        };
        for (const char* gone : {"units/127.0.0.9/state", "units/127.0.0.9/info", "calls/1234"})
            QTRY_COMPARE(last(gone), QByteArray());
        const QByteArray idle = R"({"alIn":false,"alOut":false,"dcIn":false,"dcOut":false,"mtf":"","nvIn":false,"nvOut":false,"paIn":false,"paOut":false,"pl":false,"pp":false,"ps":false,"rdErr":false,"sbErr":false,"vkIn":false,"vkOut":false,"vsIn":false,"vsOut":false})";
        QTRY_COMPARE(last("units/127.0.0.2/state"), idle);
        QCOMPARE(last("units/127.0.0.2/connections"),
                 QByteArray(R"({"nv":[{"detected":false},{"detected":false},{"detected":false},{"detected":false},{"detected":false},{"detected":false},{"detected":false},{"detected":false},{"detected":false}],"oez":{"detected":false},"sv":{"detected":false}})"));

        m_rig->core.fake("127.0.0.2")->sendCommand("CallChange", "VS:1");
        QTRY_COMPARE(last("units/127.0.0.2/state"),
                     QByteArray(idle).replace("\"vsOut\":false", "\"vsOut\":true"));

        // Changes within one pass of the event loop are published once; a
        // unit taken out of the registry meanwhile is not published again.
        Units* units = m_rig->core.core().units();
        Unit* unit = m_rig->core.configured("127.0.0.2");
        QVERIFY(m_rig->core.settle());
        m_rig->watcher.clear();
        const auto states = [&] {
            QTest::qWait(300);
            QByteArrayList payloads;
            for (const BrokerMessage& message : m_rig->watcher.messages("units/127.0.0.2/state"))
                payloads << message.payload;
            return payloads;
        };
        emit units->callsChanged(unit);
        emit units->registeredPS(unit);
        QCOMPARE(states().size(), 1);
        m_rig->watcher.clear();
        emit units->callsChanged(unit);
        m_rig->core.core().unitsRepository()->remove(unit->ip());
        QCOMPARE(states(), QByteArrayList());
    }

    void reloadAnnouncementsAndScannerAnswers()
    {
        // No unit answers, so the start-up takes its whole time limit.
        m_rig->core.writeConfig(CoreFixture::config({"127.0.0.2 Tolva"}));
        m_rig->core.initialize();
        Orvanta& core = m_rig->core.core();
        QSignalSpy reloads(core.configLoader(), &ConfigLoader::reloadDone);
        QSignalSpy initialized(core.unitsInitializer(), &UnitsInitializer::unitsInitialized);
        QSignalSpy subscribed(core.mqttSubscriber(), &MqttClient::subscribed);
        QSignalSpy newUnits(core.units(), &Units::newUnit);
        QTRY_VERIFY(m_rig->core.log().contains("Debug Units initialisation ..."));
        for (int i = 0; i < 3; ++i)
            core.configChangedListener()->onMessage(MqttMessage(0, "settings/updated", ""));
        QTest::qWait(200);
        QCOMPARE(reloads.count(), 0);
        QVERIFY(initialized.wait(CoreFixture::TimeLimit + 1000));
        QCOMPARE(reloads.count(), 1);

        QTRY_VERIFY(subscribed.count() >= 6);

        RespondingUnit* first = m_rig->core.addUnit("127.0.0.5 Melde");
        RespondingUnit* second = m_rig->core.addUnit("127.0.0.6 Lumo");
        QVERIFY(m_rig->watcher.publish("scannerAnswers",
            R"({"arpLeases":[{"ip":"127.0.0.5","mac":"x"}],"dhcpLeases":[{"address":"127.0.0.6","name":"b"},{"address":"127.0.0.5"},{"address":"127.0.0.2"}]})", 1));
        QTRY_VERIFY(first->statusRequests("BasicInfo") == 1 && second->statusRequests("BasicInfo") == 1);
        QTest::qWait(300);
        QCOMPARE(first->statusRequests("BasicInfo"), 1);
        QCOMPARE(newUnits.count(), 2);
    }

private:
    // A fresh broker for each test, with the core's clients, a watcher and a core on it.
    struct Rig
    {
        BrokerFixture broker;
        bool started = broker.start();
        MqttPublisher publisher{broker.host(), broker.port()};
        MqttSubscriber subscriber{broker.host(), broker.port()};
        BrokerClient watcher{broker};
        CoreFixture core;
    };
    std::unique_ptr<Rig> m_rig;
};

QTEST_GUILESS_MAIN(TestMqttApi)
#include "tst_mqttapi.moc"
