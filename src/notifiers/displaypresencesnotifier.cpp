#include "notifiers/displaypresencesnotifier.h"

#include "units/displays/display.h"
#include "units/registry/units.h"
#include "units/registry/unitsinitializer.h"
#include "units/registry/unitsrepository.h"
#include "units/unit.h"
#include "wards/wards.h"

DisplayPresencesNotifier::DisplayPresencesNotifier(Units* units, Wards* wards, QObject* parent)
    : QObject(parent)
    , m_units(units)
    , m_wards(wards)
{
    UnitsInitializer* initializer = units->initializer();
    connect(initializer, &UnitsInitializer::unitsInitialized, this,
            &DisplayPresencesNotifier::rebuild);
    connect(initializer, &UnitsInitializer::unitInitializedLate, this,
            &DisplayPresencesNotifier::updateUnit);
    for (auto signal : {&Units::lostCommunication, &Units::stateRestored, &Units::registeredPP,
                        &Units::unregisteredPP, &Units::registeredPS, &Units::unregisteredPS})
        connect(units, signal, this, &DisplayPresencesNotifier::updateUnit);
    connect(wards, &Wards::connectionChanged, this, &DisplayPresencesNotifier::rebuild);
}

PresenceDisplayInfo DisplayPresencesNotifier::presenceInfo(const Unit* unit)
{
    const UnitInfo info = unit->unitInfo();
    PresenceDisplayInfo presence;
    presence.icon = info.presenceIcon;
    presence.ward = info.ward;
    presence.roomNo = info.roomNo;
    presence.bedNo = info.bedNo;
    presence.room = info.room;
    presence.client = info.clientName;
    presence.tlfNo = info.phone;
    return presence;
}

bool DisplayPresencesNotifier::related(const Unit* a, const Unit* b) const
{
    const UnitsRepository* repository = m_units->repository();
    return a != b && repository->isActive(a) && repository->isActive(b) && a->hasPresence()
        && b->hasPresence() && m_wards->areConnected(a->location().ward(), b->location().ward());
}

QVector<Unit*> DisplayPresencesNotifier::unitsJoinedWith(Ward* ward) const
{
    QVector<Unit*> units;
    for (const Ward* joined : m_wards->connectedWith(ward))
        units += m_units->repository()->unitsOfWard(joined);
    return units;
}

void DisplayPresencesNotifier::addPair(Unit* shown, Unit* showing)
{
    QVector<Unit*>& showingUnits = m_shownOn[shown];
    if (showingUnits.contains(showing))
        return;
    showingUnits.append(showing);
    m_showsFrom[showing].append(shown);
}

QVector<Unit*> DisplayPresencesNotifier::addPairsOf(Unit* unit)
{
    QVector<Unit*> relatedUnits;
    for (Unit* other : unitsJoinedWith(unit->location().ward())) {
        if (!related(unit, other))
            continue;
        addPair(unit, other);
        addPair(other, unit);
        relatedUnits.append(other);
    }
    return relatedUnits;
}

void DisplayPresencesNotifier::rebuild()
{
    // Units removed by a reload may still be remembered here: a unit that
    // left the configuration is not touched again.
    QVector<Unit*> refreshed;
    for (auto it = m_showsFrom.cbegin(); it != m_showsFrom.cend(); ++it) {
        if (!it.value().isEmpty() && m_units->repository()->configuredUnits().contains(it.key()))
            refreshed.append(it.key());
    }
    m_shownOn.clear();
    m_showsFrom.clear();
    for (const Ward* ward : m_wards->allWards()) {
        for (Unit* unit : m_units->repository()->unitsOfWard(ward)) {
            if (unit->hasPresence())
                addPairsOf(unit);
        }
    }
    // Those that showed something before and nothing now get an empty list,
    // which clears their view.
    for (auto it = m_showsFrom.cbegin(); it != m_showsFrom.cend(); ++it) {
        if (!refreshed.contains(it.key()))
            refreshed.append(it.key());
    }
    for (Unit* unit : refreshed)
        refresh(unit);
}

void DisplayPresencesNotifier::updateUnit(Unit* unit)
{
    QVector<Unit*> affected{unit};
    for (Unit* shown : m_showsFrom.take(unit)) {
        m_shownOn[shown].removeAll(unit);
        affected.append(shown);
    }
    for (Unit* showing : m_shownOn.take(unit)) {
        m_showsFrom[showing].removeAll(unit);
        affected.append(showing);
    }
    affected += addPairsOf(unit);

    QVector<Unit*> refreshed;
    for (Unit* each : affected) {
        if (refreshed.contains(each))
            continue;
        refreshed.append(each);
        refresh(each);
    }
}

void DisplayPresencesNotifier::refresh(Unit* unit)
{
    QVector<PresenceDisplayInfo> presences;
    for (const Unit* shown : m_showsFrom.value(unit))
        presences.append(presenceInfo(shown));
    unit->display()->showPresences(presences);
}
