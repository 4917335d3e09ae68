#pragma once

#include "rondel/calldisplayinfo.h"
#include "calls/callenums.h"

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QVector>

class CallCapable;

// A unit with which a call is, or is to be, connected by voice.
struct CallTarget
{
    CallCapable* unit = nullptr;
    qint32 mode = 0;
};

// One call, passed around by value. A default-constructed Call is the null
// call; two calls are the same call when their ids are equal.
class Call
{
public:
    Call() = default;
    // A new call raised now at source. The id is unique within the process.
    Call(CallType type, const QString& code, CallCapable* source);

    // The shared null call, for lookups that find nothing.
    static const Call& null();

    qint64 id() const { return m_id; }
    CallType type() const { return m_type; }
    const QString& code() const { return m_code; }
    bool isMobile() const { return m_mobile; }
    const QString& text() const { return m_text; }
    CallState state() const { return m_state; }
    EndType endType() const { return m_endType; }
    const QDateTime& created() const { return m_created; }
    const QDateTime& connectedAt() const { return m_connected; }
    const QDateTime& disconnectedAt() const { return m_disconnected; }
    const QDateTime& finishedAt() const { return m_finished; }
    CallCapable* source() const { return m_source; }
    qint32 sourceMode() const { return m_sourceMode; }
    bool persistsAfterTalk() const { return m_persistsAfterTalk; }
    quint16 audioPort() const { return m_audioPort; }
    const CallDisplayInfo& displayInfo() const { return m_displayInfo; }

    bool isValid() const { return m_id != 0; }
    bool operator==(const Call& other) const { return m_id == other.m_id; }
    bool operator!=(const Call& other) const { return m_id != other.m_id; }

    bool isDC() const { return m_type == CallType::DC; }
    bool isPA() const { return m_type == CallType::PA; }
    bool isVK() const { return m_type == CallType::VK; }
    bool isVS() const { return m_type == CallType::VS; }
    bool isNV() const { return m_type == CallType::NV; }
    bool isAL() const { return m_type == CallType::AL; }

    bool isNew() const { return m_state == CallState::New; }
    bool isRinging() const { return m_state == CallState::Ringing; }
    bool isWaiting() const { return isNew() || isRinging(); }
    bool isConnected() const { return m_state == CallState::Connected; }
    bool isConnectedMuted() const { return m_state == CallState::ConnectedMuted; }
    bool isTalking() const { return isConnected() || isConnectedMuted(); }
    bool isMuted() const { return isConnectedMuted() || isMutedOnly(); }
    bool isMutedOnly() const { return m_state == CallState::Muted; }
    bool isActive() const { return isRinging() || isTalking(); }
    bool isFinished() const { return m_state == CallState::Finished; }
    bool canRing() const { return isNew() || isRinging() || isMutedOnly(); }
    bool isNotConnected() const { return !isConnected() && !isFinished(); }
    bool isSynthesizerCall() const { return m_sourceMode == 3; }

    QString typeName() const { return callTypeName(m_type); }
    QString stateName() const { return callStateName(m_state); }

    QVector<CallCapable*> receivers() const { return m_receivers; }
    bool hasReceivers() const { return !m_receivers.isEmpty(); }
    bool isReceiver(const CallCapable* unit) const;

    QVector<CallCapable*> targets() const;
    const QVector<CallTarget>& targetEntries() const { return m_targets; }
    bool hasTargets() const { return !m_targets.isEmpty(); }
    bool hasSingleTarget() const { return m_targets.size() == 1; }
    bool isTarget(const CallCapable* unit) const;
    // 0 when the unit is not a target.
    qint32 targetMode(const CallCapable* unit) const;

    // Whether the answering unit may end the talk: a PA never; otherwise
    // unless staff is present at the source and the only target has none.
    bool targetMayEndTalk() const;
    // Whether the source unit may end its talk.
    bool sourceMayEndTalk() const;

    void setReceivers(const QVector<CallCapable*>& units) { m_receivers = units; }
    void addReceiver(CallCapable* unit) { m_receivers.append(unit); }
    void removeReceiver(const CallCapable* unit);
    void addTarget(CallCapable* unit, qint32 mode);
    void addTargets(const QVector<CallCapable*>& units, qint32 mode);
    void setTarget(CallCapable* unit, qint32 mode);
    void setTargets(const QVector<CallCapable*>& units, qint32 mode);
    void removeTarget(const CallCapable* unit);
    void setMobile() { m_mobile = true; }
    void setPersistsAfterTalk() { m_persistsAfterTalk = true; }
    void setText(const QString& text) { m_text = text; }
    void setAudioPort(quint16 port) { m_audioPort = port; }
    void setSourceMode(qint32 mode) { m_sourceMode = mode; }

    // State transitions. None checks the state it starts from; the callers
    // keep the order New, Ringing, Connected, Muted, Finished.
    void setNew() { m_state = CallState::New; }
    void setRinging() { m_state = CallState::Ringing; }
    void setConnected();
    void setConnectedMuted();
    void mute();
    void finish(EndType endType);

    // Inserts call into a list held by kind (AL, NV, VS, VK, PA, DC), after
    // every call of the same or a higher kind, so equal kinds keep their
    // order of arrival.
    static void insertByType(QVector<Call>& calls, const Call& call);

private:
    qint64 m_id = 0;
    CallType m_type = CallType::None;
    QString m_code;
    bool m_mobile = false;
    QString m_text;
    CallState m_state = CallState::New;
    EndType m_endType = EndType::None;
    QDateTime m_created;
    QDateTime m_connected;
    QDateTime m_disconnected;
    QDateTime m_finished;
    CallCapable* m_source = nullptr;
    qint32 m_sourceMode = 0;
    QVector<CallCapable*> m_receivers;
    QVector<CallTarget> m_targets;
    bool m_persistsAfterTalk = false;
    quint16 m_audioPort = 0;
    CallDisplayInfo m_displayInfo;
};

Q_DECLARE_METATYPE(Call)
