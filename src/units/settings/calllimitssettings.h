#pragma once

#include "calls/calllimits.h"

#include <QObject>
#include <QVariant>

// Time limits of calls, talks and mutes in seconds, from settings
// "callQueue". A limit of 0 is switched off.
class CallLimitsSettings : public QObject, public CallLimits
{
    Q_OBJECT
public:
    static constexpr qint64 DefaultMaxCallDuration = 900;
    static constexpr qint64 DefaultMaxTalkDuration = 180;
    static constexpr qint64 DefaultMaxMuteDuration = 300;

    explicit CallLimitsSettings(QObject* parent = nullptr);

    // A missing or unconvertible limit takes its default, not its old value.
    void load(const QVariantMap& section);

    qint64 maxCallDuration() const override { return m_maxCallDuration; }
    qint64 maxTalkDuration() const override { return m_maxTalkDuration; }
    qint64 maxMuteDuration() const override { return m_maxMuteDuration; }
    bool isMaxCallDurationSet() const { return m_maxCallDuration != 0; }
    bool isMaxTalkDurationSet() const { return m_maxTalkDuration != 0; }
    bool isMaxMuteDurationSet() const { return m_maxMuteDuration != 0; }
    void setMaxCallDuration(qint64 seconds) { m_maxCallDuration = seconds; }
    void setMaxTalkDuration(qint64 seconds) { m_maxTalkDuration = seconds; }
    void setMaxMuteDuration(qint64 seconds) { m_maxMuteDuration = seconds; }

private:
    qint64 m_maxCallDuration = DefaultMaxCallDuration;
    qint64 m_maxTalkDuration = DefaultMaxTalkDuration;
    qint64 m_maxMuteDuration = DefaultMaxMuteDuration;
};
