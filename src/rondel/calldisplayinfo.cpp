#include "rondel/calldisplayinfo.h"

bool CallDisplayInfo::isKnownIcon(QChar icon)
{
    static const QString known = QStringLiteral("AELNOPSTUVXaenoptv");
    return !icon.isNull() && known.contains(icon);
}
