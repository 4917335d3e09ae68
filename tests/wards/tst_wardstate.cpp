#include "app/orvanta.h"
#include "core/runtimeoptions.h"
#include "config/configloader.h"
#include "support/logcapture.h"
#include "support/temproot.h"
#include "synthesizer/synthesizer.h"
#include "wards/wards.h"

#include <QtTest>

namespace {

const QString SettingsFile = QStringLiteral("/opt/core/etc/settings.conf");
const QString ConfigFile = QStringLiteral("/opt/adminapp/etc/config.json");
const QString AssemblemsgFile = QStringLiteral("/opt/assemblemsg/bin/config.json");

QByteArray config(const QString& synthesizerType = "Fixed", const QString& language = "cs-CZ")
{
    return QStringLiteral(R"({"settings": {"language": {"core": "%2"}, "synthesizer": {"type": "%1"},
        "volumes": {}, "callQueue": {}, "backlight": {}},
        "wards": [{"_id": "A", "name": "Ward A", "group": "G"}, {"_id": "B", "name": "Ward B", "group": "G"}],
        "rooms": [], "units": [], "buttons": [], "radios": []})")
        .arg(synthesizerType, language).toUtf8();
}

// Writes the configuration, the message assembly's offer and, unless null,
// the stored state, then starts the application on them.
Orvanta* started(TempRoot& root, const QByteArray& configuration, const QByteArray& state = QByteArray(),
                 const QByteArray& offer = "{\"languages\": [\"cs-CZ\"]}")
{
    root.write(ConfigFile, configuration);
    root.write(AssemblemsgFile, offer);
    if (!state.isNull())
        root.write(SettingsFile, state);
    auto* orvanta = new Orvanta;
    orvanta->initialize();
    return orvanta;
}

} // namespace

// Runs the application against files in a temporary root. The objects are never
// destroyed: their loggers stay registered with the process log to the end.
class TestWardState : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Should start() ever run, it binds on loopback.
        RuntimeOptions options = runtimeOptions();
        options.rondelAddress = QHostAddress(QHostAddress::LocalHost);
        options.rondelPort = 0;
        setRuntimeOptions(options);
    }

    void stateSurvivesARestart()
    {
        TempRoot root;
        LogCapture log;
        Orvanta* first = started(root, config());
        QVERIFY(log.contains("Warning PersistentSettings file doesn't exist."));
        Wards* wards = first->wards();
        QVERIFY(!QFile::exists(root.file(SettingsFile)));

        // Each signal writes the file; the last write holds both changes.
        wards->setMode(wards->ward("B"), Ward::Night);
        wards->connectWard(QStringLiteral("A"));
        QCOMPARE(root.read(SettingsFile), QByteArray(R"({"wards":[{"connected":false,"id":"none","mode":"Day"},)"
                                                     R"({"connected":true,"id":"A","mode":"Day"},)"
                                                     R"({"connected":false,"id":"B","mode":"Night"}]})"));

        // A save killed between link and rename leaves its temporary file.
        root.write(SettingsFile + ".a1B2c3", "{}");
        root.write(SettingsFile + ".bak", "{}");
        log.clear();
        Orvanta* second = started(root, config());
        QVERIFY(log.linesStartingWith("Warning ").isEmpty());
        QVERIFY(second->wards()->ward("A")->isConnected());
        QCOMPARE(second->wards()->ward("B")->mode(), int(Ward::Night));
        QVERIFY(!QFile::exists(root.file(SettingsFile + ".a1B2c3")));
        QVERIFY(QFile::exists(root.file(SettingsFile + ".bak")));
    }

    void unusableFilesGiveTheirWarnings_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("warnings");
        QTest::newRow("truncated") << QByteArray("{\"wards\":[{\"id\":\"A\",\"conn")
                                   << QStringList{"Warning PersistentSettings file is not valid."};
        QTest::newRow("no wards") << QByteArray(R"({"rooms":[]})")
                                  << QStringList{"Warning PersistentSettings file - wards missing."};
    }
    void unusableFilesGiveTheirWarnings()
    {
        QFETCH(QByteArray, content);
        TempRoot root;
        LogCapture log;
        Orvanta* orvanta = started(root, config(), content);
        QTEST(log.linesStartingWith("Warning "), "warnings");
        QCOMPARE(orvanta->wards()->ward("B")->mode(), int(Ward::Day));
        QVERIFY(!orvanta->wards()->ward("B")->isConnected());
    }

    void synthesizerFollowsTheMessageAssembly()
    {
        TempRoot root;
        LogCapture log;
        Orvanta* offered = started(root, config("Fragments", "en-US"), "{\"wards\":[]}",
                                   "{\"languages\": [\"cs-CZ\", \"en-US\"]}");
        QVERIFY(offered->synthesizer()->isFragmented());

        Orvanta* broken = started(root, config("Fragments", "en-US"), QByteArray(), "not json");
        QVERIFY(log.contains("Warning Assemblemsg config file is not valid."));
        QCOMPARE(broken->synthesizer()->type(), int(Synthesizer::Fixed));

        // A reload that changes the language checks the offer again.
        root.write(AssemblemsgFile, "{\"languages\": [\"cs-CZ\"]}");
        root.write(ConfigFile, config("Fragments", "cs-CZ"));
        offered->configLoader()->reload();
        QVERIFY(offered->configLoader()->languageChanged());
        QVERIFY(offered->synthesizer()->isFragmented());
        root.write(ConfigFile, config("Fragments", "en-US"));
        offered->configLoader()->reload();
        QCOMPARE(offered->synthesizer()->type(), int(Synthesizer::Fixed));
    }
};

QTEST_GUILESS_MAIN(TestWardState)
#include "tst_wardstate.moc"
