#include "mqttapi/topics.h"

namespace MqttTopic {

bool parseId(const QString& text, qint64* id)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < 0 || QString::number(value) != text)
        return false;
    *id = value;
    return true;
}

bool parseAddress(const QString& text, QHostAddress* ip)
{
    const QHostAddress address(text);
    if (address.protocol() != QAbstractSocket::IPv4Protocol || address.toString() != text)
        return false;
    *ip = address;
    return true;
}

} // namespace MqttTopic
