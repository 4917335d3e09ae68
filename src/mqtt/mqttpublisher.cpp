#include "mqtt/mqttpublisher.h"

#include <QDebug>

MqttPublisher::MqttPublisher(const QString& host, quint16 port, QObject* parent)
    : MqttClient(host, port, parent)
{
    connect(this, &MqttClient::connected, this, [this] {
        m_connected = true;
        if (m_dropped > 0) {
            qWarning() << QStringLiteral("MqttPublisher dropped %1 diagnostic messages while the broker was unreachable")
                              .arg(m_dropped);
            m_dropped = 0;
        }
        sendQueue();
    });
    connect(this, &MqttClient::disconnected, this, [this] { m_connected = false; });
    connect(this, &MqttClient::error, this, &MqttPublisher::onError);
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

void MqttPublisher::enqueue(const MqttMessage& message)
{
    // Retained messages are the installation's state and must all arrive;
    // QoS 0 diagnostics are worth little after a long outage and must not
    // exhaust the controller's memory.
    const bool diagnostic = message.qos == 0 && !message.retain;
    if (!diagnostic) {
        m_kept.push_back({m_sequence++, message});
    } else {
        m_diagnostics.push_back({m_sequence++, message});
        while (int(m_diagnostics.size()) > m_diagnosticsLimit) {
            m_diagnostics.pop_front();
            ++m_dropped;
        }
    }
    sendQueue();
}

void MqttPublisher::sendQueue()
{
    while (m_connected && (!m_kept.empty() || !m_diagnostics.empty())) {
        std::deque<Queued>* from = &m_kept;
        if (m_kept.empty()
            || (!m_diagnostics.empty() && m_diagnostics.front().sequence < m_kept.front().sequence))
            from = &m_diagnostics;
        MqttMessage message = from->front().message;
        from->pop_front();
        message.id = m_nextMessageId++;
        // The library refuses, for instance, a topic with a wildcard in it;
        // such a message is lost, and the log must say which one.
        const int rc = MqttClient::publish(message);
        if (rc != 0)
            qWarning() << (QStringLiteral("MqttPublisher could not send a message on ")
                           + message.topic + QStringLiteral(", error ") + QString::number(rc));
    }
}

void MqttPublisher::onError(int code)
{
    qDebug() << (QStringLiteral("MqttPublisher::onError ") + QString::number(code));
}
