#include "core/jsonfile.h"
#include "support/logcapture.h"
#include "wards/rooms.h"
#include "wards/wards.h"

#include <QtTest>

#include <utility>

namespace {

QVariantMap wardEntry(const QString& id, const QString& name, const QString& group,
                      const QString& abbrev = QString())
{
    return {{"_id", id}, {"name", name}, {"abbrev", abbrev}, {"group", group}};
}

QVariantMap roomEntry(const QString& id, const QString& name, const QVariant& number,
                      const QString& ward)
{
    return {{"_id", id}, {"name", name}, {"number", number}, {"ward", ward}};
}

template <typename T>
QStringList ids(const QVector<T*>& items)
{
    QStringList result;
    for (const T* item : items)
        result << item->id();
    return result;
}

// Each ward as "A:Day", "A+:Day" while connected.
QString modes(const Wards& wards)
{
    QStringList list;
    for (const Ward* ward : wards.wards())
        list << ward->id() + (ward->isConnected() ? "+:" : ":") + Ward::modeName(ward->mode());
    return list.join(' ');
}

// Wards A, B and C of group "G" and D of group "H".
QVariantList fourWards()
{
    return {wardEntry("A", "Ward A", "G"), wardEntry("B", "Ward B", "G"),
            wardEntry("C", "Ward C", "G"), wardEntry("D", "Ward D", "H")};
}

} // namespace

class TestWards : public QObject
{
    Q_OBJECT

private slots:
    void wardsAndRoomsLoadSkipUnusableEntries()
    {
        Wards wards;
        wards.load({wardEntry(" A ", "Ward A", "G", "WA"), wardEntry("", "Nameless", "G"),
                    wardEntry("none", "Impostor", "G"), wardEntry("A", "Second A", "H"),
                    QVariant(42), QVariantMap{{"_id", "B"}}});

        QCOMPARE(ids(wards.allWards()), (QStringList{"none", "A", "B"}));
        QCOMPARE(ids(wards.wards()), (QStringList{"A", "B"}));
        const Ward* a = wards.ward("A");
        QCOMPARE(QStringList({a->name(), a->abbrev(), a->group()}), QStringList({"Ward A", "WA", "G"}));
        QCOMPARE(modes(wards), "A:Day B:Day");
        QVERIFY(wards.ward("B")->name().isEmpty());
        QCOMPARE(wards.ward("nowhere"), Ward::unknownWard());
        QCOMPARE(wards.ward("none"), Ward::unknownWard());
        QVERIFY(!wards.contains("nowhere"));
        QCOMPARE(wards.groups(), (QStringList{"", "G"}));

        LogCapture log;
        Rooms rooms(&wards);
        rooms.load({roomEntry(" r1 ", "Room 1", 101, " A "), roomEntry("r2", "Room 2", "102", "B"),
                    roomEntry("r3", "Lost", "x", "Q"), roomEntry("r1", "Again", 5, "B"),
                    roomEntry("none", "Impostor", 1, "A"), roomEntry("", "Nameless", 1, "A")});
        QCOMPARE(ids(rooms.rooms()), (QStringList{"r1", "r2", "r3"}));
        QCOMPARE(QList<int>({rooms.room("r1")->number(), rooms.room("r2")->number(), rooms.room("r3")->number()}),
                 QList<int>({101, 102, 0}));
        QCOMPARE(rooms.room("r1")->ward(), wards.ward("A"));
        QCOMPARE(rooms.room("r3")->ward(), Ward::unknownWard());
        QCOMPARE(log.linesStartingWith("Critical "),
                 QStringList{"Critical Config file - used undefined ward"});

        QCOMPARE(rooms.room("nowhere"), Room::unknownRoom());
        QCOMPARE(Room::unknownRoom()->ward(), Ward::unknownWard());
        QCOMPARE(ids(rooms.roomsOfWard(wards.ward("A"))), QStringList{"r1"});
    }

    void connectingTurnsJoinedWardsToDay()
    {
        Wards wards;
        wards.load(fourWards());
        Ward* a = wards.ward("A");
        Ward* b = wards.ward("B");
        a->setMode(Ward::Night);
        wards.ward("C")->setMode(Ward::Night);
        b->setConnected(true);

        QStringList events; // "connection:A,B" or "mode:A", in emission order
        const auto record = [&events](const QString& name) {
            return [&events, name](const QVector<Ward*>& changed) {
                events << name + ':' + ids(changed).join(',');
            };
        };
        connect(&wards, &Wards::connectionChanged, this, record("connection"));
        connect(&wards, &Wards::dayNightModeChanged, this, record("mode"));

        wards.connectWard(a);
        QCOMPARE(modes(wards), "A+:Day B+:Day C:Night D:Day"); // C is in the group, not connected
        QCOMPARE(std::exchange(events, {}), (QStringList{"connection:A,B,C", "mode:A,B"}));

        // Disconnecting keeps the modes; afterwards A's mode is its own.
        wards.disconnectWard(a);
        QCOMPARE(ids(wards.connectedWith(a)), QStringList{"A"});
        wards.setMode(a, Ward::Night);
        QCOMPARE(modes(wards), "A:Night B+:Day C:Night D:Day");
        QCOMPARE(std::exchange(events, {}), (QStringList{"connection:A,B,C", "mode:A"}));

        // Connected wards change mode together; the signal comes even unchanged.
        wards.connectWard(a);
        wards.setMode(b, Ward::Night);
        QCOMPARE(modes(wards), "A+:Night B+:Night C:Night D:Day");
        wards.setMode(b, Ward::Night);
        QCOMPARE(std::exchange(events, {}),
                 (QStringList{"connection:A,B,C", "mode:A,B", "mode:B,A", "mode:B,A"}));

        // Joined again with no ward at day, they all stay at night.
        wards.disconnectWard(a);
        wards.connectWard(a);
        QCOMPARE(modes(wards), "A+:Night B+:Night C:Night D:Day");
        events.clear();

        // Unknown wards, and ward objects no longer registered, are not acted on.
        wards.connectWard(QStringLiteral("Z"));
        wards.disconnectWard(QStringLiteral("Z"));
        Ward stray(QStringLiteral("D"));
        wards.connectWard(&stray);
        wards.setMode(&stray, Ward::Night);
        QCOMPARE(events, QStringList{});
        QVERIFY(!Ward::unknownWard()->isConnected());
        QCOMPARE(modes(wards), "A+:Night B+:Night C:Night D:Day");
    }

    // Modes in any letter case; unknown wards, modes and entries are passed
    // over; joined wards share the day; nothing is announced.
    void restoreStateReadsWhatItCan()
    {
        Wards wards;
        wards.load(fourWards());
        QSignalSpy connection(&wards, &Wards::connectionChanged);
        QSignalSpy mode(&wards, &Wards::dayNightModeChanged);
        wards.restoreState({
            QVariantMap{{"id", "A"}, {"connected", true}, {"mode", "nIGHT"}},
            QVariantMap{{"id", "B"}, {"mode", "dusk"}},
            QVariantMap{{"id", "C"}, {"connected", false}, {"mode", "NIGHT"}},
            QVariantMap{{"id", "D"}, {"connected", true}},
            QVariantMap{{"id", "X"}, {"connected", true}, {"mode", "Night"}},
            QVariant(QStringLiteral("garbage")),
        });
        QCOMPARE(toJson(wards.state()), QByteArray(R"([{"connected":false,"id":"none","mode":"Day"},)"
                                                   R"({"connected":true,"id":"A","mode":"Night"},)"
                                                   R"({"connected":false,"id":"B","mode":"NotSet"},)"
                                                   R"({"connected":false,"id":"C","mode":"Night"},)"
                                                   R"({"connected":true,"id":"D","mode":"Day"}])"));
        QCOMPARE(connection.count() + mode.count(), 0);

        wards.restoreState({QVariantMap{{"id", "A"}, {"connected", true}, {"mode", "Night"}},
                            QVariantMap{{"id", "B"}, {"connected", true}, {"mode", "Day"}}});
        QCOMPARE(modes(wards), "A+:Day B+:Day C:Night D+:Day");
    }

    // Reloaded wards and rooms keep their objects and state, their changes are
    // sorted into lists, and those that went live until the event loop had its turn.
    void reloadKeepsStateAndSortsChanges()
    {
        Wards wards;
        wards.load(fourWards());
        Rooms rooms(&wards);
        rooms.load({roomEntry("same", "Same", 1, "A"), roomEntry("moved", "Moved", 2, "A"),
                    roomEntry("renamed", "Old name", 3, "A"), roomEntry("renumbered", "R", 4, "A"),
                    roomEntry("inRenamedWard", "W", 5, "B"), roomEntry("inRegrouped", "X", 6, "D"),
                    roomEntry("gone", "Gone", 7, "A")});
        Ward* a = wards.ward("A");
        Ward* b = wards.ward("B");
        QPointer<Ward> c = wards.ward("C");
        Room* same = rooms.room("same");
        QPointer<Room> gone = rooms.room("gone");
        a->setConnected(true);
        a->setMode(Ward::Night);

        wards.reload({wardEntry("A", "Ward A", "G"), wardEntry("B", "Ward Bee", "G"),
                      wardEntry("D", "Ward D", "G"), wardEntry("E", "Ward E", "H")});
        QCOMPARE(wards.ward("A"), a);
        QCOMPARE(modes(wards), "A+:Night B:Day D:Day E:Day");
        QCOMPARE(b->name(), QStringLiteral("Ward Bee"));
        QCOMPARE(ids(wards.textChangedWards()), QStringList{"B"});
        QCOMPARE(ids(wards.groupChangedWards()), QStringList{"D"});
        QCOMPARE(ids(wards.allWards()), (QStringList{"none", "A", "B", "D", "E"}));
        QCOMPARE(wards.ward("C"), Ward::unknownWard());

        rooms.reload({roomEntry("same", "Same", 1, "A"), roomEntry("moved", "Moved", 2, "E"),
                      roomEntry("renamed", "New name", 3, "A"),
                      roomEntry("renumbered", "R", 40, "A"), roomEntry("inRenamedWard", "W", 5, "B"),
                      roomEntry("inRegrouped", "X", 6, "D"), roomEntry("new", "New", 8, "A")});
        QCOMPARE(rooms.room("same"), same);
        QCOMPARE(ids(rooms.groupChangedRooms()), (QStringList{"moved", "inRegrouped"}));
        QCOMPARE(ids(rooms.textChangedRooms()),
                 (QStringList{"renamed", "renumbered", "inRenamedWard"}));
        QCOMPARE(rooms.room("moved")->ward(), wards.ward("E"));
        QCOMPARE(rooms.room("renumbered")->number(), 40);
        QCOMPARE(rooms.room("gone"), Room::unknownRoom());

        wards.deleteOldWards();
        rooms.deleteOldRooms();
        QVERIFY(c && gone);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!c && !gone);
        QVERIFY(!a->isUnknown());
        QCOMPARE(same->name(), QStringLiteral("Same"));
    }
};

QTEST_GUILESS_MAIN(TestWards)
#include "tst_wards.moc"
