#include "units/registry/unitsrepository.h"

#include "calls/call.h"
#include "calls/callreceivemodes.h"
#include "units/rondelunit.h"
#include "units/unconfiguredunit.h"
#include "wards/room.h"

#include <algorithm>

namespace {

// A RondelUnit pointer as the lists hold it, for a query by Unit.
RondelUnit* asRondel(const Unit* unit)
{
    return qobject_cast<RondelUnit*>(const_cast<Unit*>(unit));
}

} // namespace

UnitsRepository::UnitsRepository(QObject* parent)
    : QObject(parent)
{
}

void UnitsRepository::addConfigured(Unit* unit)
{
    if (!unit || m_configured.contains(unit->ip()))
        return;
    unit->setParent(this);
    m_configured.insert(unit->ip(), unit);
    m_configuredOrder.append(unit);
    m_configuredByRoom[unit->location().room].append(unit);
    if (auto* rondelUnit = qobject_cast<RondelUnit*>(unit))
        m_pending.append(rondelUnit);
    else
        activate(unit);
}

void UnitsRepository::addUnconfigured(UnconfiguredUnit* unit)
{
    if (!unit || m_unconfigured.contains(unit->ip()))
        return;
    unit->setParent(this);
    m_unconfigured.insert(unit->ip(), unit);
}

void UnitsRepository::removeUnconfigured(const QHostAddress& ip)
{
    if (UnconfiguredUnit* unit = m_unconfigured.take(ip))
        takeOut(unit);
}

void UnitsRepository::remove(const QHostAddress& ip)
{
    Unit* unit = m_configured.take(ip);
    if (!unit) {
        removeUnconfigured(ip);
        return;
    }
    m_configuredOrder.removeOne(unit);
    leaveRoom(unit, unit->location().room);
    deactivate(unit);
    if (RondelUnit* rondelUnit = asRondel(unit)) {
        m_pending.removeOne(rondelUnit);
        m_lost.removeOne(rondelUnit);
        m_late.removeOne(rondelUnit);
    }
    takeOut(unit);
}

void UnitsRepository::relocate(Unit* unit, const Room* from)
{
    if (!unit || m_configured.value(unit->ip()) != unit || from == unit->location().room)
        return;
    leaveRoom(unit, from);
    m_configuredByRoom[unit->location().room].append(unit);
    m_reachIndexStale = true;
}

void UnitsRepository::leaveRoom(Unit* unit, const Room* room)
{
    const auto it = m_configuredByRoom.find(room);
    if (it == m_configuredByRoom.end())
        return;
    it->removeOne(unit);
    if (it->isEmpty())
        m_configuredByRoom.erase(it);
}

void UnitsRepository::takeOut(Unit* unit)
{
    unit->disconnect();
    unit->deleteLater();
}

bool UnitsRepository::contains(const QHostAddress& ip) const
{
    return m_configured.contains(ip) || m_unconfigured.contains(ip);
}

bool UnitsRepository::isInitialising(const Unit* unit) const
{
    RondelUnit* rondelUnit = asRondel(unit);
    return rondelUnit && (m_pending.contains(rondelUnit) || m_late.contains(rondelUnit));
}

bool UnitsRepository::isLost(const Unit* unit) const
{
    RondelUnit* rondelUnit = asRondel(unit);
    return rondelUnit && m_lost.contains(rondelUnit);
}

bool UnitsRepository::isActive(const Unit* unit) const
{
    return m_activeSince.contains(unit);
}

void UnitsRepository::activate(Unit* unit)
{
    m_active.append(unit);
    m_activeSince.insert(unit, ++m_activations);
    m_reachIndexStale = true;
}

bool UnitsRepository::deactivate(Unit* unit)
{
    if (!m_activeSince.remove(unit))
        return false;
    m_active.removeOne(unit);
    m_reachIndexStale = true;
    return true;
}

void UnitsRepository::sortInActiveOrder(QVector<Unit*>& units) const
{
    std::sort(units.begin(), units.end(), [this](const Unit* a, const Unit* b) {
        return m_activeSince.value(a) < m_activeSince.value(b);
    });
}

void UnitsRepository::markLost(RondelUnit* unit)
{
    if (m_pending.removeOne(unit))
        m_late.append(unit);
    else if (deactivate(unit))
        m_lost.append(unit);
}

void UnitsRepository::markRestored(RondelUnit* unit)
{
    if (m_lost.removeOne(unit))
        activate(unit);
}

void UnitsRepository::markInitialised(RondelUnit* unit)
{
    if (m_pending.removeOne(unit) || m_late.removeOne(unit))
        activate(unit);
}

void UnitsRepository::finishInitialisation()
{
    m_late += m_pending;
    m_pending.clear();
}

QVector<RondelUnit*> UnitsRepository::rondelUnits() const
{
    QVector<RondelUnit*> result;
    for (Unit* unit : m_configuredOrder) {
        if (auto* rondelUnit = qobject_cast<RondelUnit*>(unit))
            result.append(rondelUnit);
    }
    return result;
}

QVector<Unit*> UnitsRepository::unitsOfRoom(const Room* room) const
{
    QVector<Unit*> result;
    for (Unit* unit : m_configuredByRoom.value(room)) {
        if (isActive(unit))
            result.append(unit);
    }
    sortInActiveOrder(result);
    return result;
}

QVector<Unit*> UnitsRepository::unitsOfWard(const Ward* ward) const
{
    return unitsOfWard(ward, [](const Room*) { return true; });
}

QVector<Unit*> UnitsRepository::unitsOfWard(
    const Ward* ward, const std::function<bool(const Room*)>& roomCriterion) const
{
    QVector<Unit*> result;
    for (Unit* unit : m_active) {
        const Location location = unit->location();
        if (location.ward() == ward && roomCriterion(location.room))
            result.append(unit);
    }
    return result;
}

QVector<CallCapable*> UnitsRepository::receiversOf(const Call& call) const
{
    // A dial call goes by number, to whichever ward.
    if (call.isDC() || !call.source())
        return receiversAmong(m_active, call);
    const ReachIndex& index = reachIndex();
    const Ward* source = call.source()->location().ward();
    QVector<Unit*> candidates = index.others;
    for (const ReachGroup& group : index.groups) {
        if (ConnectedWardsMode::reaches(group.wards, group.ward, source))
            candidates += group.units;
    }
    sortInActiveOrder(candidates);
    return receiversAmong(candidates, call);
}

QVector<CallCapable*> UnitsRepository::receiversAmong(const QVector<Unit*>& units,
                                                      const Call& call) const
{
    QVector<CallCapable*> result;
    for (Unit* unit : units) {
        if (unit->callReceiveMode()->accepts(call))
            result.append(unit);
    }
    return result;
}

const UnitsRepository::ReachIndex& UnitsRepository::reachIndex() const
{
    if (!m_reachIndexStale)
        return m_reachIndex;
    m_reachIndex = ReachIndex();
    QHash<QPair<const Ward*, const Wards*>, int> groupOf;
    for (Unit* unit : m_active) {
        const CallReceiveMode* mode = unit->callReceiveMode();
        // Exactly the normal mode: a mode derived from it may reach further.
        if (mode->metaObject() != &ConnectedWardsMode::staticMetaObject) {
            m_reachIndex.others.append(unit);
            continue;
        }
        const auto* normal = static_cast<const ConnectedWardsMode*>(mode);
        const QPair<const Ward*, const Wards*> key(normal->ownWard(), normal->wards());
        auto it = groupOf.find(key);
        if (it == groupOf.end()) {
            it = groupOf.insert(key, m_reachIndex.groups.size());
            m_reachIndex.groups.append({key.first, key.second, {}});
        }
        m_reachIndex.groups[it.value()].units.append(unit);
    }
    m_reachIndexStale = false;
    return m_reachIndex;
}
