#pragma once

#include <QChar>
#include <QMetaType>
#include <QString>

// What a display shows for a call. Filled once by the source unit when the
// call is created.
struct CallDisplayInfo
{
    QChar icon = QLatin1Char(' '); // a space: no call to show
    QString ward;
    QString roomNo;
    QString bedNo;
    QString room;
    QString client;

    bool isEmpty() const { return icon == QLatin1Char(' '); }

    // The icon characters the displays understand; anything else read from
    // the bus becomes a space (no icon).
    static bool isKnownIcon(QChar icon);
    static QChar iconFromBus(QChar icon) { return isKnownIcon(icon) ? icon : QLatin1Char(' '); }

    bool operator==(const CallDisplayInfo& other) const
    {
        return icon == other.icon && ward == other.ward && roomNo == other.roomNo
            && bedNo == other.bedNo && room == other.room && client == other.client;
    }
    bool operator!=(const CallDisplayInfo& other) const { return !(*this == other); }
};

Q_DECLARE_METATYPE(CallDisplayInfo)
