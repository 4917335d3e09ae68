#pragma once

#include "errors/errorlog.h"

#include <QObject>

// Every line on standard output.
class ConsoleLogger : public QObject, public ErrorLogger
{
    Q_OBJECT
public:
    explicit ConsoleLogger(QObject* parent = nullptr);
    void log(const QString& message) override;
};

// Lines to syslog, always at priority 7; the level shows in the text prefix.
class SyslogLogger : public QObject, public ErrorLogger
{
    Q_OBJECT
public:
    explicit SyslogLogger(QObject* parent = nullptr);
    void log(const QString& message) override;
};
