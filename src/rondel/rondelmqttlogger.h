#pragma once

#include "rondel/rondellogger.h"

#include <QDateTime>
#include <QPointer>

#include <functional>

class MqttPublisher;

// Mirrors every numbered datagram (commands and acknowledgements) to
// "rondel/<ip>/out" and "rondel/<ip>/in" for service tools watching the bus.
class RondelMqttLogger : public RondelLogger
{
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    explicit RondelMqttLogger(MqttPublisher* publisher, QObject* parent = nullptr);

    void logSent(const QByteArray& datagram, const QHostAddress& ip) override;
    void logReceived(const QByteArray& datagram, const QHostAddress& ip) override;

    // Where the entries' time stamps come from (the local clock by default).
    void setClock(const Clock& clock);

    // The published entry of a datagram: compact JSON with "cmd", "data"
    // and "timestamp" (ISO 8601 text with milliseconds).
    static QByteArray payload(const QByteArray& datagram, const QByteArray& timestamp);

private:
    QByteArray timestamp();
    static QString topic(const QHostAddress& ip, const QString& direction);
    void log(const QByteArray& datagram, const QHostAddress& ip, const QString& direction);

    QPointer<MqttPublisher> m_publisher;
    Clock m_clock; // empty: the local clock
    qint64 m_stampSecond = -1;
    QByteArray m_stamp; // the text of the current second, milliseconds last
};
