#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>
#include <QVector>

#include <memory>

// A UDP port free on 127.0.0.1 and on the units' addresses 127.0.1.x.
quint16 freeUdpPort();
// A TCP port on 127.0.0.1 that nothing listens on (for "no broker").
quint16 freeTcpPort();

// A private mosquitto on a free loopback port, stopped when destroyed.
class Broker
{
public:
    Broker() = default;
    ~Broker();
    bool start(QString* error);
    quint16 port() const { return m_port; }
    QByteArray log() const;
    // Waits until the broker has seen count clients connect.
    bool waitForClients(int count, int timeoutMs) const;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
};

// One run of the daemon on a temporary root, bound to 127.0.0.1.
class DaemonRun
{
public:
    struct Line
    {
        qint64 atNs; // when the bench read it, on its own monotonic clock
        QByteArray text;
    };

    DaemonRun();
    ~DaemonRun();

    // The configuration the daemon reads at start (none: no units).
    void setConfig(const QVariantMap& config) { m_config = config; }
    // Keeps the log in a file instead of reading it line by line; for runs
    // that do not turn the event loop while the daemon works.
    void setLogToFile(bool toFile) { m_logToFile = toFile; }

    bool start(quint16 rondelPort, quint16 brokerPort, QString* error);
    void stop();
    qint64 pid() const { return m_process ? m_process->processId() : 0; }

    // Lines read so far (line-by-line mode); the event loop must turn.
    const QVector<Line>& lines() const { return m_lines; }
    // Waits (turning the event loop) for a line containing text; its
    // index, or -1 on time-out.
    int waitForLine(const QByteArray& text, int timeoutMs);
    QByteArray logText() const;

private:
    void readLines();

    QTemporaryDir m_root;
    QVariantMap m_config;
    bool m_logToFile = false;
    std::unique_ptr<QProcess> m_process;
    QByteArray m_partial;
    QVector<Line> m_lines;
};

qint64 monotonicNs();

// Runs the event loop for ms, asleep between events: processEvents() with a
// time limit polls without waiting, and a bench spinning on one of two
// cores would leave the daemon and the broker half the machine.
void waitInEventLoop(int ms);

// Reads /proc: user+system CPU ticks and resident kilobytes of a process.
struct ProcessUsage
{
    double cpuSeconds = 0;
    qint64 residentKb = 0;
};
ProcessUsage processUsage(qint64 pid);

// One result line: "figure  value  ratio/goal" aligned in columns.
void printFigure(const QString& figure, const QString& value, const QString& remark = QString());
