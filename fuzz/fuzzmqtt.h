#pragma once

#include "mqtt/mqttmessage.h"

#include <QVector>

#include <cstddef>
#include <cstdint>

class MqttPublisher;

// What the MQTT targets share: their input read as broker messages, and a
// publisher whose messages stay in memory.
namespace Fuzz {

// The input as messages: "topic\0payload" each, separated by the byte 0xFF
// (which UTF-8 never contains); a message without a zero byte is a topic
// with an empty payload. At most `limit` messages are read.
QVector<MqttMessage> mqttMessages(const uint8_t* data, size_t size, bool retain, int limit);

// A publisher that believes itself connected: what the core publishes
// through it lands in published() instead of on a socket.
MqttPublisher* recordingPublisher();
// Topic and payload of every message published since the last clear().
QVector<MqttMessage>& published();

// Whether a payload is a JSON object, by Qt's parser alone.
bool isJsonObject(const QByteArray& payload);

} // namespace Fuzz
