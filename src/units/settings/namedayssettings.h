#pragma once

#include <QDate>
#include <QHash>
#include <QObject>
#include <QString>

// Names celebrated on each day of the year, from the name-day file of the
// configured language.
class NamedaysSettings : public QObject
{
    Q_OBJECT
public:
    explicit NamedaysSettings(QObject* parent = nullptr);

    // Replaces the table with the file of language ("cs-CZ", "en-US"); a
    // missing file leaves the table empty.
    void load(const QString& language);

    // Empty when the day has no entry.
    QString names(const QDate& date) const;

    // The table key of a date: day and month without leading zeros, "1.1.".
    static QString dayKey(const QDate& date);
    int count() const { return m_names.size(); }

private:
    QHash<QString, QString> m_names;
};
