#include "calls/callqueue.h"
#include "config/configloader.h"
#include "core/runtimeoptions.h"
#include "mqtt/mqttsubscriber.h"
#include "mqttapi/listeners.h"
#include "support/brokerfixture.h"
#include "support/corefixture.h"
#include "units/registry/units.h"
#include "units/registry/unitsinitializer.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

namespace {

// The "units/<ip>/state" payload with the named flags set.
QByteArray state(const QStringList& set)
{
    QStringList fields;
    for (const char* key : {"alIn", "alOut", "dcIn", "dcOut", "mtf", "nvIn", "nvOut", "paIn", "paOut",
                            "pl", "pp", "ps", "rdErr", "sbErr", "vkIn", "vkOut", "vsIn", "vsOut"}) {
        const QString name = QString::fromLatin1(key);
        fields << QStringLiteral("\"%1\":%2").arg(name, name == "mtf" ? "\"\""
                                                    : set.contains(name) ? "true" : "false");
    }
    return '{' + fields.join(',').toUtf8() + '}';
}

QString text(const QDateTime& dateTime)
{
    return dateTime.isValid() ? dateTime.toString("yyyy-MM-dd'T'HH:mm:ss.zzz") : QString();
}

QString calls(const Call& call) { return "calls/" + QString::number(call.id()); }
QString history(const Call& call) { return "callsHistory/" + QString::number(call.id()); }

// A VS call of 127.0.0.2 as published; `last` is its state on "calls/<id>",
// its end type on "callsHistory/<id>".
QString payload(const Call& call, const QString& last, const QString& to)
{
    const bool queued = !call.isFinished() || last == "Finished";
    return QString(R"({"endCall":"%1","endTalk":"%2",%3"from":"127.0.0.2","priority":"VS","startCall":"%4","startTalk":"%5",%6"to":[%7],"type":"VS"})")
        .arg(text(call.finishedAt()), text(call.disconnectedAt()),
             queued ? QString() : "\"endType\":\"" + last + "\",", text(call.created()),
             text(call.connectedAt()), queued ? "\"state\":\"" + last + "\"," : QString(), to);
}

QStringList lines(const QVector<BrokerMessage>& messages)
{
    QStringList result;
    for (const BrokerMessage& message : messages)
        result << QString::fromUtf8(message.payload);
    return result;
}

} // namespace

// The whole core with a real broker: what an independent client sees of
// it, and what it takes from the broker.
class TestCoreMqtt : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void startUpCleaningThenUnitStateAndErrors();
    void reloadAnnouncementsAndScannerAnswers();
    void callLifeAndTerminationOnTheBroker();

private:
    std::unique_ptr<BrokerFixture> m_broker;
    std::unique_ptr<BrokerClient> m_watcher;
    std::unique_ptr<CoreFixture> m_core;
};

void TestCoreMqtt::init()
{
    m_broker = std::make_unique<BrokerFixture>();
    QVERIFY2(m_broker->start(), qPrintable(m_broker->errorString()));
    m_watcher = std::make_unique<BrokerClient>(*m_broker);
    QVERIFY(m_watcher->connectToBroker());
    // Not the bus traffic mirror: its flood would hold the state topics up.
    for (const char* filter : {"units/#", "calls/#", "callsHistory/#", "errors/#"})
        QVERIFY(m_watcher->subscribe(filter));
    m_core = std::make_unique<CoreFixture>();
    RuntimeOptions options = runtimeOptions();
    options.brokerPort = m_broker->port();
    setRuntimeOptions(options);
}

void TestCoreMqtt::cleanup()
{
    m_core.reset();
    m_watcher.reset();
    m_broker.reset();
}

void TestCoreMqtt::startUpCleaningThenUnitStateAndErrors()
{
    // Left by an earlier run: a unit no longer configured, and a known one.
    for (const char* topic : {"units/127.0.0.9/state", "units/127.0.0.9/info", "units/127.0.0.2/state"})
        QVERIFY(m_watcher->publish(topic, "{\"old\":1}", 1, true));
    QVERIFY(m_core->bringUp({"127.0.0.2 Tolva"}));
    const auto last = [&](const QString& topic) {
        const QVector<BrokerMessage> messages = m_watcher->messages(topic);
        return messages.isEmpty() ? QByteArray("none") : messages.last().payload;
    };
    QTRY_COMPARE(last("units/127.0.0.9/state"), QByteArray());
    QTRY_COMPARE(last("units/127.0.0.9/info"), QByteArray());
    QTRY_COMPARE(last("units/127.0.0.2/state"), state({}));
    QCOMPARE(last("units/127.0.0.2/connections"),
             QByteArray(R"({"nv":[{"detected":false},{"detected":false},{"detected":false},{"detected":false},{"detected":false},{"detected":false},{"detected":false},{"detected":false},{"detected":false}],"oez":{"detected":false},"sv":{"detected":false}})"));

    RespondingUnit* unit = m_core->fake("127.0.0.2");
    unit->sendCommand("PresenceStatus", "PS:0\nPP:1");
    QTRY_COMPARE(last("units/127.0.0.2/state"), state({"pp"}));
    unit->sendCommand("CallChange", "VS:1");
    QTRY_COMPARE(last("units/127.0.0.2/state"), state({"pp", "vsOut"}));

    // A unit out of reach is an error event from its loss to its return,
    // both published on one topic.
    unit->setSilent(true);
    QTRY_VERIFY_WITH_TIMEOUT(last("units/127.0.0.2/state").contains("\"rdErr\":true"), 3000);
    unit->setSilent(false);
    QTRY_VERIFY_WITH_TIMEOUT(last("units/127.0.0.2/state").contains("\"rdErr\":false"), 5000);
    QStringList errorTopics;
    for (const QString& topic : m_watcher->topics())
        if (topic.startsWith("errors/"))
            errorTopics << topic;
    QCOMPARE(errorTopics.size(), 2);
    QCOMPARE(errorTopics.at(0), errorTopics.at(1));
    const QString stamp = QStringLiteral(R"("\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}")");
    const QVector<BrokerMessage> events = m_watcher->messages(errorTopics.at(0));
    QVERIFY(QRegularExpression(QStringLiteral(R"(^\{"end":"","ip":"127.0.0.2","start":%1,"type":"Rondel"\}$)").arg(stamp))
                .match(QString::fromUtf8(events.at(0).payload)).hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral(R"(^\{"end":%1,"ip":"127.0.0.2","start":%1,"type":"Rondel"\}$)").arg(stamp))
                .match(QString::fromUtf8(events.at(1).payload)).hasMatch());
}

void TestCoreMqtt::reloadAnnouncementsAndScannerAnswers()
{
    // No unit answers, so the start-up takes its whole time limit.
    m_core->writeConfig(CoreFixture::config({"127.0.0.2 Tolva"}));
    m_core->initialize();
    Orvanta& core = m_core->core();
    QSignalSpy reloads(core.configLoader(), &ConfigLoader::reloadDone);
    QSignalSpy initialized(core.unitsInitializer(), &UnitsInitializer::unitsInitialized);
    QSignalSpy subscribed(core.mqttSubscriber(), &MqttClient::subscribed);
    QSignalSpy newUnits(core.units(), &Units::newUnit);
    QTRY_VERIFY(m_core->log().contains("Debug Units initialisation ..."));
    for (int i = 0; i < 3; ++i)
        core.configChangedListener()->onMessage(MqttMessage(0, "settings/updated", ""));
    QTest::qWait(200);
    QCOMPARE(reloads.count(), 0);
    QVERIFY(initialized.wait(CoreFixture::TimeLimit + 1000));
    QCOMPARE(reloads.count(), 1);

    QTRY_VERIFY(subscribed.count() >= 6);
    QVERIFY(m_watcher->publish("settings/updated", "", 1));
    QTRY_COMPARE(reloads.count(), 2);

    RespondingUnit* first = m_core->addUnit("127.0.0.5 Melde");
    RespondingUnit* second = m_core->addUnit("127.0.0.6 Lumo");
    QVERIFY(m_watcher->publish("scannerAnswers", "{\"arpLeases\":[", 1));
    QVERIFY(m_watcher->publish("scannerAnswers",
        R"({"arpLeases":[{"ip":"127.0.0.5","mac":"x"}],"dhcpLeases":[{"address":"127.0.0.6","name":"b"},{"address":"127.0.0.5"},{"address":"127.0.0.2"}]})", 1));
    QTRY_VERIFY(first->statusRequests("BasicInfo") == 1 && second->statusRequests("BasicInfo") == 1);
    QTest::qWait(300);
    QCOMPARE(first->statusRequests("BasicInfo"), 1);
    QCOMPARE(newUnits.count(), 2);
    QCOMPARE(m_core->log().count("Warning \"Ignored a payload that is not a JSON object on scannerAnswers\""), 1);
}

void TestCoreMqtt::callLifeAndTerminationOnTheBroker()
{
    QVERIFY(m_watcher->publish("calls/1234", "{}", 1, true));
    QVERIFY(m_core->bringUp({"127.0.0.2 Pardo r1", "127.0.0.3 Fenno r2"}));
    QTRY_COMPARE(m_watcher->messages("calls/1234").size(), 2);
    RespondingUnit* patient = m_core->fake("127.0.0.2");
    RespondingUnit* nurse = m_core->fake("127.0.0.3");
    QSignalSpy changes(m_core->core().callQueue(), &CallQueue::callChanged);
    const auto sent = [&](const QString& topic) { return lines(m_watcher->messages(topic)); };

    // Nobody is there to take it: the call waits, until an operator ends it
    // with whatever payload; an unknown id changes nothing.
    patient->sendCommand("CallChange", "VS:1");
    QTRY_COMPARE(changes.count(), 1);
    const Call waiting = changes.at(0).at(0).value<Call>();
    // The core has heard its report back while the call was still queued.
    QTRY_VERIFY(m_core->log().contains(QString("Debug \"%1\"").arg(calls(waiting))));
    QVERIFY(m_watcher->publish("call/999/terminate", "", 1));
    QVERIFY(m_watcher->publish(QString("call/%1/terminate").arg(waiting.id()), "", 1));
    QTRY_COMPARE(changes.count(), 2);
    QCOMPARE(changes.at(1).at(0).value<Call>().endType(), EndType::ManuallyRemoved);
    QTRY_COMPARE(sent(calls(waiting)).size(), 3);
    QCOMPARE(sent(calls(waiting)), (QStringList{payload(waiting, "New", ""), payload(changes.at(1).at(0).value<Call>(), "Finished", ""), ""}));
    QTRY_COMPARE(sent(history(waiting)), QStringList{payload(changes.at(1).at(0).value<Call>(), "ManuallyRemoved", "")});

    // Rings at the nurse, who answers and hangs up; each step is heard back
    // by the core before the next, as with people in between.
    QVERIFY(nurse->waitForAck(nurse->sendCommand("PresenceStatus", "PS:1")));
    patient->sendCommand("CallChange", "VS:0");
    patient->sendCommand("CallChange", "VS:1");
    const auto heardBack = [&](int count) {
        const QString line = QString("Debug \"%1\"").arg(calls(changes.last().at(0).value<Call>()));
        return QTest::qWaitFor([&] { return m_core->log().count(line) == count; }, 5000);
    };
    QTRY_COMPARE(changes.count(), 3);
    QVERIFY(heardBack(1));
    nurse->sendCommand("Requests", "CallAnswerBase");
    QTRY_COMPARE(changes.count(), 4);
    QVERIFY(heardBack(2));
    nurse->sendCommand("Requests", "TalkCancelRqst");
    QTRY_COMPARE(changes.count(), 5);
    const Call ended = changes.at(4).at(0).value<Call>();
    QTRY_COMPARE(sent(calls(ended)).size(), 4);
    QCOMPARE(sent(calls(ended)),
             (QStringList{payload(changes.at(2).at(0).value<Call>(), "Ringing", R"("127.0.0.3")"),
                          payload(changes.at(3).at(0).value<Call>(), "Connected", R"("127.0.0.3")"),
                          payload(ended, "Finished", R"("127.0.0.3")"), ""}));
    QCOMPARE(sent(history(ended)), QStringList{payload(ended, "HangUp", R"("127.0.0.3")")});
}

QTEST_GUILESS_MAIN(TestCoreMqtt)
#include "tst_coremqtt.moc"
