#include "calls/calls.h"

#include "calls/callcapable.h"

#include <algorithm>

Calls::Calls(QObject* parent)
    : QObject(parent)
{
}

void Calls::setCall(const Call& call)
{
    const Call previous = m_ownCall;
    m_ownCall = call;
    emit callsChanged();
    if (previous.isValid())
        emit callReplaced(previous, call);
    else
        emit callNew(call);
}

void Calls::cancelCall()
{
    const Call previous = m_ownCall;
    m_ownCall = Call();
    emit callsChanged();
    emit callCanceled(previous);
}

void Calls::updateOwnCall(const Call& call)
{
    const Call previous = m_ownCall;
    m_ownCall = call;
    emit callsChanged();
    emit callUpdated(previous, call);
}

void Calls::updateCall(const Call& call)
{
    if (!call.isNV()) {
        updateOwnCall(call);
        return;
    }
    const int index = nvIndex(call.code());
    if (index < 0)
        return;
    const Call previous = m_nvCalls.at(index);
    m_nvCalls[index] = call;
    emit callsChanged();
    emit callUpdated(previous, call);
}

void Calls::setNVCall(const Call& call)
{
    const int index = nvIndex(call.code());
    const Call previous = index >= 0 ? m_nvCalls.at(index) : Call();
    if (index >= 0)
        m_nvCalls[index] = call;
    else
        m_nvCalls.append(call);
    emit callsChanged();
    // A device that reports its call already held (muted) must not ring as
    // a new call first.
    if (!previous.isMuted() && call.isMuted())
        emit callMuted(call);
    else if (index < 0)
        emit callNew(call);
}

void Calls::cancelNVCall(const QString& code)
{
    const int index = nvIndex(code);
    if (index < 0)
        return;
    const Call removed = m_nvCalls.takeAt(index);
    emit callsChanged();
    emit callCanceled(removed);
}

bool Calls::removeWithoutSignal(const Call& call)
{
    if (call.isNV()) {
        const int index = nvIndex(call.code());
        if (index < 0)
            return false;
        m_nvCalls.removeAt(index);
        return true;
    }
    // An own call in talk stays until the talk has ended.
    if (isOwnCall(call) && !hasTalk()) {
        m_ownCall = Call();
        return true;
    }
    return false;
}

void Calls::removeCall(const Call& call)
{
    if (removeWithoutSignal(call))
        emit callsChanged();
}

void Calls::terminateCall(const Call& call, EndType endType)
{
    // The caller may hand us our own stored call, which the removal resets.
    const Call ended = call;
    if (removeWithoutSignal(ended))
        emit callsChanged();
    emit callTerminated(ended, endType);
}

void Calls::addReceivedCall(const Call& call)
{
    Call::insertByType(m_receivedCalls, call);
    emit callsChanged();
}

void Calls::setReceivedCall(const Call& call)
{
    const auto it = std::find(m_receivedCalls.begin(), m_receivedCalls.end(), call);
    if (it != m_receivedCalls.end())
        *it = call;
    else
        Call::insertByType(m_receivedCalls, call);
    emit callsChanged();
}

void Calls::removeReceivedCall(const Call& call)
{
    m_receivedCalls.removeAll(call);
    emit callsChanged();
}

void Calls::connectCall(const Call& call, const VoIP& voip)
{
    if (!isOwnCall(call))
        return;
    m_talk = call;
    emit talkChanged();
    m_ownCall = call;
    emit callsChanged();
    emit callConnected(call, voip);
}

void Calls::connectReceivedCall(const Call& call, const VoIP& voip)
{
    m_talk = call;
    emit talkChanged();
    setReceivedCall(call);
    emit callConnected(call, voip);
}

void Calls::setTalk(const Call& call)
{
    m_talk = call;
    emit talkChanged();
}

void Calls::clearTalk()
{
    m_talk = Call();
    emit talkChanged();
}

void Calls::endTalk(const Call& call)
{
    if (!isTalk(call))
        return;
    if (isOwnCall(call) && !call.isMuted()) {
        m_ownCall = Call();
        emit callsChanged();
    } else if (isReceived(call)) {
        if (!call.isMuted()) {
            m_receivedCalls.removeAll(call);
            emit callsChanged();
        } else {
            setReceivedCall(call);
        }
    }
    m_talk = Call();
    emit talkChanged();
    emit talkTerminated();
}

int Calls::nvIndex(const QString& code) const
{
    for (int i = 0; i < m_nvCalls.size(); ++i) {
        if (m_nvCalls.at(i).code() == code)
            return i;
    }
    return -1;
}

const Call& Calls::nvCall(const QString& code) const
{
    const int index = nvIndex(code);
    return index >= 0 ? m_nvCalls.at(index) : Call::null();
}

bool Calls::hasNVCall(const QString& code) const
{
    return nvIndex(code) >= 0;
}

bool Calls::hasUnmutedNVCalls() const
{
    return std::any_of(m_nvCalls.cbegin(), m_nvCalls.cend(),
                       [](const Call& call) { return !call.isMutedOnly(); });
}

bool Calls::hasWaitingNVCall() const
{
    return firstWaitingNVCall().isValid();
}

const Call& Calls::firstWaitingNVCall() const
{
    for (const Call& call : m_nvCalls) {
        if (call.isWaiting())
            return call;
    }
    return Call::null();
}

bool Calls::hasLiveNVCall() const
{
    return std::any_of(m_nvCalls.cbegin(), m_nvCalls.cend(),
                       [](const Call& call) { return call.isWaiting() || call.isTalking(); });
}

bool Calls::hasAudibleNVCall() const
{
    return std::any_of(m_nvCalls.cbegin(), m_nvCalls.cend(), [](const Call& call) {
        return !call.isSynthesizerCall() && !call.isMutedOnly();
    });
}

bool Calls::hasUnmutedReceivedCalls() const
{
    return std::any_of(m_receivedCalls.cbegin(), m_receivedCalls.cend(),
                       [](const Call& call) { return !call.isMutedOnly(); });
}

bool Calls::isReceived(const Call& call) const
{
    return m_receivedCalls.contains(call);
}

bool Calls::hasReceivedOfType(CallType type) const
{
    return std::any_of(m_receivedCalls.cbegin(), m_receivedCalls.cend(),
                       [type](const Call& call) { return call.type() == type; });
}

bool Calls::hasRingingNV() const
{
    return std::any_of(m_receivedCalls.cbegin(), m_receivedCalls.cend(), [this](const Call& call) {
        return call.isNV() && (call.isRinging() || isTalk(call));
    });
}

bool Calls::hasRingingReceived() const
{
    return firstRingingReceived().isValid();
}

const Call& Calls::firstRingingReceived() const
{
    for (const Call& call : m_receivedCalls) {
        if (call.isRinging())
            return call;
    }
    return Call::null();
}

bool Calls::isBusy() const
{
    return hasTalk() || hasOwnCall() || hasUnmutedReceivedCalls();
}

bool Calls::isPendingOwnCallOfType(CallType type) const
{
    return m_ownCall.isValid() && !isTalk(m_ownCall) && m_ownCall.type() == type;
}

bool Calls::hasPendingAL() const
{
    return isPendingOwnCallOfType(CallType::AL);
}

bool Calls::hasPendingVK() const
{
    return isPendingOwnCallOfType(CallType::VK);
}

bool Calls::hasPendingVSWithPresence() const
{
    return isPendingOwnCallOfType(CallType::VS) && m_ownCall.source()
        && m_ownCall.source()->hasPresence();
}

bool Calls::hasPendingVSWithoutPresence() const
{
    return isPendingOwnCallOfType(CallType::VS)
        && !(m_ownCall.source() && m_ownCall.source()->hasPresence());
}
