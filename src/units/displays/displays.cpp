#include "units/displays/displays.h"

#include "core/clock.h"
#include "rondel/rondel.h"
#include "units/settings/languagesettings.h"
#include "units/settings/namedayssettings.h"

namespace {

// Sends what there is to show, or the clear command when there is nothing:
// a unit keeps its last list until told to clear it.
template <typename Content>
void sendOrClear(Rondel* sender, const Content& content, void (Rondel::*show)(const Content&),
                 void (Rondel::*clear)())
{
    if (!sender)
        return;
    if (content.isEmpty())
        (sender->*clear)();
    else
        (sender->*show)(content);
}


int languageOf(const LanguageSettings* settings)
{
    return settings ? settings->language() : int(LanguageSettings::Czech);
}

QString todaysNames(const NamedaysSettings* namedays)
{
    return namedays ? namedays->names(Clock::now().date()) : QString();
}

} // namespace

// ---------------------------------------------------------------- Rasto

DisplayRasto::DisplayRasto(Rondel* sender, LanguageSettings* language, NamedaysSettings* namedays,
                           QObject* parent)
    : Display(parent),
      m_timer(this),
      m_language(language),
      m_sender(sender),
      m_namedays(namedays)
{
    m_timer.setInterval(RefreshInterval);
    connect(&m_timer, &QTimer::timeout, this, &DisplayRasto::sendDateTime);
}

void DisplayRasto::start()
{
    m_timer.start();
    sendLanguage();
    showScreen();
}

void DisplayRasto::refresh()
{
    sendLanguage();
    showScreen();
}

void DisplayRasto::setBacklight(int level)
{
    m_backlight = level;
    sendDateTime();
}

void DisplayRasto::sendLanguage()
{
    if (m_sender)
        m_sender->displayLanguage(languageOf(m_language));
}

void DisplayRasto::showPresences(const QVector<PresenceDisplayInfo>& presences)
{
    m_presences = presences;
    if (m_screen == PresencesScreen && !presences.isEmpty())
        showScreen();
    else
        rechooseScreen();
}

void DisplayRasto::showActiveCalls(const QVector<CallDisplayInfo>& calls)
{
    m_activeCalls = calls;
    if (m_screen == CallsScreen && !calls.isEmpty())
        showScreen();
    else
        rechooseScreen();
}

void DisplayRasto::showMutedCalls(const QVector<CallDisplayInfo>& calls)
{
    m_mutedCalls = calls;
    if (m_screen == PresencesScreen && !calls.isEmpty())
        showScreen();
    else
        rechooseScreen();
}

void DisplayRasto::showTalk(const CallDisplayInfo& talk)
{
    m_talk = talk;
    if (m_screen == TalkScreen && !talk.isEmpty())
        showScreen();
    else
        rechooseScreen();
}

void DisplayRasto::sendDateTime()
{
    if (m_screen != DateTimeScreen || !m_sender)
        return;
    // The name-day files mark some names with a leading "@" that this
    // screen cannot show.
    QString names = todaysNames(m_namedays);
    if (names.startsWith(QLatin1Char('@')))
        names.remove(0, 1);
    m_sender->displayDateTime(m_backlight, names);
}

DisplayRasto::Screen DisplayRasto::chooseScreen() const
{
    if (!m_talk.isEmpty())
        return TalkScreen;
    if (!m_activeCalls.isEmpty())
        return CallsScreen;
    if (!m_presences.isEmpty() || !m_mutedCalls.isEmpty())
        return PresencesScreen;
    return DateTimeScreen;
}

void DisplayRasto::showScreen()
{
    switch (m_screen) {
    case TalkScreen:
        if (m_sender)
            m_sender->displayTalk(m_talk);
        break;
    case CallsScreen:
        if (m_sender)
            m_sender->displayCalls(m_activeCalls);
        break;
    case PresencesScreen:
        if (!m_sender)
            break;
        m_sender->displayPresences(m_presences);
        sendOrClear(m_sender, m_mutedCalls, &Rondel::displayCalls, &Rondel::displayCallsClear);
        break;
    case DateTimeScreen:
        sendDateTime();
        break;
    }
}

void DisplayRasto::rechooseScreen()
{
    if (m_sender) {
        switch (m_screen) {
        case TalkScreen:
            m_sender->displayTalkClear();
            break;
        case CallsScreen:
            m_sender->displayCallsClear();
            break;
        case PresencesScreen:
            m_sender->displayCallsClear();
            m_sender->displayPresencesClear();
            break;
        case DateTimeScreen:
            break;
        }
    }
    m_screen = chooseScreen();
    showScreen();
}

// ---------------------------------------------------------------- Lumo

DisplayLumo::DisplayLumo(Rondel* sender, LanguageSettings* language, QObject* parent)
    : Display(parent),
      m_timer(this),
      m_language(language),
      m_sender(sender)
{
    m_timer.setInterval(RefreshInterval);
    connect(&m_timer, &QTimer::timeout, this, &DisplayLumo::sendDateTime);
}

void DisplayLumo::start()
{
    m_timer.start();
    sendEverything();
}

void DisplayLumo::refresh()
{
    sendEverything();
}

void DisplayLumo::setBacklight(int)
{
    sendDateTime();
}

void DisplayLumo::sendLanguage()
{
    if (m_sender)
        m_sender->displayLanguage(languageOf(m_language));
}

void DisplayLumo::showActiveCalls(const QVector<CallDisplayInfo>& calls)
{
    m_activeCalls = calls;
    sendCalls();
}

void DisplayLumo::sendDateTime()
{
    if (m_sender)
        m_sender->displayDateTime(Backlight, QString());
}

void DisplayLumo::sendEverything()
{
    sendLanguage();
    sendDateTime();
    sendCalls();
}

void DisplayLumo::sendCalls()
{
    sendOrClear(m_sender, m_activeCalls, &Rondel::displayCalls, &Rondel::displayCallsClear);
}

// ---------------------------------------------------------------- Fenno

DisplayFenno::DisplayFenno(Rondel* sender, LanguageSettings* language, NamedaysSettings* namedays,
                           QObject* parent)
    : Display(parent),
      m_timer(this),
      m_language(language),
      m_sender(sender),
      m_namedays(namedays)
{
    m_timer.setInterval(RefreshInterval);
    connect(&m_timer, &QTimer::timeout, this, &DisplayFenno::sendDateTime);
}

void DisplayFenno::start()
{
    m_timer.start();
    sendEverything();
}

void DisplayFenno::refresh()
{
    sendEverything();
}

void DisplayFenno::setBacklight(int level)
{
    m_backlight = level;
    sendDateTime();
}

void DisplayFenno::sendLanguage()
{
    if (m_sender)
        m_sender->displayLanguage(languageOf(m_language));
}

void DisplayFenno::showPresences(const QVector<PresenceDisplayInfo>& presences)
{
    m_presences = presences;
    sendPresences();
}

void DisplayFenno::showWards(const QVector<WardDisplayInfo>& wards)
{
    m_wards = wards;
    sendWards();
}

void DisplayFenno::showCalls(const QVector<CallDisplayInfo>& calls)
{
    m_calls = calls;
    sendCalls();
}

void DisplayFenno::showTalk(const CallDisplayInfo& talk)
{
    m_talk = talk;
    sendTalk();
}

void DisplayFenno::sendDateTime()
{
    // This screen shows the name-day marks itself: the text goes as it is.
    if (m_sender)
        m_sender->displayDateTime(m_backlight, todaysNames(m_namedays));
}

void DisplayFenno::sendEverything()
{
    sendLanguage();
    sendDateTime();
    sendCalls();
    sendPresences();
    sendTalk();
    sendWards();
}

void DisplayFenno::sendCalls()
{
    sendOrClear(m_sender, m_calls, &Rondel::displayCalls, &Rondel::displayCallsClear);
}

void DisplayFenno::sendPresences()
{
    sendOrClear(m_sender, m_presences, &Rondel::displayPresences, &Rondel::displayPresencesClear);
}

void DisplayFenno::sendTalk()
{
    sendOrClear(m_sender, m_talk, &Rondel::displayTalk, &Rondel::displayTalkClear);
}

void DisplayFenno::sendWards()
{
    sendOrClear(m_sender, m_wards, &Rondel::displayWards, &Rondel::displayWardsClear);
}
