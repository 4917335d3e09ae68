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
#include "units/registry/units.h"

#include <QtTest>

namespace {

struct Limits : CallLimits
{
    qint64 call = 0, talk = 0, mute = 0;
    qint64 maxCallDuration() const override { return call; }
    qint64 maxTalkDuration() const override { return talk; }
    qint64 maxMuteDuration() const override { return mute; }
};

struct Party : FakeCallCapable
{
    explicit Party(const QString& ip) : FakeCallCapable(ip) { callRegistry = &registry; }
    void openDoor() override { ++doorOpened; }
    Calls registry;
    int doorOpened = 0;
};

// The policies around a handler whose units receive nothing by themselves:
// the calls are stored directly, in the state a test wants.
struct Desk : CallCapableRepository
{
    QVector<CallCapable*> receiversOf(const Call&) const override { return {}; }

    // A call from the caller to the callee, created and connected the given
    // seconds ago (never connected for -1).
    Call store(const QString& state, qint64 createdAgo, qint64 connectedAgo = -1,
               CallType type = CallType::VS)
    {
        Clock::setOffset(-createdAgo * 1000);
        Call call(type, QStringLiteral("VS"), &caller);
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

    Party caller{"10.0.0.2"};
    Party callee{"10.0.0.3"};
    CallQueue queue;
    PAs pas;
    Synthesizer synthesizer;
    TalkVolumes volumes;
    CallHandler handler{&queue, this, &pas, &synthesizer, &volumes};
    Limits limits;
    CallTerminator terminator{&handler, &limits, &queue};
};

QStringList payloads(const FakeUnit* unit, const QString& name)
{
    QStringList list;
    for (const FakeUnit::Datagram& datagram : unit->commands(name))
        list.append(datagram.payload);
    return list;
}

} // namespace

class TestCallPolicies : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { Clock::setOffset(0); }

    void limits_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<qint64>("createdAgo");
        QTest::addColumn<qint64>("connectedAgo");
        QTest::addColumn<QVector<qint64>>("limits"); // call, talk, mute
        QTest::addColumn<bool>("ended");
        const QVector<qint64> defaults{900, 180, 300};
        QTest::newRow("talk past 180 s") << "Connected" << 200LL << 181LL << defaults << true;
        QTest::newRow("talk within 180 s") << "Connected" << 200LL << 179LL << defaults << false;
        QTest::newRow("talk limit off") << "Connected" << 5000LL << 5000LL << QVector<qint64>{0, 0, 300} << false;
        QTest::newRow("ringing past call limit") << "Ringing" << 901LL << -1LL << defaults << true;
        QTest::newRow("call limit off") << "Ringing" << 5000LL << -1LL << QVector<qint64>{0, 180, 300} << false;
        QTest::newRow("muted, counted from creation") << "Muted" << 301LL << -1LL << QVector<qint64>{0, 0, 300} << true;
        QTest::newRow("muted talk, counted from connection")
            << "ConnectedMuted" << 1000LL << 200LL << QVector<qint64>{0, 0, 300} << false;
        QTest::newRow("muted talk past mute limit")
            << "ConnectedMuted" << 1000LL << 301LL << QVector<qint64>{0, 0, 300} << true;
        QTest::newRow("muted after a talk, counted from connection")
            << "Muted" << 1000LL << 200LL << QVector<qint64>{0, 0, 300} << false;
        QTest::newRow("mute limit off") << "Muted" << 99999LL << -1LL << QVector<qint64>{0, 0, 0} << false;
    }
    void limits()
    {
        QFETCH(QString, state);
        QFETCH(qint64, createdAgo);
        QFETCH(qint64, connectedAgo);
        QFETCH(QVector<qint64>, limits);
        QFETCH(bool, ended);
        Desk desk;
        desk.limits.call = limits[0];
        desk.limits.talk = limits[1];
        desk.limits.mute = limits[2];
        const Call call = desk.store(state, createdAgo, connectedAgo);
        QCOMPARE(desk.queue.get(call).stateName(), state);
        QSignalSpy changes(&desk.queue, &CallQueue::callChanged);
        desk.terminator.check();
        QCOMPARE(!desk.queue.contains(call), ended);
        if (ended)
            QCOMPARE(changes.last().at(0).value<Call>().endType(), EndType::Timeout);
    }

    // A busy queue changes more often than the checks come round; they must
    // come round all the same. Scaled down a hundredfold: checks every 50 ms,
    // a change every 20 ms.
    void busyQueueStillChecksTheLimits()
    {
        Desk desk;
        desk.limits.talk = 180;
        desk.terminator.setCheckInterval(50);
        const Call talk = desk.store("Connected", 0, 0);
        const Call other = desk.store("Ringing", 0);
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

    void doorDuringTalk_data()
    {
        QTest::addColumn<CallType>("type");
        QTest::addColumn<bool>("askedBySource");
        QTest::addColumn<int>("targets");
        QTest::addColumn<bool>("sourceLock");
        QTest::addColumn<bool>("targetLock");
        QTest::addColumn<QString>("opened");
        QTest::newRow("answering unit opens the caller's door") << CallType::VS << false << 1 << true << false << "source";
        QTest::newRow("caller without a lock") << CallType::VS << false << 1 << false << true << "";
        QTest::newRow("caller opens the answering unit's door") << CallType::DC << true << 1 << true << true << "target";
        QTest::newRow("two answering units: no single door") << CallType::VS << true << 2 << false << true << "";
        QTest::newRow("PA opens nothing") << CallType::PA << false << 1 << true << true << "";
        QTest::newRow("PA source opens nothing") << CallType::PA << true << 1 << true << true << "";
    }
    void doorDuringTalk()
    {
        QFETCH(CallType, type);
        QFETCH(bool, askedBySource);
        QFETCH(int, targets);
        QFETCH(bool, sourceLock);
        QFETCH(bool, targetLock);
        QFETCH(QString, opened);
        Desk desk;
        Party second("10.0.0.4");
        desk.caller.doorLock = sourceLock;
        desk.callee.doorLock = second.doorLock = targetLock;
        Call talk(type, QStringLiteral("T"), &desk.caller);
        talk.setTargets(targets == 1 ? QVector<CallCapable*>{&desk.callee}
                                     : QVector<CallCapable*>{&desk.callee, &second},
                        1);
        talk.setConnected();
        desk.queue.insert(talk);
        OpenEZDuringTalk door(&desk.queue);
        door.openEZ(askedBySource ? static_cast<CallCapable*>(&desk.caller) : &desk.callee);
        QCOMPARE(desk.caller.doorOpened, opened == "source" ? 1 : 0);
        QCOMPARE(desk.callee.doorOpened, opened == "target" ? 1 : 0);
        QCOMPARE(second.doorOpened, 0);
    }

    // Staff at a Fenno dial the Brisa at the entrance (number 101).
    void dialCallIntoAnEmptyRoom_data()
    {
        QTest::addColumn<bool>("callerPresent");
        QTest::addColumn<bool>("calleePresent");
        QTest::addColumn<bool>("answeredInTime");
        QTest::addColumn<QString>("state");
        QTest::newRow("nobody at the callee") << true << false << false << "Connected";
        QTest::newRow("staff at the callee") << true << true << false << "Ringing";
        QTest::newRow("nobody at the caller") << false << false << false << "Ringing";
        QTest::newRow("answered in time") << true << false << true << "Connected";
    }
    void dialCallIntoAnEmptyRoom()
    {
        QFETCH(bool, callerPresent);
        QFETCH(bool, calleePresent);
        QFETCH(bool, answeredInTime);
        QFETCH(QString, state);
        const int delay = 300;
        CoreFixture core;
        QVERIFY(core.bringUp({"127.0.0.2 Brisa r1 phone=101", "127.0.0.3 Fenno r2"}));
        core.core().autoConnectDialCall()->setDelay(delay);
        RespondingUnit* callee = core.fake("127.0.0.2");
        RespondingUnit* caller = core.fake("127.0.0.3");
        QSignalSpy presences(core.core().units(), &Units::registeredPS);
        if (callerPresent)
            caller->sendCommand("PresenceStatus", "PS:1");
        if (calleePresent)
            callee->sendCommand("PresenceStatus", "PS:1");
        QTRY_COMPARE(presences.count(), int(callerPresent) + int(calleePresent));

        QSignalSpy changes(core.core().callQueue(), &CallQueue::callChanged);
        caller->sendCommand("DialCall", "Dial:101\nDestination:Base");
        QTRY_VERIFY(!changes.isEmpty());
        callee->clearReceived();
        if (answeredInTime)
            callee->sendCommand("Requests", "CallAnswerBase");
        QTest::qWait(delay + 300);
        const QVector<Call> calls = core.core().callQueue()->calls();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().stateName(), state);
        const QStringList talks = payloads(callee, "VoIP");
        QCOMPARE(talks.size(), state == "Connected" ? 1 : 0);
        if (!talks.isEmpty())
            QVERIFY(talks.first().startsWith("ImmediateTalk 127.0.0.3 10004 10002\n"));

        // The caller opens the door it is talking to.
        caller->sendCommand("Requests", "OpenEZ");
        QTest::qWait(200);
        QCOMPARE(payloads(callee, "DoorLock"),
                 state == "Connected" ? QStringList{"Action:Open\nTime:4\n"} : QStringList{});
    }
};

QTEST_GUILESS_MAIN(TestCallPolicies)
#include "tst_callpolicies.moc"
