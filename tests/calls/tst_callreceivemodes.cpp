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

// Wards 3 and 5 share a group, ward 4 is in another; rooms a, b, c lie in wards 3, 5, 4.
struct Site
{
    Site()
    {
        wards.load({QVariantMap{{"_id", "3"}, {"group", "g"}}, QVariantMap{{"_id", "5"}, {"group", "g"}},
                    QVariantMap{{"_id", "4"}, {"group", "other"}}});
        a.setWard(wards.ward("3"));
        b.setWard(wards.ward("5"));
        c.setWard(wards.ward("4"));
    }
    // A unit of the given model in the room, taking calls of connected wards.
    template<typename Model = Lumo>
    Model* add(int last, Room* room, const QVariantMap& settings = {})
    {
        auto unit = std::make_unique<Model>(QHostAddress(QStringLiteral("127.0.0.%1").arg(last)));
        unit->setLocation(Location{room, 0});
        unit->loadSettings(settings);
        unit->setCallReceiveMode(new ConnectedWardsMode(unit.get(), &wards));
        units.push_back(std::move(unit));
        return static_cast<Model*>(units.back().get());
    }
    // A Lumo keeps its configured presences permanently.
    Lumo* lumo(int last, Room* room, const QVariantMap& presences) { return add(last, room, {{"presences", presences}}); }

    Wards wards;
    Room a{"a"}, b{"b"}, c{"c"};
    std::vector<std::unique_ptr<RondelUnit>> units;
};

bool takes(const Unit* unit, const Call& call) { return unit->callReceiveMode()->accepts(call); }

// Whether each unit takes the call, "1" or "0" in the order given.
QString takers(const QVector<Lumo*>& units, const Call& call)
{
    QString result;
    for (const Lumo* unit : units)
        result += takes(unit, call) ? '1' : '0';
    return result;
}

} // namespace

class TestCallReceiveModes : public QObject
{
    Q_OBJECT
private slots:
    void wardsJoinedOnlyWhileBothConnected()
    {
        Site site;
        const QVariantMap ps{{"ps", true}};
        const Call vs(CallType::VS, "VS", site.lumo(2, &site.a, {}));
        // In the same ward, a ward of the group, a ward of another group.
        const QVector<Lumo*> units{site.lumo(3, &site.a, ps), site.lumo(4, &site.b, ps),
                                   site.lumo(5, &site.c, ps)};
        QCOMPARE(takers(units, vs), "100");
        site.wards.connectWard("3");
        QCOMPARE(takers(units, vs), "100");
        site.wards.connectWard("5");
        QCOMPARE(takers(units, vs), "110");
        site.wards.connectWard("4");
        QCOMPARE(takers(units, vs), "110");
        site.wards.disconnectWard("3");
        QCOMPARE(takers(units, vs), "100");
    }

    void presenceDecidesTheKinds()
    {
        Site site;
        Lumo* source = site.lumo(2, &site.a, {});
        const QVector<Lumo*> units{site.lumo(3, &site.a, {{"pp", true}}), site.lumo(4, &site.a, {{"ps", true}}),
                                   site.lumo(5, &site.a, {{"pl", true}}), site.lumo(6, &site.a, {})};
        QCOMPARE(takers(units, Call(CallType::VK, "VK", source)), "1000");
        QCOMPARE(takers(units, Call(CallType::VS, "VS", source)), "0100");
        QCOMPARE(takers(units, Call(CallType::NV, "NV1", source)), "0100");
        QCOMPARE(takers(units, Call(CallType::AL, "AL", source)), "0110");
        // Never its own call; the plain mode takes nothing.
        const Call own(CallType::AL, "AL", units[1]);
        QCOMPARE(takers(units, own), "0010");
        QVERIFY(!CollectingUnitMode(units[1], {"3"}).accepts(own));
        QVERIFY(!CallReceiveMode().accepts(Call(CallType::AL, "AL", source)));
        // A registered presence counts like a configured one.
        units.last()->presences()->applyStatus(PresenceStatus{true, false});
        QCOMPARE(takers(units, Call(CallType::VK, "VK", source)), "1001");
        QCOMPARE(takers(units, Call(CallType::VS, "VS", source)), "0100");
    }

    void dialCallsByPhoneInAnyWard()
    {
        Site site;
        Call dial(CallType::DC, "DC", site.lumo(2, &site.a, {}));
        Lumo* far = site.add(3, &site.c, {{"phone", "301"}});
        Corvi* radio = site.add<Corvi>(9, &site.c, {{"phone", "301"}});
        Lumo* noPhone = site.lumo(4, &site.a, {});
        dial.setText("301");
        QVERIFY(takes(far, dial));
        QVERIFY(!takes(radio, dial)); // takes no dial calls
        dial.setText("302");
        QVERIFY(!takes(far, dial));
        dial.setText(QString());
        QVERIFY(!takes(noPhone, dial));
    }

    void paOnlyToFreeUnits()
    {
        Site site;
        Lumo* source = site.lumo(2, &site.a, {});
        Tolva* tolva = site.add<Tolva>(3, &site.a);
        const Call pa(CallType::PA, "PA", source);
        QVERIFY(takes(tolva, pa));
        QVERIFY(!takes(site.lumo(4, &site.a, {{"ps", true}}), pa)); // does not play PAs
        QVERIFY(!takes(site.add<Tolva>(5, &site.c), pa)); // out of reach

        tolva->calls()->setTalk(Call(CallType::VS, "VS", source));
        QVERIFY(!takes(tolva, pa));
        // Listening to this very PA keeps it in, so a redistribution keeps it.
        tolva->calls()->setTalk(pa);
        QVERIFY(takes(tolva, pa));
        tolva->calls()->clearTalk();

        // Its own synthesizer call does not keep it from the PA; another does.
        Call own(CallType::VS, "VS", tolva);
        own.setSourceMode(3);
        tolva->calls()->setCall(own);
        QVERIFY(takes(tolva, pa));
        own.setSourceMode(1);
        tolva->calls()->setCall(own);
        QVERIFY(!takes(tolva, pa));
        tolva->calls()->cancelCall();

        Call nv(CallType::NV, "NV1", tolva);
        nv.setSourceMode(1);
        tolva->calls()->setNVCall(nv);
        QVERIFY(!takes(tolva, pa));
        nv.mute();
        tolva->calls()->setNVCall(nv);
        QVERIFY(takes(tolva, pa));
    }

    void collectorTakesItsWards()
    {
        Site site;
        Lumo* inWard3 = site.lumo(2, &site.a, {});
        Lumo* inWard5 = site.lumo(3, &site.b, {});
        Lumo* inWard4 = site.lumo(4, &site.c, {});
        Lumo* collector = site.lumo(5, &site.c, {{"pl", true}});
        auto* mode = new CollectingUnitMode(collector, {"3", "5"});
        collector->setCallReceiveMode(mode);
        // A reload tells the modes apart by type: a collector is no ward-connected mode.
        QVERIFY(!qobject_cast<ConnectedWardsMode*>(collector->callReceiveMode()));
        QVERIFY(takes(collector, Call(CallType::AL, "AL", inWard3)));
        QVERIFY(takes(collector, Call(CallType::AL, "AL", inWard5)));
        QVERIFY(!takes(collector, Call(CallType::AL, "AL", inWard4))); // its own ward is not listed
        // Presence still decides the kind: PL takes alarms, not patient calls.
        QVERIFY(!takes(collector, Call(CallType::VS, "VS", inWard3)));
        mode->setWards({});
        QVERIFY(!takes(collector, Call(CallType::AL, "AL", inWard3)));
    }
};

QTEST_GUILESS_MAIN(TestCallReceiveModes)
#include "tst_callreceivemodes.moc"
