#include "fuzzmqtt.h"

#include "fuzzsupport.h"
#include "core/jsonfile.h"
#include "mqtt/mqttpublisher.h"

#include <mosquitto.h>

#include <limits>

// The broker library's publish call, defined in the fuzz binary itself: the
// linker binds the core's calls here rather than to the shared library, so a
// published message is recorded instead of written to a connection.
extern "C" int mosquitto_publish(struct mosquitto*, int* mid, const char* topic, int payloadlen,
                                 const void* payload, int qos, bool retain)
{
    if (mid)
        *mid = 0;
    if (!topic || payloadlen < 0 || (payloadlen > 0 && !payload))
        return MOSQ_ERR_INVAL;
    Fuzz::published().append(MqttMessage(0, QString::fromUtf8(topic),
                                         QByteArray(static_cast<const char*>(payload), payloadlen),
                                         quint8(qos), retain));
    return MOSQ_ERR_SUCCESS;
}

namespace Fuzz {

QVector<MqttMessage> mqttMessages(const uint8_t* data, size_t size, bool retain, int limit)
{
    QVector<MqttMessage> messages;
    for (const QByteArray& part : bytes(data, size).split('\xff')) {
        if (messages.size() == limit)
            break;
        const int split = part.indexOf('\0');
        const QByteArray topic = split < 0 ? part : part.left(split);
        const QByteArray payload = split < 0 ? QByteArray() : part.mid(split + 1);
        messages.append(MqttMessage(0, QString::fromUtf8(topic), payload, 1, retain));
    }
    return messages;
}

MqttPublisher* recordingPublisher()
{
    static MqttPublisher* publisher = [] {
        auto* created = new MqttPublisher(QStringLiteral("127.0.0.1"), 0);
        // Never connects: the connection's signal alone opens the queue. What
        // it hands over is recorded at once, so it never waits for a write.
        created->setHandOverWindow(std::numeric_limits<int>::max());
        emit created->connected();
        return created;
    }();
    return publisher;
}

QVector<MqttMessage>& published()
{
    static QVector<MqttMessage> messages;
    return messages;
}

bool isJsonObject(const QByteArray& payload)
{
    // Through the core's reader: Qt's parser alone leaks the earlier value
    // of a repeated key, which would show as a leak of every such input.
    try {
        return fromJson(payload).userType() == QMetaType::QVariantMap;
    } catch (int) {
        return false;
    }
}

} // namespace Fuzz
