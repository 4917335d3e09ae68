#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QtGlobal>

// One MQTT application message as it travels between the core and the broker.
struct MqttMessage
{
    quint16 id = 0;
    QString topic;
    QByteArray payload;
    quint8 qos = 0;
    bool retain = false;
    bool dup = false;

    MqttMessage() = default;
    MqttMessage(quint16 id, const QString& topic, const QByteArray& payload,
                quint8 qos = 0, bool retain = false, bool dup = false)
        : id(id), topic(topic), payload(payload), qos(qos), retain(retain), dup(dup)
    {
    }
};

Q_DECLARE_METATYPE(MqttMessage)
