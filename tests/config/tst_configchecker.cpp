#include "config/configchecker.h"
#include "core/jsonfile.h"
#include "support/temproot.h"

#include <QProcess>
#include <QtTest>

namespace {

QByteArray sample()
{
    QFile file(ORVANTA_SOURCE_DIR "/examples/config.json");
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Sets the value at a path such as "units/8/fmRadio/1/port" (an index one
// past a list's end appends), or removes it when the value is empty.
void patch(QVariant& node, QStringList path, const QByteArray& json)
{
    const QString key = path.takeFirst();
    if (node.type() == QVariant::List) {
        QVariantList list = node.toList();
        const int index = key.toInt();
        if (path.isEmpty() && json.isEmpty())
            list.removeAt(index);
        else if (path.isEmpty())
            index < list.size() ? void(list[index] = fromJson(json)) : list.append(fromJson(json));
        else
            patch(list[index], path, json);
        node = list;
        return;
    }
    QVariantMap map = node.toMap();
    if (path.isEmpty() && json.isEmpty())
        map.remove(key);
    else if (path.isEmpty())
        map.insert(key, fromJson(json));
    else
        patch(map[key], path, json);
    node = map;
}

} // namespace

class TestConfigChecker : public QObject
{
    Q_OBJECT

private slots:
    void findings_data();
    void findings();
    void exitStatusAndOutput_data();
    void exitStatusAndOutput();
};

// A row either changes one value of the sample (json empty: removes it), or,
// with no path, gives the whole file.
static void row(const char* name, const QString& path, const QByteArray& json, const QStringList& lines)
{
    QTest::newRow(name) << path << json << lines;
}

void TestConfigChecker::findings_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("lines");

    row("the sample", "settings/language/core", R"("cs-CZ")", {});
    row("type in any case", "units/1/type", R"("bRISA")", {});
    row("empty file", "", " \n", {"Config file is not valid: the file is empty."});
    row("broken", "", "{\n  \"wards\": [1,,2]\n}", {"Config file is not valid: illegal value at line 2, column 15."});
    row("array", "", "[1]", {"Config file is not a JSON object; the daemon reads no section of it."});
    row("no sections", "", "{}", {"Config file - settings missing.", "Config file - language missing.", "Config file - synthesizer missing.", "Config file - volumes missing.", "Config file - callqueue missing.", "Config file - backlight missing.", "Config file - wards missing.", "Config file - rooms missing.", "Config file - units missing.", "Config file - buttons missing.", "Config file - radios missing."});
    row("language", "settings/language/core", R"("de-DE")", {R"(settings.language: core "de-DE" is neither "cs-CZ" nor "en-US"; Czech is used)"});
    row("volume source", "settings/volumes/mic/0/sourceType", R"("Tolva")", {R"(settings.volumes: mic source "Tolva" is not an audio type; the entry is never used)"});
    row("volume target", "settings/volumes/speaker/0/Brisa", "50", {R"(settings.volumes: speaker "Tolva/Brisa" target "Brisa" is not an audio type; the volume is never used)"});
    row("volume range", "settings/volumes/mic/0/Pardo", "300", {R"(settings.volumes mic "Tolva/Brisa": Pardo 300 is out of range 0-255)"});
    row("volume source missing", "settings/volumes/mic/0/sourceType", "", {R"(settings.volumes: mic #1 has no "sourceType"; it is skipped)"});
    row("call limit", "settings/callQueue/maxTalkDuration", "-1", {"settings.callQueue: maxTalkDuration -1 is out of range 0-86400"});
    row("backlight range", "settings/backlight/day", R"("150")", {R"(settings.backlight: day "150" is out of range 0-100)"});
    row("backlight word", "settings/backlight/night", R"("dim")", {R"(settings.backlight: night "dim" is not a number)"});
    row("ward id empty", "wards/3", R"({"_id": " "})", {R"(ward #4: no "_id"; the ward is skipped)"});
    row("ward none", "wards/3", R"({"_id": "none"})", {R"(ward "none": "none" stands for the unknown ward; the ward is skipped)"});
    row("ward twice", "wards/3", R"({"_id": " w-surg "})", {R"(ward "w-surg": the id repeats ward #3; the ward is skipped)"});
    row("room twice", "rooms/6", R"({"_id": "r-101", "ward": "w-x"})", {R"(room "r-101": the id repeats room #1; the room is skipped)"});
    row("room ward", "rooms/0/ward", R"("w-x")", {R"(room "r-101": ward "w-x" is not a configured ward)"});
    row("unit id missing", "units/1/_id", "", {R"(unit #2: no "_id"; the unit is skipped)"});
    row("unit type missing", "units/1/type", "", {R"(unit "127.0.0.12": no "type"; the unit is skipped)"});
    row("unit address", "units/1/_id", R"("127.0.0.300")", {R"(unit "127.0.0.300": the id is not an IPv4 address; the unit is skipped)"});
    row("unit twice", "units/1/_id", R"(" 127.0.0.13")", {R"(unit "127.0.0.13": the address repeats unit #2)"});
    row("unit type", "units/1/type", R"("Brisa2")", {R"(unit "127.0.0.12": unknown type "Brisa2"; the unit is not created)"});
    row("unit room", "units/1/room", R"("r-999")", {R"(unit "127.0.0.12": room "r-999" is not a configured room)"});
    row("unit nv", "units/0/nv/8", "", {R"(unit "127.0.0.11": "nv" has 8 entries, not 9; it is ignored)"});
    row("fm port", "units/8/fmRadio/1/port", "70000", {R"(unit "127.0.0.19" fmRadio #2: port 70000 is out of range 1-65535)"});
    row("fm volume", "units/8/fmRadio/0/volume", "-3", {R"(unit "127.0.0.19" fmRadio #1: volume -3 is out of range 0-255)"});
    row("button id", "buttons/1/id", "", {R"(button #2: no "id"; the button is skipped)"});
    row("button twice", "buttons/1/id", R"("BT-0001")", {R"(button "BT-0001": the id repeats button #1, whose name, bed and unit this entry overwrites)"});
    row("button address", "buttons/0/unit", R"("bed 1")", {R"(button "BT-0001": unit "bed 1" is not an IPv4 address)"});
    row("button unit", "buttons/0/unit", R"("127.0.0.99")", {R"(button "BT-0001": unit "127.0.0.99" is not a configured unit)"});
    row("radio port missing", "radios/0/port", "", {"radio #1: port is missing"});
    row("radio port", "radios/1/port", "0", {"radio #2: port 0 is out of range 1-65535"});
    row("radio ip", "radios/0/ip", R"("10.10.0")", {R"(radio #1: ip "10.10.0" is not an IPv4 address)"});
}

void TestConfigChecker::findings()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, json);
    QFETCH(QStringList, lines);
    QVariant config = fromJson(sample());
    if (!path.isEmpty())
        patch(config, path.split('/'), json);
    QCOMPARE(ConfigChecker::check(path.isEmpty() ? json : toJson(config)), lines);
}

void TestConfigChecker::exitStatusAndOutput_data()
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

void TestConfigChecker::exitStatusAndOutput()
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

QTEST_GUILESS_MAIN(TestConfigChecker)
#include "tst_configchecker.moc"
