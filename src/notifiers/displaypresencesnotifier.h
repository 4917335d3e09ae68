#pragma once

#include "rondel/records.h"

#include <QHash>
#include <QObject>
#include <QVector>

class Unit;
class Units;
class Ward;
class Wards;

// Shows, on every unit where staff are present, who is present at the other
// units of its ward and of the wards joined with it. The relation is kept
// both ways so that a change at one unit refreshes exactly the units it
// touches.
class DisplayPresencesNotifier : public QObject
{
    Q_OBJECT
public:
    DisplayPresencesNotifier(Units* units, Wards* wards, QObject* parent = nullptr);

    void rebuild();
    void updateUnit(Unit* unit);

private:
    // The entry a display shows for the presence at a unit.
    static PresenceDisplayInfo presenceInfo(const Unit* unit);
    bool related(const Unit* a, const Unit* b) const;
    // The units whose presences may be shown together with those of the ward.
    QVector<Unit*> unitsJoinedWith(Ward* ward) const;
    // Enters the unit's pairs with every unit related to it; returns those units.
    QVector<Unit*> addPairsOf(Unit* unit);
    void addPair(Unit* shown, Unit* showing);
    void refresh(Unit* unit);

    Units* m_units;
    Wards* m_wards;
    // unit with a presence -> units that show it
    QHash<Unit*, QVector<Unit*>> m_shownOn;
    // unit -> units whose presences it shows
    QHash<Unit*, QVector<Unit*>> m_showsFrom;
};
