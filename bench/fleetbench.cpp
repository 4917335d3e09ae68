#include "fleetbench.h"

#include "benchsupport.h"
#include "simulator.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHash>
#include <QThread>

#include <unistd.h>

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

void turnEventLoop(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, int(qMax<qint64>(1, deadline.remainingTime())));
}

} // namespace

void startupAndIdle(const FleetSettings& settings)
{
    const QString startup = QStringLiteral("start-up burst");
    const QVariantMap config = Simulator::generate(settings.units, QStringLiteral("mixed"));
    Simulator simulator;
    QStringList problems;
    simulator.load(config, &problems);
    QString error;
    const quint16 port = freeUdpPort();
    if (!problems.isEmpty() || !simulator.bind(QHostAddress(QHostAddress::LocalHost), port, &error)) {
        printFigure(startup, QStringLiteral("failed"), problems.join(QLatin1Char(' ')) + error);
        return;
    }

    // When each unit was last asked for its state, on the bench's clock.
    QHash<SimUnit*, qint64> lastAsked;
    for (SimUnit* unit : simulator.units()) {
        QObject::connect(unit->link(), &SimLink::commandReceived, unit,
                         [&lastAsked, unit](const QString& name, const QStringList& parts) {
                             if (isStatusRequest(name, parts))
                                 lastAsked.insert(unit, monotonicNs());
                         });
    }

    DaemonRun daemon;
    daemon.setConfig(config);
    if (!daemon.start(port, freeTcpPort(), &error)) {
        printFigure(startup, QStringLiteral("failed"), error);
        return;
    }
    const int begin = daemon.waitForLine("Debug Units initialisation ...", 20000);
    const int end = begin < 0 ? -1 : daemon.waitForLine(" == Initialisation ", 30000);
    if (end < 0) {
        printFigure(startup, QStringLiteral("failed"),
                    QStringLiteral("no start-up lines; log tail: ") + QString::fromLocal8Bit(daemon.logText().right(400)));
        return;
    }
    const DaemonRun::Line endLine = daemon.lines().at(end);
    const double seconds = (endLine.atNs - daemon.lines().at(begin).atNs) / 1e9;
    const bool complete = endLine.text.contains("complete");

    // Units read after the end of the start-up show as requests after it.
    turnEventLoop(complete ? 200 : 15000);
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
    // own timers. The units are first given what the start-up read for
    // them (screens, lights, modes); the quiet begins when the daemon has
    // logged nothing for a few seconds.
    QDeadlineTimer settleLimit(60000);
    for (int seen = -1; seen != daemon.lines().size() && !settleLimit.hasExpired();) {
        seen = daemon.lines().size();
        turnEventLoop(3000);
    }
    const ProcessUsage before = processUsage(daemon.pid());
    const qint64 from = monotonicNs();
    turnEventLoop(settings.idleSeconds * 1000);
    const ProcessUsage after = processUsage(daemon.pid());
    const double wall = (monotonicNs() - from) / 1e9;
    const double share = (after.cpuSeconds - before.cpuSeconds) / wall;
    printFigure(QStringLiteral("idle, %1 units, %2 s").arg(settings.units).arg(settings.idleSeconds),
                QStringLiteral("%1 MB, %2 % CPU").arg(after.residentKb / 1024.0, 0, 'f', 1).arg(share * 100, 0, 'f', 2),
                QStringLiteral("goal <= 64 MB, <= 1 % of a core"));
}
