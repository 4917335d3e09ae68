#include "notifiers/daynightmodenotifier.h"

#include "units/displays/display.h"
#include "units/features/buzzer.h"
#include "units/registry/units.h"
#include "units/registry/unitsinitializer.h"
#include "units/registry/unitsrepository.h"
#include "units/rondelunit.h"
#include "units/settings/backlightsettings.h"
#include "wards/wards.h"

DayNightModeNotifier::DayNightModeNotifier(BacklightSettings* backlight, Units* units,
                                           Wards* wards, QObject* parent)
    : QObject(parent)
    , m_backlight(backlight)
    , m_units(units)
    , m_wards(wards)
{
    UnitsInitializer* initializer = units->initializer();
    connect(initializer, &UnitsInitializer::unitsInitialized, this,
            &DayNightModeNotifier::updateAllWards);
    connect(initializer, &UnitsInitializer::unitInitializedLate, this,
            &DayNightModeNotifier::updateUnit);
    connect(units, &Units::stateRestored, this, &DayNightModeNotifier::updateUnit);
    connect(wards, &Wards::dayNightModeChanged, this, [this](const QVector<Ward*>& changed) {
        for (const Ward* ward : changed)
            updateWard(ward);
    });
}

void DayNightModeNotifier::updateAllWards()
{
    for (const Ward* ward : m_wards->allWards())
        updateWard(ward);
}

void DayNightModeNotifier::updateWard(const Ward* ward)
{
    for (Unit* unit : m_units->repository()->unitsOfWard(ward))
        updateUnit(unit);
}

void DayNightModeNotifier::updateUnit(Unit* unit)
{
    // Only bus units have a buzzer and a screen whose light can be dimmed.
    if (!unit->isRondelUnit())
        return;
    const int mode = unit->location().ward()->mode();
    static_cast<RondelUnit*>(unit)->buzzer()->setVolume(mode);
    unit->display()->setBacklight(mode == Ward::Night ? m_backlight->night() : m_backlight->day());
}
