#include "rondel/rondelmqttlogger.h"

#include "core/clock.h"
#include "mqtt/mqttpublisher.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QVariant>

RondelMqttLogger::RondelMqttLogger(MqttPublisher* publisher, QObject* parent)
    : RondelLogger(parent)
    , m_publisher(publisher)
    , m_clock([] { return ::Clock::now(); })
{
}

void RondelMqttLogger::logSent(const QByteArray& datagram, const QHostAddress& ip)
{
    log(datagram, ip, QStringLiteral("out"));
}

void RondelMqttLogger::logReceived(const QByteArray& datagram, const QHostAddress& ip)
{
    log(datagram, ip, QStringLiteral("in"));
}

void RondelMqttLogger::setClock(const Clock& clock)
{
    m_clock = clock;
}

void RondelMqttLogger::log(const QByteArray& datagram, const QHostAddress& ip, const QString& direction)
{
    // Probes ("Ping", "OK") carry no message number and would drown the rest.
    const bool acknowledgement = datagram.startsWith("AckNo");
    if (!m_publisher || (!acknowledgement && !datagram.startsWith("MsgNo")))
        return;

    QString cmd = QStringLiteral("Ack");
    if (!acknowledgement) {
        const int zero = datagram.indexOf('\0');
        const QString text = QString::fromUtf8(zero < 0 ? datagram : datagram.left(zero));
        const QStringList pieces = text.split(QStringLiteral("Cmd:"));
        cmd = pieces.size() > 1 ? pieces.at(1).section(QLatin1Char('\n'), 0, 0).trimmed() : QString();
    }

    QJsonObject payload;
    payload.insert(QStringLiteral("timestamp"), QJsonValue::fromVariant(QVariant(m_clock())));
    payload.insert(QStringLiteral("cmd"), cmd);
    payload.insert(QStringLiteral("data"), QString::fromUtf8(datagram));

    const QString topic = QStringLiteral("rondel/") + ip.toString() + QLatin1Char('/') + direction;
    m_publisher->publish(MqttMessage(0, topic, QJsonDocument(payload).toJson(QJsonDocument::Compact)));
}
