#include "errors/errorevents.h"
#include "errors/loggers.h"
#include "mqtt/mqttpublisher.h"
#include "mqttapi/listeners.h"
#include "mqttapi/reporters.h"
#include "rondel/rondelformat.h"
#include "rondel/rondelmqttlogger.h"
#include "support/brokerfixture.h"
#include "support/fakecallcapable.h"
#include "units/settings/calllimitssettings.h"
#include "units/settings/languagesettings.h"
#include "units/unit.h"

#include <QtTest>

#include <algorithm>

namespace {

// The service developers' reference: "### ... `topic`" headings followed by
// example payloads in ```json blocks; one mosquitto_pub line per command.
struct ApiDocument
{
    QMap<QString, QStringList> examples; // topic as written -> payloads in order
    QStringList commands;

    ApiDocument()
    {
        QFile file(QStringLiteral(ORVANTA_SOURCE_DIR "/docs/mqtt-api.md"));
        file.open(QIODevice::ReadOnly | QIODevice::Text);
        const QString text = QString::fromUtf8(file.readAll());
        const auto pattern = [](const char* regex) {
            return QRegularExpression(regex, QRegularExpression::MultilineOption
                                                 | QRegularExpression::DotMatchesEverythingOption);
        };
        // A section runs from one heading to the next; only topic headings have examples.
        for (const QString& section : text.split(pattern("^(?=#)"))) {
            const QString topic = pattern("\\A### [^\n]*`([^`]+)`$").match(section).captured(1);
            auto json = pattern("^```json\n(.*?)^```$").globalMatch(section);
            while (!topic.isEmpty() && json.hasNext())
                examples[topic] << json.next().captured(1).trimmed();
        }
        auto command = pattern("^ *(mosquitto_pub [^\n]*)$").globalMatch(text);
        while (command.hasNext())
            commands << command.next().captured(1);
    }
};

// Keys and value types, with every other value reduced to the number of its
// type: what a reader of the payload relies on.
QJsonValue shape(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Object: {
        QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            it.value() = shape(it.value());
        return object;
    }
    case QJsonValue::Array: {
        QJsonArray array;
        for (const QJsonValue& element : value.toArray())
            array.append(shape(element));
        return array;
    }
    default: return int(value.type());
    }
}

QString shapeOf(const QByteArray& json)
{
    return QString::fromUtf8(QJsonDocument(shape(QJsonDocument::fromJson(json).object()).toObject())
                                 .toJson(QJsonDocument::Compact));
}

// "<ip>", "<id>" ... stand for one topic level.
QRegularExpression topicPattern(const QString& documented)
{
    QString pattern = QRegularExpression::escape(documented);
    pattern.replace(QRegularExpression(QStringLiteral("\\\\<[a-z]+\\\\>")), QStringLiteral("[^/]+"));
    return QRegularExpression(QLatin1Char('^') + pattern + QLatin1Char('$'));
}

const QHostAddress RoomUnit(QStringLiteral("10.10.1.21"));
const QHostAddress NurseUnit(QStringLiteral("10.10.1.30"));
const QDateTime Morning(QDate(2024, 3, 1), QTime(8, 5, 9, 7));

} // namespace

// docs/mqtt-api.md must stay what the core really sends and takes.
class TestMqttApiDoc : public QObject
{
    Q_OBJECT
private slots:
    // Each documented topic and no other is published by its reporter, once per example,
    // with the example's keys and value types; the scanner's answers are taken, not sent.
    void examplesHaveThePublishedKeys()
    {
        BrokerFixture broker;
        QVERIFY2(broker.start(), qPrintable(broker.errorString()));
        BrokerClient watcher(broker);
        QVERIFY(watcher.watch({"#"}));
        MqttPublisher publisher(broker.host(), broker.port());
        publisher.connectToHost();
        QTRY_VERIFY(publisher.isConnectedToHost());
        MqttPublisher* p = &publisher;
        Unit unit(RoomUnit);
        BasicInfoMqttReporter(p).report(&unit, {"TOL", "Tolva", "3120", "Room unit", "4.2.7", "GT-2", "1.3.0", "0004a31b22c8"});
        ConnectionsMqttReporter(p).report(&unit);
        PMBInfoMqttReporter(p).report(&unit, {"1", "PMB-868", "2.0.4", "0"});
        UnitStatusMqttReporter(p).report(&unit);
        BTVersionMqttReporter(p).report({"7", "NV-BT", "1.4.2", ""});
        FakeCallCapable patient(RoomUnit.toString()), nurse(NurseUnit.toString());
        Call call(CallType::VS, QStringLiteral("VS"), &patient);
        call.setTarget(&nurse, 1);
        call.setConnected();
        CallQueueMqttReporter(p).report(call);
        call.finish(EndType::HangUp);
        CallHistoryMqttReporter(p).report(call);
        ErrorEvents events;
        ErrorHistoryMqttReporter(&events, p).report({Morning.toMSecsSinceEpoch(), RoomUnit, ErrorEvent::Rondel, Morning, {}});
        CallLimitsSettings limits;
        LanguageSettings language;
        SynthesizerMqttReporter synthesizer(&limits, &language, p);
        synthesizer.reportStarted(SynthesizedMessage(NurseUnit, 10100));
        synthesizer.reportStopped(SynthesizedMessage(NurseUnit, 10100));
        MqttErrorLogger(p).log("Critical Rondel socket bind Failed!");
        RondelMqttLogger logger(p);
        logger.setClock([] { return Morning; });
        logger.logReceived(RondelFormat::finish("MsgNo:12\nCmd:CallChange\nVS:1"), RoomUnit);
        // Sent last with the highest QoS, so it arrives after all the rest.
        p->publishRetained(MqttMessage(0, QStringLiteral("test/end"), QByteArray()));
        QTRY_VERIFY(!watcher.messages(QStringLiteral("test/end")).isEmpty());

        const QStringList topics = m_doc.examples.keys();
        QMap<QString, QStringList> published{{"scannerAnswers", {}}};
        for (const BrokerMessage& message : watcher.messages()) {
            const auto documented = std::find_if(topics.cbegin(), topics.cend(), [&](const QString& topic) {
                return topicPattern(topic).match(message.topic).hasMatch();
            });
            if (message.payload.isEmpty())
                continue;
            QVERIFY2(documented != topics.cend(), qPrintable(message.topic));
            published[*documented] << shapeOf(message.payload);
        }
        QCOMPARE(published.keys(), topics);
        for (const QString& topic : topics) {
            QStringList shapes;
            for (const QString& example : m_doc.examples.value(topic)) {
                // Written as it arrives: compact, keys in sorted order.
                QCOMPARE(QJsonDocument::fromJson(example.toUtf8()).toJson(QJsonDocument::Compact), example.toUtf8());
                shapes << shapeOf(example.toUtf8());
            }
            if (topic != "scannerAnswers")
                QVERIFY2(shapes == published.value(topic), qPrintable(topic));
        }
    }

    void commandLinesReachTheirListeners()
    {
        FakeCallCapable source;
        const Call queued(CallType::VK, QStringLiteral("VK"), &source);
        QList<qint64> asked;
        CallTerminateMqttListener terminate([&](qint64 id) { asked << id; return queued; }, nullptr);
        ConfigChangedMqttListener reload(nullptr);
        UnitScannerMqttListener scanner(nullptr);
        QSignalSpy terminated(&terminate, &CallTerminateMqttListener::terminateCall);
        QSignalSpy reloaded(&reload, &ConfigChangedMqttListener::configChanged);
        QStringList adopted;
        connect(&scanner, &UnitScannerMqttListener::discoveredUnit, this,
                [&](const QHostAddress& ip) { adopted << ip.toString(); });

        QStringList reactions;
        for (const QString& line : m_doc.commands) {
            const auto option = [&line](const char* flag) {
                return QRegularExpression(QStringLiteral(" -%1 '([^']*)'").arg(flag)).match(line).captured(1);
            };
            const MqttMessage message(0, option("t"), option("m").toUtf8());
            for (MqttListener* listener : std::initializer_list<MqttListener*>{&terminate, &reload, &scanner})
                listener->onMessage(message);
            reactions << QStringLiteral("%1 %2 %3").arg(terminated.count()).arg(reloaded.count()).arg(adopted.size());
            if (message.topic == scanner.topic())
                QCOMPARE(option("m"), m_doc.examples.value(scanner.topic()).value(0));
        }
        // Each line is heard by its own listener alone: the call named in the
        // topic, and every address of the example answer.
        QCOMPARE(reactions, (QStringList{"1 0 0", "1 1 0", "1 1 2"}));
        QCOMPARE(asked, QList<qint64>{1709276709007});
        QCOMPARE(adopted, (QStringList{"10.10.1.40", "10.10.1.41"}));
    }

private:
    const ApiDocument m_doc;
};

QTEST_GUILESS_MAIN(TestMqttApiDoc)
#include "tst_mqttapidoc.moc"
