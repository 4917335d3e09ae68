#include "config/configloader.h"

#include "core/constants.h"
#include "core/runtimeoptions.h"
#include "calls/talkvolumes.h"
#include "core/jsonfile.h"
#include "synthesizer/synthesizer.h"
#include "units/settings/backlightsettings.h"
#include "units/settings/calllimitssettings.h"
#include "units/settings/languagesettings.h"
#include "units/settings/nvsettings.h"
#include "units/registry/units.h"
#include "units/settings/radiossettings.h"
#include "wards/rooms.h"
#include "wards/wards.h"

#include <QDebug>
#include <QFile>

namespace {

const char* const Separator = "==========================================";

// Each missing key gives its line; the value is handed on empty.
QVariant section(const QVariantMap& map, const QString& key, const char* missingLine,
                 QStringList* missingLines)
{
    const auto it = map.constFind(key);
    if (it == map.constEnd()) {
        missingLines->append(QString::fromLatin1(missingLine));
        return QVariant();
    }
    return *it;
}

} // namespace

ConfigLoader::ConfigLoader(QObject* parent)
    : QObject(parent)
{
}

ConfigSections ConfigLoader::readSections()
{
    const QString path = systemPath(Constants::ConfigFile);
    if (!QFile::exists(path))
        qWarning() << "Config file doesn't exist.";

    QVariantMap config;
    try {
        config = readJsonFile(path);
    } catch (int) {
        qWarning() << "Config file is not valid.";
    }

    QStringList missingLines;
    const ConfigSections result = sections(config, &missingLines);
    for (const QString& line : qAsConst(missingLines))
        qWarning().noquote() << line;
    return result;
}

ConfigSections ConfigLoader::sections(const QVariantMap& config, QStringList* missing)
{
    ConfigSections sections;
    const QVariantMap settings =
        section(config, QStringLiteral("settings"), "Config file - settings missing.", missing)
            .toMap();
    sections.language =
        section(settings, QStringLiteral("language"), "Config file - language missing.", missing);
    sections.synthesizer = section(settings, QStringLiteral("synthesizer"),
                                   "Config file - synthesizer missing.", missing);
    sections.volumes =
        section(settings, QStringLiteral("volumes"), "Config file - volumes missing.", missing);
    sections.callQueue = section(settings, QStringLiteral("callQueue"),
                                 "Config file - callqueue missing.", missing)
                             .toMap();
    sections.backlight = section(settings, QStringLiteral("backlight"),
                                 "Config file - backlight missing.", missing)
                             .toMap();
    sections.wards =
        section(config, QStringLiteral("wards"), "Config file - wards missing.", missing).toList();
    sections.rooms =
        section(config, QStringLiteral("rooms"), "Config file - rooms missing.", missing).toList();
    sections.units = section(config, QStringLiteral("units"), "Config file - units missing.", missing);
    sections.buttons =
        section(config, QStringLiteral("buttons"), "Config file - buttons missing.", missing)
            .toList();
    sections.radios =
        section(config, QStringLiteral("radios"), "Config file - radios missing.", missing)
            .toList();
    return sections;
}

void ConfigLoader::load()
{
    qDebug() << Separator;
    qDebug() << "== Loading configuration ...";
    const ConfigSections sections = readSections();

    // The order matters: wards before rooms (a room names its ward) and
    // rooms before units (a unit names its room).
    if (m_language)
        m_language->load(sections.language);
    if (m_synthesizer)
        m_synthesizer->loadSettings(sections.synthesizer);
    if (m_talkVolumes)
        m_talkVolumes->load(sections.volumes);
    if (m_callLimits)
        m_callLimits->load(sections.callQueue);
    if (m_backlight)
        m_backlight->load(sections.backlight);
    if (m_nv)
        m_nv->loadButtons(sections.buttons);
    if (m_wards)
        m_wards->load(sections.wards);
    if (m_rooms)
        m_rooms->load(sections.rooms);
    if (m_units)
        m_units->loadUnits(sections.units);
    if (m_radios)
        m_radios->load(sections.radios);
}

void ConfigLoader::reload()
{
    qDebug() << Separator;
    qDebug() << "== Reloading configuration ...";
    m_languageChanged = false;
    m_synthesizerChanged = false;
    m_backlightChanged = false;

    const ConfigSections sections = readSections();

    if (m_language) {
        const int before = m_language->language();
        m_language->load(sections.language);
        m_languageChanged = m_language->language() != before;
    }

    if (m_synthesizer) {
        const int before = m_synthesizer->type();
        m_synthesizer->loadSettings(sections.synthesizer);
        m_synthesizerChanged = m_synthesizer->type() != before;
    }

    if (m_talkVolumes)
        m_talkVolumes->load(sections.volumes);

    if (m_backlight) {
        const int day = m_backlight->day();
        const int night = m_backlight->night();
        m_backlight->load(sections.backlight);
        m_backlightChanged = m_backlight->day() != day || m_backlight->night() != night;
    }

    if (m_callLimits)
        m_callLimits->load(sections.callQueue);

    // The buttons before the units: a changed button restarts every unit.
    if (m_radios) {
        m_radios->reload(sections.radios);
        if (m_units)
            m_units->setReloadRadiosChanged(m_radios->isChanged());
    }
    if (m_nv)
        m_nv->reloadButtons(sections.buttons);

    // Wards before rooms: a room's ward is looked up in the new wards.
    if (m_wards)
        m_wards->reload(sections.wards);
    if (m_rooms)
        m_rooms->reload(sections.rooms);
    // Units last: a unit names its room, and a changed room may restart it.
    if (m_units)
        m_units->reloadUnits(sections.units);

    emit reloadDone();
}
