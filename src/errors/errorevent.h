#pragma once

#include <QDateTime>
#include <QHostAddress>
#include <QMetaType>
#include <QString>
#include <QtGlobal>

// An operator-visible error condition of a unit, from its start to its end.
struct ErrorEvent
{
    enum Type { SBus = 0, Rondel = 1 };

    qint64 id = 0;      // milliseconds since the epoch of its start, unique in the process
    QHostAddress ip;
    int type = Rondel;
    QDateTime start;
    QDateTime end;      // null while the condition lasts

    bool isActive() const { return end.isNull(); }
    // "Rondel" for a communication error, "SBus" for every other type.
    QString typeName() const;

    bool operator==(const ErrorEvent& other) const { return id == other.id; }
    bool operator!=(const ErrorEvent& other) const { return id != other.id; }
};

Q_DECLARE_METATYPE(ErrorEvent)
