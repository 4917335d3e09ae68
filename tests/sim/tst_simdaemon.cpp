#include "simconsole.h"
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
    void daemonTakesAGeneratedInstallation();
};

void TestSimDaemon::daemonTakesAGeneratedInstallation()
{
    constexpr int Units = 300;
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath("opt/adminapp/etc"));
    const QVariantMap config = Simulator::generate(Units, "mixed");
    QString error;
    QVERIFY2(Simulator::writeConfig(root.filePath("opt/adminapp/etc/config.json"), config, &error),
             qPrintable(error));

    const quint16 port = FakeUnit::freePort();
    QProcess daemon;
    daemon.start(ORVANTACORE_BINARY, {"--root", root.path(), "--rondel-address", "127.0.0.1",
                                      "--rondel-port", QString::number(port), "--broker", "127.0.0.1:1"});
    QVERIFY(daemon.waitForStarted(10000));
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += daemon.readAllStandardOutput()).contains("Debug Rondel socket bind OK.\n"),
                             10000);
    QVERIFY2(!output.contains("Config file"), output.constData());

    // Every unit restarts and introduces itself; the daemon acknowledges
    // each, so no unit has to give up on a command.
    Simulator simulator;
    simulator.load(config, nullptr);
    QCOMPARE(simulator.units().size(), Units);
    QVERIFY2(simulator.bind(FakeUnit::CoreAddress, port, &error), qPrintable(error));
    QStringList events;
    connect(&simulator, &Simulator::event, this, [&](const QString& line) { events.append(line); });
    SimConsole console(&simulator);
    for (const SimUnit* unit : simulator.units())
        QCOMPARE(console.execute("restart " + unit->ip().toString()).error, QString());
    const auto drained = [&] {
        for (SimUnit* unit : simulator.units()) {
            if (unit->link()->queued() > 0)
                return false;
        }
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(drained(), 4000);
    QCOMPARE(events, QStringList());

    daemon.terminate();
    QVERIFY(daemon.waitForFinished(10000));
    QCOMPARE(daemon.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestSimDaemon)
#include "tst_simdaemon.moc"
