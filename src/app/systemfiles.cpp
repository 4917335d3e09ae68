#include "app/systemfiles.h"

#include "core/constants.h"
#include "core/runtimeoptions.h"
#include "core/jsonfile.h"
#include "synthesizer/synthesizer.h"
#include "units/settings/languagesettings.h"
#include "wards/wards.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const QString WardsKey = QStringLiteral("wards");
}

void loadPersistentSettings(Wards* wards)
{
    const QString path = systemPath(Constants::PersistentSettingsFile);
    // A kill between the save's link and rename leaves its temporary file
    // beside the state; nothing else writes there, so they would pile up.
    const QFileInfo file(path);
    for (const QFileInfo& stale :
         file.dir().entryInfoList({file.fileName() + QStringLiteral(".??????")}, QDir::Files | QDir::Hidden))
        QFile::remove(stale.filePath());
    if (!QFile::exists(path)) {
        qWarning() << "PersistentSettings file doesn't exist.";
        return;
    }
    QVariantMap settings;
    try {
        settings = readJsonFile(path);
    } catch (int) {
        qWarning() << "PersistentSettings file is not valid.";
        return;
    }
    if (!settings.contains(WardsKey)) {
        qWarning() << "PersistentSettings file - wards missing.";
        return;
    }
    wards->restoreState(settings.value(WardsKey).toList());
}

void savePersistentSettings(const Wards* wards)
{
    const QString path = systemPath(Constants::PersistentSettingsFile);
    // The folder may not exist yet on a freshly installed controller.
    QDir().mkpath(QFileInfo(path).absolutePath());
    writeJsonFile(path, QVariantMap{{WardsKey, wards->state()}});
}

void loadAssemblemsgConfig(Synthesizer* synthesizer, const LanguageSettings* language)
{
    QVariantMap config;
    try {
        config = readJsonFile(systemPath(Constants::AssemblemsgConfigFile));
    } catch (int) {
        qWarning() << "Assemblemsg config file is not valid.";
    }
    synthesizer->checkLanguages(config, language->languageString());
}
