#include "fleetbench.h"

#include "benchsupport.h"
#include "simulator.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHash>
#include <QThread>
#include <QUdpSocket>

#include <sched.h>

#include <linux/sockios.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <ctime>
#include <functional>
#include <limits>
#include <vector>

namespace {

// The status requests of the start-up reading; a unit still asked one of
// these after the start-up ended was late.
bool isStatusRequest(const QString& name, const QStringList& parts)
{
    static const QStringList steps = {QStringLiteral("BasicInfo"), QStringLiteral("Presence"),
                                      QStringLiteral("Call"), QStringLiteral("Notifications"),
                                      QStringLiteral("All")};
    return name == QLatin1String("GetStatus") && steps.contains(parts.value(0).trimmed());
}

// A generated installation of count units: the simulator bound on a free
// port (prepared first by the caller, e.g. to watch the units), a private
// broker, the daemon started on the configuration. Waits for the end of the start-up; begin
// and end are the indexes of its first and last log line.
bool bringUp(Simulator& simulator, Broker& broker, DaemonRun& daemon, int count,
             const std::function<void()>& prepare, int* begin, int* end, QString* error)
{
    // As on a controller, the broker is there: without one, every state
    // report would wait in the daemon's memory.
    if (!broker.start(error))
        return false;
    const QVariantMap config = Simulator::generate(count, QStringLiteral("mixed"));
    QStringList problems;
    simulator.load(config, &problems);
    const quint16 port = freeUdpPort();
    if (!problems.isEmpty() || !simulator.bind(QHostAddress(QHostAddress::LocalHost), port, error)) {
        *error += problems.join(QLatin1Char(' '));
        return false;
    }
    prepare();
    daemon.setConfig(config);
    if (!daemon.start(port, broker.port(), error))
        return false;
    *begin = daemon.waitForLine("Debug Units initialisation ...", 20000);
    *end = *begin < 0 ? -1 : daemon.waitForLine(" == Initialisation ", 30000);
    if (*end < 0) {
        *error = QStringLiteral("no start-up lines; log tail: ") + QString::fromLocal8Bit(daemon.logText().right(400));
        return false;
    }
    return true;
}

// The units are first given what the start-up read for them (screens,
// lights, modes); the quiet begins when the daemon has logged nothing for a
// few seconds.
void waitUntilQuiet(DaemonRun& daemon)
{
    QDeadlineTimer limit(60000);
    for (int seen = -1; seen != daemon.lines().size() && !limit.hasExpired();) {
        seen = daemon.lines().size();
        waitInEventLoop(3000);
    }
}

qint64 realtimeNs()
{
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// When the kernel received the datagram last read on the socket.
qint64 arrivalNs(int fd)
{
    timespec ts{};
    if (ioctl(fd, SIOCGSTAMPNS, &ts) != 0)
        return realtimeNs();
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The bench (the simulated units) and the daemon each keep a core of their
// own: on a shared one, the daemon would wait for the bench measuring it.
void keepApart(qint64 daemonPid)
{
    if (QThread::idealThreadCount() < 2 || daemonPid <= 0)
        return;
    cpu_set_t bench;
    CPU_ZERO(&bench);
    CPU_SET(0, &bench);
    cpu_set_t daemon;
    CPU_ZERO(&daemon);
    CPU_SET(1, &daemon);
    sched_setaffinity(0, sizeof bench, &bench);
    sched_setaffinity(pid_t(daemonPid), sizeof daemon, &daemon);
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[index];
}

} // namespace

void startupAndIdle(const FleetSettings& settings)
{
    const QString startup = QStringLiteral("start-up burst");
    Simulator simulator;
    Broker broker;
    DaemonRun daemon;
    // When each unit was last asked for its state, on the bench's clock.
    QHash<SimUnit*, qint64> lastAsked;
    const auto watch = [&] {
        for (SimUnit* unit : simulator.units()) {
            QObject::connect(unit->link(), &SimLink::commandReceived, unit,
                             [&lastAsked, unit](const QString& name, const QStringList& parts) {
                                 if (isStatusRequest(name, parts))
                                     lastAsked.insert(unit, monotonicNs());
                             });
        }
    };
    int begin = -1;
    int end = -1;
    QString error;
    if (!bringUp(simulator, broker, daemon, settings.units, watch, &begin, &end, &error)) {
        printFigure(startup, QStringLiteral("failed"), error);
        return;
    }
    const DaemonRun::Line endLine = daemon.lines().at(end);
    const double seconds = (endLine.atNs - daemon.lines().at(begin).atNs) / 1e9;
    const bool complete = endLine.text.contains("complete");

    // Units read after the end of the start-up show as requests after it.
    waitInEventLoop(complete ? 200 : 15000);
    int late = 0;
    for (SimUnit* unit : simulator.units()) {
        if (lastAsked.value(unit, endLine.atNs + 1) > endLine.atNs)
            ++late;
    }
    printFigure(QStringLiteral("start-up burst, %1 units").arg(settings.units),
                QStringLiteral("%1 s").arg(seconds, 0, 'f', 2),
                QStringLiteral("%1 of the 10 s window; %2; %3 late (goal: within, none late)")
                    .arg(seconds / 10.0, 0, 'f', 3)
                    .arg(complete ? QStringLiteral("complete") : QStringLiteral("time-out"))
                    .arg(late));

    // Idle: only keep-alive probes and whatever the units are sent on their
    // own timers.
    waitUntilQuiet(daemon);
    const ProcessUsage before = processUsage(daemon.pid());
    const qint64 from = monotonicNs();
    waitInEventLoop(settings.idleSeconds * 1000);
    const ProcessUsage after = processUsage(daemon.pid());
    const double wall = (monotonicNs() - from) / 1e9;
    const double share = (after.cpuSeconds - before.cpuSeconds) / wall;
    printFigure(QStringLiteral("idle, %1 units, %2 s").arg(settings.units).arg(settings.idleSeconds),
                QStringLiteral("%1 MB, %2 % CPU").arg(after.residentKb / 1024.0, 0, 'f', 1).arg(share * 100, 0, 'f', 2),
                QStringLiteral("goal <= 64 MB, <= 1 % of a core"));
}

void callLatency(const LatencySettings& settings)
{
    const QString name = QStringLiteral("call latency");
    Simulator simulator;
    Broker broker;
    DaemonRun daemon;
    // Per call: when each unit first received a command of the core, on the
    // kernel's clock. A unit acknowledges every command at once, right after
    // reading it, so its acknowledgement marks the arrival.
    QHash<SimUnit*, qint64> firstArrival;
    qint64 pressed = std::numeric_limits<qint64>::max();
    quint64 commandsSeen = 0;
    const auto watch = [&] {
        for (SimUnit* unit : simulator.units()) {
            auto* socket = unit->findChild<QUdpSocket*>();
            const int fd = socket ? int(socket->socketDescriptor()) : -1;
            if (fd >= 0)
                arrivalNs(fd); // switches the socket's time stamps on
            QObject::connect(unit->link(), &SimLink::transmit, unit,
                             [&firstArrival, &pressed, &commandsSeen, unit, fd](const QByteArray& datagram) {
                                 if (fd < 0 || !datagram.startsWith("AckNo"))
                                     return;
                                 ++commandsSeen;
                                 const qint64 at = arrivalNs(fd);
                                 if (at >= pressed && !firstArrival.contains(unit))
                                     firstArrival.insert(unit, at);
                             });
        }
    };
    int begin = -1;
    int end = -1;
    QString error;
    if (!bringUp(simulator, broker, daemon, settings.units, watch, &begin, &end, &error)) {
        printFigure(name, QStringLiteral("failed"), error);
        return;
    }
    keepApart(daemon.pid());
    // A call rings where staff are present: every unit of the even-numbered
    // rooms registers a staff presence, and the bedside units of the
    // odd-numbered rooms raise the calls.
    QList<SimUnit*> sources;
    for (SimUnit* unit : simulator.units()) {
        if (unit->place().roomNo % 2 == 0)
            unit->setPresence(QStringLiteral("PS"), true);
        else if (unit->model().name == QLatin1String("Tolva"))
            sources.append(unit);
    }
    waitUntilQuiet(daemon);
    // Waits until no unit has received a command for quietMs.
    const auto settle = [&](int quietMs) {
        for (quint64 seen = ~quint64(0); seen != commandsSeen;) {
            seen = commandsSeen;
            waitInEventLoop(quietMs);
        }
    };

    // The daemon's processor time per call: unlike the latency, it hardly
    // depends on how busy the rest of the machine is.
    const ProcessUsage usageBefore = processUsage(daemon.pid());
    std::vector<double> latencies;
    std::vector<double> receiverCounts;
    for (int call = 0; call < settings.calls && !sources.isEmpty(); ++call) {
        SimUnit* source = sources.at(call % sources.size());
        firstArrival.clear();
        const qint64 start = realtimeNs();
        pressed = start;
        source->raiseCall(QStringLiteral("VS"));
        settle(30);
        pressed = std::numeric_limits<qint64>::max();
        firstArrival.remove(source);
        qint64 last = 0;
        for (const qint64 at : qAsConst(firstArrival))
            last = std::max(last, at - start);
        if (!firstArrival.isEmpty()) {
            latencies.push_back(last / 1e6);
            receiverCounts.push_back(firstArrival.size());
        }
        source->cancelCall();
        settle(30);
    }
    const double cpuMs = (processUsage(daemon.pid()).cpuSeconds - usageBefore.cpuSeconds) * 1000;
    printFigure(QStringLiteral("call processing, %1 units").arg(settings.units),
                QStringLiteral("%1 ms CPU per call").arg(cpuMs / qMax(1, settings.calls), 0, 'f', 3),
                QStringLiteral("the core's, raise and cancel, keep-alives included"));
    if (latencies.empty()) {
        printFigure(name, QStringLiteral("failed"), QStringLiteral("no call reached a receiver"));
        return;
    }
    printFigure(QStringLiteral("call latency, %1 units, %2 calls").arg(settings.units).arg(latencies.size()),
                QStringLiteral("p50 %1 ms").arg(percentile(latencies, 0.5), 0, 'f', 2),
                QStringLiteral("p99 %1 ms, max %2 ms, %3 receivers per call (goal: p99 <= 2 ms)")
                    .arg(percentile(latencies, 0.99), 0, 'f', 2)
                    .arg(percentile(latencies, 1.0), 0, 'f', 2)
                    .arg(percentile(receiverCounts, 0.5), 0, 'f', 0));
}
