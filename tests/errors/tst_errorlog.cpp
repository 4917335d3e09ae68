#include "errors/errorlog.h"

#include <QtTest>

namespace {

// Writes "<name>: <line>" into a journal shared with other loggers.
struct RecordingLogger : ErrorLogger
{
    RecordingLogger(QStringList* journal, const QString& name) : journal(journal), name(name) {}
    void log(const QString& message) override { journal->append(name + ": " + message); }

    QStringList* journal;
    QString name;
};

void deliver(QtMsgType type, const QString& text)
{
    errorLogMessageHandler(type, QMessageLogContext("file.cpp", 12, "function", "category"), text);
}

} // namespace

class TestErrorLog : public QObject
{
    Q_OBJECT

private slots:
    void levelsReachTheirLoggersInRegistrationOrder()
    {
        QStringList journal;
        RecordingLogger console(&journal, "console");
        RecordingLogger mqtt(&journal, "mqtt");
        RecordingLogger syslog(&journal, "syslog");
        // The start-up registration: console everywhere, MQTT for critical,
        // syslog for critical and then warning.
        ErrorLog::instance()->addLogger(&console);
        ErrorLog::instance()->addLogger(&mqtt, ErrorLog::Critical);
        ErrorLog::instance()->addLogger(&syslog, ErrorLog::Critical);
        ErrorLog::instance()->addLogger(&syslog, ErrorLog::Warning);
        // A level that does not exist gets nothing; info and fatal lines are not logged.
        RecordingLogger odd(&journal, "odd");
        ErrorLog::instance()->addLogger(&odd, 3);
        ErrorLog::instance()->addLogger(&odd, -1);

        deliver(QtInfoMsg, "info");
        deliver(QtFatalMsg, "fatal");
        deliver(QtDebugMsg, "one");
        deliver(QtWarningMsg, "two");
        deliver(QtCriticalMsg, "three \"quoted\"");

        QCOMPARE(journal, (QStringList{
                              "console: Debug one",
                              "console: Warning two",
                              "syslog: Warning two",
                              "console: Critical three \"quoted\"",
                              "mqtt: Critical three \"quoted\"",
                              "syslog: Critical three \"quoted\"",
                          }));
    }

    void destroyedLoggerLeavesTheLog()
    {
        QStringList journal;
        RecordingLogger survivor(&journal, "survivor");
        {
            RecordingLogger shortLived(&journal, "short");
            ErrorLog::instance()->addLogger(&shortLived);
            ErrorLog::instance()->addLogger(&survivor);
        }
        // A line after the logger's death must neither crash nor reach it.
        deliver(QtCriticalMsg, "late");
        QCOMPARE(journal, QStringList{"survivor: Critical late"});
        QCOMPARE(ErrorLog::instance()->loggers(ErrorLog::Critical).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestErrorLog)
#include "tst_errorlog.moc"
