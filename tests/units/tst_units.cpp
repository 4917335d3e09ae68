#include "calls/call.h"
#include "calls/callreceivemodes.h"
#include "config/configloader.h"
#include "errors/errorevents.h"
#include "rondel/publicrondellistener.h"
#include "support/corefixture.h"
#include "units/registry/units.h"
#include "units/registry/unitsinitializer.h"
#include "units/registry/unitsrepository.h"
#include "units/unit.h"
#include "wards/wards.h"

#include <QElapsedTimer>
#include <QtTest>

namespace {

// The addresses of the units the spied signal carried first, or of a list.
QStringList ipsOf(const QSignalSpy& spy)
{
    QStringList ips;
    for (const QList<QVariant>& arguments : spy)
        ips.append(arguments.at(0).value<Unit*>()->ip().toString());
    ips.sort();
    return ips;
}

template <typename UnitPointer>
QStringList ipsOf(const QVector<UnitPointer>& units)
{
    QStringList ips;
    for (const CallCapable* unit : units)
        ips.append(unit->ip().toString());
    return ips;
}

// The active units whose receive mode accepts the call, asked one by one.
QStringList acceptingUnits(const UnitsRepository* repository, const Call& call)
{
    QStringList ips;
    for (const Unit* unit : repository->activeUnits()) {
        if (unit->callReceiveMode()->accepts(call))
            ips.append(unit->ip().toString());
    }
    return ips;
}

// The units as CoreFixture::config() writes them, one of them collecting a ward's calls.
QVariantList withCollector(const QStringList& units, const QString& collector, const QString& ward)
{
    QVariantList list = CoreFixture::config(units);
    for (QVariant& entry : list) {
        QVariantMap map = entry.toMap();
        if (map.value("_id").toString() == collector)
            map.insert("collector", QVariantMap{{"isCollector", true}, {"wards", QVariantList{ward}}});
        entry = map;
    }
    return list;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// The active units of the room, in the order of the active list.
QStringList activeInRoom(const UnitsRepository* repository, const Room* room)
{
    QStringList ips;
    for (const Unit* unit : repository->activeUnits()) {
        if (unit->location().room == room)
            ips.append(unit->ip().toString());
    }
    return ips;
}

} // namespace

// The registry as the running core uses it, its units answered over loopback by fake units.

class TestUnits : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<Unit*>(); }

    void startUp_data()
    {
        QTest::addColumn<QStringList>("config");
        QTest::addColumn<QStringList>("answering");
        QTest::addColumn<QString>("silent"); // acknowledges, answers no request
        QTest::addColumn<QStringList>("expected");

        const QString complete = "Debug == Initialisation complete ...";
        QTest::newRow("all answer, any letter case")
            << QStringList{"127.0.0.2 tolva", "127.0.0.3 BRISA", "127.0.0.4 Lumo"}
            << QStringList{"127.0.0.2 Tolva", "127.0.0.3 Brisa", "127.0.0.4 Lumo"} << QString()
            << QStringList{complete};
        QTest::newRow("one silent") << QStringList{"127.0.0.2 Corvi", "127.0.0.3 Pardo"}
                                    << QStringList{"127.0.0.2 Corvi"} << "127.0.0.3 Pardo"
                                    << QStringList{"Warning == Initialisation timeout!"};
        QTest::newRow("nothing usable")
            << QStringList{"127.0.0.2 Tolvax", "127.0.0.300 Tolva", "127.0.0.4", " Tolva"}
            << QStringList{} << QString()
            << QStringList{"Critical Config file - failed to create unit", complete};
    }

    void startUp()
    {
        QFETCH(QStringList, config);
        QFETCH(QStringList, answering);
        QFETCH(QString, silent);

        CoreFixture core;
        core.writeConfig(CoreFixture::config(config));
        for (const QString& unit : answering)
            core.addUnit(unit);
        RespondingUnit* late = silent.isEmpty() ? nullptr : core.addUnit(silent);
        if (late)
            late->setStatusAnswers(false);

        core.initialize();
        QSignalSpy initialized(core.core().unitsInitializer(), &UnitsInitializer::unitsInitialized);
        QSignalSpy initializedLate(core.core().unitsInitializer(), &UnitsInitializer::unitInitializedLate);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(initialized.wait(CoreFixture::TimeLimit + 1000));
        const qint64 elapsed = clock.elapsed();

        const QStringList lines = core.log().lines();
        QTEST(lines.filter("Config file - failed") + lines.filter("== Initialisation"), "expected");
        QCOMPARE(core.core().unitsRepository()->configuredUnits().size(), answering.size() + (late ? 1 : 0));
        QVERIFY2(late ? elapsed >= CoreFixture::TimeLimit : elapsed < CoreFixture::TimeLimit / 2,
                 qPrintable(QString::number(elapsed)));
        if (late) {
            late->setStatusAnswers(true);
            QVERIFY(initializedLate.wait(2000));
            QCOMPARE(ipsOf(initializedLate), QStringList{"127.0.0.3"});
            QVERIFY(core.core().unitsRepository()->isActive(core.configured("127.0.0.3")));
        }
        QTest::qWait(200);
        QCOMPARE(initialized.count(), 1);
    }

    void lostAndRestored_data()
    {
        QTest::addColumn<bool>("restarted"); // the unit restarted, else it fell silent
        QTest::newRow("silent for a while") << false;
        QTest::newRow("unit restarted") << true;
    }

    void lostAndRestored()
    {
        QFETCH(bool, restarted);
        CoreFixture core;
        QVERIFY(core.bringUp({"127.0.0.2 Tolva", "127.0.0.3 Brisa"}));
        RespondingUnit* tolva = core.fake("127.0.0.2");
        Units* units = core.core().units();
        QSignalSpy lost(units, &Units::lostCommunication);
        QSignalSpy restored(units, &Units::stateRestored);
        QSignalSpy errorChanges(units, &Units::rondelErrorChanged);
        QSignalSpy callNew(units, &Units::callNew);
        const QHostAddress ip("127.0.0.2");

        tolva->setCallStatus("VS:1");
        if (!restarted) {
            tolva->setSilent(true);
            QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 2000);
            QVERIFY(core.core().errorEvents()->hasActiveError(ip));
            QTest::qWait(CoreFixture::KeepAlive * 3); // probes keep failing
        }
        tolva->clearReceived();
        if (restarted)
            tolva->sendCommand("BasicInfo", "AcronymPU:Tolva\nFWVersionPU:02.04");
        else
            tolva->setSilent(false);

        QVERIFY(restored.wait(3000));
        QCOMPARE(ipsOf(lost), QStringList{"127.0.0.2"});
        QCOMPARE(ipsOf(restored), QStringList{"127.0.0.2"});
        QCOMPARE(tolva->statusRequests("BasicInfo"), 1);
        // What the unit reported when it was read again is the core's picture.
        QCOMPARE(callNew.count(), 1);
        QCOMPARE(callNew.at(0).at(0).value<Call>().code(), QStringLiteral("VS"));
        QCOMPARE(errorChanges.count(), restarted ? 0 : 2);
        QVERIFY(!core.core().errorEvents()->hasActiveError(ip));
    }

    void reload()
    {
        CoreFixture core;
        QVERIFY(core.bringUp({"127.0.0.2 Tolva", "127.0.0.3 Brisa", "127.0.0.4 Deska", "127.0.0.7 Lumo"}));
        core.addUnit("127.0.0.6 Pardo");
        Units* units = core.core().units();
        QSignalSpy newUnit(units, &Units::newUnit);
        core.addUnit("127.0.0.5 Tolva")->sendCommand("Requests", "ModeDay");
        QVERIFY(newUnit.wait(2000));

        QStringList removed;
        connect(units, &Units::unitRemoved, this,
                [&removed](const QHostAddress& ip) { removed.append(ip.toString()); });
        QSignalSpy lost(units, &Units::lostCommunication);
        QSignalSpy restored(units, &Units::stateRestored);
        QSignalSpy late(core.core().unitsInitializer(), &UnitsInitializer::unitInitializedLate);
        // .2 leaves, .3 changes room, .4 stays, .5 (unconfigured) and .6 join, .7 changes model.
        core.writeConfig(CoreFixture::config({"127.0.0.3 Brisa r2", "127.0.0.4 Deska", "127.0.0.5 Tolva",
                                              "127.0.0.6 Pardo r3", "127.0.0.7 Fenno"}));
        for (const char* ip : {"127.0.0.2", "127.0.0.3", "127.0.0.4"})
            core.fake(ip)->clearReceived();
        core.core().configLoader()->reload();

        QTRY_COMPARE_WITH_TIMEOUT(late.count(), 3, 3000);
        QTRY_COMPARE_WITH_TIMEOUT(restored.count(), 1, 3000);
        QCOMPARE(removed, QStringList({"127.0.0.2", "127.0.0.7"}));
        QCOMPARE(ipsOf(late), QStringList({"127.0.0.5", "127.0.0.6", "127.0.0.7"}));
        QCOMPARE(ipsOf(restored), QStringList{"127.0.0.3"});
        QCOMPARE(lost.count(), 0);
        QCOMPARE(core.fake("127.0.0.3")->statusRequests("BasicInfo"), 1);
        QCOMPARE(core.fake("127.0.0.4")->statusRequests("BasicInfo"), 0);
        QCOMPARE(core.configured("127.0.0.7")->type(), int(Unit::FennoType));
        UnitsRepository* repository = core.core().unitsRepository();
        QVERIFY(!repository->containsUnconfigured(QHostAddress("127.0.0.5")));
        // The rooms follow: .3 moved to r2, .2 left r1, the new ones joined it.
        QCOMPARE(ipsOf(repository->unitsOfRoom(core.configured("127.0.0.3")->location().room)),
                 QStringList{"127.0.0.3"});
        const Room* r1 = core.configured("127.0.0.4")->location().room;
        QCOMPARE(ipsOf(repository->unitsOfRoom(r1)).size(), 3);
        QCOMPARE(ipsOf(repository->unitsOfRoom(r1)), activeInRoom(repository, r1));

        // The removed unit is no longer probed.
        RespondingUnit* gone = core.fake("127.0.0.2");
        gone->clearReceived();
        QTest::qWait(CoreFixture::KeepAlive * 3);
        QCOMPARE(gone->received().size(), 0);
        QVERIFY(core.fake("127.0.0.4")->pingCount() > 0);
    }

    // What reaches the registry over the bus: a configured unit's ward
    // requests, addresses nobody configured, and the scanner's finds.
    void busTrafficReachesTheRegistry()
    {
        CoreFixture core;
        QVERIFY(core.bringUp({"127.0.0.2 Tolva"}));
        QSignalSpy modes(core.core().wards(), &Wards::dayNightModeChanged);
        core.fake("127.0.0.2")->sendCommand("Requests", "ConnectWard w2\nConnectWard w1\nConnectWard w9\n"
                                                        "DisconnectWard w2\nModeNight");
        QVERIFY(modes.wait(2000));
        // The night reaches the unit's own ward and what is still connected with it.
        QCOMPARE(core.root().read("/opt/core/etc/settings.conf"),
                 QByteArray(R"({"wards":[{"connected":false,"id":"none","mode":"Day"},)"
                            R"({"connected":true,"id":"w1","mode":"Night"},)"
                            R"({"connected":false,"id":"w2","mode":"Day"}]})"));

        RespondingUnit* stranger = core.addUnit("127.0.0.5 Melde");
        RespondingUnit* scanned = core.addUnit("127.0.0.8 Deska");
        Units* units = core.core().units();
        UnitsRepository* repository = core.core().unitsRepository();
        QSignalSpy newUnit(units, &Units::newUnit);
        QSignalSpy basicInfo(units, &Units::basicInfoUpdated);

        // An address nobody configured becomes one unconfigured unit, probed
        // for what it is (the probe's steps are checked with the unit itself).
        stranger->sendCommand("Requests", "ModeNight");
        QTRY_VERIFY(stranger->statusRequests("Presence") == 1);
        QCOMPARE(ipsOf(basicInfo), QStringList{"127.0.0.5"});
        QVERIFY(repository->containsUnconfigured(QHostAddress("127.0.0.5")));
        stranger->sendCommand("Requests", "ModeNight");
        QVERIFY(stranger->waitForAck(1));

        // A configured address whose unit does not listen on the bus.
        emit core.core().publicRondelListener()->receivedCommand(Command("BT"), QHostAddress("127.0.0.2"));
        QVERIFY(core.log().contains("Critical \"Config file - incorrect units type 127.0.0.2\""));

        // The scanner: known addresses are left alone.
        for (const char* ip : {"127.0.0.2", "127.0.0.5", "127.0.0.8", "127.0.0.8"})
            units->unitDiscovered(QHostAddress(ip));
        QTRY_VERIFY(scanned->statusRequests("Presence") == 1);
        QCOMPARE(ipsOf(newUnit), QStringList({"127.0.0.5", "127.0.0.8"}));
        QVERIFY(!repository->containsUnconfigured(QHostAddress("127.0.0.2")));
    }

    // Whatever a reload or a connection of wards changes, a call reaches
    // exactly the units whose receive mode accepts it.
    void receiversFollowWardsRoomsAndModes()
    {
        CoreFixture core;
        const QStringList units{"127.0.0.2 Tolva r1", "127.0.0.3 Tolva r2", "127.0.0.4 Tolva r3",
                                "127.0.0.5 Tolva r3", "127.0.0.6 Tolva r1"};
        core.writeConfig(withCollector(units, "127.0.0.5", "w1"));
        for (const QString& unit : units)
            core.addUnit(unit)->setPresenceStatus("PS:1\nPP:0");
        core.initialize();
        UnitsRepository* repository = core.core().unitsRepository();
        QTRY_COMPARE_WITH_TIMEOUT(repository->activeUnits().size(), 5, 3000);
        const auto receivers = [&](const char* source) {
            return sorted(ipsOf(repository->receiversOf(
                Call(CallType::VS, QStringLiteral("VS"), core.configured(source)))));
        };
        const auto sameAsAskingEveryUnit = [&] {
            for (Unit* source : repository->activeUnits()) {
                for (const Call& call : {Call(CallType::VS, QStringLiteral("VS"), source),
                                         Call(CallType::PA, QStringLiteral("PA"), source)}) {
                    if (ipsOf(repository->receiversOf(call)) != acceptingUnits(repository, call))
                        return false;
                }
            }
            return true;
        };

        QCOMPARE(receivers("127.0.0.2"), QStringList({"127.0.0.3", "127.0.0.5", "127.0.0.6"}));
        QVERIFY(sameAsAskingEveryUnit());
        // A unit that falls silent rings for nothing until it is back.
        core.fake("127.0.0.6")->setSilent(true);
        QTRY_COMPARE_WITH_TIMEOUT(repository->activeUnits().size(), 4, 3000);
        QCOMPARE(receivers("127.0.0.2"), QStringList({"127.0.0.3", "127.0.0.5"}));
        QVERIFY(sameAsAskingEveryUnit());
        core.fake("127.0.0.6")->setSilent(false);
        QTRY_COMPARE_WITH_TIMEOUT(repository->activeUnits().size(), 5, 3000);

        core.core().wards()->connectWard("w1");
        core.core().wards()->connectWard("w2");
        QCOMPARE(receivers("127.0.0.2"), QStringList({"127.0.0.3", "127.0.0.4", "127.0.0.5", "127.0.0.6"}));
        QVERIFY(sameAsAskingEveryUnit());
        core.core().wards()->disconnectWard("w1");

        // r2 goes to w2 and r3 to w1; .5 is a normal unit now, .2 collects w2.
        const QVariantList rooms{QVariantMap{{"_id", "r1"}, {"name", "r1"}, {"number", 1}, {"ward", "w1"}},
                                 QVariantMap{{"_id", "r2"}, {"name", "r2"}, {"number", 2}, {"ward", "w2"}},
                                 QVariantMap{{"_id", "r3"}, {"name", "r3"}, {"number", 3}, {"ward", "w1"}}};
        core.writeConfig(withCollector(units, "127.0.0.2", "w2"), rooms);
        core.core().configLoader()->reload();
        QTRY_COMPARE_WITH_TIMEOUT(repository->activeUnits().size(), 5, 3000);
        QCOMPARE(receivers("127.0.0.3"), QStringList{"127.0.0.2"});
        QCOMPARE(receivers("127.0.0.6"), QStringList({"127.0.0.4", "127.0.0.5"}));
        QVERIFY(sameAsAskingEveryUnit());
    }

    void receiversAreTheActiveUnitsInOrder()
    {
        CoreFixture core;
        const QStringList units{"127.0.0.2 Tolva", "127.0.0.3 Tolva", "127.0.0.4 Tolva r3", "127.0.0.5 Tolva",
                                "127.0.0.6 Tolva r2"};
        core.writeConfig(CoreFixture::config(units));
        for (const QString& unit : units)
            core.addUnit(unit)->setPresenceStatus("PS:1\nPP:0");
        core.fake("127.0.0.3")->setStatusAnswers(false);
        core.fake("127.0.0.6")->setStatusAnswers(false);
        core.initialize();
        UnitsRepository* repository = core.core().unitsRepository();
        QTRY_VERIFY(repository->isActive(core.configured("127.0.0.5")));
        core.fake("127.0.0.6")->setStatusAnswers(true);
        QSignalSpy initialized(core.core().unitsInitializer(), &UnitsInitializer::unitsInitialized);
        QVERIFY(initialized.wait(CoreFixture::TimeLimit + 1000));

        // .2 raises it, .4 is in a ward not connected with r1's, .3 is late.
        const Call call(CallType::VS, QStringLiteral("VS"), core.configured("127.0.0.2"));
        QCOMPARE(ipsOf(repository->receiversOf(call)), QStringList({"127.0.0.5", "127.0.0.6"}));
        const Room* r1 = core.configured("127.0.0.2")->location().room;
        QCOMPARE(ipsOf(repository->unitsOfRoom(r1)).size(), 2);
        QCOMPARE(ipsOf(repository->unitsOfRoom(r1)), activeInRoom(repository, r1));

        QSignalSpy late(core.core().unitsInitializer(), &UnitsInitializer::unitInitializedLate);
        core.fake("127.0.0.3")->setStatusAnswers(true);
        QVERIFY(late.wait(2000));
        QCOMPARE(ipsOf(repository->receiversOf(call)), QStringList({"127.0.0.5", "127.0.0.6", "127.0.0.3"}));
        QCOMPARE(ipsOf(repository->unitsOfRoom(r1)).last(), QStringLiteral("127.0.0.3"));
        QCOMPARE(ipsOf(repository->unitsOfRoom(r1)), activeInRoom(repository, r1));
        QCOMPARE(ipsOf(repository->unitsOfRoom(core.configured("127.0.0.6")->location().room)),
                 QStringList{"127.0.0.6"});
    }
};

QTEST_GUILESS_MAIN(TestUnits)
#include "tst_units.moc"
