#include "notifiers/lightsnotifier.h"

#include "calls/calls.h"
#include "units/features/light.h"
#include "units/features/presences.h"
#include "units/registry/units.h"
#include "units/registry/unitsinitializer.h"
#include "units/registry/unitsrepository.h"
#include "units/rondelunit.h"
#include "wards/rooms.h"
#include "wards/wards.h"

LightsNotifier::LightsNotifier(Rooms* rooms, Units* units, Wards* wards, QObject* parent)
    : QObject(parent)
    , m_rooms(rooms)
    , m_units(units)
    , m_wards(wards)
{
    UnitsInitializer* initializer = units->initializer();
    connect(initializer, &UnitsInitializer::unitsInitialized, this,
            &LightsNotifier::updateAllRooms);
    connect(initializer, &UnitsInitializer::unitInitializedLate, this,
            &LightsNotifier::updateRoomOf);
    for (auto signal : {&Units::lostCommunication, &Units::stateRestored, &Units::callsChanged,
                        &Units::talkChanged, &Units::registeredPP, &Units::unregisteredPP,
                        &Units::registeredPS, &Units::unregisteredPS})
        connect(units, signal, this, &LightsNotifier::updateRoomOf);
}

void LightsNotifier::updateAllRooms()
{
    for (const Ward* ward : m_wards->allWards()) {
        for (const Room* room : m_rooms->roomsOfWard(ward))
            updateRoom(room);
    }
}

void LightsNotifier::updateRoom(const Room* room)
{
    setLights(m_units->repository()->unitsOfRoom(room));
}

void LightsNotifier::updateRoomOf(Unit* unit)
{
    // Units whose room is not configured do not share one room: each shows
    // its own state.
    const Room* room = unit->location().room;
    if (room && room != Room::unknownRoom())
        updateRoom(room);
    else if (m_units->repository()->isActive(unit))
        setLights({unit});
}

LightState LightsNotifier::contribution(const Unit* unit)
{
    const Presences* presences = unit->presences();
    const Calls* calls = unit->calls();
    LightState state;
    state.pp = presences->isPPRegistered();
    state.ps = presences->isPSRegistered();
    state.pl = presences->isPLConfigured();
    state.al = calls->hasPendingAL();
    state.vs = calls->hasPendingVSWithPresence();
    state.vp = calls->hasPendingVSWithoutPresence();
    state.vk = calls->hasPendingVK();
    state.nv = calls->hasNVCalls();
    return state;
}

void LightsNotifier::setLights(const QVector<Unit*>& units)
{
    LightState room;
    for (const Unit* unit : units)
        room |= contribution(unit);
    for (Unit* unit : units) {
        if (unit->isRondelUnit())
            static_cast<RondelUnit*>(unit)->light()->setLights(room);
    }
}
