#pragma once

#include "mqtt/mqttclient.h"

#include <QStringList>

// The connection everything the core listens to arrives on. Listeners ask
// for their topics at any time; the subscriptions are made when connected
// and made again after every reconnection.
class MqttSubscriber : public MqttClient
{
    Q_OBJECT
public:
    static constexpr quint8 SubscriptionQos = 1;

    MqttSubscriber(const QString& host, quint16 port, QObject* parent = nullptr);

    void subscribe(const QString& topic);

    // Every topic asked for, in the order first asked.
    const QStringList& topics() const { return m_topics; }

signals:
    void messageReceived(const MqttMessage& message);

private:
    void onConnected();
    void onError(int code);

    bool m_connected = false;
    QStringList m_topics;
};
