#include "config/configchecker.h"
#include "support/temproot.h"

#include <QtTest>

namespace {

QByteArray sample()
{
    QFile file(ORVANTA_SOURCE_DIR "/examples/config.json");
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestConfigChecker : public QObject
{
    Q_OBJECT

private slots:
    void findings_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QStringList>("lines");
        // A row either replaces every occurrence of a text of the sample, or,
        // with nothing to replace, gives the whole file.
        const auto row = [](const char* name, const QByteArray& from, const QByteArray& to,
                            const QStringList& lines) { QTest::newRow(name) << from << to << lines; };

        row("the sample", "", sample(), {});
        row("type in any case", R"("type": "Brisa", "room": "r-102")", R"("type": "bRISA", "room": "r-102")", {});
        row("empty file", "", " \n", {"Config file is not valid: the file is empty."});
        row("broken", "", "{\n  \"wards\": [1,,2]\n}", {"Config file is not valid: illegal value at line 2, column 15."});
        row("broken after a repeated key", "", "{\n  \"wards\": {\"a\": [1], \"a\": [2]},\n  \"rooms\": [,]\n}", {"Config file is not valid: illegal value at line 3, column 13."});
        row("broken inside a repeated key", "", "{\n  \"wards\": {\"b\": tru, \"b\": 2},\n  \"wards\": 1\n}", {"Config file is not valid: illegal value at line 2, column 21."});
        row("array", "", "[1]", {"Config file is not a JSON object; the daemon reads no section of it."});
        row("no sections", "", "{}", {"Config file - settings missing.", "Config file - language missing.", "Config file - synthesizer missing.", "Config file - volumes missing.", "Config file - callqueue missing.", "Config file - backlight missing.", "Config file - wards missing.", "Config file - rooms missing.", "Config file - units missing.", "Config file - buttons missing.", "Config file - radios missing."});
        row("list of another kind", R"("radios": [)", R"("radios": {}, "x": [)", {"radios is not a list; the daemon reads it as empty"});
        row("settings of another kind", R"("backlight": { "day": 100, "night": 20 })", R"("backlight": 100)", {"settings.backlight is not a JSON object; the daemon reads it as empty"});
        row("language", R"("core": "cs-CZ")", R"("core": "de-DE")", {R"(settings.language: core "de-DE" is neither "cs-CZ" nor "en-US"; Czech is used)"});
        row("language no text", R"("core": "cs-CZ")", R"("core": 5)", {"settings.language: core 5 is not a text; it is ignored"});
        row("volume source", R"("mic": [ { "sourceType": "Tolva/Brisa")", R"("mic": [ { "sourceType": "Tolva")", {R"(settings.volumes: mic source "Tolva" is not an audio type; the entry is never used)"});
        row("volume target", R"("Tolva/Brisa", "Melde": 54, "Pardo": 58)", R"("Tolva/Brisa", "Brisa": 54, "Pardo": 58)", {R"(settings.volumes: speaker "Tolva/Brisa" target "Brisa" is not an audio type; the volume is never used)"});
        row("volume range", R"("Pardo": 56)", R"("Pardo": 300)", {R"(settings.volumes mic "Tolva/Brisa": Pardo 300 is out of range 0-255)"});
        row("volume source missing", R"("mic": [ { "sourceType": "Tolva/Brisa",)", R"("mic": [ {)", {R"(settings.volumes: mic #1 has no "sourceType"; it is skipped)"});
        row("call limit", R"("maxTalkDuration": 180)", R"("maxTalkDuration": -1)", {"settings.callQueue: maxTalkDuration -1 is out of range 0-86400"});
        row("huge call limit", R"("maxCallDuration": 900)", R"("maxCallDuration": 1e30)", {"settings.callQueue: maxCallDuration 1e+30 is out of range 0-86400"});
        row("backlight range", R"("day": 100)", R"("day": "150")", {R"(settings.backlight: day "150" is out of range 0-100)"});
        row("backlight word", R"("night": 20)", R"("night": "dim")", {R"(settings.backlight: night "dim" is not a number)"});
        row("ward id empty", R"("group": "surgery" })", R"("group": "surgery" }, { "_id": " " })", {R"(ward #4: no "_id"; the ward is skipped)"});
        row("ward none", R"("group": "surgery" })", R"("group": "surgery" }, { "_id": "none" })", {R"(ward "none": "none" stands for the unknown ward; the ward is skipped)"});
        row("ward twice", R"("group": "surgery" })", R"("group": "surgery" }, { "_id": " w-surg " })", {R"(ward "w-surg": the id repeats ward #3; the ward is skipped)"});
        row("room twice", R"("number": 300, "ward": "w-surg" })", R"("number": 300, "ward": "w-surg" }, { "_id": "r-101", "ward": "w-x" })", {R"(room "r-101": the id repeats room #1; the room is skipped)"});
        row("room ward", R"("number": 101, "ward": "w-int-a")", R"("number": 101, "ward": "w-x")", {R"(room "r-101": ward "w-x" is not a configured ward)"});
        row("unit id missing", R"("_id": "127.0.0.12", )", "", {R"(unit #2: no "_id"; the unit is skipped)"});
        row("unit type missing", R"("_id": "127.0.0.12", "type": "Brisa", )", R"("_id": "127.0.0.12", )", {R"(unit "127.0.0.12": no "type"; the unit is skipped)"});
        row("unit address", R"("_id": "127.0.0.12")", R"("_id": "127.0.0.300")", {R"(unit "127.0.0.300": the id is not an IPv4 address; the unit is skipped)"});
        row("unit twice", R"("_id": "127.0.0.12")", R"("_id": " 127.0.0.13")", {R"(unit "127.0.0.13": the address repeats unit #2, which counts)"});
        row("unit type", R"("type": "Brisa", "room": "r-102")", R"("type": "Brisa2", "room": "r-102")", {R"(unit "127.0.0.12": unknown type "Brisa2"; the unit is not created)"});
        row("unit room", R"("type": "Brisa", "room": "r-102")", R"("type": "Brisa", "room": "r-999")", {R"(unit "127.0.0.12": room "r-999" is not a configured room)"});
        row("collector ward", R"([ "w-surg", "w-int-b" ])", R"([ "w-surg", "w-x" ])", {R"(unit "127.0.0.20": collector ward "w-x" is not a configured ward)"});
        row("unit nv", "{ \"name\": \"\", \"bed\": 0, \"cancelByAnswering\": false },\n", "", {R"(unit "127.0.0.11": "nv" has 5 entries, not 9; it is ignored)"});
        row("fm port", R"("port": 5013, "volume": 5)", R"("port": 70000, "volume": 5)", {R"(unit "127.0.0.19" fmRadio #2: port 70000 is out of range 1-65535)"});
        row("fm volume", R"("volume": 8)", R"("volume": -3)", {R"(unit "127.0.0.19" fmRadio #1: volume -3 is out of range 0-255)"});
        row("button id", R"("id": "BT-0002", )", "", {R"(button #2: no "id"; the button is skipped)"});
        row("button twice", R"("id": "BT-0002")", R"("id": "BT-0001")", {R"(button "BT-0001": the id repeats button #1, whose name, bed and unit this entry overwrites)"});
        row("button address", R"("unit": "127.0.0.11")", R"("unit": "bed 1")", {R"(button "BT-0001": unit "bed 1" is not an IPv4 address)"});
        row("button unit", R"("unit": "127.0.0.11")", R"("unit": "127.0.0.99")", {R"(button "BT-0001": unit "127.0.0.99" is not a configured unit)"});
        row("radio port missing", R"("ip": "10.10.0.1", "port": 5012)", R"("ip": "10.10.0.1")", {"radio #1: port is missing"});
        row("radio port", R"("port": 5013 })", R"("port": 0 })", {"radio #2: port 0 is out of range 1-65535"});
        row("radio ip null", R"("ip": "10.10.0.1", "port": 5012)", R"("ip": null, "port": 5012)", {});
        row("radio ip", R"("ip": "10.10.0.1", "port": 5012)", R"("ip": "10.10.0", "port": 5012)", {R"(radio #1: ip "10.10.0" is not an IPv4 address)"});
    }

    void findings()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QStringList, lines);
        QByteArray content = to;
        if (!from.isEmpty()) {
            content = sample();
            QVERIFY2(content.contains(from), from.constData());
            content.replace(from, to);
        }
        QCOMPARE(ConfigChecker::check(content), lines);
    }

    void exitStatusAndOutput_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: no file at all
        QTest::addColumn<bool>("underRoot");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("output"); // %1: the file's path
        QTest::newRow("clean") << sample() << false << 0 << QByteArray("%1: no findings.\n");
        QTest::newRow("clean under root") << sample() << true << 0 << QByteArray("%1: no findings.\n");
        QTest::newRow("findings") << QByteArray("[]") << false << 1 << QByteArray("Config file is not a JSON object; the daemon reads no section of it.\n%1: 1 finding.\n");
        QTest::newRow("no file") << QByteArray() << false << 2 << QByteArray("orvantacore: cannot read %1: No such file or directory\n");
    }

    void exitStatusAndOutput()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, underRoot);
        QFETCH(int, status);
        QFETCH(QByteArray, output);
        TempRoot root;
        const QString file = root.file("/opt/adminapp/etc/config.json");
        if (!content.isEmpty())
            root.write("/opt/adminapp/etc/config.json", content);
        QProcess process;
        process.start(ORVANTACORE_BINARY, underRoot ? QStringList{"--root", root.path(), "--check-config"}
                                                    : QStringList{"--check-config", file});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), status);
        QCOMPARE(status == 2 ? process.readAllStandardError() : process.readAllStandardOutput(),
                 QString::fromUtf8(output).arg(file).toUtf8());
    }
};

QTEST_GUILESS_MAIN(TestConfigChecker)
#include "tst_configchecker.moc"
