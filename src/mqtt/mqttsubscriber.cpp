#include "mqtt/mqttsubscriber.h"

#include <QDebug>

MqttSubscriber::MqttSubscriber(const QString& host, quint16 port, QObject* parent)
    : MqttClient(host, port, parent)
{
    connect(this, &MqttClient::connected, this, &MqttSubscriber::onConnected);
    connect(this, &MqttClient::disconnected, this, [this] { m_connected = false; });
    connect(this, &MqttClient::error, this, &MqttSubscriber::onError);
    connect(this, &MqttClient::received, this, &MqttSubscriber::messageReceived);
}

void MqttSubscriber::subscribe(const QString& topic)
{
    if (!m_topics.contains(topic))
        m_topics.append(topic);
    if (m_connected)
        MqttClient::subscribe(topic, SubscriptionQos);
}

void MqttSubscriber::onConnected()
{
    m_connected = true;
    // Every time, not only the first: a broker restarted without persistence
    // has forgotten our session, and we would go deaf while looking healthy.
    // Repeating a subscription the broker still holds changes nothing.
    for (const QString& topic : qAsConst(m_topics))
        MqttClient::subscribe(topic, SubscriptionQos);
}

void MqttSubscriber::onError(int code)
{
    qDebug() << (QStringLiteral("MqttSubscriber::onError ") + QString::number(code));
}
