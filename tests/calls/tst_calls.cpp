#include "calls/calls.h"
#include "support/fakecallcapable.h"

#include <QtTest>

#include <utility>

namespace {

// Records the registry's signals in emission order as "name:labels", a call
// labelled by its code, "(muted)" when muted, two calls as "old>new".
class SignalLog : public QObject
{
public:
    explicit SignalLog(Calls* calls) : m_calls(calls)
    {
        on(&Calls::callNew, "callNew"), on(&Calls::callReplaced, "callReplaced"), on(&Calls::callMuted, "callMuted");
        on(&Calls::callCanceled, "callCanceled"), on(&Calls::callsChanged, "callsChanged");
        on(&Calls::talkChanged, "talkChanged"), on(&Calls::callUpdated, "callUpdated");
        on(&Calls::talkTerminated, "talkTerminated");
        connect(calls, &Calls::callTerminated, this, [this](const Call& c, EndType e) {
            entries << QStringLiteral("callTerminated/%1:%2").arg(endTypeName(e), label(c));
        });
        connect(calls, &Calls::callConnected, this,
                [this](const Call& c) { entries << "callConnected:" + label(c); });
    }
    QStringList take() { return std::exchange(entries, {}); }
    QStringList entries;

private:
    template<typename... Args>
    void on(void (Calls::*signal)(Args...), const QString& name)
    {
        connect(m_calls, signal, this, [this, name](const std::decay_t<Args>&... calls) {
            const QStringList labels{label(calls)...};
            entries << (labels.isEmpty() ? name : name + ':' + labels.join('>'));
        });
    }
    static QString label(const Call& call)
    {
        return call.isValid() ? call.code() + (call.isMuted() ? "(muted)" : "") : QStringLiteral("null");
    }
    Calls* m_calls;
};

Call muted(Call call)
{
    call.mute();
    return call;
}

} // namespace

class TestCalls : public QObject
{
    Q_OBJECT

private slots:
    void ownCallFromNewToTalk()
    {
        Calls calls;
        SignalLog log(&calls);
        FakeCallCapable source;
        Call vs(CallType::VS, QStringLiteral("VS"), &source);
        const Call al(CallType::AL, QStringLiteral("AL"), &source);
        // Only the own call connects as the caller.
        calls.connectCall(vs, VoIP());
        QVERIFY(log.take().isEmpty());
        QVERIFY(!calls.hasTalk());

        calls.setCall(vs);
        QCOMPARE(log.take(), (QStringList{"callsChanged", "callNew:VS"}));
        QVERIFY(calls.isBusy());
        QVERIFY(calls.hasPendingVSWithoutPresence());
        source.presence = true;
        QVERIFY(calls.hasPendingVSWithPresence());
        QVERIFY(!calls.hasPendingVSWithoutPresence());

        calls.setCall(al);
        QCOMPARE(log.take(), (QStringList{"callsChanged", "callReplaced:VS>AL"}));
        QVERIFY(calls.hasPendingAL());
        QVERIFY(!calls.hasPendingVK());

        calls.updateCall(muted(al));
        QCOMPARE(log.take(), (QStringList{"callsChanged", "callUpdated:AL>AL(muted)"}));
        QVERIFY(calls.ownCall().isMuted());

        calls.cancelCall();
        QCOMPARE(log.take(), (QStringList{"callsChanged", "callCanceled:AL(muted)"}));
        QVERIFY(!calls.hasOwnCall());

        calls.setCall(vs);
        log.take();
        vs.setConnected();
        calls.connectCall(vs, VoIP());
        QCOMPARE(log.take(), (QStringList{"talkChanged", "callsChanged", "callConnected:VS"}));
        QVERIFY(calls.isTalk(vs));
        QVERIFY(calls.ownCall().isConnected());
        QVERIFY(!calls.hasPendingVSWithPresence());
    }

    void deviceCallsByCodeAndWhatTheyTell()
    {
        Calls calls;
        SignalLog log(&calls);
        const Call nv1(CallType::NV, QStringLiteral("NV1"), nullptr);
        calls.updateCall(nv1); // not registered: not updated
        QVERIFY(log.take().isEmpty());
        QVERIFY(!calls.hasNVCalls());
        calls.setNVCall(nv1);
        QCOMPARE(log.take(), (QStringList{"callsChanged", "callNew:NV1"}));

        // The same device reporting again updates its entry in place.
        const Call nv1Again(CallType::NV, QStringLiteral("NV1"), nullptr);
        calls.setNVCall(nv1Again);
        QCOMPARE(log.take(), QStringList{"callsChanged"});
        QCOMPARE(calls.nvCalls().size(), 1);
        QCOMPARE(calls.nvCall(QStringLiteral("NV1")), nv1Again);

        calls.setNVCall(muted(nv1Again));
        QCOMPARE(log.take(), (QStringList{"callsChanged", "callMuted:NV1(muted)"}));
        calls.setNVCall(muted(nv1Again));
        QCOMPARE(log.take(), QStringList{"callsChanged"});

        // Held from the start: announced as muted, never as new.
        calls.setNVCall(muted(Call(CallType::NV, QStringLiteral("BT-7"), nullptr)));
        QCOMPARE(log.take(), (QStringList{"callsChanged", "callMuted:BT-7(muted)"}));
        QCOMPARE(calls.nvCalls().size(), 2);
        QVERIFY(!calls.hasUnmutedNVCalls());
        QVERIFY(!calls.hasWaitingNVCall());

        calls.updateCall(nv1Again);
        QCOMPARE(log.take(), (QStringList{"callsChanged", "callUpdated:NV1(muted)>NV1"}));
        QVERIFY(!calls.nvCall(QStringLiteral("NV1")).isMuted());
        QVERIFY(!calls.hasOwnCall());

        calls.cancelNVCall(QStringLiteral("NV5"));
        QVERIFY(log.take().isEmpty());
        calls.cancelNVCall(QStringLiteral("NV1"));
        QCOMPARE(log.take(), (QStringList{"callsChanged", "callCanceled:NV1"}));
        QVERIFY(!calls.hasNVCall(QStringLiteral("NV1")));
        QVERIFY(!calls.nvCall(QStringLiteral("NV1")).isValid());

        // Waiting: a synthesizer call not yet muted; audible: a plain one in talk.
        Call synth(CallType::NV, QStringLiteral("NV1"), nullptr);
        synth.setSourceMode(3);
        calls.setNVCall(synth);
        QVERIFY(calls.hasWaitingNVCall());
        QVERIFY(!calls.hasAudibleNVCall());

        Call plain(CallType::NV, QStringLiteral("NV2"), nullptr);
        plain.setSourceMode(1);
        plain.setConnected();
        calls.setNVCall(plain);
        QVERIFY(calls.hasAudibleNVCall());
        QCOMPARE(calls.firstWaitingNVCall(), synth);

        calls.setNVCall(muted(synth));
        QVERIFY(!calls.hasWaitingNVCall());
        calls.setNVCall(muted(plain));
        QVERIFY(!calls.hasAudibleNVCall());
    }

    void removeTerminateAndEndTalk()
    {
        Calls calls;
        SignalLog log(&calls);
        const Call vs(CallType::VS, QStringLiteral("VS"), nullptr);
        const Call other(CallType::VS, QStringLiteral("VS"), nullptr);
        calls.setCall(vs);
        log.take();

        calls.removeCall(other);
        QVERIFY(log.take().isEmpty());
        QVERIFY(calls.hasOwnCall());

        calls.setTalk(vs);
        log.take();
        calls.endTalk(other);
        QVERIFY(log.take().isEmpty());
        QVERIFY(calls.isTalk(vs));
        // An own call in talk stays until the talk ends; its end is told all the same.
        calls.removeCall(vs);
        QVERIFY(log.take().isEmpty());
        calls.terminateCall(vs, EndType::Timeout);
        QCOMPARE(log.take(), QStringList{"callTerminated/Timeout:VS"});
        QVERIFY(calls.isOwnCall(vs));

        calls.clearTalk();
        log.take();
        // Handed the stored own call itself, it still tells which call ended.
        calls.terminateCall(calls.ownCall(), EndType::Presence);
        QCOMPARE(log.take(), (QStringList{"callsChanged", "callTerminated/Presence:VS"}));
        QVERIFY(!calls.hasOwnCall());

        calls.setCall(vs);
        calls.setTalk(vs);
        log.take();
        calls.endTalk(vs);
        QCOMPARE(log.take(), (QStringList{"callsChanged", "talkChanged", "talkTerminated"}));
        QVERIFY(!calls.hasOwnCall());
        QVERIFY(!calls.hasTalk());

        const Call nv(CallType::NV, QStringLiteral("NV4"), nullptr);
        calls.setNVCall(nv);
        log.take();
        calls.removeCall(nv);
        QCOMPARE(log.take(), QStringList{"callsChanged"});
        calls.terminateCall(nv, EndType::Canceled);
        QCOMPARE(log.take(), QStringList{"callTerminated/Canceled:NV4"});
    }

    void receivedCallsAreHeldByKindAndAnswered()
    {
        Calls calls;
        SignalLog log(&calls);
        Call vs1(CallType::VS, QStringLiteral("VS"), nullptr);
        const Call vs2(CallType::VS, QStringLiteral("VS"), nullptr);
        const Call al(CallType::AL, QStringLiteral("AL"), nullptr);
        const Call dc(CallType::DC, QStringLiteral("DC"), nullptr);

        for (const Call& call : {vs1, dc, vs2, al})
            calls.addReceivedCall(call);
        QCOMPARE(log.take(), (QStringList{"callsChanged", "callsChanged", "callsChanged", "callsChanged"}));
        QCOMPARE(calls.receivedCalls(), (QVector<Call>{al, vs1, vs2, dc}));
        QVERIFY(calls.hasReceivedAL());
        QVERIFY(!calls.hasReceivedPA());

        // Overwritten in place, not moved behind its equals.
        vs1.setRinging();
        calls.setReceivedCall(vs1);
        QCOMPARE(log.take(), QStringList{"callsChanged"});
        QCOMPARE(calls.receivedCalls().at(1).state(), CallState::Ringing);
        QCOMPARE(calls.firstRingingReceived(), vs1);

        const Call pa(CallType::PA, QStringLiteral("PA"), nullptr);
        calls.setReceivedCall(pa);
        QCOMPARE(calls.receivedCalls(), (QVector<Call>{al, vs1, vs2, pa, dc}));

        calls.removeReceivedCall(vs1);
        QCOMPARE(log.take(), (QStringList{"callsChanged", "callsChanged"}));
        QCOMPARE(calls.receivedCalls(), (QVector<Call>{al, vs2, pa, dc}));
        QVERIFY(!calls.hasRingingReceived());

        // Answering a delivered call stores the connected copy in place.
        Call answered = al;
        answered.setConnected();
        calls.connectReceivedCall(answered, VoIP());
        QCOMPARE(log.take(), (QStringList{"talkChanged", "callsChanged", "callConnected:AL"}));
        QVERIFY(calls.isTalk(al));
        QCOMPARE(calls.receivedCalls().size(), 4);
        QVERIFY(calls.receivedCalls().at(0).isConnected());
    }

    void busyWithUnmutedReceivedCalls()
    {
        Calls calls;
        QVERIFY(!calls.isBusy());
        calls.addReceivedCall(muted(Call(CallType::VS, QStringLiteral("VS"), nullptr)));
        QVERIFY(!calls.isBusy());
        Call talking(CallType::VS, QStringLiteral("VS"), nullptr);
        talking.setConnectedMuted();
        calls.addReceivedCall(talking);
        QVERIFY(calls.isBusy());
    }
};

QTEST_GUILESS_MAIN(TestCalls)
#include "tst_calls.moc"
