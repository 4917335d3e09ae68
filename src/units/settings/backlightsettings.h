#pragma once

#include <QObject>
#include <QVariant>

// Display backlight levels of day and night mode, from settings "backlight".
class BacklightSettings : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultDay = 100;
    static constexpr int DefaultNight = 20;

    explicit BacklightSettings(QObject* parent = nullptr);

    // A missing or unconvertible level takes its default, not its old value.
    void load(const QVariantMap& section);

    int day() const { return m_day; }
    int night() const { return m_night; }

private:
    int m_day = DefaultDay;
    int m_night = DefaultNight;
};
