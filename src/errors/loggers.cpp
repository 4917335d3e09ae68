#include "errors/loggers.h"

#include "core/jsonfile.h"
#include "mqtt/mqttpublisher.h"


#include <cstdio>
#include <syslog.h>

ConsoleLogger::ConsoleLogger(QObject* parent)
    : QObject(parent)
{
}

void ConsoleLogger::log(const QString& message)
{
    // Written and flushed line by line, so that a crash loses nothing. A
    // text stream per line cost a fresh buffer each time, a tenth of the
    // daemon's time while a call was handled.
    QByteArray line = message.toLocal8Bit();
    line += '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

SyslogLogger::SyslogLogger(QObject* parent)
    : QObject(parent)
{
}

void SyslogLogger::log(const QString& message)
{
    syslog(LOG_DEBUG, " %s", message.toLocal8Bit().constData());
}

MqttErrorLogger::MqttErrorLogger(MqttPublisher* publisher, QObject* parent)
    : QObject(parent)
    , m_publisher(publisher)
{
}

void MqttErrorLogger::log(const QString& message)
{
    // A critical line written while publishing must not come back here
    // without end; and the publisher may be gone during teardown.
    if (m_logging || !m_publisher)
        return;
    m_logging = true;
    const QVariantMap object{{QStringLiteral("error"), message}};
    m_publisher->publish(MqttMessage(0, QStringLiteral("core/error"), toJson(object)));
    m_logging = false;
}
