#include "mqttapi/cleaners.h"

#include "mqtt/mqttsubscriber.h"
#include "mqttapi/reporters.h"
#include "mqttapi/topics.h"
#include "units/registry/units.h"
#include "units/registry/unitsinitializer.h"
#include "units/registry/unitsrepository.h"

#include <QDebug>
#include <QStringList>
#include <QTimer>

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

UnitTopicMqttCleaner::UnitTopicMqttCleaner(UnitTopicMqttReporter* reporter,
                                           MqttSubscriber* subscriber, Units* units,
                                           QObject* parent)
    : UnitTopicMqttCleaner(
          reporter, subscriber,
          [repository = units->repository()](const QHostAddress& ip) { return repository->contains(ip); },
          parent)
{
    connect(units->initializer(), &UnitsInitializer::unitsInitialized, this, &UnitTopicMqttCleaner::start);
    connect(units, &Units::unitRemoved, this, &UnitTopicMqttCleaner::onUnitRemoved);
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
    // The registry announces a removal before it lets go of the unit, and
    // a unit whose model changed comes back at the same address: decide
    // once the reload is through.
    QTimer::singleShot(0, this, [this, ip] {
        if (!m_isKnown(ip))
            m_reporter->clear(ip);
    });
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
