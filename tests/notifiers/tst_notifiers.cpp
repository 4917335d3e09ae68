#include "config/configloader.h"
#include "notifiers/lightsnotifier.h"
#include "support/corefixture.h"
#include "units/displays/display.h"
#include "units/registry/unitsrepository.h"
#include "units/unit.h"
#include "wards/rooms.h"

#include <QtTest>

namespace {

// The last list a unit was sent, its elements joined; empty when none came.
QString lastList(const FakeUnit* unit, const QString& name)
{
    const QStringList list = unit->payloads(name);
    int first = list.size() - 1;
    while (first > 0 && list.at(first).startsWith("Continue\n"))
        --first;
    return list.mid(qMax(first, 0)).join(QString());
}

// "Cmd|payload" sent by a fake unit.
void send(FakeUnit* unit, const QString& command)
{
    unit->sendCommand(command.section('|', 0, 0), command.section('|', 1));
}

// A screen off the bus that remembers its backlight levels.
struct RecordingDisplay : Display
{
    void setBacklight(int level) override { levels.append(level); }
    QVector<int> levels;
};

} // namespace

// The notifiers in the running core, seen from fake units on loopback. The
// fixture's wards w1 (rooms r1, r2) and w2 (room r3) form one group.
class TestNotifiers : public QObject
{
    Q_OBJECT
private slots:
    void dayAndNightFollowTheWard()
    {
        CoreFixture core;
        QVERIFY(core.bringUp({"127.0.0.2 Fenno", "127.0.0.3 Tolva", "127.0.0.4 Tolva", "127.0.0.5 Fenno r3"},
                             [](RespondingUnit* unit) { // .4 comes up late
                                 unit->setStatusAnswers(unit->address() != QHostAddress("127.0.0.4"));
                             }));
        RespondingUnit* fenno = core.fake("127.0.0.2");
        RespondingUnit* otherWard = core.fake("127.0.0.5");
        // The end of the start-up gives every ward its mode.
        for (RespondingUnit* unit : {fenno, core.fake("127.0.0.3"), otherWard})
            QTRY_COMPARE(unit->payloads("Buzz"), QStringList{"Volume:Day\n"});
        auto* offBus = new Unit(QHostAddress("127.0.0.9"));
        offBus->setLocation({core.core().rooms()->room("r1"), 0});
        auto* offBusDisplay = new RecordingDisplay;
        offBus->setDisplay(offBusDisplay);
        core.core().unitsRepository()->addConfigured(offBus);
        fenno->clearReceived();
        otherWard->clearReceived();

        core.fake("127.0.0.3")->sendCommand("Requests", "ModeNight");
        QTRY_COMPARE(fenno->payloads("Buzz"), QStringList{"Volume:Night\n"});
        QTRY_VERIFY(lastList(fenno, "DisplayDateTime").contains("\nBright1:20:00,20\nBright2:7:00,20\n"));
        QVERIFY(offBusDisplay->levels.isEmpty());
        QVERIFY(!otherWard->payloads("Buzz").join(QString()).contains("Night"));
        QVERIFY(!otherWard->payloads("DisplayDateTime").join(QString()).contains(",20\n"));

        // A reload with a new night level dims the night wards to it.
        const QString file = "/opt/adminapp/etc/config.json";
        QVariantMap config = QJsonDocument::fromJson(core.root().read(file)).toVariant().toMap();
        config.insert("settings", QVariantMap{{"backlight", QVariantMap{{"day", 100}, {"night", 35}}}});
        core.root().write(file, QJsonDocument::fromVariant(config).toJson());
        core.core().configLoader()->reload();
        QTRY_VERIFY(lastList(fenno, "DisplayDateTime").contains("\nBright1:20:00,35\nBright2:7:00,35\n"));

        // A unit that comes up late takes the night of its ward at once.
        core.fake("127.0.0.4")->setStatusAnswers(true);
        QTRY_COMPARE(lastList(core.fake("127.0.0.4"), "Buzz"), QString("Volume:Night\n"));
    }

    void presencesAndWardListsFollowTheConnection()
    {
        CoreFixture core;
        QVERIFY(core.bringUp({"127.0.0.2 Fenno r1", "127.0.0.3 Fenno r3"},
                             [](RespondingUnit* unit) { unit->setPresenceStatus("PS:1\nPP:0"); }));
        RespondingUnit* a = core.fake("127.0.0.2");
        RespondingUnit* b = core.fake("127.0.0.3");
        const QString aShown = "Icon:S\nWard:W1\nRoomNo:1\nRoom:r1\nClient:\nTlfNo:\n";
        const QString bShown = "Icon:S\nWard:W2\nRoomNo:3\nRoom:r3\nClient:\nTlfNo:\n";
        const QString w1 = "ID:w1\nName:W1\nConnected:1\nNotFinished\nContinue\n";
        const struct {
            FakeUnit* from;
            QString command;
            QString onA, onB, wards; // last "DisplayPresences" of each, last "DisplayWards" of a
        } steps[] = {
            {a, "Requests|ConnectWard w1\nConnectWard w2", bShown, aShown, w1 + "ID:w2\nName:W2\nConnected:1\n"},
            {b, "Requests|DisconnectWard w2", "Clear\n", "Clear\n", w1 + "ID:w2\nName:W2\nConnected:0\n"},
            {b, "Requests|ConnectWard w2", bShown, aShown, w1 + "ID:w2\nName:W2\nConnected:1\n"},
            {b, "PresenceStatus|PS:0\nPP:0", "Clear\n", "Clear\n", ""},
            {b, "PresenceStatus|PS:1\nPP:0", bShown, aShown, ""},
        };
        for (const auto& step : steps) {
            a->clearReceived();
            b->clearReceived();
            send(step.from, step.command);
            QTRY_COMPARE(lastList(a, "DisplayPresences"), step.onA);
            QTRY_COMPARE(lastList(b, "DisplayPresences"), step.onB);
            QTRY_COMPARE(lastList(a, "DisplayWards"), step.wards);
        }
    }

    void roomLightsCombineTheUnits_data()
    {
        QTest::addColumn<QString>("atA");
        QTest::addColumn<QString>("atB");
        QTest::addColumn<QStringList>("lights");
        QTest::newRow("presence and queued call")
            << "PresenceStatus|PS:0\nPP:1" << "CallChange|NV1:1" << QStringList{"PP:1\n", "PP:1\nNV:1\n"};
        QTest::newRow("staff and alarm")
            << "PresenceStatus|PS:1\nPP:0" << "CallChange|AL:1" << QStringList{"PS:1\n", "PS:1\nAL:1\n"};
        QTest::newRow("bed call and device call")
            << "CallChange|VK:1" << "CallChange|NV2:1" << QStringList{"VK:1\n", "NV:1\nVK:1\n"};
    }
    void roomLightsCombineTheUnits()
    {
        QFETCH(QString, atA);
        QFETCH(QString, atB);
        QFETCH(QStringList, lights);
        CoreFixture core;
        QVERIFY(core.bringUp({"127.0.0.2 Tolva r1", "127.0.0.3 Tolva r1", "127.0.0.4 Tolva r2"}));
        RespondingUnit* a = core.fake("127.0.0.2");
        RespondingUnit* b = core.fake("127.0.0.3");
        RespondingUnit* otherRoom = core.fake("127.0.0.4");
        for (RespondingUnit* unit : {a, b, otherRoom}) {
            unit->sendCommand("ConnectionStatus", "SV:Connect");
            QVERIFY(unit->waitForCommand("Lights"));
            unit->clearReceived();
        }
        send(a, atA);
        QTRY_COMPARE(b->payloads("Lights").size(), 1);
        send(b, atB);
        QTRY_COMPARE(a->payloads("Lights"), lights);
        QTRY_COMPARE(b->payloads("Lights"), lights);

        // Working the rooms out again changes nothing, so nothing is sent.
        core.core().lightsNotifier()->updateAllRooms();
        QTest::qWait(200);
        QCOMPARE(a->payloads("Lights"), lights);
        QCOMPARE(otherRoom->commands("Lights").size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestNotifiers)
#include "tst_notifiers.moc"
