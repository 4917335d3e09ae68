#include "units/settings/languagesettings.h"

#include <QDebug>

LanguageSettings::LanguageSettings(QObject* parent)
    : QObject(parent)
{
}

void LanguageSettings::load(const QVariant& section)
{
    const QVariantMap map = section.toMap();
    const auto core = map.constFind(QStringLiteral("core"));
    if (core == map.constEnd())
        return;
    // Anything but a text says nothing about the language; converting it
    // would switch to Czech.
    if (core->type() != QVariant::String) {
        qWarning() << "Config file - language core is not a text.";
        return;
    }
    const QString text = core->toString();
    m_language = text.compare(QLatin1String("en-US"), Qt::CaseInsensitive) == 0 ? English : Czech;
}

QString LanguageSettings::languageString() const
{
    return m_language == English ? QStringLiteral("en-US") : QStringLiteral("cs-CZ");
}
