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
    void eachFaultInTheSampleGivesItsLine_data();
    void eachFaultInTheSampleGivesItsLine();
    void unreadableDocuments_data();
    void unreadableDocuments();
    void exitStatusAndOutput_data();
    void exitStatusAndOutput();
};

void TestConfigChecker::eachFaultInTheSampleGivesItsLine_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("json"); // empty: remove
    QTest::addColumn<QString>("finding"); // empty: the sample stays clean

    QTest::newRow("the sample") << "settings/language/core" << QByteArray(R"("cs-CZ")") << "";
    QTest::newRow("type in any case") << "units/1/type" << QByteArray(R"("bRISA")") << "";
    QTest::newRow("section missing") << "settings/backlight" << QByteArray()
        << "Config file - backlight missing.";
    QTest::newRow("list missing") << "buttons" << QByteArray() << "Config file - buttons missing.";
    QTest::newRow("language") << "settings/language/core" << QByteArray(R"("de-DE")")
        << R"(settings.language: core "de-DE" is neither "cs-CZ" nor "en-US"; Czech is used)";
    QTest::newRow("volume source") << "settings/volumes/mic/0/sourceType" << QByteArray(R"("Tolva")")
        << R"(settings.volumes: mic source "Tolva" is not an audio type; the entry is never used)";
    QTest::newRow("volume target") << "settings/volumes/speaker/0/Brisa" << QByteArray("50")
        << R"(settings.volumes: speaker "Tolva/Brisa" target "Brisa" is not an audio type; the volume is never used)";
    QTest::newRow("volume range") << "settings/volumes/mic/0/Pardo" << QByteArray("300")
        << R"(settings.volumes mic "Tolva/Brisa": Pardo 300 is out of range 0-255)";
    QTest::newRow("volume source missing") << "settings/volumes/mic/0/sourceType" << QByteArray()
        << R"(settings.volumes: mic #1 has no "sourceType"; it is skipped)";
    QTest::newRow("call limit") << "settings/callQueue/maxTalkDuration" << QByteArray("-1")
        << "settings.callQueue: maxTalkDuration -1 is out of range 0-86400";
    QTest::newRow("backlight range") << "settings/backlight/day" << QByteArray(R"("150")")
        << R"(settings.backlight: day "150" is out of range 0-100)";
    QTest::newRow("backlight word") << "settings/backlight/night" << QByteArray(R"("dim")")
        << R"(settings.backlight: night "dim" is not a number)";
    QTest::newRow("ward id empty") << "wards/3" << QByteArray(R"({"_id": " "})")
        << R"(ward #4: no "_id"; the ward is skipped)";
    QTest::newRow("ward none") << "wards/3" << QByteArray(R"({"_id": "none"})")
        << R"(ward "none": "none" stands for the unknown ward; the ward is skipped)";
    QTest::newRow("ward twice") << "wards/3" << QByteArray(R"({"_id": " w-surg "})")
        << R"(ward "w-surg": the id repeats ward #3; the ward is skipped)";
    QTest::newRow("room twice") << "rooms/6" << QByteArray(R"({"_id": "r-101", "ward": "w-x"})")
        << R"(room "r-101": the id repeats room #1; the room is skipped)";
    QTest::newRow("room ward") << "rooms/0/ward" << QByteArray(R"("w-x")")
        << R"(room "r-101": ward "w-x" is not a configured ward)";
    QTest::newRow("unit id missing") << "units/1/_id" << QByteArray()
        << R"(unit #2: no "_id"; the unit is skipped)";
    QTest::newRow("unit type missing") << "units/1/type" << QByteArray()
        << R"(unit "127.0.0.12": no "type"; the unit is skipped)";
    QTest::newRow("unit address") << "units/1/_id" << QByteArray(R"("127.0.0.300")")
        << R"(unit "127.0.0.300": the id is not an IPv4 address; the unit is skipped)";
    QTest::newRow("unit twice") << "units/1/_id" << QByteArray(R"(" 127.0.0.13")")
        << R"(unit "127.0.0.13": the address repeats unit #2)";
    QTest::newRow("unit type") << "units/1/type" << QByteArray(R"("Brisa2")")
        << R"(unit "127.0.0.12": unknown type "Brisa2"; the unit is not created)";
    QTest::newRow("unit room") << "units/1/room" << QByteArray(R"("r-999")")
        << R"(unit "127.0.0.12": room "r-999" is not a configured room)";
    QTest::newRow("unit nv") << "units/0/nv/8" << QByteArray()
        << R"(unit "127.0.0.11": "nv" has 8 entries, not 9; it is ignored)";
    QTest::newRow("fm port") << "units/8/fmRadio/1/port" << QByteArray("70000")
        << R"(unit "127.0.0.19" fmRadio #2: port 70000 is out of range 1-65535)";
    QTest::newRow("fm volume") << "units/8/fmRadio/0/volume" << QByteArray("-3")
        << R"(unit "127.0.0.19" fmRadio #1: volume -3 is out of range 0-255)";
    QTest::newRow("button id") << "buttons/1/id" << QByteArray()
        << R"(button #2: no "id"; the button is skipped)";
    QTest::newRow("button twice") << "buttons/1/id" << QByteArray(R"("BT-0001")")
        << R"(button "BT-0001": the id repeats button #1, whose name, bed and unit this entry overwrites)";
    QTest::newRow("button address") << "buttons/0/unit" << QByteArray(R"("bed 1")")
        << R"(button "BT-0001": unit "bed 1" is not an IPv4 address)";
    QTest::newRow("button unit") << "buttons/0/unit" << QByteArray(R"("127.0.0.99")")
        << R"(button "BT-0001": unit "127.0.0.99" is not a configured unit)";
    QTest::newRow("radio port missing") << "radios/0/port" << QByteArray() << "radio #1: port is missing";
    QTest::newRow("radio port") << "radios/1/port" << QByteArray("0")
        << "radio #2: port 0 is out of range 1-65535";
    QTest::newRow("radio ip") << "radios/0/ip" << QByteArray(R"("10.10.0")")
        << R"(radio #1: ip "10.10.0" is not an IPv4 address)";
}

void TestConfigChecker::eachFaultInTheSampleGivesItsLine()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, json);
    QFETCH(QString, finding);
    QVariant config = fromJson(sample());
    patch(config, path.split('/'), json);
    const QStringList expected = finding.isEmpty() ? QStringList() : QStringList{finding};
    QCOMPARE(ConfigChecker::check(toJson(config)), expected);
}

void TestConfigChecker::unreadableDocuments_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("findings");
    QTest::newRow("empty") << QByteArray(" \n")
        << QStringList{"Config file is not valid: the file is empty."};
    QTest::newRow("broken") << QByteArray("{\n  \"wards\": [1,,2]\n}")
        << QStringList{"Config file is not valid: illegal value at line 2, column 16."};
    QTest::newRow("array") << QByteArray("[1]")
        << QStringList{"Config file is not a JSON object; the daemon reads no section of it."};
    QTest::newRow("no sections") << QByteArray("{}")
        << QStringList{"Config file - settings missing.", "Config file - language missing.",
                       "Config file - synthesizer missing.", "Config file - volumes missing.",
                       "Config file - callqueue missing.", "Config file - backlight missing.",
                       "Config file - wards missing.", "Config file - rooms missing.",
                       "Config file - units missing.", "Config file - buttons missing.",
                       "Config file - radios missing."};
}

void TestConfigChecker::unreadableDocuments()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, findings);
    QCOMPARE(ConfigChecker::check(content), findings);
}

void TestConfigChecker::exitStatusAndOutput_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file at all
    QTest::addColumn<bool>("underRoot");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("output");
    QTest::newRow("sample") << sample() << false << 0 << QByteArray("%1: no findings.\n");
    QTest::newRow("sample under root") << sample() << true << 0 << QByteArray("%1: no findings.\n");
    QTest::newRow("findings")
        << QByteArray(R"({"settings": {"language": {}, "synthesizer": {}, "volumes": {},
                      "callQueue": {}, "backlight": {"day": 101}},
                      "wards": [], "rooms": [], "units": [], "buttons": [], "radios": []})")
        << false << 1
        << QByteArray("settings.backlight: day 101 is out of range 0-100\n%1: 1 finding.\n");
    QTest::newRow("no file") << QByteArray() << false << 2
        << QByteArray("orvantacore: cannot read %1: No such file or directory\n");
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
    const QStringList arguments = underRoot
        ? QStringList{"--root", root.path(), "--check-config"}
        : QStringList{"--check-config", file};

    QProcess process;
    process.start(ORVANTACORE_BINARY, arguments);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), status);
    const QByteArray expected = QString::fromUtf8(output).arg(file).toUtf8();
    QCOMPARE(status == 2 ? process.readAllStandardError() : process.readAllStandardOutput(),
             expected);
}

QTEST_GUILESS_MAIN(TestConfigChecker)
#include "tst_configchecker.moc"
