#pragma once

#include <QChar>
#include <QMetaType>
#include <QString>

// The text block a display shows for a call, produced by the call's source
// unit when the call is created.
struct CallDisplayInfo
{
    QChar icon = QLatin1Char(' '); // a space: no call to show
    QString ward;
    QString roomNo;
    QString bedNo;
    QString room;
    QString client;

    bool isEmpty() const { return icon == QLatin1Char(' '); }
};

Q_DECLARE_METATYPE(CallDisplayInfo)
