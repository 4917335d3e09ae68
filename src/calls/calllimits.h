#pragma once

#include <QtGlobal>

// How long calls, talks and mutes may last, in seconds; 0 switches a limit
// off. The installation's settings provide it.
class CallLimits
{
public:
    virtual ~CallLimits() = default;

    virtual qint64 maxCallDuration() const = 0;
    virtual qint64 maxTalkDuration() const = 0;
    virtual qint64 maxMuteDuration() const = 0;
};
