#pragma once

#include <QString>
#include <QVariant>

// How much a configuration reload changed for a unit: nothing, something
// the unit only needs to show again, or something it must restart for.
enum ChangeLevel { NoChange = 0, Refresh = 1, Restart = 2 };

// A setting object of one unit, filled from the key name() of the unit's
// configuration entry.
class UnitSettings
{
public:
    virtual ~UnitSettings() = default;

    virtual QString name() const { return QString(); }
    virtual void load(const QVariant& value) { Q_UNUSED(value) }
    // Returns a ChangeLevel.
    virtual int reload(const QVariant& value)
    {
        Q_UNUSED(value)
        return NoChange;
    }
};
