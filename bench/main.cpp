// Benchmarks of the core. Each figure is measured side by side with a
// baseline in the same run, because the machines it runs on are shared and
// a figure in seconds alone says little. Nothing here asserts: it prints.
#include "benchsupport.h"
#include "busload.h"
#include "fleetbench.h"
#include "simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QProcess>
#include <QThread>

#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace {

struct Settings
{
    int units = 10;
    int window = 16;
    int seconds = 5;
};

QString describe(const BusLoad::Result& result)
{
    QString text = QStringLiteral("%1/s").arg(qRound64(result.rate()));
    if (result.resent || result.wrongAcks)
        text += QStringLiteral(" (%1 resent, %2 wrong)").arg(result.resent).arg(result.wrongAcks);
    return text;
}

std::unique_ptr<BusLoad> openLoad(quint16 port, const Settings& settings, QString* error)
{
    BusLoad::Options options;
    options.units = settings.units;
    options.window = settings.window;
    options.port = port;
    auto load = std::make_unique<BusLoad>(options);
    if (!load->open(error))
        load.reset();
    return load;
}

bool startDaemon(DaemonRun& daemon, quint16 rondelPort, quint16 brokerPort, QString* error)
{
    daemon.setLogToFile(true);
    if (!daemon.start(rondelPort, brokerPort, error))
        return false;
    if (daemon.waitForLine("Units initialisation ...", 10000) < 0) {
        *error = QStringLiteral("the core did not start: ") + QString::fromLocal8Bit(daemon.logText().right(500));
        return false;
    }
    return true;
}

// The bare responder, the core without a broker and the core mirroring the
// bus to a broker all run at once; the load visits them in turn, one second
// each, so that whatever else the machine is doing weighs on all three
// alike.
void busThroughput(const Settings& settings)
{
    const QString name = QStringLiteral("bus throughput");
    QString error;
    const quint16 responderPort = freeUdpPort();
    QProcess responder;
    responder.setProcessChannelMode(QProcess::ForwardedChannels);
    responder.start(QStringLiteral(ORVANTA_RESPONDER_BINARY),
                    {QStringLiteral("127.0.0.1"), QString::number(responderPort)});
    if (!responder.waitForStarted(5000)) {
        printFigure(name, QStringLiteral("failed"), QStringLiteral("the responder did not start"));
        return;
    }

    Broker broker;
    DaemonRun bare;
    DaemonRun mirrored;
    const quint16 barePort = freeUdpPort();
    const quint16 mirroredPort = freeUdpPort();
    if (!broker.start(&error) || !startDaemon(bare, barePort, freeTcpPort(), &error)
        || !startDaemon(mirrored, mirroredPort, broker.port(), &error)) {
        printFigure(name, QStringLiteral("failed"), error);
        return;
    }
    if (!broker.waitForClients(2, 10000)) {
        printFigure(name, QStringLiteral("failed"), QStringLiteral("the core did not connect to the broker"));
        return;
    }

    std::unique_ptr<BusLoad> loads[3] = {openLoad(responderPort, settings, &error),
                                         openLoad(barePort, settings, &error),
                                         openLoad(mirroredPort, settings, &error)};
    if (!loads[0] || !loads[1] || !loads[2]) {
        printFigure(name, QStringLiteral("failed"), error);
        return;
    }
    BusLoad::Result results[3];
    for (int slice = 0; slice < settings.seconds; ++slice) {
        for (int i = 0; i < 3; ++i)
            results[i] += loads[i]->run(200, 1000);
    }
    responder.kill();
    responder.waitForFinished(2000);

    const double baseline = results[0].rate();
    const QString setup = QStringLiteral("%1 units x %2 in flight, %3 x 1 s")
                              .arg(settings.units)
                              .arg(settings.window)
                              .arg(settings.seconds);
    printFigure(QStringLiteral("bus throughput, bare responder"), describe(results[0]), setup);
    printFigure(QStringLiteral("bus throughput, core, no broker"), describe(results[1]),
                QStringLiteral("ratio %1 (goal >= 0.5)").arg(results[1].rate() / baseline, 0, 'f', 3));
    printFigure(QStringLiteral("bus throughput, core, mirror on"), describe(results[2]),
                QStringLiteral("ratio %1 (goal >= 0.25)").arg(results[2].rate() / baseline, 0, 'f', 3));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Benchmarks of orvantacore; every ratio is "
                                                    "measured against a baseline in the same run."));
    parser.addHelpOption();
    const QCommandLineOption only(QStringLiteral("only"),
                                  QStringLiteral("Run one benchmark: bus, latency, startup, idle."),
                                  QStringLiteral("name"));
    const QCommandLineOption units(QStringLiteral("units"), QStringLiteral("Bus load: units (10)."),
                                   QStringLiteral("n"), QStringLiteral("10"));
    const QCommandLineOption window(QStringLiteral("window"),
                                    QStringLiteral("Bus load: commands in flight per unit (16)."),
                                    QStringLiteral("n"), QStringLiteral("16"));
    const QCommandLineOption seconds(QStringLiteral("seconds"),
                                     QStringLiteral("Bus load: seconds measured per target (5)."),
                                     QStringLiteral("n"), QStringLiteral("5"));
    const QCommandLineOption fleet(QStringLiteral("fleet"),
                                   QStringLiteral("Start-up and idle: units (2000)."),
                                   QStringLiteral("n"), QStringLiteral("2000"));
    const QCommandLineOption idleSeconds(QStringLiteral("idle-seconds"),
                                         QStringLiteral("Idle: seconds measured (60)."),
                                         QStringLiteral("n"), QStringLiteral("60"));
    const QCommandLineOption loadOnly(QStringLiteral("load-port"),
                                      QStringLiteral("Only drive the bus load at a core already "
                                                     "listening on 127.0.0.1:port (for profiling "
                                                     "it), and print what was acknowledged."),
                                      QStringLiteral("port"));
    const QCommandLineOption calls(QStringLiteral("calls"), QStringLiteral("Latency: calls (1000)."),
                                   QStringLiteral("n"), QStringLiteral("1000"));
    parser.addOptions({only, units, window, seconds, fleet, idleSeconds, calls, loadOnly});
    parser.process(app);

    Settings settings;
    settings.units = qBound(1, parser.value(units).toInt(), 250);
    settings.window = qBound(1, parser.value(window).toInt(), 128);
    settings.seconds = qBound(1, parser.value(seconds).toInt(), 600);
    const QString selected = parser.value(only);

    // Builds of other work share the machine; the bench, the responder, the
    // daemon and the broker all inherit this priority, so they compete with
    // each other on equal terms and less with the rest. Needs root; without
    // it the figures are merely noisier.
    if (setpriority(PRIO_PROCESS, 0, -10) != 0)
        std::fprintf(stderr, "orvanta-bench: running at normal priority; expect noisy figures\n");

    if (parser.isSet(loadOnly)) {
        QString error;
        const auto load = openLoad(quint16(parser.value(loadOnly).toUInt()), settings, &error);
        if (!load) {
            std::fprintf(stderr, "orvanta-bench: %s\n", qPrintable(error));
            return 1;
        }
        const BusLoad::Result result = load->run(0, settings.seconds * 1000);
        std::printf("%llu acknowledged in %d s, %llu resent\n", result.acknowledged, settings.seconds,
                    result.resent);
        return 0;
    }
    if (selected.isEmpty() || selected == QLatin1String("bus")) {
        busThroughput(settings);
    }
    if (selected.isEmpty() || selected == QLatin1String("startup") || selected == QLatin1String("idle")) {
        FleetSettings fleetSettings;
        fleetSettings.units = qBound(1, parser.value(fleet).toInt(), Simulator::MaxGenerated);
        fleetSettings.idleSeconds = qBound(1, parser.value(idleSeconds).toInt(), 3600);
        startupAndIdle(fleetSettings);
    }
    if (selected.isEmpty() || selected == QLatin1String("latency")) {
        LatencySettings latencySettings;
        latencySettings.calls = qBound(1, parser.value(calls).toInt(), 100000);
        callLatency(latencySettings);
    }
    return 0;
}
