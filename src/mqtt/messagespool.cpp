#include "mqtt/messagespool.h"

#include <cstring>

namespace {

template <typename T>
void append(QByteArray& bytes, T value)
{
    bytes.append(reinterpret_cast<const char*>(&value), int(sizeof value));
}

constexpr int SequenceSize = int(sizeof(quint64));
constexpr int FlagsSize = 2; // QoS, retain
constexpr int LengthSize = int(sizeof(qint32));

} // namespace

template <typename T>
T MessageSpool::read(int offset) const
{
    T value;
    std::memcpy(&value, m_bytes.constData() + offset, sizeof value);
    return value;
}

void MessageSpool::push(quint64 sequence, const MqttMessage& message)
{
    const QByteArray topic = message.topic.toUtf8();
    append(m_bytes, sequence);
    append(m_bytes, quint8(message.qos));
    append(m_bytes, quint8(message.retain ? 1 : 0));
    append(m_bytes, qint32(topic.size()));
    m_bytes.append(topic);
    append(m_bytes, qint32(message.payload.size()));
    m_bytes.append(message.payload);
    ++m_count;
}

quint64 MessageSpool::frontSequence() const
{
    return read<quint64>(m_read);
}

MqttMessage MessageSpool::takeFront()
{
    int offset = m_read + SequenceSize;
    MqttMessage message;
    message.qos = read<quint8>(offset);
    message.retain = read<quint8>(offset + 1) != 0;
    offset += FlagsSize;
    const qint32 topicSize = read<qint32>(offset);
    offset += LengthSize;
    message.topic = QString::fromUtf8(m_bytes.constData() + offset, topicSize);
    offset += topicSize;
    const qint32 payloadSize = read<qint32>(offset);
    offset += LengthSize;
    message.payload = QByteArray(m_bytes.constData() + offset, payloadSize);
    dropFront();
    return message;
}

void MessageSpool::dropFront()
{
    int offset = m_read + SequenceSize + FlagsSize;
    offset += LengthSize + read<qint32>(offset);
    offset += LengthSize + read<qint32>(offset);
    m_read = offset;
    --m_count;
    if (m_count == 0) {
        // Emptied: the buffer goes back, however large the burst made it.
        m_bytes = QByteArray();
        m_read = 0;
    } else if (m_read > m_bytes.size() / 2) {
        // A backlog that never empties must not grow by what was sent.
        m_bytes.remove(0, m_read);
        m_read = 0;
    }
}
