#include "calls/callreceivemodes.h"

#include "calls/call.h"
#include "calls/calls.h"
#include "units/presences.h"
#include "units/unit.h"
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

ConnectedWardsMode::ConnectedWardsMode(Unit* unit, Wards* wards, QObject* parent)
    : CallReceiveMode(parent)
    , m_unit(unit)
    , m_wards(wards)
{
}

bool ConnectedWardsMode::accepts(const Call& call) const
{
    return acceptsByKind(call);
}

bool ConnectedWardsMode::acceptsByKind(const Call& call) const
{
    if (!m_unit || !call.source() || call.source() == static_cast<CallCapable*>(m_unit))
        return false;
    const Presences* presences = m_unit->presences();
    switch (call.type()) {
    case CallType::DC:
        return !call.text().isEmpty() && call.text() == m_unit->phone()
            && m_unit->acceptsDialCalls();
    case CallType::PA: {
        if (!m_unit->acceptsCalls(call) || !inReach(call))
            return false;
        const Calls* calls = m_unit->calls();
        if (calls->hasTalk())
            return false;
        if (calls->hasOwnCall() && !calls->ownCall().isSynthesizerCall())
            return false;
        return !calls->hasAudibleNVCall();
    }
    case CallType::VK:
        return presences->isPPRegistered() && inReach(call);
    case CallType::VS:
    case CallType::NV:
        return presences->isPSRegistered() && inReach(call);
    case CallType::AL:
        return (presences->isPSRegistered() || presences->isPLConfigured()) && inReach(call);
    default:
        return false;
    }
}

bool ConnectedWardsMode::inReach(const Call& call) const
{
    const Ward* own = m_unit->location().ward();
    const Ward* source = call.source()->location().ward();
    if (own == source)
        return true;
    return m_wards && m_wards->areConnected(own, source);
}

CollectingUnitMode::CollectingUnitMode(Unit* unit, const QStringList& wardIds, QObject* parent)
    : ConnectedWardsMode(unit, nullptr, parent)
    , m_wardIds(wardIds)
{
}

bool CollectingUnitMode::inReach(const Call& call) const
{
    return m_wardIds.contains(call.source()->location().ward()->id());
}
