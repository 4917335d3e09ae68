#include "mqttapi/cleaners.h"

#include "mqtt/mqttsubscriber.h"
#include "mqttapi/reporters.h"
#include "mqttapi/topics.h"

#include <QDebug>
#include <QStringList>

UnitTopicMqttCleaner::UnitTopicMqttCleaner(UnitTopicMqttReporter* reporter,
                                           MqttSubscriber* subscriber, const UnitLookup& isKnown,
                                           QObject* parent)
    : QObject(parent),
      m_reporter(reporter),
      m_subscriber(subscriber),
      m_isKnown(isKnown)
{
    if (m_subscriber)
        connect(m_subscriber, &MqttSubscriber::messageReceived, this, &UnitTopicMqttCleaner::onMessage);
}

QString UnitTopicMqttCleaner::topicFilter() const
{
    return QStringLiteral("units/+/") + m_reporter->part();
}

void UnitTopicMqttCleaner::start()
{
    if (m_subscriber)
        m_subscriber->subscribe(topicFilter());
}

void UnitTopicMqttCleaner::onMessage(const MqttMessage& message)
{
    // An empty payload is a removal coming back, ours or anyone's.
    if (message.payload.isEmpty())
        return;
    const QStringList parts = message.topic.split(QLatin1Char('/'));
    QHostAddress ip;
    if (parts.size() != 3 || parts.at(0) != QLatin1String("units") || parts.at(2) != m_reporter->part()
        || !MqttTopic::parseAddress(parts.at(1), &ip))
        return;
    if (!m_isKnown(ip))
        m_reporter->clear(ip);
}

void UnitTopicMqttCleaner::onUnitRemoved(const QHostAddress& ip)
{
    if (!m_isKnown(ip))
        m_reporter->clear(ip);
}

BasicInfoMqttCleaner::BasicInfoMqttCleaner(BasicInfoMqttReporter* reporter,
                                           MqttSubscriber* subscriber, const UnitLookup& isKnown,
                                           QObject* parent)
    : UnitTopicMqttCleaner(reporter, subscriber, isKnown, parent)
{
}

ConnectionsMqttCleaner::ConnectionsMqttCleaner(ConnectionsMqttReporter* reporter,
                                               MqttSubscriber* subscriber,
                                               const UnitLookup& isKnown, QObject* parent)
    : UnitTopicMqttCleaner(reporter, subscriber, isKnown, parent)
{
}

PMBInfoMqttCleaner::PMBInfoMqttCleaner(PMBInfoMqttReporter* reporter, MqttSubscriber* subscriber,
                                       const UnitLookup& isKnown, QObject* parent)
    : UnitTopicMqttCleaner(reporter, subscriber, isKnown, parent)
{
}

UnitStatusMqttCleaner::UnitStatusMqttCleaner(UnitStatusMqttReporter* reporter,
                                             MqttSubscriber* subscriber,
                                             const UnitLookup& isKnown, QObject* parent)
    : UnitTopicMqttCleaner(reporter, subscriber, isKnown, parent)
{
}

CallQueueMqttCleaner::CallQueueMqttCleaner(const CallLookup& isQueued,
                                           CallQueueMqttReporter* reporter,
                                           MqttSubscriber* subscriber, QObject* parent)
    : QObject(parent),
      m_isQueued(isQueued),
      m_reporter(reporter),
      m_subscriber(subscriber)
{
    if (m_subscriber)
        connect(m_subscriber, &MqttSubscriber::messageReceived, this, &CallQueueMqttCleaner::onMessage);
}

void CallQueueMqttCleaner::start()
{
    if (m_subscriber)
        m_subscriber->subscribe(QStringLiteral("calls/+"));
}

void CallQueueMqttCleaner::onMessage(const MqttMessage& message)
{
    if (message.payload.isEmpty() || !message.topic.startsWith(QLatin1String("calls/")))
        return;
    qDebug() << message.topic;
    const QStringList parts = message.topic.split(QLatin1Char('/'));
    qint64 id = 0;
    if (parts.size() != 2 || !MqttTopic::parseId(parts.at(1), &id))
        return;
    if (!m_isQueued(id))
        m_reporter->clear(id);
}
