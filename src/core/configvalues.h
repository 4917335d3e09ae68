#pragma once

#include <QString>
#include <QVariantMap>

// Reading values of the configuration the way a QVariant converts them: a
// number given as a string is accepted; a value that does not convert counts
// as absent and yields the fallback.
namespace ConfigValues {

int toInt(const QVariantMap& map, const QString& key, int fallback);
qint64 toInt64(const QVariantMap& map, const QString& key, qint64 fallback);
// As toInt, and a number outside [min, max] also yields the fallback, with a
// warning naming the key of its owner (for instance "radio 2").
int toIntInRange(const QVariantMap& map, const QString& key, int fallback, int min, int max,
                 const QString& owner);

} // namespace ConfigValues
