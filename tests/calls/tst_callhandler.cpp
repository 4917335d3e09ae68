#include "calls/callcapablerepository.h"
#include "calls/callhandler.h"
#include "calls/callqueue.h"
#include "calls/callreceivemodes.h"
#include "calls/calls.h"
#include "calls/pas.h"
#include "calls/talkvolumes.h"
#include "support/fakecallcapable.h"
#include "support/logcapture.h"
#include "synthesizer/synthesizer.h"

#include <QtTest>

#include <memory>

namespace {

// A unit and its calls: takes others' calls while willing, a PA only while in no other talk.
struct Node : CallReceiveMode
{
    explicit Node(const QString& ip) : unit(ip)
    {
        unit.receiveMode = this;
        QObject::connect(&calls, &Calls::callConnected, &calls, [this](const Call&, const VoIP& v) {
            voips << QStringLiteral("%1 %2 %3 %4 %5 %6").arg(v.type).arg(v.levelIn).arg(v.levelOut)
                         .arg(v.address.toString()).arg(v.portA).arg(v.portB);
        });
    }
    bool accepts(const Call& call) const override
    {
        return willing && call.source() != &unit
            && (onlyCodes.isEmpty() || onlyCodes.contains(call.code()))
            && (!call.isPA() || !calls.hasTalk() || calls.isTalk(call));
    }
    QStringList received() const
    {
        QStringList list;
        for (const Call& call : calls.receivedCalls())
            list << call.code() + ':' + call.stateName();
        return list;
    }

    FakeCallCapable unit;
    Calls& calls = unit.registry;
    bool willing = false;
    QStringList onlyCodes; // empty: any
    QStringList voips; // "mode mic speaker address localPort remotePort"
};

// Units 10.1.7.20, .21, ... around a handler, those numbered in willingOnes taking calls.
class Bench : public CallCapableRepository
{
public:
    explicit Bench(int count, const QVector<int>& willingOnes = {})
    {
        for (int i = 0; i < count; ++i)
            nodes.emplace_back(new Node(QStringLiteral("10.1.7.%1").arg(20 + i)));
        willing(willingOnes);
        QObject::connect(&queue, &CallQueue::callChanged, [this](const Call& c) { changes << c; });
    }
    QVector<CallCapable*> receiversOf(const Call& call) const override
    {
        QVector<CallCapable*> units;
        for (const auto& node : nodes) {
            if (node->accepts(call))
                units << &node->unit;
        }
        return units;
    }
    Node& operator[](int i) { return *nodes[i]; }
    FakeCallCapable* unit(int i) { return &nodes[i]->unit; }
    void willing(const QVector<int>& which)
    {
        for (int i = 0; i < int(nodes.size()); ++i)
            nodes[i]->willing = which.contains(i);
    }
    Call make(int i, CallType type, const QString& code, bool persists = false)
    {
        Call call(type, code, unit(i));
        call.setSourceMode(1);
        if (persists)
            call.setPersistsAfterTalk();
        return call;
    }
    Call raise(const Call& call)
    {
        Calls* calls = call.source()->calls();
        call.isNV() ? calls->setNVCall(call) : calls->setCall(call);
        handler.newCall(call);
        return call;
    }
    Call raise(int i, CallType type, const QString& code) { return raise(make(i, type, code)); }
    bool answer(const Call& call, int i)
    {
        Call request = queue.get(call);
        request.setTarget(unit(i), 1);
        handler.answerIncomingCall(request);
        return queue.get(call).isTarget(unit(i));
    }
    // A device call of unit i, answered at unit by and hung up: muted.
    Call held(int i, const QString& code, int by)
    {
        const Call call = raise(make(i, CallType::NV, code, true));
        answer(call, by);
        handler.endTalk(call, EndType::HangUp);
        return call;
    }
    // The stored state, or "Finished/<end type>" once it left the queue.
    QString fate(const Call& call) const
    {
        if (queue.contains(call))
            return queue.get(call).stateName();
        const Call last = changes.value(changes.lastIndexOf(call));
        return "Finished/" + endTypeName(last.endType());
    }

    std::vector<std::unique_ptr<Node>> nodes;
    CallQueue queue;
    PAs pas;
    Synthesizer synthesizer;
    TalkVolumes volumes;
    CallHandler handler{&queue, this, &pas, &synthesizer, &volumes};
    QVector<Call> changes;
};

} // namespace

class TestCallHandler : public QObject
{
    Q_OBJECT

private slots:
    void answeringAndEndingWithTheirLogLines()
    {
        LogCapture log;
        Bench b(3, {1});
        b[0].unit.audio = "Pardo";
        b[1].unit.audio = "Fenno";
        const Call vs = b.raise(0, CallType::VS, "VS");
        QVERIFY(!b.queue.canAnswer(b.queue.get(vs))); // names no answering unit
        QVERIFY(!b.answer(vs, 2)); // not a receiver
        QVERIFY(b.answer(vs, 1));
        // Each end hears the other at the level set for the pair of models.
        QCOMPARE(b[0].voips, QStringList{"1 20 250 10.1.7.21 10002 10004"});
        QCOMPARE(b[1].voips, QStringList{"1 57 30 10.1.7.20 10004 10002"});
        QVERIFY(!b.queue.canAnswer(b.queue.get(vs))); // no longer ringing
        b.handler.endCall(b.queue.get(vs), EndType::Canceled);
        QCOMPARE(b.fate(vs), "Connected"); // a talk is ended as a talk
        b.handler.endCallOrTalk(b.queue.get(vs), EndType::ManuallyRemoved);
        QCOMPARE(b.fate(vs), "Finished/ManuallyRemoved");
        QCOMPARE(log.linesStartingWith("Debug ").join('\n'),
                 QStringLiteral("Debug newCall %1\nDebug answareIncomingCall %1\n"
                                "Debug answareIncomingCall %1\nDebug endCall %1\n"
                                "Debug endCallOrTalk %1\nDebug endTalk %1").arg(vs.id()));
    }

    void endingATalk_data()
    {
        QTest::addColumn<bool>("persists");
        QTest::addColumn<EndType>("end");
        QTest::addColumn<QString>("fate");
        QTest::newRow("persisting, hung up") << true << EndType::HangUp << "Muted";
        QTest::newRow("persisting, timed out") << true << EndType::Timeout << "Finished/Timeout";
        QTest::newRow("plain, hung up") << false << EndType::HangUp << "Finished/HangUp";
        QTest::newRow("plain, staff left") << false << EndType::Unregister << "Finished/Unregister";
    }
    void endingATalk()
    {
        QFETCH(bool, persists);
        QFETCH(EndType, end);
        Bench b(3, {1, 2});
        const Call vs = b.raise(b.make(0, CallType::VS, "VS", persists));
        QVERIFY(b.answer(vs, 1));
        QCOMPARE(b[2].received(), persists ? QStringList{"VS:ConnectedMuted"} : QStringList{});
        if (end == EndType::Unregister)
            b.handler.presenceUnregistered(b.unit(1));
        else
            b.handler.endTalk(vs, end);
        QTEST(b.fate(vs), "fate");
        // A call kept after its talk stays, muted, on both screens.
        const QStringList left = b.fate(vs) == "Muted" ? QStringList{"VS:Muted"} : QStringList{};
        QCOMPARE(b[1].received(), left);
        QCOMPARE(b[2].received(), left);
        QVERIFY(!b[0].calls.hasTalk() && !b[1].calls.hasTalk());
    }

    // A unit whose staff leaves stops showing the calls its mode no longer takes.
    void staffLeavingWithdrawsCallsNoLongerTaken()
    {
        Bench b(3, {1, 2});
        b.raise(0, CallType::NV, "NV");
        QCOMPARE(b[1].received(), QStringList{"NV:Ringing"});
        b.willing({2});
        b.handler.presenceUnregistered(b.unit(1));
        QCOMPARE(b[1].received(), QStringList{});
        QCOMPARE(b[2].received(), QStringList{"NV:Ringing"});
    }

    void paFromStartToEndAndItsPorts()
    {
        Bench b(4, {1});
        b[0].unit.audio = "Fenno";
        const Call pa = b.raise(0, CallType::PA, "PA");
        QCOMPARE(b.fate(pa), "Connected");
        QCOMPARE(b[0].voips, QStringList{"1 50 0 239.254.7.20 10002 12300"});
        QCOMPARE(b[1].voips, QStringList{"1 0 79 10.1.7.20 10002 12300"});

        // A unit that becomes reachable joins; a redistribution keeps both.
        b.willing({1, 2});
        b.handler.deliverPendingCalls(b.unit(2));
        QCOMPARE(b[2].voips, QStringList{"1 0 79 10.1.7.20 10002 12300"});
        b.handler.redistributePA(pa);
        QCOMPARE(b.queue.get(pa).targets(), (QVector<CallCapable*>{b.unit(1), b.unit(2)}));

        // A lost listener only leaves it; the last one leaving ends it.
        b.unit(1)->reachable = false;
        b.handler.unitGone(b.unit(1), EndType::LostCommunication);
        QCOMPARE(b.queue.get(pa).targets(), QVector<CallCapable*>{b.unit(2)});
        QVERIFY(!b[1].calls.hasTalk() && b[2].calls.hasTalk());
        b.willing({});
        b.handler.unitGone(b.unit(2), EndType::ConfigChanged);
        QCOMPARE(b.fate(pa), "Finished/NoValidTargets");
        QCOMPARE(b.pas.allocate(), quint16(12300));

        // Replaced by another call of its source, it ends for its listeners.
        b.willing({3});
        const Call next = b.raise(0, CallType::PA, "PA");
        const Call vs = b.make(0, CallType::VS, "VS");
        b[0].calls.setCall(vs);
        b.handler.replaceCall(next, vs);
        QCOMPARE(b.fate(next), "Finished/Canceled");
        QCOMPARE(b.fate(vs), "Ringing");
        QVERIFY(!b[0].calls.hasTalk() && !b[3].calls.hasTalk());
        QCOMPARE(b.pas.allocate(), quint16(12300));

        // Ports are handed out lowest free even first, until none is left.
        for (int port = 12300; port < 14300; port += 4)
            b.pas.insert(quint16(port));
        QCOMPARE(b.pas.allocate(), quint16(12302));
        for (int port = 12302; port < 14300; port += 4)
            b.pas.insert(quint16(port));
        QCOMPARE(b.pas.allocate(), quint16(0));
        b.pas.remove(14298);
        QCOMPARE(b.pas.allocate(), quint16(14298));
    }

    void movedDeviceEndsItsCallAtTheUnitItLeft()
    {
        Bench b(3, {2});
        Call first = b.make(0, CallType::NV, "BT7");
        first.setMobile();
        b.raise(first);
        Call moved = b.make(1, CallType::NV, "BT7");
        moved.setMobile();
        b.raise(moved);
        QCOMPARE(b.fate(first), "Finished/MovedBetweenUnits");
        QCOMPARE(b[2].received(), QStringList{"BT7:Ringing"});
    }

    void dialCallThatCannotRing_data()
    {
        QTest::addColumn<bool>("calleeBusy");
        QTest::addColumn<QString>("fate");
        QTest::newRow("nobody has the number") << false << "Finished/NoValidTargets";
        QTest::newRow("callee busy") << true << "Finished/TargetBusy";
    }
    void dialCallThatCannotRing()
    {
        QFETCH(bool, calleeBusy);
        Bench b(2, calleeBusy ? QVector<int>{1} : QVector<int>{});
        if (calleeBusy)
            b[1].calls.setCall(b.make(1, CallType::VS, "VS"));
        const Call dc = b.raise(0, CallType::DC, "DC");
        QTEST(b.fate(dc), "fate");
        QVERIFY(!b[0].calls.hasOwnCall()); // the caller is told at once
        QVERIFY(b[1].calls.receivedCalls().isEmpty());
    }

    void synthesizerTalk()
    {
        Bench b(2, {1});
        Call nv = b.make(0, CallType::NV, "NV1");
        nv.setSourceMode(3);
        b.raise(nv);
        QVERIFY(b.answer(nv, 1));
        QCOMPARE(b[1].voips, QStringList{"1 0 54 10.10.0.1 10100 10002"});
        QVERIFY(b.synthesizer.isPlaying(10100));
        QVERIFY(!b[0].calls.hasNVCalls()); // the device call ends with the answer
        b.handler.endIncomingTalk(nv);
        QCOMPARE(b.fate(nv), "Finished/HangUp");
        QVERIFY(!b.synthesizer.isPlaying(10100));
    }

    // "presence code [staff] [elsewhere] [answered]": staff at the calling unit, the
    // calling unit in another room, the call in talk with a third unit.
    void presenceEndsTheRoomsCalls_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("fate");
        QTest::newRow("PS ends NV") << "PS NV staff" << "Finished/Presence";
        QTest::newRow("PS ends VS") << "PS VS" << "Finished/Presence";
        QTest::newRow("PS, VS with staff") << "PS VS staff" << "Ringing";
        QTest::newRow("PS keeps VK") << "PS VK" << "Ringing";
        QTest::newRow("PP ends VK") << "PP VK" << "Finished/Presence";
        QTest::newRow("PS elsewhere") << "PS NV elsewhere" << "Ringing";
        QTest::newRow("PS ends NV talk") << "PS NV answered" << "Finished/Presence";
        QTest::newRow("PS keeps VS talk") << "PS VS answered" << "Connected";
    }
    void presenceEndsTheRoomsCalls()
    {
        QFETCH(QString, how);
        const QStringList words = how.split(' ');
        Room room("a"), other("b");
        Bench b(3, {2});
        b.unit(0)->place.room = words.contains("elsewhere") ? &other : &room;
        b.unit(0)->presence = words.contains("staff");
        b.unit(1)->place.room = &room;
        const Call call = b.raise(0, callTypeFromCode(words[1]), words[1]);
        if (words.contains("answered"))
            QVERIFY(b.answer(call, 2));
        words[0] == "PS" ? b.handler.presenceRegisteredPS(b.unit(1))
                         : b.handler.presenceRegisteredPP(b.unit(1));
        QTEST(b.fate(call), "fate");
    }

    void goneUnit_data()
    {
        QTest::addColumn<EndType>("end");
        QTest::newRow("lost") << EndType::LostCommunication;
        QTest::newRow("restarted") << EndType::ConfigChanged;
        QTest::newRow("deleted") << EndType::UnitDeleted;
    }
    void goneUnit()
    {
        QFETCH(EndType, end);
        Bench b(4, {0});
        const Call waiting = b.raise(2, CallType::VS, "VS");
        const Call heldAt0 = b.held(3, "NV1", 0);
        b.willing({1});
        b[1].onlyCodes = QStringList{"NV2"};
        const Call heldAt1 = b.held(3, "NV2", 1);
        b.willing({0, 1});
        b[1].onlyCodes = QStringList{"VS"};
        const Call own = b.raise(0, CallType::VS, "VS");

        b.unit(0)->reachable = end != EndType::LostCommunication;
        b.handler.unitGone(b.unit(0), end);
        QCOMPARE(b.fate(own), "Finished/" + endTypeName(end));
        QCOMPARE(b[1].received(), (QStringList{"NV2:Muted"}));
        QCOMPARE(b.fate(waiting), "New"); // nobody else receives it
        // Going, it is offered nothing; deleted, it is left nowhere.
        QCOMPARE(b.queue.get(heldAt1).receivers(), QVector<CallCapable*>{b.unit(1)});
        const Call kept = b.queue.get(heldAt0);
        QCOMPARE(kept.isReceiver(b.unit(0)) || kept.isTarget(b.unit(0)), end != EndType::UnitDeleted);
    }
};

QTEST_GUILESS_MAIN(TestCallHandler)
#include "tst_callhandler.moc"
