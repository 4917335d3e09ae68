#pragma once

#include <QObject>

class QTimer;

// Tells the service manager that the daemon is ready and that its event loop
// still runs. Started outside a supervised service (no NOTIFY_SOCKET) it
// stays silent.
class ServiceNotifier : public QObject
{
    Q_OBJECT
public:
    explicit ServiceNotifier(QObject* parent = nullptr);

    // The field bus is bound: the daemon does what it is there for.
    void notifyReady();

    // Zero when the manager asked for no watchdog.
    int pingIntervalMs() const;

private:
    void ping();

    QTimer* m_pingTimer = nullptr;
    bool m_ready = false;
    quint64 m_watchdogUsec = 0;
};
