#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>

class Call;
class CallHandler;
class CallLimits;
class CallQueue;

// Ends calls, talks and mutes that outlast their limits. The checks run
// every few seconds while any call exists.
class CallTerminator : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultCheckInterval = 5000;

    CallTerminator(CallHandler* handler, const CallLimits* limits, CallQueue* queue,
                   QObject* parent = nullptr);

    void setCheckInterval(int ms) { m_timer.setInterval(ms); }
    bool isChecking() const { return m_timer.isActive(); }

    // Ends every stored call that is past a limit now.
    void check();
    static bool isPastLimit(const Call& call, const CallLimits& limits, const QDateTime& now);

private:
    void queueChanged();

    QTimer m_timer;
    CallHandler* m_handler;
    const CallLimits* m_limits;
    CallQueue* m_queue;
};
