#include "calls/callenums.h"

QString callTypeName(CallType type)
{
    switch (type) {
    case CallType::DC: return QStringLiteral("DC");
    case CallType::PA: return QStringLiteral("PA");
    case CallType::VK: return QStringLiteral("VK");
    case CallType::VS: return QStringLiteral("VS");
    case CallType::NV: return QStringLiteral("NV");
    case CallType::AL: return QStringLiteral("AL");
    case CallType::None: break;
    }
    return QStringLiteral("None");
}

QString callStateName(CallState state)
{
    switch (state) {
    case CallState::Ringing: return QStringLiteral("Ringing");
    case CallState::Connected: return QStringLiteral("Connected");
    case CallState::ConnectedMuted: return QStringLiteral("ConnectedMuted");
    case CallState::Muted: return QStringLiteral("Muted");
    case CallState::Finished: return QStringLiteral("Finished");
    case CallState::New: break;
    }
    return QStringLiteral("New");
}

QString endTypeName(EndType endType)
{
    switch (endType) {
    case EndType::Canceled: return QStringLiteral("Canceled");
    case EndType::Presence: return QStringLiteral("Presence");
    case EndType::Unregister: return QStringLiteral("Unregister");
    case EndType::HangUp: return QStringLiteral("HangUp");
    case EndType::Timeout: return QStringLiteral("Timeout");
    case EndType::ManuallyRemoved: return QStringLiteral("ManuallyRemoved");
    case EndType::NoValidTargets: return QStringLiteral("NoValidTargets");
    case EndType::TargetBusy: return QStringLiteral("TargetBusy");
    case EndType::LostCommunication: return QStringLiteral("LostCommunication");
    case EndType::MovedBetweenUnits: return QStringLiteral("MovedBetweenUnits");
    case EndType::UnitDeleted: return QStringLiteral("UnitDeleted");
    case EndType::ConfigChanged: return QStringLiteral("ConfigChanged");
    case EndType::None: break;
    }
    return QStringLiteral("None");
}

QChar callTypeDisplayLetter(CallType type)
{
    switch (type) {
    case CallType::DC:
    case CallType::PA:
    case CallType::VS:
        return QLatin1Char('P');
    case CallType::VK: return QLatin1Char('T');
    case CallType::NV: return QLatin1Char('N');
    case CallType::AL: return QLatin1Char('A');
    case CallType::None: break;
    }
    return QLatin1Char(' ');
}

CallType callTypeFromCode(const QString& code)
{
    if (code == QLatin1String("DC"))
        return CallType::DC;
    if (code == QLatin1String("PA"))
        return CallType::PA;
    if (code == QLatin1String("AL"))
        return CallType::AL;
    if (code == QLatin1String("VS") || code == QLatin1String("VSM"))
        return CallType::VS;
    if (code == QLatin1String("VK") || code == QLatin1String("VKM"))
        return CallType::VK;
    if (code.startsWith(QLatin1String("NV")) || code.startsWith(QLatin1String("BT")))
        return CallType::NV;
    return CallType::VS;
}
