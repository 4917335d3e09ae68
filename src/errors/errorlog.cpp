#include "errors/errorlog.h"

ErrorLogger::~ErrorLogger()
{
    ErrorLog::instance()->removeLogger(this);
}

void ErrorLogger::log(const QString&)
{
}

ErrorLog* ErrorLog::instance()
{
    // Created on first use and never destroyed: log lines may still come
    // while static objects are being torn down.
    static ErrorLog* log = new ErrorLog;
    return log;
}

void ErrorLog::addLogger(ErrorLogger* logger)
{
    m_debug.append(logger);
    m_warning.append(logger);
    m_critical.append(logger);
}

void ErrorLog::addLogger(ErrorLogger* logger, int level)
{
    switch (level) {
    case Debug:
        m_debug.append(logger);
        break;
    case Warning:
        m_warning.append(logger);
        break;
    case Critical:
        m_critical.append(logger);
        break;
    default:
        break;
    }
}

void ErrorLog::removeLogger(ErrorLogger* logger)
{
    m_debug.removeAll(logger);
    m_warning.removeAll(logger);
    m_critical.removeAll(logger);
}

const QVector<ErrorLogger*>& ErrorLog::loggers(Level level) const
{
    switch (level) {
    case Debug:
        return m_debug;
    case Warning:
        return m_warning;
    case Critical:
    default:
        return m_critical;
    }
}

void errorLogMessageHandler(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    ErrorLog::Level level;
    QString prefix;
    switch (type) {
    case QtDebugMsg:
        level = ErrorLog::Debug;
        prefix = QStringLiteral("Debug ");
        break;
    case QtWarningMsg:
        level = ErrorLog::Warning;
        prefix = QStringLiteral("Warning ");
        break;
    case QtCriticalMsg:
        level = ErrorLog::Critical;
        prefix = QStringLiteral("Critical ");
        break;
    default:
        return;
    }
    // A copy: a logger's own output may log, and must not disturb the loop.
    const QVector<ErrorLogger*> loggers = ErrorLog::instance()->loggers(level);
    const QString line = prefix + message;
    for (ErrorLogger* logger : loggers)
        logger->log(line);
}
