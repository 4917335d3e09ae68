#include "errors/loggers.h"

#include <QTextStream>

#include <cstdio>
#include <syslog.h>

ConsoleLogger::ConsoleLogger(QObject* parent)
    : QObject(parent)
{
}

void ConsoleLogger::log(const QString& message)
{
    QTextStream out(stdout);
    out << message << "\n";
}

SyslogLogger::SyslogLogger(QObject* parent)
    : QObject(parent)
{
}

void SyslogLogger::log(const QString& message)
{
    syslog(LOG_DEBUG, " %s", message.toLocal8Bit().constData());
}
