#pragma once

#include "calls/call.h"
#include "rondel/records.h"

#include <QObject>
#include <QVector>

// The calls that concern one unit: its own call, its own device (NV) calls,
// the calls delivered to it, and its current talk. Every change is reported
// synchronously, in a fixed order, by the signals below.
class Calls : public QObject
{
    Q_OBJECT
public:
    explicit Calls(QObject* parent = nullptr);

    // Own call and device calls, driven by the unit.
    void setCall(const Call& call);
    void cancelCall();
    void updateOwnCall(const Call& call);
    void updateCall(const Call& call);
    void setNVCall(const Call& call);
    void cancelNVCall(const QString& code);
    void removeCall(const Call& call);
    void terminateCall(const Call& call, EndType endType);

    // Calls delivered to this unit, driven by the queue and the handler.
    void addReceivedCall(const Call& call);
    void setReceivedCall(const Call& call);
    void removeReceivedCall(const Call& call);

    // Talk.
    void connectCall(const Call& call, const VoIP& voip);
    void connectReceivedCall(const Call& call, const VoIP& voip);
    void setTalk(const Call& call);
    void clearTalk();
    void endTalk(const Call& call);

    const Call& ownCall() const { return m_ownCall; }
    bool hasOwnCall() const { return m_ownCall.isValid(); }
    bool isOwnCall(const Call& call) const { return m_ownCall.isValid() && m_ownCall == call; }
    const Call& talk() const { return m_talk; }
    bool hasTalk() const { return m_talk.isValid(); }
    bool isTalk(const Call& call) const { return m_talk.isValid() && m_talk == call; }

    const QVector<Call>& nvCalls() const { return m_nvCalls; }
    const Call& nvCall(const QString& code) const;
    bool hasNVCall(const QString& code) const;
    bool hasNVCalls() const { return !m_nvCalls.isEmpty(); }
    bool hasUnmutedNVCalls() const;
    bool hasWaitingNVCall() const;
    const Call& firstWaitingNVCall() const;
    bool hasLiveNVCall() const;
    bool hasAudibleNVCall() const;

    const QVector<Call>& receivedCalls() const { return m_receivedCalls; }
    bool hasReceivedCalls() const { return !m_receivedCalls.isEmpty(); }
    bool hasUnmutedReceivedCalls() const;
    bool isReceived(const Call& call) const;
    bool hasReceivedAL() const { return hasReceivedOfType(CallType::AL); }
    bool hasReceivedVS() const { return hasReceivedOfType(CallType::VS); }
    bool hasReceivedVK() const { return hasReceivedOfType(CallType::VK); }
    bool hasReceivedPA() const { return hasReceivedOfType(CallType::PA); }
    bool hasReceivedDC() const { return hasReceivedOfType(CallType::DC); }
    bool hasReceivedOfType(CallType type) const;
    bool hasRingingNV() const;
    bool hasRingingReceived() const;
    const Call& firstRingingReceived() const;

    bool isBusy() const;
    bool hasPendingAL() const;
    bool hasPendingVK() const;
    bool hasPendingVSWithPresence() const;
    bool hasPendingVSWithoutPresence() const;

signals:
    void callNew(const Call& call);
    void callReplaced(const Call& oldCall, const Call& newCall);
    void callMuted(const Call& call);
    void callCanceled(const Call& call);
    void callsChanged();
    void talkChanged();
    void callConnected(const Call& call, const VoIP& voip);
    void callTerminated(const Call& call, EndType endType);
    void callUpdated(const Call& oldCall, const Call& newCall);
    void talkTerminated();

private:
    int nvIndex(const QString& code) const;
    // Removal shared by removeCall() and terminateCall(); true when the
    // registry changed.
    bool removeWithoutSignal(const Call& call);
    bool isPendingOwnCallOfType(CallType type) const;

    Call m_ownCall;
    QVector<Call> m_nvCalls;
    QVector<Call> m_receivedCalls;
    Call m_talk;
};
