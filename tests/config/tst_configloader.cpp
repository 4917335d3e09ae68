#include "core/constants.h"
#include "config/configloader.h"
#include "support/logcapture.h"
#include "support/temproot.h"
#include "units/settings/backlightsettings.h"
#include "units/settings/calllimitssettings.h"
#include "units/settings/languagesettings.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

const QStringList AllMissingLines = {
    "Warning Config file - settings missing.",
    "Warning Config file - language missing.",
    "Warning Config file - synthesizer missing.",
    "Warning Config file - volumes missing.",
    "Warning Config file - callqueue missing.",
    "Warning Config file - backlight missing.",
    "Warning Config file - wards missing.",
    "Warning Config file - rooms missing.",
    "Warning Config file - units missing.",
    "Warning Config file - buttons missing.",
    "Warning Config file - radios missing.",
};

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

class TestConfigLoader : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void missingFileWarnsTwiceThenEverySection();
    void emptyFileIsInvalidAndMissesEverySection();
    void arrayFileMissesEverySectionWithoutBeingInvalid();
    void eachMissingSectionAlone_data();
    void eachMissingSectionAlone();
    void loadLogsItsBannerAndHandsSections();
    void numbersConvertLikeVariants_data();
    void numbersConvertLikeVariants();
    void languageMatching_data();
    void languageMatching();
    void reloadChangeFlags();

private:
    QStringList warnings() const { return m_log->linesStartingWith("Warning "); }
    void writeConfig(const QByteArray& bytes) { m_root->write(Constants::ConfigFile, bytes); }

    TempRoot* m_root = nullptr;
    LogCapture* m_log = nullptr;
    BacklightSettings* m_backlight = nullptr;
    CallLimitsSettings* m_callLimits = nullptr;
    LanguageSettings* m_language = nullptr;
    ConfigLoader* m_loader = nullptr;
};

void TestConfigLoader::init()
{
    m_root = new TempRoot;
    m_log = new LogCapture;
    m_backlight = new BacklightSettings;
    m_callLimits = new CallLimitsSettings;
    m_language = new LanguageSettings;
    m_loader = new ConfigLoader;
    m_loader->setBacklight(m_backlight);
    m_loader->setCallLimits(m_callLimits);
    m_loader->setLanguage(m_language);
}

void TestConfigLoader::cleanup()
{
    delete m_loader;
    delete m_language;
    delete m_callLimits;
    delete m_backlight;
    delete m_log;
    delete m_root;
}

void TestConfigLoader::missingFileWarnsTwiceThenEverySection()
{
    m_loader->load();
    QStringList expected = {"Warning Config file doesn't exist.", "Warning Config file is not valid."};
    expected += AllMissingLines;
    QCOMPARE(warnings(), expected);
}

void TestConfigLoader::emptyFileIsInvalidAndMissesEverySection()
{
    writeConfig("");
    m_loader->load();
    QCOMPARE(warnings(), QStringList{"Warning Config file is not valid."} + AllMissingLines);
}

void TestConfigLoader::arrayFileMissesEverySectionWithoutBeingInvalid()
{
    writeConfig(R"([{"settings": {}}])");
    m_loader->load();
    QCOMPARE(warnings(), AllMissingLines);

    // A lone number is valid JSON as well, just not an object.
    m_log->clear();
    writeConfig("7");
    m_loader->load();
    QCOMPARE(warnings(), AllMissingLines);
}

void TestConfigLoader::eachMissingSectionAlone_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QStringList>("expected");
    const QStringList settingsKeys = {"language", "synthesizer", "volumes", "callQueue", "backlight"};
    for (int i = 0; i < settingsKeys.size(); ++i) {
        QByteArray config = CompleteConfig;
        config.replace(QByteArray("\"") + settingsKeys[i].toUtf8() + "\":", "\"x" + settingsKeys[i].toUtf8() + "\":");
        QTest::newRow(qPrintable(settingsKeys[i])) << config << QStringList{AllMissingLines[1 + i]};
    }
    const QStringList topKeys = {"wards", "rooms", "units", "buttons", "radios"};
    for (int i = 0; i < topKeys.size(); ++i) {
        QByteArray config = CompleteConfig;
        config.replace(QByteArray("\"") + topKeys[i].toUtf8() + "\":", "\"x" + topKeys[i].toUtf8() + "\":");
        QTest::newRow(qPrintable(topKeys[i])) << config << QStringList{AllMissingLines[6 + i]};
    }
    QByteArray noSettings = CompleteConfig;
    noSettings.replace("\"settings\":", "\"xsettings\":");
    QTest::newRow("settings") << noSettings << QStringList(AllMissingLines.mid(0, 6));
}

void TestConfigLoader::eachMissingSectionAlone()
{
    QFETCH(QByteArray, config);
    QFETCH(QStringList, expected);
    writeConfig(config);
    m_loader->load();
    QCOMPARE(warnings(), expected);
}

void TestConfigLoader::loadLogsItsBannerAndHandsSections()
{
    writeConfig(CompleteConfig);
    m_loader->load();
    QCOMPARE(m_log->lines().mid(0, 2),
             (QStringList{"Debug ==========================================",
                          "Debug == Loading configuration ..."}));
    QVERIFY(warnings().isEmpty());
    QCOMPARE(m_backlight->day(), 90);
    QCOMPARE(m_callLimits->maxCallDuration(), qint64(600));
    QCOMPARE(m_callLimits->maxTalkDuration(), qint64(120));
    QCOMPARE(m_callLimits->maxMuteDuration(), qint64(60));
}

void TestConfigLoader::numbersConvertLikeVariants_data()
{
    QTest::addColumn<QByteArray>("backlight");
    QTest::addColumn<QByteArray>("callQueue");
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("night");
    QTest::addColumn<qint64>("maxCall");
    QTest::addColumn<qint64>("maxTalk");
    QTest::addColumn<qint64>("maxMute");

    QTest::newRow("strings convert, missing keys default")
        << QByteArray(R"({"day": "70"})") << QByteArray(R"({"maxTalkDuration": "45"})")
        << 70 << 20 << qint64(900) << qint64(45) << qint64(300);
    QTest::newRow("unconvertible values default")
        << QByteArray(R"({"day": "bright", "night": [1]})")
        << QByteArray(R"({"maxCallDuration": "long", "maxMuteDuration": {}})")
        << 100 << 20 << qint64(900) << qint64(180) << qint64(300);
    QTest::newRow("section not an object") << QByteArray("[50, 10]") << QByteArray("\"x\"") << 100
                                           << 20 << qint64(900) << qint64(180) << qint64(300);
    QTest::newRow("zero switches a limit off")
        << QByteArray(R"({"day": 0, "night": 5})") << QByteArray(R"({"maxCallDuration": 0})") << 0
        << 5 << qint64(0) << qint64(180) << qint64(300);
}

void TestConfigLoader::numbersConvertLikeVariants()
{
    QFETCH(QByteArray, backlight);
    QFETCH(QByteArray, callQueue);
    // Start from other values: a missing or bad value must give the default,
    // not keep what was there before.
    writeConfig(CompleteConfig);
    m_loader->load();
    QByteArray config = CompleteConfig;
    config.replace(R"({"day": 90, "night": 20})", backlight);
    config.replace(R"({"maxCallDuration": 600, "maxTalkDuration": 120, "maxMuteDuration": 60})",
                   callQueue);
    writeConfig(config);
    m_loader->reload();
    QTEST(m_backlight->day(), "day");
    QTEST(m_backlight->night(), "night");
    QTEST(m_callLimits->maxCallDuration(), "maxCall");
    QTEST(m_callLimits->maxTalkDuration(), "maxTalk");
    QTEST(m_callLimits->maxMuteDuration(), "maxMute");
    QCOMPARE(m_callLimits->isMaxCallDurationSet(), m_callLimits->maxCallDuration() != 0);
}

void TestConfigLoader::languageMatching_data()
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
    QTest::newRow("cs-CZ") << QByteArray(R"({"core": "cs-cz"})") << 2 << 1 << none;
    QTest::newRow("no core keeps English") << QByteArray(R"({"other": "cs-CZ"})") << 2 << 2 << none;
    QTest::newRow("no core keeps Czech") << QByteArray("{}") << 1 << 1 << none;
    QTest::newRow("number keeps English") << QByteArray(R"({"core": 2})") << 2 << 2 << notText;
    QTest::newRow("null keeps English") << QByteArray(R"({"core": null})") << 2 << 2 << notText;
}

void TestConfigLoader::languageMatching()
{
    QFETCH(QByteArray, language);
    QFETCH(int, before);
    QFETCH(int, after);
    m_language->setLanguage(before);
    QByteArray config = CompleteConfig;
    config.replace(R"({"core": "cs-CZ"})", language);
    writeConfig(config);
    m_loader->load();
    QTEST(warnings(), "warnings");
    QCOMPARE(m_language->language(), after);
    QCOMPARE(m_language->languageString(), after == 2 ? QString("en-US") : QString("cs-CZ"));
}

void TestConfigLoader::reloadChangeFlags()
{
    QSignalSpy done(m_loader, &ConfigLoader::reloadDone);
    writeConfig(CompleteConfig);
    m_loader->load();
    QCOMPARE(done.count(), 0);

    // Only the call limits change: no flag.
    QByteArray config = CompleteConfig;
    config.replace("\"maxCallDuration\": 600", "\"maxCallDuration\": 700");
    writeConfig(config);
    m_log->clear();
    m_loader->reload();
    QCOMPARE(m_log->lines().mid(0, 2),
             (QStringList{"Debug ==========================================",
                          "Debug == Reloading configuration ..."}));
    QCOMPARE(done.count(), 1);
    QVERIFY(!m_loader->languageChanged());
    QVERIFY(!m_loader->synthesizerChanged());
    QVERIFY(!m_loader->backlightChanged());
    QCOMPARE(m_callLimits->maxCallDuration(), qint64(700));

    // Night 20 -> 30: backlight only.
    config.replace("\"night\": 20", "\"night\": 30");
    writeConfig(config);
    m_loader->reload();
    QVERIFY(m_loader->backlightChanged());
    QVERIFY(!m_loader->languageChanged());

    // Language changes: the backlight flag of the previous reload is cleared.
    config.replace("cs-CZ", "en-US");
    writeConfig(config);
    m_loader->reload();
    QVERIFY(m_loader->languageChanged());
    QVERIFY(!m_loader->backlightChanged());

    // The file disappears: defaults come back, and that is a backlight change.
    m_root->remove(Constants::ConfigFile);
    m_loader->reload();
    QCOMPARE(done.count(), 4);
    QVERIFY(m_loader->backlightChanged());
    QVERIFY(!m_loader->languageChanged()); // no "core": language kept
    QCOMPARE(m_backlight->day(), 100);
    QCOMPARE(m_backlight->night(), 20);
}

QTEST_GUILESS_MAIN(TestConfigLoader)
#include "tst_configloader.moc"
