#pragma once

#include "wards/room.h"

// Where a unit is: its room (and through it the ward) and the bed number
// within the room (0 when the unit belongs to no bed).
struct Location
{
    Room* room = Room::unknownRoom();
    qint32 bed = 0;

    Ward* ward() const { return room ? room->ward() : Ward::unknownWard(); }
};
