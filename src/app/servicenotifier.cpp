#include "app/servicenotifier.h"

#include <QByteArray>
#include <QTimer>

#include <systemd/sd-daemon.h>

ServiceNotifier::ServiceNotifier(QObject* parent)
    : QObject(parent)
{
    if (qEnvironmentVariableIsEmpty("NOTIFY_SOCKET"))
        return;
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) <= 0 || usec == 0)
        return;
    m_watchdogUsec = usec;
    // Half the manager's limit, so one late tick does not count as a hang.
    // The ping comes from a timer of this loop: a loop that is stuck stops
    // pinging, and the manager restarts the process.
    m_pingTimer = new QTimer(this);
    m_pingTimer->setInterval(static_cast<int>(qMax<quint64>(1, usec / 2000)));
    connect(m_pingTimer, &QTimer::timeout, this, &ServiceNotifier::ping);
    m_pingTimer->start();
}

void ServiceNotifier::notifyReady()
{
    if (m_ready)
        return;
    m_ready = true;
    sd_notify(0, "READY=1");
}

int ServiceNotifier::pingIntervalMs() const
{
    return m_pingTimer ? m_pingTimer->interval() : 0;
}

void ServiceNotifier::ping()
{
    if (m_ready) {
        sd_notify(0, "WATCHDOG=1");
        return;
    }
    // The manager does not watch a service that is still starting, and the
    // start may wait long for the field-bus address. Extending the start
    // time one watchdog period at a time lets it wait as long as the loop
    // runs, and still ends a start that hangs.
    const QByteArray extend = "EXTEND_TIMEOUT_USEC=" + QByteArray::number(m_watchdogUsec);
    sd_notify(0, extend.constData());
}
