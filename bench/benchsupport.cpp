#include "benchsupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <cstdio>
#include <ctime>
#include <pwd.h>
#include <unistd.h>

void waitInEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

qint64 monotonicNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

quint16 freeUdpPort()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        QUdpSocket probe;
        if (!probe.bind(QHostAddress(QHostAddress::LocalHost), 0))
            continue;
        const quint16 port = probe.localPort();
        QUdpSocket unit;
        if (unit.bind(QHostAddress(QStringLiteral("127.0.1.1")), port))
            return port;
    }
    return 0;
}

quint16 freeTcpPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// --------------------------------------------------------------------------

Broker::~Broker()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000))
            m_process->kill();
        m_process->waitForFinished(2000);
    }
}

bool Broker::start(QString* error)
{
    QString program = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
    if (program.isEmpty())
        program = QStandardPaths::findExecutable(QStringLiteral("mosquitto"),
                                                 {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
    if (program.isEmpty()) {
        *error = QStringLiteral("mosquitto is not installed (scripts/install-deps installs it)");
        return false;
    }
    m_port = freeTcpPort();
    QFile config(m_dir.filePath(QStringLiteral("mosquitto.conf")));
    if (m_port == 0 || !config.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot prepare the broker");
        return false;
    }
    QByteArray text = "listener " + QByteArray::number(m_port) + " 127.0.0.1\n"
                      "allow_anonymous true\npersistence false\n";
    // Started as root, mosquitto would switch to its own user, which cannot
    // write into our folder.
    if (const passwd* entry = getpwuid(geteuid()))
        text += "user " + QByteArray(entry->pw_name) + "\n";
    config.write(text);
    config.close();

    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardOutputFile(m_dir.filePath(QStringLiteral("broker.log")));
    m_process->start(program, {QStringLiteral("-c"), config.fileName()});
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && m_process->state() != QProcess::NotRunning) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(200))
            return true;
        QThread::msleep(20);
    }
    *error = QStringLiteral("mosquitto did not start: ") + QString::fromLocal8Bit(log().right(500));
    return false;
}

QByteArray Broker::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("broker.log")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool Broker::waitForClients(int count, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    while (log().count("New client connected") < count) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

// --------------------------------------------------------------------------

DaemonRun::DaemonRun() = default;

DaemonRun::~DaemonRun()
{
    stop();
}

bool DaemonRun::start(quint16 rondelPort, quint16 brokerPort, QString* error)
{
    const QString configPath = m_root.filePath(QStringLiteral("opt/adminapp/etc/config.json"));
    QDir().mkpath(QFileInfo(configPath).absolutePath());
    QDir().mkpath(m_root.filePath(QStringLiteral("opt/core/etc")));
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write the configuration");
        return false;
    }
    config.write(QJsonDocument::fromVariant(m_config).toJson());
    config.close();

    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (m_logToFile) {
        m_process->setStandardOutputFile(m_root.filePath(QStringLiteral("daemon.log")));
    } else {
        QObject::connect(m_process.get(), &QProcess::readyReadStandardOutput, [this] { readLines(); });
    }
    QStringList arguments{QStringLiteral(ORVANTACORE_BINARY),
                          QStringLiteral("--root"), m_root.path(), QStringLiteral("--rondel-address"),
                          QStringLiteral("127.0.0.1"), QStringLiteral("--rondel-port"),
                          QString::number(rondelPort), QStringLiteral("--broker"),
                          QStringLiteral("127.0.0.1:%1").arg(brokerPort)};
    // For profiling: ORVANTA_BENCH_DAEMON_PREFIX="valgrind --tool=massif"
    // runs the daemon under that command.
    const QStringList prefix = QString::fromLocal8Bit(qgetenv("ORVANTA_BENCH_DAEMON_PREFIX"))
                                   .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    arguments = prefix + arguments;
    m_process->start(arguments.takeFirst(), arguments);
    if (!m_process->waitForStarted(5000)) {
        *error = QStringLiteral("orvantacore did not start: ") + m_process->errorString();
        return false;
    }
    return true;
}

void DaemonRun::stop()
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    m_process->terminate();
    if (!m_process->waitForFinished(5000))
        m_process->kill();
    m_process->waitForFinished(2000);
}

void DaemonRun::readLines()
{
    const qint64 now = monotonicNs();
    m_partial += m_process->readAllStandardOutput();
    int from = 0;
    for (int end; (end = m_partial.indexOf('\n', from)) >= 0; from = end + 1)
        m_lines.append({now, m_partial.mid(from, end - from)});
    m_partial.remove(0, from);
}

int DaemonRun::waitForLine(const QByteArray& text, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    int checked = 0;
    for (;;) {
        if (m_logToFile) {
            if (logText().contains(text))
                return 0;
        } else {
            for (; checked < m_lines.size(); ++checked) {
                if (m_lines.at(checked).text.contains(text))
                    return checked;
            }
        }
        if (deadline.hasExpired() || !m_process || m_process->state() == QProcess::NotRunning)
            return -1;
        waitInEventLoop(10);
    }
}

QByteArray DaemonRun::logText() const
{
    if (!m_logToFile) {
        QByteArray text;
        for (const Line& line : m_lines)
            text += line.text + '\n';
        return text;
    }
    QFile file(m_root.filePath(QStringLiteral("daemon.log")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// --------------------------------------------------------------------------

ProcessUsage processUsage(qint64 pid)
{
    ProcessUsage usage;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        // The fields after the command name, which is in parentheses.
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        const double tick = double(sysconf(_SC_CLK_TCK));
        if (fields.size() > 13)
            usage.cpuSeconds = (fields.at(11).toLongLong() + fields.at(12).toLongLong()) / tick;
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                usage.residentKb = line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return usage;
}

void printFigure(const QString& figure, const QString& value, const QString& remark)
{
    std::printf("%-44s %-22s %s\n", qPrintable(figure), qPrintable(value), qPrintable(remark));
    std::fflush(stdout);
}
