#pragma once

#include "rondel/records.h"

#include <QObject>
#include <QVector>

class Unit;
class Units;
class Ward;
class Wards;

// Shows on the units of a ward which wards of its group are connected, so
// that staff see whose calls they share.
class WardsConnectionNotifier : public QObject
{
    Q_OBJECT
public:
    WardsConnectionNotifier(Units* units, Wards* wards, QObject* parent = nullptr);

    void updateAllWards();
    void updateWard(const Ward* ward);

private:
    // The wards of the ward's group with their connection; none for the
    // placeholder ward, which belongs to no group.
    QVector<WardDisplayInfo> wardsToShow(const Ward* ward) const;

    Units* m_units;
    Wards* m_wards;
};
