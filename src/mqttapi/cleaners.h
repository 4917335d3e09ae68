#pragma once

#include "mqtt/mqttmessage.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <functional>

class CallQueueMqttReporter;
class MqttSubscriber;
class Units;
class UnitTopicMqttReporter;

// The cleaners keep the broker's retained topics in step with the core:
// they listen to the topics the core itself publishes (and to what earlier
// runs left there) and remove those of units and calls it does not know.

// A retained "units/<ip>/<part>" topic of a unit the registry does not know
// is removed: at start-up for what earlier runs left, and whenever a unit
// goes away.
class UnitTopicMqttCleaner : public QObject
{
    Q_OBJECT
public:
    // Whether the registry holds a unit, configured or not, at the address.
    using UnitLookup = std::function<bool(const QHostAddress&)>;

    UnitTopicMqttCleaner(UnitTopicMqttReporter* reporter, MqttSubscriber* subscriber,
                         const UnitLookup& isKnown, QObject* parent = nullptr);
    // Asks the registry, starts with the initialisation and follows the
    // units the reloads remove.
    UnitTopicMqttCleaner(UnitTopicMqttReporter* reporter, MqttSubscriber* subscriber,
                         Units* units, QObject* parent = nullptr);

    QString topicFilter() const;

    void start();
    void onMessage(const MqttMessage& message);
    void onUnitRemoved(const QHostAddress& ip);

private:
    UnitTopicMqttReporter* m_reporter;
    MqttSubscriber* m_subscriber;
    UnitLookup m_isKnown;
};

class BasicInfoMqttCleaner : public UnitTopicMqttCleaner
{
    Q_OBJECT
public:
    using UnitTopicMqttCleaner::UnitTopicMqttCleaner;
};

class ConnectionsMqttCleaner : public UnitTopicMqttCleaner
{
    Q_OBJECT
public:
    using UnitTopicMqttCleaner::UnitTopicMqttCleaner;
};

class PMBInfoMqttCleaner : public UnitTopicMqttCleaner
{
    Q_OBJECT
public:
    using UnitTopicMqttCleaner::UnitTopicMqttCleaner;
};

class UnitStatusMqttCleaner : public UnitTopicMqttCleaner
{
    Q_OBJECT
public:
    using UnitTopicMqttCleaner::UnitTopicMqttCleaner;
};

// A retained "calls/<id>" of a call that is not in the call queue is
// removed. Since the core hears its own publications, a finished call's
// topic goes right after its last report.
class CallQueueMqttCleaner : public QObject
{
    Q_OBJECT
public:
    // Whether the call queue holds a call with the id.
    using CallLookup = std::function<bool(qint64)>;

    CallQueueMqttCleaner(const CallLookup& isQueued, CallQueueMqttReporter* reporter,
                         MqttSubscriber* subscriber, QObject* parent = nullptr);

    void start();
    void onMessage(const MqttMessage& message);

private:
    CallLookup m_isQueued;
    CallQueueMqttReporter* m_reporter;
    MqttSubscriber* m_subscriber;
};
