#include "units/settings/namedayssettings.h"

#include "core/constants.h"
#include "core/runtimeoptions.h"
#include "core/jsonfile.h"

#include <QStringList>

NamedaysSettings::NamedaysSettings(QObject* parent)
    : QObject(parent)
{
}

QString NamedaysSettings::dayKey(const QDate& date)
{
    return date.toString(QStringLiteral("d.M."));
}

void NamedaysSettings::load(const QString& language)
{
    m_names.clear();
    const QString path =
        systemPath(Constants::NamedaysFolder + language + Constants::NamedaysFileSuffix);
    const QString content = QString::fromUtf8(readFile(path));
    for (const QString& rawLine : content.split(QLatin1Char('\n'))) {
        const QStringList parts = rawLine.trimmed().split(QLatin1Char(';'));
        if (parts.size() != 2)
            continue;
        // Read within a leap year, so that the 29th of February has a day
        // too (a date without a year would be taken in 1900).
        const QDate date = QDate::fromString(parts.at(0).trimmed() + QStringLiteral(" 2000"),
                                             QStringLiteral("d. M. yyyy"));
        if (!date.isValid())
            continue;
        m_names.insert(dayKey(date), parts.at(1).trimmed());
    }
}

QString NamedaysSettings::names(const QDate& date) const
{
    return m_names.value(dayKey(date));
}
