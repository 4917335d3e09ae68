#include "core/clock.h"
#include "calls/calls.h"
#include "rondel/rondel.h"
#include "support/fakecallcapable.h"
#include "support/temproot.h"
#include "support/unitbus.h"
#include "units/displays/displays.h"
#include "units/settings/languagesettings.h"
#include "units/settings/namedayssettings.h"

#include <QtTest>

#include <memory>
#include <utility>

namespace {

const QHostAddress UnitIp(QStringLiteral("127.0.0.2"));

QString dateTime(int level, const QString& name = QString())
{
    return QStringLiteral("DisplayDateTime|Date:D\nTime:T\nBright1:20:00,%1\nBright2:7:00,%1").arg(level)
        + (name.isEmpty() ? QString() : QStringLiteral("\nName:") + name);
}

const PresenceDisplayInfo SisterEvaPresent{QLatin1Char('S'), "Interna", "12", "0", "Room 12",
                                           "Sister Eva", "201"};
const QString SisterEva = QStringLiteral("DisplayPresences|Icon:S\nWard:Interna\nRoomNo:12\n"
                                         "Room:Room 12\nClient:Sister Eva\nTlfNo:201");

// Records what the base hands to the show operations.
class RecordingDisplay : public Display
{
public:
    void showCalls(const QVector<CallDisplayInfo>& calls) override { log << "all" + text(calls); }
    void showActiveCalls(const QVector<CallDisplayInfo>& calls) override { log << "active" + text(calls); }
    void showMutedCalls(const QVector<CallDisplayInfo>& calls) override { log << "muted" + text(calls); }
    void showTalk(const CallDisplayInfo& talk) override { log << "talk" + text({talk}); }

    static QString text(const QVector<CallDisplayInfo>& infos)
    {
        QString out;
        for (const CallDisplayInfo& info : infos)
            out += QLatin1Char(' ') + info.icon + QLatin1Char('/') + info.client;
        return out;
    }

    QStringList log;
};

} // namespace

class TestDisplays : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_root = std::make_unique<TempRoot>();
        const QDate today = Clock::now().date();
        m_root->write(QStringLiteral("/opt/core/etc/cs-CZ_nameday.conf"),
                      today.addDays(-1).toString(QStringLiteral("d. M.")).toUtf8() + ";Jan\n"
                          + today.toString(QStringLiteral("d. M.")).toUtf8() + ";@Karel\n");
        m_namedays = std::make_unique<NamedaysSettings>();
        m_namedays->load(QStringLiteral("cs-CZ"));
        QCOMPARE(m_namedays->count(), 2);
        m_station.clientName = QStringLiteral("Station");
        m_station.doorLock = true;
    }

    void init()
    {
        m_server = std::make_unique<RecordingServer>();
        m_sender = std::make_unique<Rondel>(m_server.get(), UnitIp);
        m_calls = std::make_unique<Calls>();
        m_language.setLanguage(LanguageSettings::Czech);
    }

    void waitingDeviceCallOrDialCallHideReceivedCalls()
    {
        Calls other;
        RecordingDisplay display;
        display.setCalls(&other);
        display.setCalls(m_calls.get());
        other.addReceivedCall(received(CallType::AL, "AL", "Elsewhere"));
        QVERIFY(display.log.isEmpty());

        m_calls->addReceivedCall(received(CallType::VK, "VK", "Hall", true));
        m_calls->addReceivedCall(received(CallType::VS, "VS", "Duty"));
        QCOMPARE(std::exchange(display.log, {}).mid(3),
                 QStringList({"active P/Duty", "muted t/Hall", "all P/Duty t/Hall"}));

        // A device call that still waits for an answer hides them, until muted.
        Call device(CallType::NV, "NV1", &m_self);
        m_calls->setNVCall(device);
        QCOMPARE(std::exchange(display.log, {}), QStringList({"active", "muted", "all"}));
        device.mute();
        m_calls->setNVCall(device);
        QCOMPARE(display.log.at(0), QString("active P/Duty"));
        m_calls->cancelNVCall("NV1");

        // While dialling, the screen shows whom the unit calls and the muted calls.
        Call dial(CallType::DC, "DC", &m_self);
        display.log.clear();
        m_calls->setCall(dial);
        QCOMPARE(std::exchange(display.log, {}), QStringList({"active", "muted t/Hall", "all t/Hall"}));
        dial.setTarget(&m_station, 1);
        m_calls->updateOwnCall(dial);
        QCOMPARE(display.log, QStringList({"active V/Station", "muted t/Hall", "all V/Station t/Hall"}));
    }

    void talkIsShownAsTheOtherEndSeesIt()
    {
        RecordingDisplay display;
        display.setCalls(m_calls.get());
        m_calls->setTalk(received(CallType::VS, "VS", "Hall"));
        m_calls->clearTalk();
        QCOMPARE(display.log, QStringList({"talk P/Hall", "talk  /"}));

        // The unit's own call without anyone at the other end yet: nothing.
        Call own(CallType::VS, "VS", &m_self);
        m_calls->setCall(own);
        display.log.clear();
        m_calls->setTalk(own);
        QVERIFY(display.log.isEmpty());

        own.setTarget(&m_station, 1);
        m_calls->updateOwnCall(own);
        display.log.clear();
        m_calls->setTalk(own);
        QCOMPARE(display.log, QStringList({"talk V/Station"}));
    }

    void rastoBacklightAndRefreshOnlyOnDateTime()
    {
        DisplayRasto display(m_sender.get(), &m_language, m_namedays.get());
        m_language.setLanguage(LanguageSettings::English);
        QCOMPARE(start(display), QStringList({"DisplayLanguage|Language:ENG", dateTime(100, "Karel")}));

        display.setRefreshInterval(100);
        QTRY_VERIFY_WITH_TIMEOUT(!m_server->sent(UnitIp).isEmpty(), 1000);
        display.setRefreshInterval(DisplayRasto::RefreshInterval);
        QCOMPARE(sent(), QStringList({dateTime(100, "Karel")}));

        display.setBacklight(20);
        QCOMPARE(sent(), QStringList({dateTime(20, "Karel")}));

        // Away from date and time the level is kept for later, and the refresh is quiet.
        const Call call = received(CallType::VS, "VS", "Novak");
        m_calls->addReceivedCall(call);
        sent();
        display.setBacklight(60);
        display.setRefreshInterval(50);
        QTest::qWait(150);
        display.setRefreshInterval(DisplayRasto::RefreshInterval);
        QCOMPARE(sent(), QStringList());

        m_calls->removeReceivedCall(call);
        QCOMPARE(sent().last(), dateTime(60, "Karel"));
    }

    void rastoSwitchesBetweenCallsTalkAndDateTime()
    {
        DisplayRasto display(m_sender.get(), &m_language, m_namedays.get());
        start(display);

        const Call call = received(CallType::AL, "AL", "Novak");
        m_calls->addReceivedCall(call);
        // The empty muted list that follows the active one re-chooses the screen.
        QCOMPARE(sent(), QStringList({"DisplayCalls|Icon:A\nClient:Novak", "DisplayCalls|Clear",
                                       "DisplayCalls|Icon:A\nClient:Novak"}));

        m_calls->setTalk(call);
        QCOMPARE(display.screen(), DisplayRasto::TalkScreen);
        QCOMPARE(sent(), QStringList({"DisplayCalls|Clear", "DisplayTalk|Icon:A\nClient:Novak"}));

        m_calls->clearTalk();
        QCOMPARE(sent(), QStringList({"DisplayTalk|Clear", "DisplayCalls|Icon:A\nClient:Novak"}));

        display.refresh();
        QCOMPARE(sent(), QStringList({"DisplayLanguage|Language:CZE",
                                       "DisplayCalls|Icon:A\nClient:Novak"}));

        // The unit's own call, not a dial call: no received call stays visible.
        m_calls->setCall(Call(CallType::VK, "VK", &m_self));
        QCOMPARE(display.screen(), DisplayRasto::DateTimeScreen);
        QCOMPARE(sent(), QStringList({"DisplayCalls|Clear", dateTime(100, "Karel"),
                                       dateTime(100, "Karel")}));
    }

    void rastoShowsMutedCallsBesidePresences()
    {
        DisplayRasto display(m_sender.get(), &m_language, m_namedays.get());
        start(display);

        m_calls->addReceivedCall(received(CallType::VS, "VS", "Novak", true));
        QCOMPARE(display.screen(), DisplayRasto::PresencesScreen);
        // No presences: nothing goes for them before the muted calls.
        QCOMPARE(sent(), QStringList({dateTime(100, "Karel"), "DisplayCalls|Icon:p\nClient:Novak"}));

        display.showPresences({SisterEvaPresent});
        QCOMPARE(sent(), QStringList({SisterEva, "DisplayCalls|Icon:p\nClient:Novak"}));

        // An active call takes the screen; the muted one is not shown with it.
        m_calls->addReceivedCall(received(CallType::VK, "VK", "Svoboda"));
        QCOMPARE(sent(), QStringList({"DisplayCalls|Clear", "DisplayPresences|Clear",
                                       "DisplayCalls|Icon:T\nClient:Svoboda", "DisplayCalls|Clear",
                                       "DisplayCalls|Icon:T\nClient:Svoboda"}));
    }

    void lumoShowsActiveCallsAtFullBrightness()
    {
        DisplayLumo display(m_sender.get(), &m_language);
        QCOMPARE(start(display),
                 QStringList({"DisplayLanguage|Language:CZE", dateTime(100), "DisplayCalls|Clear"}));

        display.setRefreshInterval(100);
        QTRY_VERIFY_WITH_TIMEOUT(!m_server->sent(UnitIp).isEmpty(), 1000);
        display.setRefreshInterval(DisplayLumo::RefreshInterval);
        display.setBacklight(20);
        QCOMPARE(sent(), QStringList({dateTime(100), dateTime(100)}));

        m_calls->addReceivedCall(received(CallType::VS, "VS", "Novak", true));
        m_calls->addReceivedCall(received(CallType::NV, "NV2", "Svoboda"));
        display.showPresences({SisterEvaPresent});
        QCOMPARE(sent(), QStringList({"DisplayCalls|Clear", "DisplayCalls|Icon:N\nClient:Svoboda"}));
    }

    void fennoSendsEachAreaOnItsOwn()
    {
        DisplayFenno display(m_sender.get(), &m_language, m_namedays.get());
        QCOMPARE(start(display),
                 QStringList({"DisplayLanguage|Language:CZE", dateTime(100, "@Karel"), "DisplayCalls|Clear",
                              "DisplayPresences|Clear", "DisplayTalk|Clear", "DisplayWards|Clear"}));

        display.setBacklight(20);
        QCOMPARE(sent(), QStringList({dateTime(20, "@Karel")}));

        m_calls->addReceivedCall(received(CallType::VS, "VS", "Novak", true));
        const Call active = received(CallType::VK, "VK", "Svoboda");
        m_calls->addReceivedCall(active);
        m_calls->setTalk(active);
        display.showWards({WardDisplayInfo{"W1", "Interna", true}});
        display.showPresences({SisterEvaPresent});
        const QStringList calls{"DisplayCalls|Icon:T\nClient:Svoboda\nNotFinished",
                                "DisplayCalls|Continue\nIcon:p\nClient:Novak"};
        const QString talk = QStringLiteral("DisplayTalk|Icon:T\nClient:Svoboda");
        const QString ward = QStringLiteral("DisplayWards|ID:W1\nName:Interna\nConnected:1");
        QCOMPARE(sent(), QStringList({"DisplayCalls|Icon:p\nClient:Novak"}) + calls
                              + QStringList({talk, ward, SisterEva}));

        display.refresh();
        QCOMPARE(sent(), QStringList({"DisplayLanguage|Language:CZE", dateTime(20, "@Karel")}) + calls
                              + QStringList({SisterEva, talk, ward}));
    }

private:
    // Starts the display on the test's calls; returns what it sent for that.
    QStringList start(Display& display)
    {
        display.setCalls(m_calls.get());
        display.start();
        return sent();
    }

    // The commands sent to the unit since the last call.
    QStringList sent() { return m_server->take(UnitIp); }

    Call received(CallType type, const QString& code, const QString& client, bool muted = false)
    {
        m_source.clientName = client;
        Call call(type, code, &m_source);
        call.setRinging();
        if (muted)
            call.mute();
        return call;
    }

    std::unique_ptr<TempRoot> m_root;
    std::unique_ptr<NamedaysSettings> m_namedays;
    LanguageSettings m_language;
    std::unique_ptr<RecordingServer> m_server;
    std::unique_ptr<Rondel> m_sender;
    std::unique_ptr<Calls> m_calls;
    FakeCallCapable m_source{QStringLiteral("127.0.0.3")};
    FakeCallCapable m_self{QStringLiteral("127.0.0.2")};
    FakeCallCapable m_station{QStringLiteral("127.0.0.4")};
};

QTEST_GUILESS_MAIN(TestDisplays)
#include "tst_displays.moc"
