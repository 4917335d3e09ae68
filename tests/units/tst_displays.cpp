#include "calls/calls.h"
#include "support/fakecallcapable.h"
#include "units/display.h"

#include <QtTest>

namespace {

// Records what the base hands to the show operations, in order.
class RecordingDisplay : public Display
{
public:
    using Display::Display;

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

Call call(CallType type, const QString& code, FakeCallCapable* source, const QString& client)
{
    source->clientName = client;
    return Call(type, code, source);
}

} // namespace

class TestDisplays : public QObject
{
    Q_OBJECT

private slots:
    void receivedCallsAreSplitIntoActiveAndMuted();
    void ownOrWaitingDeviceCallHidesReceivedCalls();
    void dialCallShowsItsTarget();
    void talkIsShownAsTheOtherEndSeesIt();
    void followsOnlyTheCallsLastSet();

private:
    FakeCallCapable m_bed{QStringLiteral("127.0.0.2")};
    FakeCallCapable m_corridor{QStringLiteral("127.0.0.3")};
    FakeCallCapable m_duty{QStringLiteral("127.0.0.4")};
};

void TestDisplays::receivedCallsAreSplitIntoActiveAndMuted()
{
    Calls calls;
    RecordingDisplay display;
    display.setCalls(&calls);

    Call patient = call(CallType::VS, "VS", &m_bed, "Novak");
    Call alarm = call(CallType::AL, "AL", &m_corridor, "Hall");
    Call staff = call(CallType::VK, "VK", &m_duty, "Duty");
    staff.setRinging();
    staff.mute();
    patient.setRinging();
    patient.setConnectedMuted();

    calls.addReceivedCall(patient);
    calls.addReceivedCall(staff);
    display.log.clear();
    calls.addReceivedCall(alarm);

    // Kept in the registry's order (alarm first), muted ones with lower-case
    // icons after the active ones in the combined list.
    QCOMPARE(display.log, QStringList({"active A/Hall", "muted p/Novak t/Duty",
                                       "all A/Hall p/Novak t/Duty"}));

    display.log.clear();
    calls.removeReceivedCall(alarm);
    calls.removeReceivedCall(patient);
    calls.removeReceivedCall(staff);
    QCOMPARE(display.log.mid(6), QStringList({"active", "muted", "all"}));
}

void TestDisplays::ownOrWaitingDeviceCallHidesReceivedCalls()
{
    Calls calls;
    RecordingDisplay display;
    display.setCalls(&calls);
    calls.addReceivedCall(call(CallType::VS, "VS", &m_corridor, "Hall"));
    QCOMPARE(display.log.first(), QString("active P/Hall"));

    // The unit's own patient call: the screen drops what it receives.
    display.log.clear();
    calls.setCall(call(CallType::VS, "VS", &m_bed, "Novak"));
    QCOMPARE(display.log, QStringList({"active", "muted", "all"}));

    display.log.clear();
    calls.cancelCall();
    QCOMPARE(display.log.first(), QString("active P/Hall"));

    // A device call that still waits for an answer hides them too ...
    Call device = call(CallType::NV, "NV1", &m_bed, "Bed 1");
    display.log.clear();
    calls.setNVCall(device);
    QCOMPARE(display.log, QStringList({"active", "muted", "all"}));

    // ... but not once it is muted.
    device.mute();
    display.log.clear();
    calls.setNVCall(device);
    QCOMPARE(display.log.first(), QString("active P/Hall"));
}

void TestDisplays::dialCallShowsItsTarget()
{
    Calls calls;
    RecordingDisplay display;
    display.setCalls(&calls);
    Call muted = call(CallType::VK, "VK", &m_corridor, "Hall");
    muted.mute();
    calls.addReceivedCall(muted);
    calls.addReceivedCall(call(CallType::VS, "VS", &m_duty, "Duty"));

    Call dial = call(CallType::DC, "DC", &m_bed, "Novak");
    display.log.clear();
    calls.setCall(dial);
    // No target yet: nothing active, and the ringing received call stays hidden.
    QCOMPARE(display.log, QStringList({"active", "muted t/Hall", "all t/Hall"}));

    m_duty.clientName = "Station";
    m_duty.doorLock = true;
    const int asked = m_duty.displayInfoRequests;
    dial.setTarget(&m_duty, 1);
    display.log.clear();
    calls.updateOwnCall(dial);
    QCOMPARE(display.log, QStringList({"active V/Station", "muted t/Hall", "all V/Station t/Hall"}));
    QCOMPARE(m_duty.displayInfoRequests, asked + 1);
    m_duty.doorLock = false;
}

void TestDisplays::talkIsShownAsTheOtherEndSeesIt()
{
    Calls calls;
    RecordingDisplay display;
    display.setCalls(&calls);

    const Call received = call(CallType::VS, "VS", &m_corridor, "Hall");
    calls.setTalk(received);
    QCOMPARE(display.log, QStringList({"talk P/Hall"}));

    display.log.clear();
    calls.clearTalk();
    QCOMPARE(display.log, QStringList({"talk  /"}));

    // The unit's own call without anyone at the other end yet: nothing.
    Call own = call(CallType::DC, "DC", &m_bed, "Novak");
    calls.setCall(own);
    display.log.clear();
    calls.setTalk(own);
    QVERIFY(display.log.isEmpty());

    m_duty.clientName = "Station";
    own.setTarget(&m_duty, 1);
    calls.updateOwnCall(own);
    display.log.clear();
    calls.setTalk(own);
    QCOMPARE(display.log, QStringList({"talk P/Station"}));
}

void TestDisplays::followsOnlyTheCallsLastSet()
{
    Calls first;
    Calls second;
    RecordingDisplay display;
    display.setCalls(&first);
    display.setCalls(&second);
    first.addReceivedCall(call(CallType::VS, "VS", &m_corridor, "Hall"));
    first.clearTalk();
    QVERIFY(display.log.isEmpty());
    second.addReceivedCall(call(CallType::VS, "VS", &m_bed, "Novak"));
    QCOMPARE(display.log.first(), QString("active P/Novak"));
}

QTEST_GUILESS_MAIN(TestDisplays)
#include "tst_displays.moc"
