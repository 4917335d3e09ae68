#include "calls/call.h"
#include "calls/callreceivemodes.h"
#include "calls/calls.h"
#include "units/features/presences.h"
#include "units/models/unitmodels.h"
#include "wards/room.h"
#include "wards/wards.h"

#include <QtTest>

#include <memory>

namespace {

QHostAddress address(int last)
{
    return QHostAddress(QStringLiteral("127.0.0.%1").arg(last));
}

} // namespace

class TestCallReceiveModes : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void neverOwnCallsAndPlainModeNothing();
    void wardsJoinedOnlyWhileBothConnected();
    void presenceDecidesTheKinds();
    void dialCallsByPhoneInAnyWard();
    void paOnlyToFreeUnits();
    void collectorTakesItsWards();

private:
    // A Lumo: it keeps its configured presences permanently.
    Lumo* addUnit(int last, Room* room, const QVariantMap& presences);

    std::unique_ptr<Wards> m_wards;
    std::unique_ptr<Room> m_roomA;
    std::unique_ptr<Room> m_roomB;
    std::unique_ptr<Room> m_roomC;
    std::vector<std::unique_ptr<RondelUnit>> m_units;
};

void TestCallReceiveModes::init()
{
    m_wards = std::make_unique<Wards>();
    m_wards->load({QVariantMap{{"_id", "3"}, {"group", "g"}},
                   QVariantMap{{"_id", "5"}, {"group", "g"}},
                   QVariantMap{{"_id", "4"}, {"group", "other"}}});
    m_roomA = std::make_unique<Room>("a");
    m_roomA->setWard(m_wards->ward("3"));
    m_roomB = std::make_unique<Room>("b");
    m_roomB->setWard(m_wards->ward("5"));
    m_roomC = std::make_unique<Room>("c");
    m_roomC->setWard(m_wards->ward("4"));
}

void TestCallReceiveModes::cleanup()
{
    m_units.clear();
    m_roomA.reset();
    m_roomB.reset();
    m_roomC.reset();
    m_wards.reset();
}

Lumo* TestCallReceiveModes::addUnit(int last, Room* room, const QVariantMap& presences)
{
    auto unit = std::make_unique<Lumo>(address(last));
    unit->setLocation(Location{room, 0});
    unit->loadSettings({{"presences", presences}});
    unit->setCallReceiveMode(new ConnectedWardsMode(unit.get(), m_wards.get()));
    m_units.push_back(std::move(unit));
    return static_cast<Lumo*>(m_units.back().get());
}

void TestCallReceiveModes::neverOwnCallsAndPlainModeNothing()
{
    const QVariantMap all{{"pp", true}, {"ps", true}, {"pl", true}};
    Lumo* unit = addUnit(2, m_roomA.get(), all);
    Lumo* neighbour = addUnit(3, m_roomA.get(), all);
    const Call own(CallType::AL, "AL", unit);
    QVERIFY(!unit->callReceiveMode()->accepts(own));
    QVERIFY(neighbour->callReceiveMode()->accepts(own));

    CollectingUnitMode collector(unit, {"3"});
    QVERIFY(!collector.accepts(own));
    CallReceiveMode plain;
    QVERIFY(!plain.accepts(Call(CallType::AL, "AL", neighbour)));
}

void TestCallReceiveModes::wardsJoinedOnlyWhileBothConnected()
{
    const QVariantMap ps{{"ps", true}};
    Lumo* source = addUnit(2, m_roomA.get(), {});
    Lumo* sameWard = addUnit(3, m_roomA.get(), ps);
    Lumo* groupWard = addUnit(4, m_roomB.get(), ps);
    Lumo* otherGroup = addUnit(5, m_roomC.get(), ps);
    const Call vs(CallType::VS, "VS", source);

    QVERIFY(sameWard->callReceiveMode()->accepts(vs));
    QVERIFY(!groupWard->callReceiveMode()->accepts(vs));
    m_wards->connectWard("3");
    QVERIFY(!groupWard->callReceiveMode()->accepts(vs));
    m_wards->connectWard("5");
    QVERIFY(groupWard->callReceiveMode()->accepts(vs));
    m_wards->connectWard("4");
    QVERIFY(!otherGroup->callReceiveMode()->accepts(vs));
    m_wards->disconnectWard("3");
    QVERIFY(!groupWard->callReceiveMode()->accepts(vs));
}

void TestCallReceiveModes::presenceDecidesTheKinds()
{
    Lumo* source = addUnit(2, m_roomA.get(), {});
    Lumo* pp = addUnit(3, m_roomA.get(), {{"pp", true}});
    Lumo* ps = addUnit(4, m_roomA.get(), {{"ps", true}});
    Lumo* pl = addUnit(5, m_roomA.get(), {{"pl", true}});
    Lumo* none = addUnit(6, m_roomA.get(), {});
    const QVector<Lumo*> units{pp, ps, pl, none};
    const auto receivers = [&](CallType type, const QString& code) {
        const Call call(type, code, source);
        QString result;
        for (Lumo* unit : units)
            result += unit->callReceiveMode()->accepts(call) ? '1' : '0';
        return result;
    };
    QCOMPARE(receivers(CallType::VK, "VK"), QStringLiteral("1000"));
    QCOMPARE(receivers(CallType::VS, "VS"), QStringLiteral("0100"));
    QCOMPARE(receivers(CallType::NV, "NV1"), QStringLiteral("0100"));
    QCOMPARE(receivers(CallType::AL, "AL"), QStringLiteral("0110"));

    // A registered presence counts like a configured one.
    none->presences()->applyStatus(PresenceStatus{true, false});
    QVERIFY(none->callReceiveMode()->accepts(Call(CallType::VK, "VK", source)));
    QVERIFY(!none->callReceiveMode()->accepts(Call(CallType::VS, "VS", source)));
}

void TestCallReceiveModes::dialCallsByPhoneInAnyWard()
{
    Lumo* source = addUnit(2, m_roomA.get(), {});
    Lumo* far = addUnit(3, m_roomC.get(), {});
    far->loadSettings({{"phone", "301"}});
    Corvi radio(address(9));
    radio.loadSettings({{"phone", "301"}});
    radio.setCallReceiveMode(new ConnectedWardsMode(&radio, m_wards.get()));

    Call dial(CallType::DC, "DC", source);
    dial.setText("301");
    QVERIFY(far->callReceiveMode()->accepts(dial));
    QVERIFY(!radio.callReceiveMode()->accepts(dial)); // takes no dial calls
    dial.setText("302");
    QVERIFY(!far->callReceiveMode()->accepts(dial));
    Lumo* noPhone = addUnit(4, m_roomA.get(), {});
    dial.setText(QString());
    QVERIFY(!noPhone->callReceiveMode()->accepts(dial));
}

void TestCallReceiveModes::paOnlyToFreeUnits()
{
    Lumo* source = addUnit(2, m_roomA.get(), {});
    Tolva tolva(address(3));
    tolva.setLocation(Location{m_roomA.get(), 0});
    tolva.setCallReceiveMode(new ConnectedWardsMode(&tolva, m_wards.get()));
    Lumo* lumo = addUnit(4, m_roomA.get(), {{"ps", true}});
    const Call pa(CallType::PA, "PA", source);

    QVERIFY(tolva.callReceiveMode()->accepts(pa));
    QVERIFY(!lumo->callReceiveMode()->accepts(pa)); // does not play PAs

    Call talk(CallType::VS, "VS", source);
    tolva.calls()->setTalk(talk);
    QVERIFY(!tolva.callReceiveMode()->accepts(pa));
    // Listening to this very PA keeps it in, so a redistribution keeps it.
    tolva.calls()->setTalk(pa);
    QVERIFY(tolva.callReceiveMode()->accepts(pa));
    tolva.calls()->clearTalk();

    // Its own synthesizer call does not keep it from the PA; another does.
    Call own(CallType::VS, "VS", &tolva);
    own.setSourceMode(3);
    tolva.calls()->setCall(own);
    QVERIFY(tolva.callReceiveMode()->accepts(pa));
    own.setSourceMode(1);
    tolva.calls()->setCall(own);
    QVERIFY(!tolva.callReceiveMode()->accepts(pa));
    tolva.calls()->cancelCall();

    Call nv(CallType::NV, "NV1", &tolva);
    nv.setSourceMode(1);
    tolva.calls()->setNVCall(nv);
    QVERIFY(!tolva.callReceiveMode()->accepts(pa));
    nv.mute();
    tolva.calls()->setNVCall(nv);
    QVERIFY(tolva.callReceiveMode()->accepts(pa));

    // Out of reach.
    Tolva far(address(5));
    far.setLocation(Location{m_roomC.get(), 0});
    far.setCallReceiveMode(new ConnectedWardsMode(&far, m_wards.get()));
    QVERIFY(!far.callReceiveMode()->accepts(pa));
}

void TestCallReceiveModes::collectorTakesItsWards()
{
    Lumo* inWard3 = addUnit(2, m_roomA.get(), {});
    Lumo* inWard5 = addUnit(3, m_roomB.get(), {});
    Lumo* inWard4 = addUnit(4, m_roomC.get(), {});
    Lumo* collector = addUnit(5, m_roomC.get(), {{"pl", true}});
    auto* mode = new CollectingUnitMode(collector, {"3", "5"});
    collector->setCallReceiveMode(mode);
    // A reload tells the modes apart by type: a collector is no ward-connected mode.
    QVERIFY(!qobject_cast<ConnectedWardsMode*>(collector->callReceiveMode()));

    QVERIFY(collector->callReceiveMode()->accepts(Call(CallType::AL, "AL", inWard3)));
    QVERIFY(collector->callReceiveMode()->accepts(Call(CallType::AL, "AL", inWard5)));
    // Its own ward is not in its list.
    QVERIFY(!collector->callReceiveMode()->accepts(Call(CallType::AL, "AL", inWard4)));
    // Presence still decides the kind: PL takes alarms, not patient calls.
    QVERIFY(!collector->callReceiveMode()->accepts(Call(CallType::VS, "VS", inWard3)));

    mode->setWards({});
    QVERIFY(!collector->callReceiveMode()->accepts(Call(CallType::AL, "AL", inWard3)));
}

QTEST_GUILESS_MAIN(TestCallReceiveModes)
#include "tst_callreceivemodes.moc"
