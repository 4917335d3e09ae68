#include "core/constants.h"
#include "core/runtimeoptions.h"
#include "support/logcapture.h"
#include "support/temproot.h"
#include "units/settings/corvisettings.h"
#include "units/settings/namedayssettings.h"
#include "units/settings/nvsettings.h"
#include "units/settings/radiossettings.h"

#include <QtTest>

namespace {

QVariantMap nv(const QString& name, int bed, bool cancelByAnswering = false)
{
    return {{"name", name}, {"bed", bed}, {"cancelByAnswering", cancelByAnswering}};
}

QVariantList nineNV()
{
    QVariantList list;
    for (int i = 0; i < 9; ++i)
        list << nv(QStringLiteral("Input %1").arg(i), i);
    return list;
}

QVariantMap button(const QString& id, const QString& name, const QVariant& bed, const QString& unit)
{
    return {{"id", id}, {"clientName", name}, {"bed", bed}, {"unit", unit}};
}

// "id name bed N [cancel] @unit", one string per entry so that a fault shows whole.
QString text(const NVEntry& e)
{
    return QStringLiteral("%1 %2 bed %3%4 @%5").arg(e.id, e.name).arg(e.bed)
        .arg(e.cancelByAnswering ? " cancel" : "", e.unit.toString());
}

// "address:port for unitAddress:unitPort"
QString text(const RadioChannel& c)
{
    return QStringLiteral("%1:%2 for %3:%4").arg(c.address.toString()).arg(c.port)
        .arg(c.unitAddress.toString()).arg(c.unitPort);
}

// "on|off address:port volume V input I frequency"
QString text(const CorviChannel& c)
{
    return QStringLiteral("%1 %2:%3 volume %4 input %5 %6")
        .arg(c.active ? "on" : "off", c.address.toString()).arg(c.port).arg(c.volume).arg(c.input)
        .arg(c.frequency);
}

const QHostAddress UnitA(QStringLiteral("127.0.0.11"));
const QHostAddress UnitB(QStringLiteral("127.0.0.12"));

} // namespace

class TestUnitSettings : public QObject
{
    Q_OBJECT

private slots:
    void namedays()
    {
        TempRoot root;
        root.write("/opt/core/etc/en-US_nameday.conf",
                   "1. 1.;New Year\n"
                   "  24. 12. ; @Adam a Eva  \r\n"
                   "29. 2.;Leap\n"
                   "25. 12.;Christmas;extra\n"
                   "not a date;Nobody\n"
                   "26. 12.\n"
                   "31. 13.;Impossible\n"
                   "\n"
                   "2. 1.;\xC5\xBDofie\n");
        NamedaysSettings namedays;
        namedays.load("en-US");
        QStringList names;
        for (const QDate& day : {QDate(2024, 1, 1), QDate(2023, 12, 24), QDate(2024, 2, 29), QDate(2024, 1, 2),
                                 QDate(2024, 12, 25), QDate(2024, 12, 26)})
            names << namedays.names(day);
        QCOMPARE(names, QStringList({"New Year", "@Adam a Eva", "Leap", QString::fromUtf8("\xC5\xBDofie"), "", ""}));
        QCOMPARE(namedays.count(), 4);

        // Another language replaces the table; a missing file empties it.
        root.write("/opt/core/etc/cs-CZ_nameday.conf", "1. 1.;Nový rok\n");
        namedays.load("cs-CZ");
        QCOMPARE(namedays.names(QDate(2024, 1, 1)), QStringLiteral("Nový rok"));
        QVERIFY(namedays.names(QDate(2024, 12, 24)).isEmpty());
        namedays.load("de-DE");
        QCOMPARE(namedays.count(), 0);
    }

    void unitNVEntriesAndReloadLevels()
    {
        NVSettings settings;
        QVariantList list = nineNV();
        list[3] = nv("WC", 0, true);
        settings.loadUnit(UnitA, list);
        QCOMPARE(text(settings.entry(UnitA, "NV3")), QStringLiteral("NV3 WC bed 0 cancel @127.0.0.11"));
        QCOMPARE(text(settings.entry(UnitA, "NV8")), QStringLiteral("NV8 Input 8 bed 8 @127.0.0.11"));
        QCOMPARE(settings.entry(UnitA, "NV").name, QStringLiteral("Input 0"));

        // Eight elements do not say which input is which: ignored.
        list.removeLast();
        settings.loadUnit(UnitB, list);
        QVERIFY(!settings.hasUnitEntries(UnitB));
        QCOMPARE(text(settings.entry(UnitB, "NV3")), QStringLiteral("NV3  bed 0 @"));

        // A missing flag is false; a bed may come as text.
        QVariantList noFlag = nineNV();
        noFlag[1] = QVariantMap{{"name", "Bed"}, {"bed", "2"}};
        settings.loadUnit(UnitB, noFlag);
        QCOMPARE(text(settings.entry(UnitB, "NV1")), QStringLiteral("NV1 Bed bed 2 @127.0.0.12"));

        // Reloaded: names count 1, a changed flag 2; vanished entries count as changed to empty ones.
        settings.loadUnit(UnitA, nineNV());
        QVariantList renamed = nineNV();
        renamed[2] = nv("Renamed", 2);
        QVariantList rebedded = renamed;
        rebedded[5] = nv("Input 5", 7);
        QVariantList flag = rebedded;
        flag[7] = nv("Renamed too", 7, true);
        QList<int> levels;
        for (const QVariantList& next : {nineNV(), renamed, rebedded, flag, QVariantList(), QVariantList()})
            levels << settings.reloadUnit(UnitA, next);
        QCOMPARE(levels, QList<int>({0, 1, 1, 2, 2, 0}));
        QVERIFY(!settings.hasUnitEntries(UnitA));
    }

    void buttons()
    {
        NVSettings settings;
        settings.loadButtons({button(" BT-1 ", "Pendant", 1, "127.0.0.11"),
                              button("BT-2", "First", 1, "127.0.0.11"),
                              QVariantMap{{"clientName", "No id"}},
                              button("BT-2", "Second", "3", "127.0.0.12"),
                              button("BT-3", "Loose", 0, "")});
        QCOMPARE(settings.buttons().keys(), (QStringList{"BT-1", "BT-2", "BT-3"}));
        QCOMPARE(text(settings.entry(UnitA, "BT-2")), QStringLiteral("BT-2 Second bed 3 @127.0.0.12"));

        QCOMPARE(settings.buttonsOfUnit(UnitA).size(), 1);
        QCOMPARE(settings.buttonsOfUnit(UnitA).first().id + settings.buttonsOfUnit(UnitB).first().id,
                 QStringLiteral("BT-1BT-2"));

        // A unit's own entry wins over a button of the same id.
        settings.loadUnit(UnitA, nineNV());
        settings.loadButtons({button("NV1", "Button", 9, "127.0.0.12")});
        QCOMPARE(settings.entry(UnitA, "NV1").name, QStringLiteral("Input 1"));
        QCOMPARE(settings.entry(UnitB, "NV1").name, QStringLiteral("Button"));
    }

    void buttonsReloadLevel_data()
    {
        QTest::addColumn<QVariantList>("reloaded");
        QTest::addColumn<int>("level");
        const QVariantList same{button("BT-1", "Pendant", 1, "127.0.0.11"),
                                button("BT-2", "Other", 2, "127.0.0.12")};
        QTest::newRow("unchanged") << same << 0;
        const auto firstIs = [&same](const QVariantMap& first) { return QVariantList{first, same.at(1)}; };
        QTest::newRow("name") << firstIs(button("BT-1", "Renamed", 1, "127.0.0.11")) << 2;
        QTest::newRow("bed") << firstIs(button("BT-1", "Pendant", 4, "127.0.0.11")) << 2;
        QTest::newRow("unit") << firstIs(button("BT-1", "Pendant", 1, "127.0.0.12")) << 2;
        QTest::newRow("removed") << QVariantList{same.at(0)} << 2;
        QTest::newRow("new and paired")
            << (same + QVariantList{button("BT-3", "", 0, "127.0.0.11")}) << 2;
        QTest::newRow("new with a name") << (same + QVariantList{button("BT-3", "Named", 0, "")})
                                         << 2;
        QTest::newRow("new and empty") << (same + QVariantList{QVariantMap{{"id", "BT-3"}}}) << 0;
    }
    void buttonsReloadLevel()
    {
        QFETCH(QVariantList, reloaded);
        NVSettings settings;
        settings.loadButtons({button("BT-1", "Pendant", 1, "127.0.0.11"),
                              button("BT-2", "Other", 2, "127.0.0.12")});
        settings.reloadButtons(reloaded);
        QTEST(settings.buttonsLevel(), "level");
    }

    void radios()
    {
        RadiosSettings radios;
        LogCapture log;
        radios.load({QVariantMap{{"ip", "10.10.0.7"}, {"port", 5012}},
                     QVariantMap{{"port", "5013"}}, QVariantMap{{"ip", "10.10.0.300"}, {"port", 65536}}});
        QCOMPARE(log.linesStartingWith("Warning"),
                 QStringList({"Warning \"Config file - radio 3 ip 10.10.0.300 is not an address\"",
                              "Warning \"Config file - radio 3 port 65536 is out of range, 0 used\""}));
        // The units get the controller's address; only a missing radio address defaults to it too.
        const QString own = runtimeOptions().rondelAddress.toString();
        QCOMPARE(radios.channels().size(), 3);
        QCOMPARE(text(radios.channels().at(0)), "10.10.0.7:5012 for " + own + ":5012");
        QCOMPARE(text(radios.channels().at(1)), own + ":5013 for " + own + ":5013");
        QCOMPARE(text(radios.channels().at(2)), ":0 for " + own + ":0");
        QVERIFY(!radios.isChanged());
        radios.reload({QVariantMap{{"ip", "10.10.0.300"}}});
        radios.reload({QVariantMap{}});
        QVERIFY(radios.isChanged());

        const QVariantList config{QVariantMap{{"ip", "10.10.0.7"}, {"port", 5012}}};
        radios.reload(config);
        QVERIFY(radios.isChanged());
        radios.reload(config);
        QVERIFY(!radios.isChanged());
        // Only the configured address changed: still a change, while the
        // units keep being sent the same address and port.
        radios.reload({QVariantMap{{"ip", "10.10.0.8"}, {"port", 5012}}});
        QVERIFY(radios.isChanged());
        QCOMPARE(text(radios.channels().at(0)), "10.10.0.8:5012 for " + own + ":5012");
    }

    void corviChannels()
    {
        CorviSettings corvi;
        const QVariantList config{
            QVariantMap{{"active", true}, {"port", 5012}, {"volume", 8}, {"input", "fm"},
                        {"freq", "98.5"}},
            QVariantMap{{"active", false}, {"port", "5107"}, {"volume", 5}, {"input", "EXT1"},
                        {"freq", ""}}};
        corvi.load(config);
        QCOMPARE(corvi.channels().size(), 2);
        QCOMPARE(text(corvi.channel(0)), QStringLiteral("on 239.254.65.12:5012 volume 8 input 1 98.5"));
        QCOMPARE(text(corvi.channel(1)), QStringLiteral("off 239.254.65.7:5107 volume 5 input 2 "));
        // Bad ports and volumes keep their defaults: the unit still gets a group.
        LogCapture log;
        CorviSettings unknownInput(QHostAddress(QStringLiteral("127.0.0.19")));
        unknownInput.load(QVariantList{QVariantMap{{"port", -5}, {"input", "AUX"}, {"volume", 255}},
                                       QVariantMap{{"port", 5015}, {"input", "ext1"}, {"volume", "256"}}});
        QCOMPARE(text(unknownInput.channel(0)), QStringLiteral("off 239.254.65.0:0 volume 255 input 0 "));
        QCOMPARE(text(unknownInput.channel(1)), QStringLiteral("off 239.254.65.15:5015 volume 0 input 2 "));
        QCOMPARE(log.linesStartingWith("Warning"),
                 QStringList({"Warning \"Config file - unit 127.0.0.19 fmRadio channel 1 port -5 is out of range, 0 used\"",
                              "Warning \"Config file - unit 127.0.0.19 fmRadio channel 2 volume 256 is out of range, 0 used\""}));

        QCOMPARE(corvi.reload(config), 0);
        QVariantList retuned = config;
        QVariantMap second = retuned.at(1).toMap();
        second.insert("freq", "101.1");
        retuned[1] = second;
        QCOMPARE(corvi.reload(retuned), 2);
        QCOMPARE(corvi.channel(1).frequency, QStringLiteral("101.1"));

        // A third channel is not used by the unit and changes nothing.
        QCOMPARE(corvi.reload(retuned + QVariantList{QVariantMap{{"port", 5014}}}), 0);
        // A channel that disappears is compared with a default one.
        QCOMPARE(corvi.reload(QVariantList{retuned.at(0)}), 2);
        QCOMPARE(corvi.reload(QVariantList{retuned.at(0), QVariantMap{{"input", "FM"}}}), 2);
        QCOMPARE(corvi.channel(1).address, QHostAddress("239.254.65.0"));
    }
};

QTEST_GUILESS_MAIN(TestUnitSettings)
#include "tst_unitsettings.moc"
