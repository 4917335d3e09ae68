#include "calls/callqueue.h"

#include "calls/callcapable.h"

namespace {

const Room* sourceRoom(const Call& call)
{
    return call.source() ? call.source()->location().room : nullptr;
}

} // namespace

CallQueue::CallQueue(QObject* parent)
    : QObject(parent)
{
}

void CallQueue::insert(const Call& call)
{
    m_calls.insert(call.id(), call);
    emit callChanged(call);
}

void CallQueue::finish(const Call& call, EndType endType)
{
    auto it = m_calls.find(call.id());
    if (it == m_calls.end())
        return;
    Call finished = it.value();
    m_calls.erase(it);
    finished.finish(endType);
    emit callChanged(finished);
}

bool CallQueue::canAnswer(const Call& request) const
{
    const auto it = m_calls.constFind(request.id());
    // An answer that names nobody could not be connected to anyone.
    if (it == m_calls.constEnd() || !it->isRinging() || !request.hasTargets())
        return false;
    for (const CallCapable* unit : request.targets()) {
        if (!it->isReceiver(unit))
            return false;
    }
    return true;
}

QVector<Call> CallQueue::select(const std::function<bool(const Call&)>& matches) const
{
    QVector<Call> selected;
    for (const Call& call : m_calls) {
        if (matches(call))
            selected.append(call);
    }
    return selected;
}

QVector<Call> CallQueue::calls() const
{
    return select([](const Call&) { return true; });
}

QVector<Call> CallQueue::callsFrom(const CallCapable* unit) const
{
    return select([unit](const Call& call) { return call.source() == unit; });
}

QVector<Call> CallQueue::activeAt(const CallCapable* unit) const
{
    return select([unit](const Call& call) { return call.isActive() && call.isReceiver(unit); });
}

QVector<Call> CallQueue::callsWithCode(const QString& code) const
{
    return select([&code](const Call& call) { return call.code() == code; });
}

QVector<Call> CallQueue::callsFromRoom(const Room* room) const
{
    return select([room](const Call& call) { return sourceRoom(call) == room; });
}

QVector<Call> CallQueue::callsFromWards(const QVector<Ward*>& wards) const
{
    return select([&wards](const Call& call) {
        const Room* room = sourceRoom(call);
        return room && wards.contains(room->ward());
    });
}

QVector<Call> CallQueue::talksOf(const CallCapable* unit) const
{
    return select([unit](const Call& call) {
        return call.isTalking() && (call.source() == unit || call.isTarget(unit));
    });
}

QVector<Call> CallQueue::talksFromRoom(const Room* room) const
{
    return select([room](const Call& call) { return call.isTalking() && sourceRoom(call) == room; });
}
