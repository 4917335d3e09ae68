#pragma once

#include <QChar>
#include <QString>

// What the reporters publish about a unit: who and where it is.
struct UnitInfo
{
    QChar presenceIcon = QLatin1Char(' ');
    QString ward;
    QString roomNo;
    QString bedNo; // empty when the unit belongs to no bed
    QString room;
    QString clientName;
    QString phone;

    bool operator==(const UnitInfo& other) const
    {
        return presenceIcon == other.presenceIcon && ward == other.ward && roomNo == other.roomNo
            && bedNo == other.bedNo && room == other.room && clientName == other.clientName
            && phone == other.phone;
    }
    bool operator!=(const UnitInfo& other) const { return !(*this == other); }
};
