#include "calls/callhandler.h"

#include "calls/callcapable.h"
#include "calls/callcapablerepository.h"
#include "calls/callqueue.h"
#include "calls/callreceivemodes.h"
#include "calls/calls.h"
#include "calls/pas.h"
#include "calls/talkvolumes.h"
#include "core/constants.h"
#include "core/runtimeoptions.h"
#include "synthesizer/synthesizer.h"
#include "wards/room.h"

#include <QDebug>

namespace {

const QString PAAudioType = QStringLiteral("PA");
const QString SynthAudioType = QStringLiteral("SYNTH");
constexpr qint32 AnswerMode = 1;

// Ends going through a scope: while a unit's calls are being ended, the
// talkEnded/callEnded signals must not hand it new ones.
class GoingUnit
{
public:
    GoingUnit(QVector<const CallCapable*>& going, const CallCapable* unit)
        : m_going(going)
    {
        m_going.append(unit);
    }
    ~GoingUnit() { m_going.removeLast(); }
    GoingUnit(const GoingUnit&) = delete;
    GoingUnit& operator=(const GoingUnit&) = delete;

private:
    QVector<const CallCapable*>& m_going;
};

} // namespace

CallHandler::CallHandler(CallQueue* queue, CallCapableRepository* repository, PAs* pas,
                         Synthesizer* synthesizer, const TalkVolumes* volumes, QObject* parent)
    : QObject(parent)
    , m_queue(queue)
    , m_repository(repository)
    , m_pas(pas)
    , m_synthesizer(synthesizer)
    , m_volumes(volumes)
{
    // A unit that has just become free is offered what it can take now.
    connect(this, &CallHandler::callEnded, this, &CallHandler::deliverPendingCalls);
    connect(this, &CallHandler::talkEnded, this, &CallHandler::deliverPendingCalls);
}

QHostAddress CallHandler::paGroup(const QHostAddress& address)
{
    const QStringList parts = address.toString().split(QLatin1Char('.'));
    const QString tail = parts.size() == 4 ? parts[2] + QLatin1Char('.') + parts[3]
                                           : QStringLiteral("0.1");
    return QHostAddress(Constants::MulticastGroupPattern.arg(tail));
}

VoIP CallHandler::makeVoIP(const QString& ownType, const QString& peerType, int mode,
                           int localPort, const QHostAddress& address, int remotePort) const
{
    VoIP voip;
    voip.type = mode;
    voip.levelIn = m_volumes->mic(ownType, peerType);
    voip.levelOut = m_volumes->speaker(ownType, peerType);
    voip.address = address;
    voip.portA = localPort;
    voip.portB = remotePort;
    return voip;
}

bool CallHandler::canTakeCalls(const CallCapable* unit) const
{
    return unit && unit->isReachable() && !m_goingUnits.contains(unit);
}

void CallHandler::dropReceiver(Call& call, const CallCapable* unit)
{
    call.removeReceiver(unit);
    if (!call.hasReceivers() && !call.isMuted())
        call.setNew();
}

void CallHandler::addReceiver(Call& call, CallCapable* unit)
{
    call.addReceiver(unit);
    if (call.isNew())
        call.setRinging();
}

// --- Delivery -------------------------------------------------------------

void CallHandler::endMovedCalls(const Call& call)
{
    if (!call.isMobile())
        return;
    // A portable device that calls from another unit has moved there; its
    // call at the unit it left is over.
    for (const Call& other : m_queue->callsWithCode(call.code())) {
        if (other.id() != call.id() && m_queue->contains(other))
            endCallOrTalk(m_queue->get(other), EndType::MovedBetweenUnits);
    }
}

void CallHandler::newCall(const Call& call)
{
    qDebug() << "newCall" << call.id();
    endMovedCalls(call);
    CallCapable* source = call.source();
    if (!source)
        return;

    if (!call.isSynthesizerCall()) {
        const Call talk = source->calls()->talk();
        if (talk.isValid() && talk.isPA() && m_queue->contains(talk))
            leavePA(m_queue->get(talk), source);
    }

    const QVector<CallCapable*> receivers = m_repository->receiversOf(call);
    Call stored = call;
    if (!receivers.isEmpty()) {
        stored.setRinging();
        stored.setReceivers(receivers);
    }
    m_queue->insert(stored);

    if ((call.isDC() || call.isPA()) && receivers.isEmpty()) {
        source->calls()->terminateCall(call, EndType::NoValidTargets);
        m_queue->finish(call, EndType::NoValidTargets);
        return;
    }
    if (call.isDC()) {
        for (const CallCapable* receiver : receivers) {
            if (receiver->calls()->isBusy()) {
                source->calls()->terminateCall(stored, EndType::TargetBusy);
                m_queue->finish(stored, EndType::TargetBusy);
                return;
            }
        }
    }
    for (CallCapable* receiver : receivers)
        receiver->calls()->addReceivedCall(stored);
    source->calls()->updateCall(stored);

    if (call.isPA() && m_queue->contains(call))
        startPA(m_queue->get(call));
}

void CallHandler::startPA(const Call& call)
{
    Call pa = call;
    pa.setTargets(pa.receivers(), AnswerMode);
    pa.setConnected();
    pa.setAudioPort(m_pas->allocate());
    m_queue->update(pa);
    connectPASource(pa);
    for (CallCapable* target : pa.targets())
        connectPATarget(pa, target);
    m_pas->insert(pa.audioPort());
}

void CallHandler::muteCall(const Call& call)
{
    qDebug() << "muteCall" << call.id();
    endMovedCalls(call);
    if (m_queue->contains(call)) {
        // The receivers show the call muted; the queue keeps the state it
        // was delivered with.
        Call muted = m_queue->get(call);
        muted.mute();
        for (CallCapable* receiver : muted.receivers())
            receiver->calls()->setReceivedCall(muted);
        return;
    }
    Call stored = call;
    stored.setReceivers(m_repository->receiversOf(call));
    m_queue->insert(stored);
    for (CallCapable* receiver : stored.receivers())
        receiver->calls()->addReceivedCall(stored);
}

void CallHandler::replaceCall(const Call& oldCall, const Call& newCall)
{
    qDebug() << "replaceCall" << oldCall.id() << newCall.id();
    // A PA is a talk from the moment it starts: when its source raises
    // another call, the PA must stop for its listeners too, not linger
    // with nobody speaking.
    if (m_queue->get(oldCall).isTalking())
        endTalk(oldCall, EndType::Canceled);
    else
        endCall(oldCall, EndType::Canceled);
    this->newCall(newCall);
}

void CallHandler::deliverPendingCalls(CallCapable* unit)
{
    if (!canTakeCalls(unit))
        return;
    const CallReceiveMode* mode = unit->callReceiveMode();
    if (!mode)
        return;
    for (const Call& listed : m_queue->calls()) {
        Call call = m_queue->get(listed);
        if (!call.isValid() || call.isReceiver(unit) || !mode->accepts(call))
            continue;
        if (!call.isConnected()) {
            addReceiver(call, unit);
            m_queue->update(call);
            unit->calls()->addReceivedCall(call);
        } else if (call.isPA()) {
            addReceiver(call, unit);
            m_queue->update(call);
            unit->calls()->addReceivedCall(call);
            call.addTarget(unit, AnswerMode);
            m_queue->update(call);
            connectPATarget(call, unit);
        }
    }
}

void CallHandler::withdrawCalls(CallCapable* unit)
{
    if (!unit)
        return;
    const CallReceiveMode* mode = unit->callReceiveMode();
    for (const Call& listed : m_queue->calls()) {
        Call call = m_queue->get(listed);
        if (!call.isValid() || !call.isReceiver(unit) || call.isConnected()
            || (mode && mode->accepts(call)))
            continue;
        dropReceiver(call, unit);
        m_queue->update(call);
        unit->calls()->removeReceivedCall(call);
    }
}

void CallHandler::wardsConnectionChanged(const QVector<Ward*>& wards)
{
    for (const Call& listed : m_queue->callsFromWards(wards)) {
        const Call call = m_queue->get(listed);
        if (!call.isValid())
            continue;
        if (!call.isConnected())
            redistribute(call);
        else if (call.isPA())
            redistributePA(call);
    }
}

namespace {

// Units of from that are not in without, in the order of from.
QVector<CallCapable*> missingFrom(const QVector<CallCapable*>& from,
                                  const QVector<CallCapable*>& without)
{
    QVector<CallCapable*> missing;
    for (CallCapable* unit : from) {
        if (!without.contains(unit))
            missing.append(unit);
    }
    return missing;
}

} // namespace

void CallHandler::redistribute(const Call& listed)
{
    Call call = m_queue->get(listed);
    if (!call.isValid())
        return;
    const QVector<CallCapable*> now = m_repository->receiversOf(call);
    const QVector<CallCapable*> gone = missingFrom(call.receivers(), now);
    const QVector<CallCapable*> added = missingFrom(now, call.receivers());
    if (!gone.isEmpty()) {
        for (const CallCapable* unit : gone)
            dropReceiver(call, unit);
        m_queue->update(call);
        for (CallCapable* unit : gone)
            unit->calls()->removeReceivedCall(call);
    }
    if (!added.isEmpty()) {
        for (CallCapable* unit : added)
            addReceiver(call, unit);
        m_queue->update(call);
        for (CallCapable* unit : added)
            unit->calls()->addReceivedCall(call);
    }
}

void CallHandler::redistributePA(const Call& listed)
{
    Call pa = m_queue->get(listed);
    if (!pa.isValid())
        return;
    const QVector<CallCapable*> now = m_repository->receiversOf(pa);
    const QVector<CallCapable*> gone = missingFrom(pa.receivers(), now);
    const QVector<CallCapable*> added = missingFrom(now, pa.receivers());
    if (!gone.isEmpty()) {
        for (const CallCapable* unit : gone) {
            pa.removeReceiver(unit);
            pa.removeTarget(unit);
        }
        m_queue->update(pa);
        for (CallCapable* unit : gone) {
            unit->calls()->endTalk(pa);
            emit talkEnded(unit);
        }
        // Those signals may have changed the stored PA.
        pa = m_queue->get(listed);
        if (!pa.isValid())
            return;
    }
    if (!added.isEmpty()) {
        for (CallCapable* unit : added)
            addReceiver(pa, unit);
        m_queue->update(pa);
        for (CallCapable* unit : added)
            unit->calls()->addReceivedCall(pa);
        pa.addTargets(added, AnswerMode);
        m_queue->update(pa);
        for (CallCapable* unit : added)
            connectPATarget(pa, unit);
    }
    if (!pa.hasTargets())
        endTalk(pa, EndType::NoValidTargets);
}

// --- Ending and talks -----------------------------------------------------

void CallHandler::endCallOrTalk(const Call& call, EndType endType)
{
    qDebug() << "endCallOrTalk" << call.id();
    if (call.isTalking())
        endTalk(call, endType);
    else
        endCall(call, endType);
}

void CallHandler::endCall(const Call& call, EndType endType)
{
    qDebug() << "endCall" << call.id();
    const Call stored = m_queue->get(call);
    if (!stored.isValid() || stored.isTalking())
        return;
    for (CallCapable* receiver : stored.receivers())
        receiver->calls()->removeReceivedCall(stored);
    CallCapable* source = stored.source();
    if (source)
        source->calls()->terminateCall(stored, endType);
    m_queue->finish(stored, endType);
    emit callEnded(source);
}

void CallHandler::endTalk(const Call& call, EndType endType)
{
    qDebug() << "endTalk" << call.id();
    Call talk = m_queue->get(call);
    if (!talk.isValid())
        return;
    CallCapable* source = talk.source();
    const bool synthesizer = talk.isSynthesizerCall();

    if (!talk.persistsAfterTalk()) {
        m_queue->finish(talk, endType);
    } else if (endType == EndType::LostCommunication || endType == EndType::HangUp) {
        talk.mute();
        m_queue->update(talk);
        for (CallCapable* receiver : talk.receivers())
            receiver->calls()->setReceivedCall(talk);
        if (synthesizer && source)
            source->calls()->updateCall(talk);
    } else {
        m_queue->finish(talk, endType);
        for (CallCapable* receiver : talk.receivers())
            receiver->calls()->removeReceivedCall(talk);
        if (synthesizer && source)
            source->calls()->terminateCall(talk, endType);
    }

    if (!synthesizer) {
        if (source) {
            source->calls()->endTalk(talk);
            emit talkEnded(source);
        }
    } else {
        m_synthesizer->stop(talk.audioPort());
    }
    for (CallCapable* target : talk.targets()) {
        target->calls()->endTalk(talk);
        emit talkEnded(target);
    }
    if (talk.isPA())
        m_pas->remove(talk.audioPort());
}

void CallHandler::answerIncomingCall(const Call& request)
{
    qDebug() << "answareIncomingCall" << request.id();
    if (!m_queue->canAnswer(request))
        return;
    Call call = m_queue->get(request);
    CallCapable* answering = request.targets().first();
    QVector<CallCapable*> others = call.receivers();
    others.removeAll(answering);

    call.setTarget(answering, request.targetMode(answering));
    if (call.persistsAfterTalk())
        call.setConnectedMuted();
    else
        call.setConnected();
    if (call.isSynthesizerCall())
        call.setAudioPort(m_synthesizer->freePort());
    m_queue->update(call);
    if (call.isSynthesizerCall())
        connectSynthesizer(call);
    else
        connectUnits(call);

    // The others stop ringing; a call that stays after its talk stays on
    // their displays, shown as taken.
    for (CallCapable* other : others) {
        if (call.persistsAfterTalk())
            other->calls()->setReceivedCall(call);
        else
            other->calls()->removeReceivedCall(call);
    }
}

void CallHandler::connectUnits(const Call& call)
{
    CallCapable* source = call.source();
    if (!source || !call.hasTargets())
        return;
    CallCapable* target = call.targets().first();
    const int sourceMode = call.sourceMode();
    const int targetMode = call.targetMode(target);
    const QString sourceType = source->audioType(sourceMode);
    const QString targetType = target->audioType(targetMode);
    source->calls()->connectCall(
        call, makeVoIP(sourceType, targetType, sourceMode, SourcePort, target->ip(), TargetPort));
    target->calls()->connectReceivedCall(
        call, makeVoIP(targetType, sourceType, targetMode, TargetPort, source->ip(), SourcePort));
}

void CallHandler::connectSynthesizer(const Call& call)
{
    CallCapable* source = call.source();
    if (!source || !call.hasTargets())
        return;
    CallCapable* target = call.targets().first();
    const int targetMode = call.targetMode(target);
    const VoIP voip = makeVoIP(target->audioType(targetMode), SynthAudioType, targetMode,
                               call.audioPort(), runtimeOptions().rondelAddress, SourcePort);
    if (!call.persistsAfterTalk())
        source->calls()->terminateCall(call, EndType::HangUp);
    else
        source->calls()->updateCall(call);

    SynthesizedMessage message(target->ip(), call.audioPort());
    if (m_synthesizer->isFragmented()) {
        message.type = Synthesizer::Fragmented;
        const Room* room = source->location().room;
        message.room = room ? room->number() : 0;
    }
    message.priority = int(call.type());
    m_synthesizer->start(message);
    target->calls()->connectReceivedCall(call, voip);
}

void CallHandler::connectPASource(const Call& pa)
{
    CallCapable* source = pa.source();
    VoIP voip;
    voip.type = pa.sourceMode();
    voip.levelIn = m_volumes->mic(source->audioType(pa.sourceMode()), PAAudioType);
    voip.address = paGroup(source->ip());
    voip.portB = pa.audioPort();
    source->calls()->connectCall(pa, voip);
}

void CallHandler::connectPATarget(const Call& pa, CallCapable* target)
{
    const int mode = pa.targetMode(target);
    VoIP voip;
    voip.type = mode;
    voip.levelOut = m_volumes->speaker(target->audioType(mode), PAAudioType);
    voip.address = pa.source()->ip();
    voip.portB = pa.audioPort();
    target->calls()->connectReceivedCall(pa, voip);
}

void CallHandler::leavePA(const Call& listed, CallCapable* unit)
{
    Call pa = m_queue->get(listed);
    if (!pa.isValid())
        return;
    pa.removeReceiver(unit);
    pa.removeTarget(unit);
    m_queue->update(pa);
    unit->calls()->endTalk(pa);
    if (!pa.hasTargets())
        endTalk(pa, EndType::NoValidTargets);
}

void CallHandler::endIncomingTalk(const Call& call)
{
    const Call stored = m_queue->get(call);
    if (stored.isValid() && stored.targetMayEndTalk())
        endTalk(call, EndType::HangUp);
}

void CallHandler::endOutgoingTalk(const Call& call)
{
    const Call stored = m_queue->get(call);
    if (stored.isValid() && stored.sourceMayEndTalk())
        endTalk(call, EndType::HangUp);
}

// --- Presences and units that go away -------------------------------------

namespace {

bool sourceHasNoPresence(const Call& call)
{
    return call.source() && !call.source()->hasPresence();
}

} // namespace

void CallHandler::presenceRegisteredPP(CallCapable* unit)
{
    if (!unit)
        return;
    // Staff at the bedside answers a call for assistance in person.
    for (const Call& listed : m_queue->callsFromRoom(unit->location().room)) {
        const Call call = m_queue->get(listed);
        if (call.isVK() && call.isWaiting() && sourceHasNoPresence(call))
            endCall(call, EndType::Presence);
    }
    deliverPendingCalls(unit);
}

void CallHandler::presenceRegisteredPS(CallCapable* unit)
{
    if (!unit)
        return;
    const Room* room = unit->location().room;
    for (const Call& listed : m_queue->callsFromRoom(room)) {
        const Call call = m_queue->get(listed);
        if ((call.isNV() && call.canRing())
            || (call.isVS() && call.isWaiting() && sourceHasNoPresence(call)))
            endCall(call, EndType::Presence);
    }
    for (const Call& listed : m_queue->talksFromRoom(room)) {
        const Call talk = m_queue->get(listed);
        if (talk.isNV() && talk.isTalking())
            endTalk(talk, EndType::Presence);
    }
    deliverPendingCalls(unit);
}

void CallHandler::presenceUnregistered(CallCapable* unit)
{
    if (!unit)
        return;
    for (const Call& listed : m_queue->talksOf(unit)) {
        const Call talk = m_queue->get(listed);
        if (talk.isTalking() && !talk.persistsAfterTalk() && !talk.isPA())
            endTalk(talk, EndType::Unregister);
    }
    withdrawCalls(unit);
}

void CallHandler::unitGone(CallCapable* unit, EndType endType)
{
    if (!unit)
        return;
    const GoingUnit going(m_goingUnits, unit);

    for (const Call& listed : m_queue->talksOf(unit)) {
        const Call talk = m_queue->get(listed);
        if (!talk.isTalking())
            continue;
        if (talk.source() == unit || !talk.isPA())
            endTalk(talk, endType);
        else
            leavePA(talk, unit);
    }

    for (const Call& listed : m_queue->callsFrom(unit)) {
        const Call call = m_queue->get(listed);
        if (!call.isValid() || call.isTalking())
            continue;
        for (CallCapable* receiver : call.receivers())
            receiver->calls()->removeReceivedCall(call);
        unit->calls()->removeCall(call);
        m_queue->finish(call, endType);
        emit callEnded(unit);
    }

    // A deleted unit must vanish from every call, muted ones included: the
    // calls outlive it and would otherwise point at a destroyed object.
    const bool deleted = endType == EndType::UnitDeleted;
    for (const Call& listed : m_queue->calls()) {
        Call call = m_queue->get(listed);
        const bool receives = call.isReceiver(unit) && call.isActive();
        const bool referenced = deleted && (call.isReceiver(unit) || call.isTarget(unit));
        if (!call.isValid() || !(receives || referenced))
            continue;
        dropReceiver(call, unit);
        if (deleted)
            call.removeTarget(unit);
        m_queue->update(call);
        unit->calls()->removeReceivedCall(call);
    }
}
