#pragma once

#include <QObject>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

class BacklightSettings;
class CallLimitsSettings;
class LanguageSettings;

// The sections of the configuration file, each empty when missing.
struct ConfigSections
{
    QVariant language;
    QVariant synthesizer;
    QVariant volumes;
    QVariantMap callQueue;
    QVariantMap backlight;
    QVariant wards;
    QVariant rooms;
    QVariant units;
    QVariantList buttons;
    QVariantList radios;
};

// Reads the installation's configuration file and hands each section to the
// object that owns it. The loader owns none of them; a receiver that is not
// set is simply not given its section.
class ConfigLoader : public QObject
{
    Q_OBJECT
public:
    explicit ConfigLoader(QObject* parent = nullptr);

    void setBacklight(BacklightSettings* backlight) { m_backlight = backlight; }
    void setCallLimits(CallLimitsSettings* callLimits) { m_callLimits = callLimits; }
    void setLanguage(LanguageSettings* language) { m_language = language; }

    // First reading, at start-up.
    void load();
    // Later readings; records what changed and emits reloadDone().
    void reload();

    bool languageChanged() const { return m_languageChanged; }
    bool synthesizerChanged() const { return m_synthesizerChanged; }
    bool backlightChanged() const { return m_backlightChanged; }

    // Reads and checks the file, logging a warning for each missing section.
    static ConfigSections readSections();

signals:
    void reloadDone();

private:
    bool m_languageChanged = false;
    bool m_synthesizerChanged = false;
    bool m_backlightChanged = false;

    BacklightSettings* m_backlight = nullptr;
    CallLimitsSettings* m_callLimits = nullptr;
    LanguageSettings* m_language = nullptr;
};
