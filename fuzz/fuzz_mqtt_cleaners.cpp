// Retained messages on the core's own topics into every cleaner. A cleaner
// deletes what the broker holds: it must clear exactly the topic it heard,
// and only when that topic is one the core writes ("units/<ip>/<part>" with
// a dotted-decimal address, "calls/<id>" with a plain decimal id) for a unit
// or call it does not know. Any other topic may belong to another service.
//
// Input: retained messages as fuzzmqtt.h describes, "topic\0payload" each,
// separated by 0xFF.

#include "fuzzmqtt.h"
#include "fuzzsupport.h"

#include "mqttapi/cleaners.h"
#include "mqttapi/reporters.h"

#include <QRegularExpression>
#include <QStringList>

#include <limits>
#include <memory>
#include <vector>

namespace {

const QStringList KnownUnits{QStringLiteral("10.10.0.21"), QStringLiteral("192.168.1.5")};
const QList<qint64> QueuedCalls{1709276709007, 7};

// The reporters and cleaners of the application, the lookups answering
// for a fixed registry and call queue. They keep nothing between messages.
struct Cleaners
{
    Cleaners()
    {
        const auto isKnown = [](const QHostAddress& ip) { return KnownUnits.contains(ip.toString()); };
        units.push_back(std::make_unique<BasicInfoMqttCleaner>(&info, nullptr, isKnown));
        units.push_back(std::make_unique<ConnectionsMqttCleaner>(&connections, nullptr, isKnown));
        units.push_back(std::make_unique<PMBInfoMqttCleaner>(&pmbInfo, nullptr, isKnown));
        units.push_back(std::make_unique<UnitStatusMqttCleaner>(&state, nullptr, isKnown));
    }

    void hear(const MqttMessage& message)
    {
        for (const auto& cleaner : units)
            cleaner->onMessage(message);
        calls.onMessage(message);
    }

    BasicInfoMqttReporter info{Fuzz::recordingPublisher()};
    ConnectionsMqttReporter connections{Fuzz::recordingPublisher()};
    PMBInfoMqttReporter pmbInfo{Fuzz::recordingPublisher()};
    UnitStatusMqttReporter state{Fuzz::recordingPublisher()};
    std::vector<std::unique_ptr<UnitTopicMqttCleaner>> units;
    CallQueueMqttReporter callReporter{Fuzz::recordingPublisher()};
    CallQueueMqttCleaner calls{[](qint64 id) { return QueuedCalls.contains(id); }, &callReporter, nullptr};
};

// Decimal without sign or leading zero, as QString::number writes it.
bool isPlainNumber(const QString& text, qint64 max)
{
    static const QRegularExpression digits(
        QRegularExpression::anchoredPattern(QStringLiteral("0|[1-9][0-9]{0,18}")));
    if (!digits.match(text).hasMatch())
        return false;
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok);
    return ok && value <= qulonglong(max);
}

// Whether the core would have written this topic for a unit or call it no
// longer has; decided from the text alone, without the parsers under test.
bool isStaleOwnTopic(const QString& topic)
{
    const QStringList parts = topic.split(QLatin1Char('/'));
    if (parts.size() == 2 && parts[0] == QLatin1String("calls"))
        return isPlainNumber(parts[1], std::numeric_limits<qint64>::max())
            && !QueuedCalls.contains(parts[1].toLongLong());
    static const QStringList unitParts{"info", "connections", "pmbInfo", "state"};
    if (parts.size() != 3 || parts[0] != QLatin1String("units") || !unitParts.contains(parts[2]))
        return false;
    const QStringList octets = parts[1].split(QLatin1Char('.'));
    if (octets.size() != 4)
        return false;
    for (const QString& octet : octets) {
        if (!isPlainNumber(octet, 255))
            return false;
    }
    return !KnownUnits.contains(parts[1]);
}

} // namespace

void fuzzOne(const uint8_t* data, size_t size)
{
    static Cleaners cleaners;
    for (const MqttMessage& message : Fuzz::mqttMessages(data, size, true, 64)) {
        Fuzz::published().clear();
        cleaners.hear(message);
        const bool expected = !message.payload.isEmpty() && isStaleOwnTopic(message.topic);
        const QVector<MqttMessage>& cleared = Fuzz::published();
        Fuzz::check(cleared.size() == (expected ? 1 : 0),
                    expected ? "a stale topic of the core was left" : "a cleaner touched a topic it does not own");
        if (expected) {
            Fuzz::check(cleared[0].topic == message.topic && cleared[0].payload.isEmpty() && cleared[0].retain,
                        "a cleaner cleared a topic other than the one it heard");
        }
    }
}
