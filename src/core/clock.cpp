#include "core/clock.h"

#include <QFileInfo>

#include <cstdlib>
#include <ctime>

namespace {
qint64 g_offset = 0;
// The zone file named in TZ by pinLocalTimeZone(), empty while not pinned.
QByteArray g_zoneFile;

void setZone(const QByteArray& path)
{
    // A leading colon: a file, never a POSIX rule text.
    setenv("TZ", (":" + path).constData(), 1);
    tzset();
}
} // namespace

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

void pinLocalTimeZone(const QString& zoneFile)
{
    if (g_zoneFile.isEmpty() && qEnvironmentVariableIsSet("TZ"))
        return;
    g_zoneFile = QFileInfo(zoneFile).absoluteFilePath().toLocal8Bit();
    setZone(g_zoneFile);
}

void refreshLocalTimeZone()
{
    if (g_zoneFile.isEmpty())
        return;
    // The C library reads the zone again only when the text of TZ changes,
    // and then skips the reading when the file's identity and time stamp
    // are unchanged. Naming the same file another way forces the check.
    const int slash = g_zoneFile.lastIndexOf('/');
    setZone(g_zoneFile.left(slash) + "/." + g_zoneFile.mid(slash));
    setZone(g_zoneFile);
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
