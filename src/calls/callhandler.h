#pragma once

#include "calls/call.h"
#include "rondel/records.h"

#include <QHostAddress>
#include <QObject>
#include <QVector>

class CallCapable;
class CallCapableRepository;
class CallQueue;
class PAs;
class Synthesizer;
class TalkVolumes;
class Ward;

// The one object that changes calls across the installation: it delivers
// calls to the units that receive them, connects talks and public-address
// streams, and ends calls and talks, keeping the queue and every unit's
// own registry in step.
class CallHandler : public QObject
{
    Q_OBJECT
public:
    // Ports of a direct talk: the source listens on the first, the
    // answering unit on the second.
    static constexpr int SourcePort = 10002;
    static constexpr int TargetPort = 10004;

    CallHandler(CallQueue* queue, CallCapableRepository* repository, PAs* pas,
                Synthesizer* synthesizer, const TalkVolumes* volumes,
                QObject* parent = nullptr);

    // Delivery.
    void newCall(const Call& call);
    void muteCall(const Call& call);
    void replaceCall(const Call& oldCall, const Call& newCall);
    // Offers a unit that has become free, reachable or staffed the stored
    // calls it takes.
    void deliverPendingCalls(CallCapable* unit);
    // Takes back the calls a unit no longer takes.
    void withdrawCalls(CallCapable* unit);
    void wardsConnectionChanged(const QVector<Ward*>& wards);
    void redistribute(const Call& call);
    void redistributePA(const Call& call);

    // Ending, answering, talks.
    void endCallOrTalk(const Call& call, EndType endType);
    void endCall(const Call& call, EndType endType);
    void endTalk(const Call& call, EndType endType);
    // request is the call with the answering unit as its first target.
    void answerIncomingCall(const Call& request);
    void connectUnits(const Call& call);
    void connectSynthesizer(const Call& call);
    void endIncomingTalk(const Call& call);
    void endOutgoingTalk(const Call& call);

    // Presences and units that go away.
    void presenceRegisteredPP(CallCapable* unit);
    void presenceRegisteredPS(CallCapable* unit);
    void presenceUnregistered(CallCapable* unit);
    void unitGone(CallCapable* unit, EndType endType);

    // The multicast group a PA source at address streams to.
    static QHostAddress paGroup(const QHostAddress& address);

signals:
    // A call raised at unit was ended.
    void callEnded(CallCapable* unit);
    // unit left a talk.
    void talkEnded(CallCapable* unit);

private:
    VoIP makeVoIP(const QString& ownType, const QString& peerType, int mode, int localPort,
                  const QHostAddress& address, int remotePort) const;
    void connectPASource(const Call& pa);
    void connectPATarget(const Call& pa, CallCapable* target);
    void startPA(const Call& call);
    // unit stops listening to a running PA; the PA ends when nobody is
    // left to listen.
    void leavePA(const Call& pa, CallCapable* unit);
    void endMovedCalls(const Call& call);
    bool canTakeCalls(const CallCapable* unit) const;
    // Removes unit from the receivers; a call nobody receives any more
    // waits again, unless it was muted.
    static void dropReceiver(Call& call, const CallCapable* unit);
    static void addReceiver(Call& call, CallCapable* unit);

    CallQueue* m_queue;
    CallCapableRepository* m_repository;
    PAs* m_pas;
    Synthesizer* m_synthesizer;
    const TalkVolumes* m_volumes;
    // Units whose calls are being ended because they go away; they must
    // not be offered new calls on the way.
    QVector<const CallCapable*> m_goingUnits;
};
