// The persistent ward state file: restored into a fixed set of wards, then
// written and read back. Whatever the file held, what the core writes must
// read back to the same state, or a restart would change the wards.

#include "fuzzsupport.h"

#include "app/systemfiles.h"
#include "core/constants.h"
#include "wards/wards.h"

#include <QVariantMap>

namespace {

QVariantList configuredWards()
{
    const auto ward = [](const char* id, const char* group) {
        return QVariantMap{{QStringLiteral("_id"), QString::fromLatin1(id)},
                           {QStringLiteral("name"), QString::fromLatin1(id)},
                           {QStringLiteral("group"), QString::fromLatin1(group)}};
    };
    return {ward("W1", "A"), ward("W2", "A"), ward("W3", "A"), ward("W4", "B"), ward("W5", "")};
}

} // namespace

void fuzzOne(const uint8_t* data, size_t size)
{
    Fuzz::writeSystemFile(Constants::PersistentSettingsFile, Fuzz::bytes(data, size));
    Wards restored;
    restored.load(configuredWards());
    loadPersistentSettings(&restored);
    savePersistentSettings(&restored);

    Wards again;
    again.load(configuredWards());
    loadPersistentSettings(&again);
    Fuzz::check(again.state() == restored.state(), "the written ward state reads back differently");
}
