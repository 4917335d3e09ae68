#include "calls/openezduringtalk.h"

#include "calls/call.h"
#include "calls/callcapable.h"
#include "calls/callqueue.h"

OpenEZDuringTalk::OpenEZDuringTalk(CallQueue* queue, QObject* parent)
    : QObject(parent)
    , m_queue(queue)
{
}

void OpenEZDuringTalk::openEZ(CallCapable* unit)
{
    // A PA has no single other end whose door could be meant.
    for (const Call& talk : m_queue->talksOf(unit)) {
        if (talk.isPA())
            continue;
        CallCapable* other = nullptr;
        if (talk.source() == unit)
            other = talk.hasSingleTarget() ? talk.targets().first() : nullptr;
        else
            other = talk.source();
        if (other && other->hasDoorLock())
            other->openDoor();
    }
}
