#pragma once

#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

class BacklightSettings;
class CallLimitsSettings;
class LanguageSettings;
class NamedaysSettings;
class NVSettings;
class RadiosSettings;
class Rooms;
class Synthesizer;
class TalkVolumes;
class Units;
class Wards;

// The sections of the configuration file, each empty when missing.
struct ConfigSections
{
    QVariant language;
    QVariant synthesizer;
    QVariant volumes;
    QVariantMap callQueue;
    QVariantMap backlight;
    QVariantList wards;
    QVariantList rooms;
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
    void setNamedays(NamedaysSettings* namedays) { m_namedays = namedays; }
    void setNV(NVSettings* nv) { m_nv = nv; }
    void setRadios(RadiosSettings* radios) { m_radios = radios; }
    void setRooms(Rooms* rooms) { m_rooms = rooms; }
    void setSynthesizer(Synthesizer* synthesizer) { m_synthesizer = synthesizer; }
    void setTalkVolumes(TalkVolumes* talkVolumes) { m_talkVolumes = talkVolumes; }
    void setUnits(Units* units) { m_units = units; }
    void setWards(Wards* wards) { m_wards = wards; }

    // First reading, at start-up.
    void load();
    // Later readings; records what changed and emits reloadDone().
    void reload();

    bool languageChanged() const { return m_languageChanged; }
    bool synthesizerChanged() const { return m_synthesizerChanged; }
    bool backlightChanged() const { return m_backlightChanged; }

    // Reads and checks the file, logging a warning for each missing section.
    static ConfigSections readSections();
    // The sections of a configuration already read; each missing one adds
    // its warning line to missing, in the order they are checked.
    static ConfigSections sections(const QVariantMap& config, QStringList* missing);

signals:
    void reloadDone();

private:
    bool m_languageChanged = false;
    bool m_synthesizerChanged = false;
    bool m_backlightChanged = false;

    Rooms* m_rooms = nullptr;
    Synthesizer* m_synthesizer = nullptr;
    TalkVolumes* m_talkVolumes = nullptr;
    Units* m_units = nullptr;
    Wards* m_wards = nullptr;
    BacklightSettings* m_backlight = nullptr;
    CallLimitsSettings* m_callLimits = nullptr;
    LanguageSettings* m_language = nullptr;
    // Held for completeness: the name days are loaded by the application.
    NamedaysSettings* m_namedays = nullptr;
    NVSettings* m_nv = nullptr;
    RadiosSettings* m_radios = nullptr;
};
