#include "calls/callreceivemodes.h"

#include "calls/call.h"
#include "calls/callcapable.h"
#include "calls/calls.h"
#include "wards/wards.h"

CallReceiveMode::CallReceiveMode(QObject* parent)
    : QObject(parent)
{
}

bool CallReceiveMode::accepts(const Call& call) const
{
    Q_UNUSED(call)
    return false;
}

bool CallReceiveMode::inReach(const Call& call) const
{
    Q_UNUSED(call)
    return false;
}

bool CallReceiveMode::acceptsByKind(const CallCapable* unit, const Call& call) const
{
    if (!unit || !call.source() || call.source() == unit)
        return false;
    switch (call.type()) {
    case CallType::DC:
        return !call.text().isEmpty() && call.text() == unit->phone() && unit->acceptsDialCalls();
    case CallType::PA: {
        if (!unit->acceptsCalls(call) || !inReach(call))
            return false;
        const Calls* calls = unit->calls();
        // A unit already listening to this PA still takes it: otherwise any
        // redistribution would drop every listener of a running PA.
        if (calls->hasTalk() && !calls->isTalk(call))
            return false;
        if (calls->hasOwnCall() && !calls->ownCall().isSynthesizerCall())
            return false;
        return !calls->hasAudibleNVCall();
    }
    case CallType::VK:
        return unit->isPPRegistered() && inReach(call);
    case CallType::VS:
    case CallType::NV:
        return unit->isPSRegistered() && inReach(call);
    case CallType::AL:
        return (unit->isPSRegistered() || unit->isPLConfigured()) && inReach(call);
    default:
        return false;
    }
}

ConnectedWardsMode::ConnectedWardsMode(CallCapable* unit, Wards* wards, QObject* parent)
    : CallReceiveMode(parent)
    , m_unit(unit)
    , m_wards(wards)
{
}

bool ConnectedWardsMode::accepts(const Call& call) const
{
    return acceptsByKind(m_unit, call);
}

bool ConnectedWardsMode::inReach(const Call& call) const
{
    return reaches(m_wards, ownWard(), call.source()->location().ward());
}

bool ConnectedWardsMode::reaches(const Wards* wards, const Ward* own, const Ward* source)
{
    if (own == source)
        return true;
    return wards && wards->areConnected(own, source);
}

const Ward* ConnectedWardsMode::ownWard() const
{
    return m_unit->location().ward();
}

CollectingUnitMode::CollectingUnitMode(CallCapable* unit, const QStringList& wardIds,
                                       QObject* parent)
    : CallReceiveMode(parent)
    , m_unit(unit)
    , m_wardIds(wardIds)
{
}

bool CollectingUnitMode::accepts(const Call& call) const
{
    return acceptsByKind(m_unit, call);
}

bool CollectingUnitMode::inReach(const Call& call) const
{
    return m_wardIds.contains(call.source()->location().ward()->id());
}
