#include "units/settings/calllimitssettings.h"

#include "core/configvalues.h"

CallLimitsSettings::CallLimitsSettings(QObject* parent)
    : QObject(parent)
{
}

void CallLimitsSettings::load(const QVariantMap& section)
{
    m_maxCallDuration = ConfigValues::toInt64(section, QStringLiteral("maxCallDuration"),
                                              DefaultMaxCallDuration);
    m_maxTalkDuration = ConfigValues::toInt64(section, QStringLiteral("maxTalkDuration"),
                                              DefaultMaxTalkDuration);
    m_maxMuteDuration = ConfigValues::toInt64(section, QStringLiteral("maxMuteDuration"),
                                              DefaultMaxMuteDuration);
}
