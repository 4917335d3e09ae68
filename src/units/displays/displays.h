#pragma once

#include "units/displays/display.h"

#include <QPointer>
#include <QTimer>

class LanguageSettings;
class NamedaysSettings;
class Rondel;

// The display models. Each sends through its unit's command builder and
// repeats date and time every quarter of an hour so the unit's clock does not
// drift; tests shorten that interval with setRefreshInterval().
//
// The sender and the settings are not owned; a model without a sender sends
// nothing, one without settings sends Czech and no name day.

// A one-line screen that shows one thing at a time, the most urgent first:
// the talk, else the active calls, else presences with the muted calls, else
// date and time.
class DisplayRasto : public Display
{
    Q_OBJECT
public:
    enum Screen { DateTimeScreen = 0, PresencesScreen = 1, CallsScreen = 2, TalkScreen = 3 };

    static constexpr int RefreshInterval = 900000;

    DisplayRasto(Rondel* sender, LanguageSettings* language, NamedaysSettings* namedays,
                 QObject* parent = nullptr);

    void start() override;
    void refresh() override;
    void setBacklight(int level) override;
    void sendLanguage() override;
    void showPresences(const QVector<PresenceDisplayInfo>& presences) override;
    void showActiveCalls(const QVector<CallDisplayInfo>& calls) override;
    void showMutedCalls(const QVector<CallDisplayInfo>& calls) override;
    void showTalk(const CallDisplayInfo& talk) override;

    Screen screen() const { return m_screen; }
    int backlight() const { return m_backlight; }
    void setRefreshInterval(int ms) { m_timer.setInterval(ms); }
    // Date and time, only while nothing else is on the screen.
    void sendDateTime();

private:
    Screen chooseScreen() const;
    void showScreen();
    void rechooseScreen();

    Screen m_screen = DateTimeScreen;
    int m_backlight = 100;
    QVector<CallDisplayInfo> m_activeCalls;
    QVector<CallDisplayInfo> m_mutedCalls;
    QVector<PresenceDisplayInfo> m_presences;
    CallDisplayInfo m_talk;
    QTimer m_timer;
    QPointer<LanguageSettings> m_language;
    QPointer<Rondel> m_sender;
    QPointer<NamedaysSettings> m_namedays;
};

// A screen that shows only the active calls beside date and time. It is
// always driven at full brightness: the ward's day/night level does not
// apply to it.
class DisplayLumo : public Display
{
    Q_OBJECT
public:
    static constexpr int RefreshInterval = 900000;
    static constexpr int Backlight = 100;

    DisplayLumo(Rondel* sender, LanguageSettings* language, QObject* parent = nullptr);

    void start() override;
    void refresh() override;
    void setBacklight(int level) override;
    void sendLanguage() override;
    void showActiveCalls(const QVector<CallDisplayInfo>& calls) override;

    void setRefreshInterval(int ms) { m_timer.setInterval(ms); }
    void sendDateTime();

private:
    void sendEverything();
    void sendCalls();

    QVector<CallDisplayInfo> m_activeCalls;
    QTimer m_timer;
    QPointer<LanguageSettings> m_language;
    QPointer<Rondel> m_sender;
};

// A large screen with separate areas for calls, presences, the talk and the
// wards; each area is updated on its own.
class DisplayFenno : public Display
{
    Q_OBJECT
public:
    static constexpr int RefreshInterval = 900000;

    DisplayFenno(Rondel* sender, LanguageSettings* language, NamedaysSettings* namedays,
                 QObject* parent = nullptr);

    void start() override;
    void refresh() override;
    void setBacklight(int level) override;
    void sendLanguage() override;
    void showPresences(const QVector<PresenceDisplayInfo>& presences) override;
    void showWards(const QVector<WardDisplayInfo>& wards) override;
    void showCalls(const QVector<CallDisplayInfo>& calls) override;
    void showTalk(const CallDisplayInfo& talk) override;

    int backlight() const { return m_backlight; }
    void setRefreshInterval(int ms) { m_timer.setInterval(ms); }
    void sendDateTime();

private:
    void sendEverything();
    void sendCalls();
    void sendPresences();
    void sendTalk();
    void sendWards();

    int m_backlight = 100;
    QVector<CallDisplayInfo> m_calls;
    QVector<PresenceDisplayInfo> m_presences;
    CallDisplayInfo m_talk;
    QVector<WardDisplayInfo> m_wards;
    QTimer m_timer;
    QPointer<LanguageSettings> m_language;
    QPointer<Rondel> m_sender;
    QPointer<NamedaysSettings> m_namedays;
};
