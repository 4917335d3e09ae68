#pragma once

#include "calls/call.h"
#include "mqtt/mqttmessage.h"

#include <QHostAddress>
#include <QList>
#include <QObject>

#include <functional>

class MqttSubscriber;

// The listeners turn commands of the rest of the installation into signals.
// Each hears every message of the subscriber and picks its own topic; none
// subscribes before start(), so nothing is acted on before the units are
// initialised.
class MqttListener : public QObject
{
    Q_OBJECT
public:
    MqttListener(const QString& topic, MqttSubscriber* subscriber, QObject* parent = nullptr);

    const QString& topic() const { return m_topic; }
    void start();
    virtual void onMessage(const MqttMessage& message) = 0;

private:
    QString m_topic;
    MqttSubscriber* m_subscriber;
};

// "call/<id>/terminate", any payload: an operator ends a queued call.
class CallTerminateMqttListener : public MqttListener
{
    Q_OBJECT
public:
    // The queued call with the id, or the null call.
    using CallLookup = std::function<Call(qint64)>;

    CallTerminateMqttListener(const CallLookup& queuedCall, MqttSubscriber* subscriber,
                              QObject* parent = nullptr);

    void onMessage(const MqttMessage& message) override;

signals:
    void terminateCall(const Call& call);

private:
    CallLookup m_queuedCall;
};

// "settings/updated": the administration application wrote a new
// configuration.
class ConfigChangedMqttListener : public MqttListener
{
    Q_OBJECT
public:
    explicit ConfigChangedMqttListener(MqttSubscriber* subscriber, QObject* parent = nullptr);

    void onMessage(const MqttMessage& message) override;

signals:
    void configChanged();
};

// "scannerAnswers": addresses the network scanner saw, where units may
// answer; {"arpLeases": [{...}], "dhcpLeases": [{...}]}, each element giving
// its address as the value of its first key in key order.
class UnitScannerMqttListener : public MqttListener
{
    Q_OBJECT
public:
    explicit UnitScannerMqttListener(MqttSubscriber* subscriber, QObject* parent = nullptr);

    void onMessage(const MqttMessage& message) override;

signals:
    void discoveredUnit(const QHostAddress& ip);
};
