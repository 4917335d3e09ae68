#include "core/constants.h"
#include "config/configloader.h"
#include "support/logcapture.h"
#include "support/temproot.h"
#include "units/settings/backlightsettings.h"
#include "units/settings/calllimitssettings.h"
#include "units/settings/languagesettings.h"

#include <QtTest>

namespace {

// The warnings of a file that has none of the sections the loader reads.
QStringList allMissing()
{
    QStringList lines;
    for (const char* section : {"settings", "language", "synthesizer", "volumes", "callqueue",
                                "backlight", "wards", "rooms", "units", "buttons", "radios"})
        lines << QStringLiteral("Warning Config file - %1 missing.").arg(section);
    return lines;
}

const QByteArray CompleteConfig = R"({
  "settings": {
    "language": {"core": "cs-CZ"},
    "synthesizer": {"type": "none"},
    "volumes": {},
    "callQueue": {"maxCallDuration": 600, "maxTalkDuration": 120, "maxMuteDuration": 60},
    "backlight": {"day": 90, "night": 20}
  },
  "wards": [], "rooms": [], "units": [], "buttons": [], "radios": []
})";

} // namespace

// The loader with the settings it hands sections to, on a fresh root.
struct Rig
{
    Rig()
    {
        loader.setBacklight(&backlight);
        loader.setCallLimits(&callLimits);
        loader.setLanguage(&language);
    }
    QStringList warnings() const { return log.linesStartingWith("Warning "); }
    void write(const QByteArray& bytes) { root.write(Constants::ConfigFile, bytes); }

    TempRoot root;
    LogCapture log;
    BacklightSettings backlight;
    CallLimitsSettings callLimits;
    LanguageSettings language;
    ConfigLoader loader;
};

class TestConfigLoader : public QObject
{
    Q_OBJECT

private slots:
    // A JSON array or number is valid, just not an object.
    void unusableFileMissesEverySection_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("first");
        QTest::newRow("missing") << QByteArray("no file")
                                 << QStringList{"Warning Config file doesn't exist.", "Warning Config file is not valid."};
        QTest::newRow("empty") << QByteArray() << QStringList{"Warning Config file is not valid."};
        QTest::newRow("array") << QByteArray(R"([{"settings": {}}])") << QStringList{};
    }

    void unusableFileMissesEverySection()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, first);
        Rig rig;
        if (file != "no file")
            rig.write(file);
        rig.loader.load();
        QCOMPARE(rig.warnings(), first + allMissing());
    }

    void numbersConvertLikeVariants_data()
    {
        QTest::addColumn<QByteArray>("backlight");
        QTest::addColumn<QByteArray>("callQueue");
        QTest::addColumn<QString>("values"); // day night, max call talk mute duration
        QTest::newRow("strings convert, missing keys default")
            << QByteArray(R"({"day": "70"})") << QByteArray(R"({"maxTalkDuration": "45"})")
            << "70 20, 900 45 300";
        QTest::newRow("unconvertible values default")
            << QByteArray(R"({"day": "bright", "night": [1]})")
            << QByteArray(R"({"maxCallDuration": "long", "maxMuteDuration": {}})") << "100 20, 900 180 300";
        QTest::newRow("section not an object")
            << QByteArray("[50, 10]") << QByteArray("\"x\"") << "100 20, 900 180 300";
        QTest::newRow("zero switches a limit off")
            << QByteArray(R"({"day": 0, "night": 5})") << QByteArray(R"({"maxCallDuration": 0})")
            << "0 5, 0 180 300";
    }

    void numbersConvertLikeVariants()
    {
        QFETCH(QByteArray, backlight);
        QFETCH(QByteArray, callQueue);
        Rig rig;
        // Start from other values: a missing or bad value gives the default, not what was there.
        rig.write(CompleteConfig);
        rig.loader.load();
        QByteArray config = CompleteConfig;
        config.replace(R"({"day": 90, "night": 20})", backlight);
        config.replace(R"({"maxCallDuration": 600, "maxTalkDuration": 120, "maxMuteDuration": 60})",
                       callQueue);
        rig.write(config);
        rig.loader.reload();
        const CallLimitsSettings& limits = rig.callLimits;
        QTEST(QStringLiteral("%1 %2, %3 %4 %5")
                  .arg(rig.backlight.day()).arg(rig.backlight.night())
                  .arg(limits.maxCallDuration()).arg(limits.maxTalkDuration()).arg(limits.maxMuteDuration()),
              "values");
        QCOMPARE(limits.isMaxCallDurationSet(), limits.maxCallDuration() != 0);
    }

    void languageMatching_data()
    {
        QTest::addColumn<QByteArray>("language");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::addColumn<QStringList>("warnings");
        const QStringList none;
        const QStringList notText{"Warning Config file - language core is not a text."};
        QTest::newRow("en-US") << QByteArray(R"({"core": "en-US"})") << 1 << 2 << none;
        QTest::newRow("other case") << QByteArray(R"({"core": "EN-us"})") << 1 << 2 << none;
        QTest::newRow("unknown code is Czech") << QByteArray(R"({"core": "de-DE"})") << 2 << 1 << none;
        QTest::newRow("no core keeps English") << QByteArray(R"({"other": "cs-CZ"})") << 2 << 2 << none;
        QTest::newRow("number keeps English") << QByteArray(R"({"core": 2})") << 2 << 2 << notText;
    }

    void languageMatching()
    {
        QFETCH(QByteArray, language);
        QFETCH(int, before);
        QFETCH(int, after);
        Rig rig;
        rig.language.setLanguage(before);
        rig.write(QByteArray(CompleteConfig).replace(R"({"core": "cs-CZ"})", language));
        rig.loader.load();
        QTEST(rig.warnings(), "warnings");
        QCOMPARE(rig.language.language(), after);
        QCOMPARE(rig.language.languageString(), after == 2 ? QString("en-US") : QString("cs-CZ"));
    }

    void reloadChangeFlags()
    {
        Rig rig;
        QSignalSpy done(&rig.loader, &ConfigLoader::reloadDone);
        const QString rule = "Debug ==========================================";
        rig.write(CompleteConfig);
        rig.loader.load();
        QCOMPARE(rig.log.lines().mid(0, 2), (QStringList{rule, "Debug == Loading configuration ..."}));
        QVERIFY(rig.warnings().isEmpty());
        QCOMPARE(rig.backlight.day(), 90);
        QCOMPARE(rig.callLimits.maxTalkDuration(), qint64(120));
        QCOMPARE(done.count(), 0);

        // The settings the last reload flagged as changed.
        const auto changed = [&] {
            const QMap<QString, bool> flags{{"language", rig.loader.languageChanged()},
                                            {"synthesizer", rig.loader.synthesizerChanged()},
                                            {"backlight", rig.loader.backlightChanged()}};
            return flags.keys(true);
        };
        QByteArray config = CompleteConfig;
        const auto reloadWith = [&](const QByteArray& from, const QByteArray& to) {
            config.replace(from, to);
            rig.write(config);
            rig.loader.reload();
            return changed();
        };
        rig.log.clear();
        QCOMPARE(reloadWith("\"maxCallDuration\": 600", "\"maxCallDuration\": 700"), QStringList());
        QCOMPARE(rig.log.lines().mid(0, 2), (QStringList{rule, "Debug == Reloading configuration ..."}));
        QCOMPARE(done.count(), 1);
        QCOMPARE(rig.callLimits.maxCallDuration(), qint64(700));
        QCOMPARE(reloadWith("\"night\": 20", "\"night\": 30"), QStringList{"backlight"});
        // The backlight flag of the previous reload is cleared.
        QCOMPARE(reloadWith("cs-CZ", "en-US"), QStringList{"language"});

        // The file disappears: defaults come back, and that is a backlight
        // change; with no "core" the language is kept.
        rig.root.remove(Constants::ConfigFile);
        rig.loader.reload();
        QCOMPARE(changed(), QStringList{"backlight"});
        QCOMPARE(done.count(), 4);
        QCOMPARE(rig.backlight.day(), 100);
        QCOMPARE(rig.backlight.night(), 20);
    }
};

QTEST_GUILESS_MAIN(TestConfigLoader)
#include "tst_configloader.moc"
