#include "simulator.h"
#include "support/fakeunit.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The daemon as a process on a generated installation, and the simulator's
// units talking to it.
class TestSimDaemon : public QObject
{
    Q_OBJECT
private slots:
    void daemonTakesAGeneratedInstallation()
    {
        constexpr int Units = 300;
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath("opt/adminapp/etc"));
        const QVariantMap config = Simulator::generate(Units, "mixed");
        QString error;
        QVERIFY2(Simulator::writeConfig(root.filePath("opt/adminapp/etc/config.json"), config, &error),
                 qPrintable(error));

        // The simulated units are up before the core, as on a powered ward: the
        // core reads every one of them within its start-up window.
        Simulator simulator;
        simulator.load(config, nullptr);
        QCOMPARE(simulator.units().size(), Units);
        const quint16 port = FakeUnit::freePort();
        QVERIFY2(simulator.bind(FakeUnit::CoreAddress, port, &error), qPrintable(error));

        QProcess daemon;
        daemon.start(ORVANTACORE_BINARY, {"--root", root.path(), "--rondel-address", "127.0.0.1",
                                          "--rondel-port", QString::number(port), "--broker", "127.0.0.1:1"});
        QVERIFY(daemon.waitForStarted(10000));
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += daemon.readAllStandardOutput()).contains("Debug == Initialisation complete ...\n")
                                     || output.contains("Warning == Initialisation timeout!\n"),
                                 15000);
        QVERIFY2(!output.contains("Config file"), output.constData());
        QVERIFY2(output.contains("Debug == Initialisation complete ...\n"), output.right(2000).constData());

        daemon.terminate();
        QVERIFY(daemon.waitForFinished(10000));
        QCOMPARE(daemon.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSimDaemon)
#include "tst_simdaemon.moc"
