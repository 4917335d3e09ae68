#pragma once

#include <QDateTime>

// The one source of "now" for call identities, timestamps and time limits.
// Tests move it with setOffset() instead of waiting for real time to pass.
namespace Clock {

QDateTime now();
qint64 currentMSecsSinceEpoch();

// Local time conversions read the zone once instead of on every call.
// While TZ is unset, the C library checks the zone file again for each
// conversion, and every timestamp of the bus traffic log pays a file-system
// lookup for it. Naming the file in TZ makes it read once; its rules hold
// every daylight-saving change, so local times stay right across them. A TZ
// given by whoever started the process is left as it is.
void pinLocalTimeZone(const QString& zoneFile = QStringLiteral("/etc/localtime"));
// Reads the pinned zone file again if it changed (an administrator set
// another zone); cheap enough for a periodic timer. No effect unless pinned.
void refreshLocalTimeZone();
// How often the daemon calls refreshLocalTimeZone().
constexpr int TimeZoneRefreshInterval = 60000;

// Shifts every later reading by the given milliseconds (0 restores the
// wall clock).
void setOffset(qint64 ms);
qint64 offset();

} // namespace Clock
