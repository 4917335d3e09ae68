#pragma once

#include "rondel/records.h"

#include <QObject>

class Room;
class Rooms;
class Unit;
class Units;
class Wards;

// The lights of a room show the room as a whole: every light module in it
// burns for the calls and presences of any unit of the room.
class LightsNotifier : public QObject
{
    Q_OBJECT
public:
    LightsNotifier(Rooms* rooms, Units* units, Wards* wards, QObject* parent = nullptr);

    void updateAllRooms();
    void updateRoom(const Room* room);

private:
    void updateRoomOf(Unit* unit);
    // What one unit adds to the lights of its room.
    static LightState contribution(const Unit* unit);
    void setLights(const QVector<Unit*>& units);

    Rooms* m_rooms;
    Units* m_units;
    Wards* m_wards;
};
