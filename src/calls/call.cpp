#include "calls/call.h"

#include "core/clock.h"
#include "calls/callcapable.h"

#include <algorithm>

namespace {

// Identities are creation times in milliseconds, but the queue is keyed by
// them: two calls raised in the same millisecond (two buttons of one event,
// a burst of status replies) must not share one, or the second would
// silently replace the first. Each id is therefore at least one more than
// the last, which keeps it within a few milliseconds of the creation time.
qint64 nextCallId(qint64 nowMs)
{
    static qint64 lastId = 0;
    lastId = std::max(nowMs, lastId + 1);
    return lastId;
}

const int registered = [] {
    qRegisterMetaType<Call>();
    qRegisterMetaType<EndType>();
    return 0;
}();

} // namespace

Call::Call(CallType type, const QString& code, CallCapable* source)
    : m_type(type),
      m_code(code),
      m_source(source)
{
    m_created = Clock::now();
    m_id = nextCallId(m_created.toMSecsSinceEpoch());
    if (m_source)
        m_displayInfo = m_source->displayInfo(*this);
}

const Call& Call::null()
{
    static const Call nullCall;
    return nullCall;
}

bool Call::isReceiver(const CallCapable* unit) const
{
    return std::find(m_receivers.cbegin(), m_receivers.cend(), unit) != m_receivers.cend();
}

QVector<CallCapable*> Call::targets() const
{
    QVector<CallCapable*> units;
    units.reserve(m_targets.size());
    for (const CallTarget& target : m_targets)
        units.append(target.unit);
    return units;
}

bool Call::isTarget(const CallCapable* unit) const
{
    return std::any_of(m_targets.cbegin(), m_targets.cend(),
                       [unit](const CallTarget& target) { return target.unit == unit; });
}

qint32 Call::targetMode(const CallCapable* unit) const
{
    for (const CallTarget& target : m_targets) {
        if (target.unit == unit)
            return target.mode;
    }
    return 0;
}

bool Call::targetMayEndTalk() const
{
    if (isPA())
        return false;
    if (!m_source || !m_source->hasPresence())
        return true;
    if (!hasSingleTarget())
        return true;
    const CallCapable* target = m_targets.constFirst().unit;
    return target && target->hasPresence();
}

bool Call::sourceMayEndTalk() const
{
    if (isDC() || isPA() || isVK())
        return true;
    return m_source && m_source->hasPresence();
}

void Call::removeReceiver(const CallCapable* unit)
{
    m_receivers.removeAll(const_cast<CallCapable*>(unit));
}

void Call::addTarget(CallCapable* unit, qint32 mode)
{
    m_targets.append(CallTarget{unit, mode});
}

void Call::addTargets(const QVector<CallCapable*>& units, qint32 mode)
{
    for (CallCapable* unit : units)
        addTarget(unit, mode);
}

void Call::setTarget(CallCapable* unit, qint32 mode)
{
    m_targets.clear();
    addTarget(unit, mode);
}

void Call::setTargets(const QVector<CallCapable*>& units, qint32 mode)
{
    m_targets.clear();
    addTargets(units, mode);
}

void Call::removeTarget(const CallCapable* unit)
{
    m_targets.erase(std::remove_if(m_targets.begin(), m_targets.end(),
                                   [unit](const CallTarget& target) {
                                       return target.unit == unit;
                                   }),
                    m_targets.end());
}

void Call::setConnected()
{
    m_state = CallState::Connected;
    m_connected = Clock::now();
}

void Call::setConnectedMuted()
{
    m_state = CallState::ConnectedMuted;
    m_connected = Clock::now();
}

void Call::mute()
{
    if (isTalking())
        m_disconnected = Clock::now();
    m_state = CallState::Muted;
}

void Call::finish(EndType endType)
{
    const QDateTime now = Clock::now();
    if (isTalking())
        m_disconnected = now;
    m_endType = endType;
    m_finished = now;
    m_state = CallState::Finished;
}

void Call::insertByType(QVector<Call>& calls, const Call& call)
{
    const auto position = std::find_if(calls.begin(), calls.end(), [&call](const Call& held) {
        return static_cast<qint32>(held.type()) < static_cast<qint32>(call.type());
    });
    calls.insert(position, call);
}
