#include "core/configvalues.h"

#include <QDebug>

#include <cmath>

namespace ConfigValues {

int toInt(const QVariantMap& map, const QString& key, int fallback)
{
    const auto it = map.constFind(key);
    if (it == map.constEnd())
        return fallback;
    bool ok = false;
    const int value = it->toInt(&ok);
    return ok ? value : fallback;
}

qint64 toInt64(const QVariantMap& map, const QString& key, qint64 fallback)
{
    const auto it = map.constFind(key);
    if (it == map.constEnd())
        return fallback;
    bool ok = false;
    const qint64 value = it->toLongLong(&ok);
    return ok ? value : fallback;
}

int toIntInRange(const QVariantMap& map, const QString& key, int fallback, int min, int max,
                 const QString& owner)
{
    const auto it = map.constFind(key);
    if (it == map.constEnd())
        return fallback;
    // JSON numbers arrive as doubles; compare them before any conversion,
    // which would overflow on a huge value.
    bool ok = false;
    const double value = it->toDouble(&ok);
    if (!ok || std::isnan(value))
        return fallback;
    if (value < min || value > max) {
        qWarning() << QStringLiteral("Config file - %1 %2 %3 is out of range, %4 used")
                          .arg(owner, key, it->toString())
                          .arg(fallback);
        return fallback;
    }
    return it->toInt();
}

} // namespace ConfigValues
