#include "core/configvalues.h"

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

} // namespace ConfigValues
