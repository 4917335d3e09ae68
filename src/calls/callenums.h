#pragma once

#include <QChar>
#include <QMetaType>
#include <QString>

// Kind of a call; one bit each, and the numeric value is also the call's
// priority: a higher value is shown first.
enum class CallType : qint32 {
    None = 0,
    DC = 1,
    PA = 2,
    VK = 4,
    VS = 8,
    NV = 16,
    AL = 32,
};

enum class CallState : qint32 {
    New = 0,
    Ringing = 1,
    Connected = 2,
    ConnectedMuted = 3,
    Muted = 4,
    Finished = 5,
};

// Why a call ended.
enum class EndType : qint32 {
    None = 0,
    Canceled = 1,
    Presence = 2,
    Unregister = 3,
    HangUp = 4,
    Timeout = 5,
    ManuallyRemoved = 6,
    NoValidTargets = 7,
    TargetBusy = 8,
    LostCommunication = 9,
    MovedBetweenUnits = 10,
    UnitDeleted = 11,
    ConfigChanged = 12,
};

// Names as they appear in logs and MQTT payloads; unknown values give
// "None" (types, end types) or "New" (states).
QString callTypeName(CallType type);
QString callStateName(CallState state);
QString endTypeName(EndType endType);

// The default display icon of a call of this type.
QChar callTypeDisplayLetter(CallType type);

// The type of a call raised with a bus call code ("VS", "VKM", "NV3",
// "BT...", "DC", "PA", "AL"). Unknown codes are treated as a plain patient
// call so that nothing a unit raises goes unnoticed.
CallType callTypeFromCode(const QString& code);

Q_DECLARE_METATYPE(CallType)
Q_DECLARE_METATYPE(CallState)
Q_DECLARE_METATYPE(EndType)
