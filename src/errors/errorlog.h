#pragma once

#include <QObject>
#include <QString>
#include <QVector>

// A destination of process log lines. A logger leaves the process log when
// it is destroyed, so that no line is ever handed to a dead logger (the log
// outlives the application object that owns the loggers).
class ErrorLogger
{
public:
    virtual ~ErrorLogger();
    virtual void log(const QString& message);
};

// The process-wide fan-out of log lines to the registered loggers, one list
// per level. Loggers are owned elsewhere (they are children of Orvanta).
class ErrorLog : public QObject
{
    Q_OBJECT
public:
    enum Level { Debug = 0, Warning = 1, Critical = 2 };

    static ErrorLog* instance();

    // Registers the logger for every level.
    void addLogger(ErrorLogger* logger);
    // Registers the logger for one level; any other level is ignored.
    void addLogger(ErrorLogger* logger, int level);
    // Drops a logger from every list (for loggers that die before the process).
    void removeLogger(ErrorLogger* logger);

    const QVector<ErrorLogger*>& loggers(Level level) const;

private:
    ErrorLog() = default;

    QVector<ErrorLogger*> m_debug;
    QVector<ErrorLogger*> m_warning;
    QVector<ErrorLogger*> m_critical;
};

// The Qt message handler: prefixes the level and hands the line to the
// loggers of that level, in order of registration. Fatal and info messages
// reach no logger.
void errorLogMessageHandler(QtMsgType type, const QMessageLogContext& context,
                            const QString& message);
