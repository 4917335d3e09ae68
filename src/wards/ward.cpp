#include "wards/ward.h"

Ward::Ward(const QString& id, QObject* parent)
    : QObject(parent),
      m_id(id)
{
}

Ward* Ward::unknownWard()
{
    static Ward* const ward = [] {
        auto* placeholder = new Ward(QStringLiteral("none"));
        placeholder->setName(QStringLiteral("Unknown ward"));
        return placeholder;
    }();
    return ward;
}

QString Ward::modeName(int mode)
{
    switch (mode) {
    case Day: return QStringLiteral("Day");
    case Night: return QStringLiteral("Night");
    default: return QStringLiteral("NotSet");
    }
}

int Ward::modeFromName(const QString& name)
{
    if (name.compare(QLatin1String("Day"), Qt::CaseInsensitive) == 0)
        return Day;
    if (name.compare(QLatin1String("Night"), Qt::CaseInsensitive) == 0)
        return Night;
    return NotSet;
}
