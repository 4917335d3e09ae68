#include "mqtt/mqttpublisher.h"

#include <QDebug>

MqttPublisher::MqttPublisher(const QString& host, quint16 port, QObject* parent)
    : MqttClient(host, port, parent)
{
    connect(this, &MqttClient::connected, this, [this] {
        m_connected = true;
        m_handedOver = 0;
        if (m_dropped > 0) {
            qWarning() << QStringLiteral("MqttPublisher dropped %1 diagnostic messages while the broker was unreachable")
                              .arg(m_dropped);
            m_dropped = 0;
        }
        sendQueue();
    });
    connect(this, &MqttClient::disconnected, this, [this] { m_connected = false; });
    connect(this, &MqttClient::error, this, &MqttPublisher::onError);
    connect(this, &MqttClient::drained, this, &MqttPublisher::onDrained);
}

void MqttPublisher::publishRetained(const MqttMessage& message)
{
    MqttMessage copy = message;
    copy.qos = 2;
    copy.retain = true;
    enqueue(copy);
}

void MqttPublisher::publish(const MqttMessage& message)
{
    enqueue(message);
}

void MqttPublisher::setDiagnosticsLimit(int limit)
{
    m_diagnosticsLimit = qMax(0, limit);
}

void MqttPublisher::setBacklogLimit(int limit)
{
    m_backlogLimit = qMax(0, limit);
}

void MqttPublisher::setHandOverWindow(int window)
{
    m_handOverWindow = qMax(1, window);
}

void MqttPublisher::enqueue(const MqttMessage& message)
{
    // Retained messages are the installation's state and must all arrive;
    // QoS 0 diagnostics are worth little after a long outage and must not
    // exhaust the controller's memory. While connected they wait for a
    // broker slower than the bus, up to a far larger bound.
    const bool diagnostic = message.qos == 0 && !message.retain;
    if (!diagnostic) {
        m_kept.push(m_sequence++, message);
    } else {
        m_diagnostics.push(m_sequence++, message);
        while (m_diagnostics.size() > (m_connected ? m_backlogLimit : m_diagnosticsLimit))
            dropOldestDiagnostic();
    }
    sendQueue();
}

void MqttPublisher::dropOldestDiagnostic()
{
    m_diagnostics.dropFront();
    if (!m_connected) {
        ++m_dropped;
        return;
    }
    // Said at once, since the broker may not catch up for minutes; the
    // count follows once it has.
    if (m_droppedBehind++ == 0)
        qWarning() << QStringLiteral("MqttPublisher drops the oldest diagnostic messages: the broker is %1 messages behind")
                          .arg(m_backlogLimit);
}

void MqttPublisher::sendQueue()
{
    while (m_connected && m_handedOver < m_handOverWindow && (!m_kept.isEmpty() || !m_diagnostics.isEmpty())) {
        MessageSpool& from = m_kept.isEmpty()
                || (!m_diagnostics.isEmpty() && m_diagnostics.frontSequence() < m_kept.frontSequence())
            ? m_diagnostics
            : m_kept;
        MqttMessage message = from.takeFront();
        message.id = m_nextMessageId++;
        // The library refuses, for instance, a topic with a wildcard in it;
        // such a message is lost, and the log must say which one. It is not
        // counted: only what the library holds is written and drained.
        const int rc = MqttClient::publish(message);
        if (rc == 0)
            ++m_handedOver;
        else
            qWarning() << (QStringLiteral("MqttPublisher could not send a message on ")
                           + message.topic + QStringLiteral(", error ") + QString::number(rc));
    }
}

void MqttPublisher::onDrained()
{
    m_handedOver = 0;
    sendQueue();
    if (m_droppedBehind > 0 && m_diagnostics.isEmpty()) {
        qWarning() << QStringLiteral("MqttPublisher dropped %1 diagnostic messages while the broker was behind")
                          .arg(m_droppedBehind);
        m_droppedBehind = 0;
    }
}

void MqttPublisher::onError(int code)
{
    qDebug() << (QStringLiteral("MqttPublisher::onError ") + QString::number(code));
}
