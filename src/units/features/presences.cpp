#include "units/features/presences.h"

#include "units/unit.h"

#include <QVariantMap>

Presences::Presences(Unit* unit, QObject* parent)
    : QObject(parent)
    , m_unit(unit)
{
}

void Presences::load(const QVariant& value)
{
    const QVariantMap map = value.toMap();
    m_configuredPP = map.value(QStringLiteral("pp")).toBool();
    m_configuredPS = map.value(QStringLiteral("ps")).toBool();
    m_configuredPL = map.value(QStringLiteral("pl")).toBool();
}

int Presences::reload(const QVariant& value)
{
    const bool pp = m_configuredPP;
    const bool ps = m_configuredPS;
    const bool pl = m_configuredPL;
    load(value);
    return pp != m_configuredPP || ps != m_configuredPS || pl != m_configuredPL ? Restart
                                                                                 : NoChange;
}

void Presences::statusReceived(const Command& command)
{
    // Models without presence buttons keep what is configured for them.
    if (m_unit && !m_unit->reportsPresenceStatus())
        return;
    const PresenceStatus status = command.record<PresenceStatus>();
    const bool ppChanged = status.pp != m_registeredPP;
    const bool psChanged = status.ps != m_registeredPS;
    applyStatus(status);
    if (ppChanged) {
        if (m_registeredPP)
            emit registeredPP();
        else
            emit unregisteredPP();
    }
    if (psChanged) {
        if (m_registeredPS)
            emit registeredPS();
        else
            emit unregisteredPS();
    }
}

void Presences::applyStatus(const PresenceStatus& status)
{
    m_registeredPP = status.pp;
    m_registeredPS = status.ps;
}

bool Presences::mode() const
{
    return m_unit && m_unit->usesPresenceMode();
}

bool Presences::isPPRegistered() const
{
    return m_registeredPP || modePP();
}

bool Presences::isPSRegistered() const
{
    return m_registeredPS || modePS();
}

bool Presences::isPLConfigured() const
{
    return mode() && m_configuredPL;
}

bool Presences::hasPresence() const
{
    return isPPRegistered() || isPSRegistered() || isPLConfigured();
}

QChar Presences::presenceIcon() const
{
    if (isPLConfigured())
        return QLatin1Char('L');
    if (isPSRegistered())
        return QLatin1Char('S');
    if (isPPRegistered())
        return QLatin1Char('X');
    return QLatin1Char(' ');
}

bool Presences::modePP() const
{
    return mode() && m_configuredPP;
}

bool Presences::modePS() const
{
    return mode() && m_configuredPS;
}
