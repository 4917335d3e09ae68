#include "units/firmwareversion.h"

#include <QStringList>

FirmwareVersion FirmwareVersion::parse(const QString& text)
{
    const QStringList parts = text.left(5).split(QLatin1Char('.'));
    if (parts.size() != 2)
        return FirmwareVersion();
    // A part that is not a number counts as 0.
    return FirmwareVersion(parts.at(0).trimmed().toInt(), parts.at(1).trimmed().toInt());
}
