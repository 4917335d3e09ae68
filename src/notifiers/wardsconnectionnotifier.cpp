#include "notifiers/wardsconnectionnotifier.h"

#include "units/displays/display.h"
#include "units/registry/units.h"
#include "units/registry/unitsinitializer.h"
#include "units/registry/unitsrepository.h"
#include "units/unit.h"
#include "wards/wards.h"

WardsConnectionNotifier::WardsConnectionNotifier(Units* units, Wards* wards, QObject* parent)
    : QObject(parent)
    , m_units(units)
    , m_wards(wards)
{
    const auto updateWardOf = [this](Unit* unit) { updateWard(unit->location().ward()); };
    UnitsInitializer* initializer = units->initializer();
    connect(initializer, &UnitsInitializer::unitsInitialized, this,
            &WardsConnectionNotifier::updateAllWards);
    connect(initializer, &UnitsInitializer::unitInitializedLate, this, updateWardOf);
    connect(units, &Units::stateRestored, this, updateWardOf);
    connect(wards, &Wards::connectionChanged, this, [this](const QVector<Ward*>& changed) {
        for (const Ward* ward : changed)
            updateWard(ward);
    });
}

void WardsConnectionNotifier::updateAllWards()
{
    for (const Ward* ward : m_wards->allWards())
        updateWard(ward);
}

void WardsConnectionNotifier::updateWard(const Ward* ward)
{
    const QVector<WardDisplayInfo> list = wardsToShow(ward);
    for (Unit* unit : m_units->repository()->unitsOfWard(ward))
        unit->display()->showWards(list);
}

QVector<WardDisplayInfo> WardsConnectionNotifier::wardsToShow(const Ward* ward) const
{
    QVector<WardDisplayInfo> list;
    if (ward->isUnknown())
        return list;
    for (const Ward* member : m_wards->wardsInGroup(ward->group())) {
        if (!member->isUnknown())
            list.append({member->id(), member->name(), member->isConnected()});
    }
    return list;
}
