#include "calls/autoconnectdialcall.h"
#include "calls/callcapablerepository.h"
#include "calls/callhandler.h"
#include "calls/calllimits.h"
#include "calls/callqueue.h"
#include "calls/calls.h"
#include "calls/callterminator.h"
#include "calls/openezduringtalk.h"
#include "calls/pas.h"
#include "calls/talkvolumes.h"
#include "core/clock.h"
#include "support/corefixture.h"
#include "support/fakecallcapable.h"
#include "synthesizer/synthesizer.h"

#include <QtTest>

namespace {

// The policies around a handler whose units receive nothing by themselves:
// the calls are stored directly, in the state a test wants. Limits in seconds.
struct Desk : CallCapableRepository, CallLimits
{
    QVector<CallCapable*> receiversOf(const Call&) const override { return {}; }
    qint64 maxCallDuration() const override { return limits.call; }
    qint64 maxTalkDuration() const override { return limits.talk; }
    qint64 maxMuteDuration() const override { return limits.mute; }

    // A call from caller to callee, created and connected so many seconds ago (-1: never).
    Call store(const QString& state, qint64 createdAgo = 0, qint64 connectedAgo = -1,
               CallType type = CallType::VS)
    {
        Clock::setOffset(-createdAgo * 1000);
        Call call(type, callTypeName(type), &caller);
        call.setReceivers({&callee});
        call.setRinging();
        if (connectedAgo >= 0) {
            Clock::setOffset(-connectedAgo * 1000);
            call.setTarget(&callee, 1);
            call.setConnected();
        }
        if (state == "ConnectedMuted")
            call.setConnectedMuted();
        else if (state == "Muted")
            call.mute();
        Clock::setOffset(0);
        queue.insert(call);
        return call;
    }

    FakeCallCapable caller{"10.0.0.2"};
    FakeCallCapable callee{"10.0.0.3"};
    CallQueue queue;
    PAs pas;
    Synthesizer synthesizer;
    TalkVolumes volumes;
    CallHandler handler{&queue, this, &pas, &synthesizer, &volumes};
    struct { qint64 call = 0, talk = 0, mute = 0; } limits;
    CallTerminator terminator{&handler, this, &queue};
};

} // namespace

class TestCallPolicies : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { Clock::setOffset(0); }

    void limits()
    {
        const struct {
            const char* name;
            QString state;
            qint64 createdAgo, connectedAgo; // -1: never connected
            qint64 call, talk, mute;
            bool ended;
        } rows[] = {
            {"talk past 180 s", "Connected", 200, 181, 900, 180, 300, true},
            {"talk within 180 s", "Connected", 200, 179, 900, 180, 300, false},
            {"ringing past the call limit", "Ringing", 901, -1, 900, 180, 300, true},
            {"muted, counted from creation", "Muted", 301, -1, 0, 0, 300, true},
            {"muted talk past the mute limit", "ConnectedMuted", 1000, 301, 0, 0, 300, true},
            {"muted after a talk, counted from connection", "Muted", 1000, 200, 0, 0, 300, false},
            {"every limit off", "ConnectedMuted", 99999, 99999, 0, 0, 0, false},
        };
        for (const auto& row : rows) {
            Desk desk;
            desk.limits = {row.call, row.talk, row.mute};
            const Call call = desk.store(row.state, row.createdAgo, row.connectedAgo);
            QSignalSpy changes(&desk.queue, &CallQueue::callChanged);
            desk.terminator.check();
            QVERIFY2(desk.queue.contains(call) != row.ended, row.name);
            QVERIFY2(!row.ended || changes.last().at(0).value<Call>().endType() == EndType::Timeout, row.name);
        }
    }

    // A busy queue changes more often than the checks come round; they must
    // come round all the same (checks every 50 ms, a change every 20 ms).
    void busyQueueStillChecksTheLimits()
    {
        Desk desk;
        desk.limits.talk = 180;
        desk.terminator.setCheckInterval(50);
        const Call talk = desk.store("Connected", 0, 0);
        const Call other = desk.store("Ringing");
        Clock::setOffset(181 * 1000);
        QElapsedTimer sincePast;
        sincePast.start();
        while (desk.queue.contains(talk) && sincePast.elapsed() < 1000) {
            desk.queue.update(desk.queue.get(other));
            QTest::qWait(20);
        }
        QVERIFY2(!desk.queue.contains(talk), "the talk outlived its limit");
        QVERIFY(sincePast.elapsed() < 250);

        // An empty queue has nothing to check.
        QVERIFY(desk.terminator.isChecking());
        desk.handler.endCallOrTalk(desk.queue.get(other), EndType::Canceled);
        QVERIFY(desk.queue.isEmpty());
        QVERIFY(!desk.terminator.isChecking());
    }

    // Either end may open the other's door; a PA has no single other end.
    void doorDuringTalk()
    {
        const struct {
            const char* name;
            CallType type;
            bool askedBySource, sourceLock;
            int sourceOpened;
        } rows[] = {
            {"answering unit opens the caller's door", CallType::VS, false, true, 1},
            {"caller without a lock", CallType::VS, false, false, 0},
            {"PA, asked by a listener", CallType::PA, false, true, 0},
            {"PA, asked by its source", CallType::PA, true, true, 0},
        };
        for (const auto& row : rows) {
            Desk desk;
            desk.caller.doorLock = row.sourceLock;
            desk.callee.doorLock = true;
            desk.store("Connected", 0, 0, row.type);
            OpenEZDuringTalk(&desk.queue).openEZ(row.askedBySource ? &desk.caller : &desk.callee);
            QVERIFY2(desk.caller.doorOpened == row.sourceOpened && desk.callee.doorOpened == 0, row.name);
        }
    }

    // Staff dialling a room where nobody is get through after a delay; staff there would answer.
    void dialCallIntoAnEmptyRoom_data()
    {
        QTest::addColumn<QString>("staffAt");
        QTest::addColumn<QString>("state");
        QTest::newRow("nobody at the callee") << "caller" << "Connected";
        QTest::newRow("staff at the callee") << "caller callee" << "Ringing";
        QTest::newRow("nobody at the caller") << "" << "Ringing";
    }
    void dialCallIntoAnEmptyRoom()
    {
        QFETCH(QString, staffAt);
        QFETCH(QString, state);
        Desk desk;
        desk.caller.presence = staffAt.contains("caller");
        desk.callee.presence = staffAt.contains("callee");
        AutoConnectDialCall autoConnect(&desk.handler, &desk.queue);
        autoConnect.setDelay(50);
        QSignalSpy talks(&desk.callee.registry, &Calls::callConnected);
        const Call dial = desk.store("Ringing", 0, -1, CallType::DC);
        QTest::qWait(200);
        QCOMPARE(desk.queue.get(dial).stateName(), state);
        QCOMPARE(talks.count(), state == "Connected" ? 1 : 0);
    }

    // In the core: a dial call into an empty room connects; the caller opens its door.
    void dialCallIntoAnEmptyRoomOpensItsDoor()
    {
        CoreFixture core;
        QVERIFY(core.bringUp({"127.0.0.2 Brisa r1 phone=101", "127.0.0.3 Fenno r2"},
                             [](RespondingUnit* unit) { // staff at the caller
                                 if (unit->address() == QHostAddress("127.0.0.3"))
                                     unit->setPresenceStatus("PS:1\nPP:0");
                             }));
        core.core().autoConnectDialCall()->setDelay(50);
        RespondingUnit* callee = core.fake("127.0.0.2");
        RespondingUnit* caller = core.fake("127.0.0.3");

        caller->sendCommand("DialCall", "Dial:101\nDestination:Base");
        // Only the talk counts: a late repeat of the start-up "EndCall" may still arrive.
        QTRY_COMPARE(callee->payloads("VoIP").filter("ImmediateTalk").size(), 1);
        QVERIFY(callee->payloads("VoIP").filter("ImmediateTalk").first().startsWith(
            "ImmediateTalk 127.0.0.3 10004 10002\n"));
        caller->sendCommand("Requests", "OpenEZ");
        QTRY_COMPARE(callee->payloads("DoorLock"), QStringList{"Action:Open\nTime:4\n"});
    }
};

QTEST_GUILESS_MAIN(TestCallPolicies)
#include "tst_callpolicies.moc"
