#pragma once

#include <QDateTime>

// The one source of "now" for call identities, timestamps and time limits.
// Tests move it with setOffset() instead of waiting for real time to pass.
namespace Clock {

QDateTime now();
qint64 currentMSecsSinceEpoch();

// Shifts every later reading by the given milliseconds (0 restores the
// wall clock).
void setOffset(qint64 ms);
qint64 offset();

} // namespace Clock
