#pragma once

#include <QString>

// A unit's firmware version as major.minor, compared major first.
struct FirmwareVersion
{
    qint32 major = 0;
    qint32 minor = 0;

    FirmwareVersion() = default;
    FirmwareVersion(qint32 majorVersion, qint32 minorVersion)
        : major(majorVersion)
        , minor(minorVersion)
    {
    }

    // Reads the first five characters of a reported version ("02.17" gives
    // 2.17); anything that does not split into exactly two parts at the dot
    // gives 0.0, the oldest firmware, so no newer feature is assumed.
    static FirmwareVersion parse(const QString& text);

    bool operator==(const FirmwareVersion& other) const
    {
        return major == other.major && minor == other.minor;
    }
    bool operator!=(const FirmwareVersion& other) const { return !(*this == other); }
    bool operator<(const FirmwareVersion& other) const
    {
        return major != other.major ? major < other.major : minor < other.minor;
    }
    bool operator>(const FirmwareVersion& other) const { return other < *this; }
    bool operator<=(const FirmwareVersion& other) const { return !(other < *this); }
    bool operator>=(const FirmwareVersion& other) const { return !(*this < other); }

    QString toString() const { return QStringLiteral("%1.%2").arg(major).arg(minor); }
};
