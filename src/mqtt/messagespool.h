#pragma once

#include "mqtt/mqttmessage.h"

#include <QByteArray>

// Messages waiting for the broker, oldest first, each with a sequence number,
// written one after the other into one buffer. While the broker falls behind
// a burst of bus traffic, tens of thousands of them wait at once: as separate
// allocations they were left scattered over the heap afterwards and kept it
// resident; in one buffer they go back as a whole.
class MessageSpool
{
public:
    void push(quint64 sequence, const MqttMessage& message);

    bool isEmpty() const { return m_count == 0; }
    int size() const { return m_count; }
    int bufferSize() const { return m_bytes.size(); }
    // The oldest message's sequence number; only when not empty.
    quint64 frontSequence() const;
    // Takes the oldest message off, its id 0; only when not empty.
    MqttMessage takeFront();
    void dropFront();

private:
    template <typename T>
    T read(int offset) const;

    // Records of: sequence, QoS, retain flag, topic length, topic (UTF-8),
    // payload length, payload.
    QByteArray m_bytes;
    int m_read = 0; // where the oldest record starts
    int m_count = 0;
};
