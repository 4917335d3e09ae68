#include "units/settings/backlightsettings.h"

#include "core/configvalues.h"

BacklightSettings::BacklightSettings(QObject* parent)
    : QObject(parent)
{
}

void BacklightSettings::load(const QVariantMap& section)
{
    m_day = ConfigValues::toInt(section, QStringLiteral("day"), DefaultDay);
    m_night = ConfigValues::toInt(section, QStringLiteral("night"), DefaultNight);
}
