#include "calls/autoconnectdialcall.h"

#include "calls/call.h"
#include "calls/callcapable.h"
#include "calls/callhandler.h"
#include "calls/callqueue.h"

#include <QTimer>

AutoConnectDialCall::AutoConnectDialCall(CallHandler* handler, CallQueue* queue, QObject* parent)
    : QObject(parent)
    , m_handler(handler)
    , m_queue(queue)
{
    connect(queue, &CallQueue::callChanged, this, &AutoConnectDialCall::callChanged);
}

void AutoConnectDialCall::callChanged(const Call& call)
{
    if (!call.isDC() || !call.isRinging() || m_pending.contains(call.id()))
        return;
    const qint64 id = call.id();
    m_pending.append(id);
    QTimer::singleShot(m_delay, Qt::CoarseTimer, this, [this, id] { answer(id); });
}

void AutoConnectDialCall::answer(qint64 id)
{
    m_pending.removeAll(id);
    Call call = m_queue->get(id);
    if (!call.isValid() || !call.isDC() || !call.isRinging() || !call.hasReceivers())
        return;
    CallCapable* callee = call.receivers().first();
    if (!call.source() || !call.source()->hasPresence() || !callee->hasNoPresence())
        return;
    call.setTarget(callee, callee->sourceMode(QStringLiteral("DC")));
    m_handler->answerIncomingCall(call);
}
