#include "units/displays/display.h"

#include "calls/calls.h"
#include "calls/callcapable.h"

namespace {

// The description of a call as the first of its targets shows it; empty
// when the call has no target yet.
CallDisplayInfo infoAtFirstTarget(const Call& call)
{
    const QVector<CallTarget>& targets = call.targetEntries();
    if (targets.isEmpty() || targets.first().unit == nullptr)
        return CallDisplayInfo();
    return targets.first().unit->displayInfo(call);
}

CallDisplayInfo mutedInfo(const Call& call)
{
    CallDisplayInfo info = call.displayInfo();
    info.icon = info.icon.toLower();
    return info;
}

} // namespace

Display::Display(QObject* parent)
    : QObject(parent)
{
}

Display::~Display() = default;

void Display::start() { }
void Display::refresh() { }
void Display::setBacklight(int) { }
void Display::sendLanguage() { }
void Display::showPresences(const QVector<PresenceDisplayInfo>&) { }
void Display::showWards(const QVector<WardDisplayInfo>&) { }
void Display::showCalls(const QVector<CallDisplayInfo>&) { }
void Display::showActiveCalls(const QVector<CallDisplayInfo>&) { }
void Display::showMutedCalls(const QVector<CallDisplayInfo>&) { }
void Display::showTalk(const CallDisplayInfo&) { }

void Display::setCalls(Calls* calls)
{
    if (m_calls == calls)
        return;
    if (m_calls)
        disconnect(m_calls, nullptr, this, nullptr);
    m_calls = calls;
    if (!calls)
        return;
    connect(calls, &Calls::callsChanged, this, &Display::updateCalls);
    connect(calls, &Calls::talkChanged, this, &Display::updateTalk);
}

Calls* Display::calls() const
{
    return m_calls;
}

void Display::updateCalls()
{
    if (!m_calls)
        return;
    const Calls& calls = *m_calls;
    if (!calls.hasReceivedCalls() || calls.hasOwnCall() || calls.hasWaitingNVCall()) {
        if (calls.hasOwnCall() && calls.ownCall().isDC())
            showDialCall();
        else
            clearCalls();
        return;
    }

    QVector<CallDisplayInfo> active;
    QVector<CallDisplayInfo> muted;
    for (const Call& call : calls.receivedCalls()) {
        if (call.isMuted())
            muted.append(mutedInfo(call));
        else
            active.append(call.displayInfo());
    }
    showLists(active, muted);
}

void Display::updateTalk()
{
    if (!m_calls)
        return;
    const Call& talk = m_calls->talk();
    if (!m_calls->isOwnCall(talk)) {
        showTalk(talk.displayInfo());
        return;
    }
    if (talk.hasTargets())
        showTalk(infoAtFirstTarget(talk));
}

void Display::showDialCall()
{
    if (!m_calls)
        return;
    QVector<CallDisplayInfo> active;
    const Call& own = m_calls->ownCall();
    if (own.hasTargets())
        active.append(infoAtFirstTarget(own));
    showLists(active, mutedCallInfos());
}

void Display::clearCalls()
{
    showActiveCalls({});
    showMutedCalls({});
    showCalls({});
}

void Display::showLists(const QVector<CallDisplayInfo>& active, const QVector<CallDisplayInfo>& muted)
{
    showActiveCalls(active);
    showMutedCalls(muted);
    showCalls(active + muted);
}

QVector<CallDisplayInfo> Display::mutedCallInfos() const
{
    QVector<CallDisplayInfo> muted;
    for (const Call& call : m_calls->receivedCalls()) {
        if (call.isMuted())
            muted.append(mutedInfo(call));
    }
    return muted;
}
