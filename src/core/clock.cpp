#include "core/clock.h"

namespace {
qint64 g_offset = 0;
}

namespace Clock {

QDateTime now()
{
    const QDateTime wall = QDateTime::currentDateTime();
    return g_offset == 0 ? wall : wall.addMSecs(g_offset);
}

qint64 currentMSecsSinceEpoch()
{
    return QDateTime::currentMSecsSinceEpoch() + g_offset;
}

void setOffset(qint64 ms)
{
    g_offset = ms;
}

qint64 offset()
{
    return g_offset;
}

} // namespace Clock
