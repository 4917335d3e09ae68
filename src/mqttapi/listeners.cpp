#include "mqttapi/listeners.h"

#include "core/jsonfile.h"
#include "mqtt/mqttsubscriber.h"
#include "mqttapi/topics.h"

#include <QDebug>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

MqttListener::MqttListener(const QString& topic, MqttSubscriber* subscriber, QObject* parent)
    : QObject(parent),
      m_topic(topic),
      m_subscriber(subscriber)
{
    if (m_subscriber)
        connect(m_subscriber, &MqttSubscriber::messageReceived, this, &MqttListener::onMessage);
}

void MqttListener::start()
{
    if (m_subscriber)
        m_subscriber->subscribe(m_topic);
}

CallTerminateMqttListener::CallTerminateMqttListener(const CallLookup& queuedCall,
                                                     MqttSubscriber* subscriber, QObject* parent)
    : MqttListener(QStringLiteral("call/+/terminate"), subscriber, parent),
      m_queuedCall(queuedCall)
{
}

void CallTerminateMqttListener::onMessage(const MqttMessage& message)
{
    // The payload is not read: the topic alone is the request.
    const QStringList parts = message.topic.split(QLatin1Char('/'));
    qint64 id = 0;
    if (parts.size() != 3 || parts.at(0) != QLatin1String("call")
        || parts.at(2) != QLatin1String("terminate") || !MqttTopic::parseId(parts.at(1), &id))
        return;
    const Call call = m_queuedCall(id);
    if (call.isValid())
        emit terminateCall(call);
}

ConfigChangedMqttListener::ConfigChangedMqttListener(MqttSubscriber* subscriber, QObject* parent)
    : MqttListener(QStringLiteral("settings/updated"), subscriber, parent)
{
}

void ConfigChangedMqttListener::onMessage(const MqttMessage& message)
{
    if (message.topic == topic())
        emit configChanged();
}

UnitScannerMqttListener::UnitScannerMqttListener(MqttSubscriber* subscriber, QObject* parent)
    : MqttListener(QStringLiteral("scannerAnswers"), subscriber, parent)
{
}

void UnitScannerMqttListener::onMessage(const MqttMessage& message)
{
    if (message.topic != topic())
        return;
    QVariant document;
    try {
        document = fromJson(message.payload);
    } catch (int) {
    }
    if (document.userType() != QMetaType::QVariantMap) {
        qWarning() << (QStringLiteral("Ignored a payload that is not a JSON object on ") + topic());
        return;
    }
    const QVariantMap answers = document.toMap();
    QList<QHostAddress> found;
    for (const QString& list : {QStringLiteral("arpLeases"), QStringLiteral("dhcpLeases")}) {
        for (const QVariant& lease : answers.value(list).toList()) {
            // A lease we cannot read is skipped: a null address must never
            // become a unit.
            if (lease.userType() != QMetaType::QVariantMap)
                continue;
            const QVariantMap entries = lease.toMap();
            if (entries.isEmpty())
                continue;
            const QHostAddress ip(entries.first().toString());
            if (ip.protocol() == QAbstractSocket::IPv4Protocol)
                found.append(ip);
        }
    }
    for (const QHostAddress& ip : qAsConst(found))
        emit discoveredUnit(ip);
}
