#include "calls/callterminator.h"

#include "calls/call.h"
#include "calls/callhandler.h"
#include "calls/calllimits.h"
#include "calls/callqueue.h"
#include "core/clock.h"

CallTerminator::CallTerminator(CallHandler* handler, const CallLimits* limits, CallQueue* queue,
                               QObject* parent)
    : QObject(parent)
    , m_timer(this)
    , m_handler(handler)
    , m_limits(limits)
    , m_queue(queue)
{
    m_timer.setInterval(DefaultCheckInterval);
    connect(&m_timer, &QTimer::timeout, this, &CallTerminator::check);
    connect(queue, &CallQueue::callChanged, this, &CallTerminator::queueChanged);
}

void CallTerminator::queueChanged()
{
    // A running timer is left alone: in a busy installation the queue
    // changes more often than the interval, and restarting it on every
    // change would put the checks off for as long as the calls keep coming.
    if (m_queue->isEmpty())
        m_timer.stop();
    else if (!m_timer.isActive())
        m_timer.start();
}

void CallTerminator::check()
{
    for (const Call& call : m_queue->calls()) {
        // Ending one call can end others with it.
        const Call stored = m_queue->get(call);
        if (stored.isValid() && isPastLimit(stored, *m_limits, Clock::now()))
            m_handler->endCallOrTalk(stored, EndType::Timeout);
    }
}

bool CallTerminator::isPastLimit(const Call& call, const CallLimits& limits, const QDateTime& now)
{
    const auto past = [&now](const QDateTime& start, qint64 limit) {
        return limit != 0 && start.isValid() && start.addSecs(limit) < now;
    };
    if (past(call.created(), limits.maxCallDuration()))
        return true;
    if (call.isTalking() && past(call.connectedAt(), limits.maxTalkDuration()))
        return true;
    const QDateTime muteStart = call.connectedAt().isValid() ? call.connectedAt() : call.created();
    return call.isMuted() && past(muteStart, limits.maxMuteDuration());
}
