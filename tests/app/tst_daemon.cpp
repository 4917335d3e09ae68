#include "support/respondingunit.h"

#include <QDir>
#include <QJsonDocument>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <csignal>

namespace {

quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
    return probe.localPort();
}

} // namespace

class TestDaemon : public QObject
{
    Q_OBJECT

private slots:
    void versionAndHelp();
    void badOptionExitsWithStatusTwo_data();
    void badOptionExitsWithStatusTwo();
    void startsOnTheSampleInstallationAndStopsOnSigterm();
    void stopsPromptlyWhileWaitingForTheBusAddress_data();
    void stopsPromptlyWhileWaitingForTheBusAddress();
};

void TestDaemon::versionAndHelp()
{
    QProcess process;
    process.start(ORVANTACORE_BINARY, {"--version"});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(process.readAllStandardOutput(), QByteArray("orvantacore 4.0.1\n"));

    process.start(ORVANTACORE_BINARY, {"--help"});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(process.readAllStandardOutput().contains("--rondel-address"));
}

void TestDaemon::badOptionExitsWithStatusTwo_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("unknown") << QStringList{"--bogus"}
                             << QByteArray("orvantacore: Unknown option 'bogus'.\n");
    QTest::newRow("port") << QStringList{"--rondel-port", "abc"}
                          << QByteArray("orvantacore: --rondel-port: 'abc' is not a port number (1-65535).\n");
}

void TestDaemon::badOptionExitsWithStatusTwo()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, message);
    QProcess process;
    process.start(ORVANTACORE_BINARY, arguments);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    QCOMPARE(process.readAllStandardError(),
             message + "Try 'orvantacore --help'.\n");
}

void TestDaemon::startsOnTheSampleInstallationAndStopsOnSigterm()
{
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath("opt/adminapp/etc"));
    QVERIFY(QFile::copy(ORVANTA_SOURCE_DIR "/examples/config.json",
                        root.filePath("opt/adminapp/etc/config.json")));

    // Every unit of the sample answers as its model does.
    const quint16 port = freeUdpPort();
    QFile config(root.filePath("opt/adminapp/etc/config.json"));
    QVERIFY(config.open(QIODevice::ReadOnly));
    std::vector<std::unique_ptr<RespondingUnit>> units;
    const QVariantMap sample = QJsonDocument::fromJson(config.readAll()).toVariant().toMap();
    for (const QVariant& unit : sample.value("units").toList()) {
        const QVariantMap entry = unit.toMap();
        units.push_back(std::make_unique<RespondingUnit>(QHostAddress(entry.value("_id").toString()),
                                                         port, entry.value("type").toString()));
        QVERIFY(units.back()->isBound());
    }
    QCOMPARE(units.size(), size_t(11));

    QProcess process;
    process.start(ORVANTACORE_BINARY,
                  {"--root", root.path(), "--rondel-address", "127.0.0.1", "--rondel-port",
                   QString::number(port), "--broker", "127.0.0.1:1"});
    QVERIFY(process.waitForStarted(10000));

    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += process.readAllStandardOutput()).contains(
                                 "Debug Units initialisation ...\n"),
                             10000);
    const QList<QByteArray> lines = output.split('\n');
    QCOMPARE(lines.value(0), QByteArray("Debug =========================================="));
    QCOMPARE(lines.value(1), QByteArray("Debug == Loading configuration ..."));
    QVERIFY2(!output.contains("Config file"), output.constData()); // the sample is complete
    const int starting = lines.indexOf("Debug == Starting ...");
    QVERIFY(starting > 1);
    QCOMPARE(lines.indexOf("Debug Rondel socket bind OK."), lines.indexOf("Debug Units initialisation ...") - 1);
    QVERIFY(lines.indexOf("Debug Rondel socket bind OK.") > starting);

    // Well inside the start-up window, every unit has been read.
    QTRY_VERIFY_WITH_TIMEOUT((output += process.readAllStandardOutput()).contains(
                                 "Debug == Initialisation complete ...\n"),
                             5000);
    for (const auto& unit : units)
        QVERIFY2(unit->statusRequests("BasicInfo") + unit->statusRequests("All") >= 1,
                 qPrintable(unit->address().toString()));

    process.terminate();
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

void TestDaemon::stopsPromptlyWhileWaitingForTheBusAddress_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestDaemon::stopsPromptlyWhileWaitingForTheBusAddress()
{
    QFETCH(int, signalNumber);
    QTemporaryDir root;
    // The port is held exclusively, so the daemon waits in its bind retry.
    QUdpSocket blocker;
    QVERIFY(blocker.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress));

    QProcess process;
    process.start(ORVANTACORE_BINARY,
                  {"--root", root.path(), "--rondel-address", "127.0.0.1", "--rondel-port",
                   QString::number(blocker.localPort()), "--broker", "127.0.0.1:1"});
    QVERIFY(process.waitForStarted(10000));
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += process.readAllStandardOutput()).contains(
                                 "Critical Rondel socket bind Failed!\n"),
                             10000);
    // Let it enter the one-second waits between attempts.
    QTest::qWait(300);

    QElapsedTimer sinceSignal;
    sinceSignal.start();
    QCOMPARE(::kill(static_cast<pid_t>(process.processId()), signalNumber), 0);
    QVERIFY2(process.waitForFinished(3000), "still running after the signal");
    QVERIFY2(sinceSignal.elapsed() < 1500, qPrintable(QString::number(sinceSignal.elapsed())));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    output += process.readAllStandardOutput();
    QVERIFY(!output.contains("Debug Rondel socket bind OK."));
}

QTEST_GUILESS_MAIN(TestDaemon)
#include "tst_daemon.moc"
