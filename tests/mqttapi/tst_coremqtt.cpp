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
QByteArray state(const QStringList& set, const QString& mtf = QString())
{
    QStringList fields;
    for (const char* key : {"alIn", "alOut", "dcIn", "dcOut", "mtf", "nvIn", "nvOut", "paIn", "paOut",
                            "pl", "pp", "ps", "rdErr", "sbErr", "vkIn", "vkOut", "vsIn", "vsOut"}) {
        const QString name = QString::fromLatin1(key);
        fields << QStringLiteral("\"%1\":%2").arg(name, name == "mtf" ? '"' + mtf + '"'
                                                    : set.contains(name) ? "true" : "false");
    }
    return '{' + fields.join(',').toUtf8() + '}';
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
    QVERIFY(m_watcher->subscribe(QStringLiteral("#")));
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

QTEST_GUILESS_MAIN(TestCoreMqtt)
#include "tst_coremqtt.moc"
