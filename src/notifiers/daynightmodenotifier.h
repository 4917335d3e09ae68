#pragma once

#include <QObject>
#include <QVector>

class BacklightSettings;
class Unit;
class Units;
class Ward;
class Wards;

// Gives every bus unit its ward's day or night mode: the buzzer volume and
// the display backlight follow the ward.
class DayNightModeNotifier : public QObject
{
    Q_OBJECT
public:
    DayNightModeNotifier(BacklightSettings* backlight, Units* units, Wards* wards,
                         QObject* parent = nullptr);

    void updateAllWards();
    void updateWard(const Ward* ward);
    void updateUnit(Unit* unit);

private:
    BacklightSettings* m_backlight;
    Units* m_units;
    Wards* m_wards;
};
