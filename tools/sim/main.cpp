#include "simconsole.h"
#include "simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

void printLine(FILE* stream, const QString& line)
{
    std::fputs(line.toUtf8().append('\n').constData(), stream);
    std::fflush(stream);
}

[[noreturn]] void fail(const QString& message)
{
    printLine(stderr, QStringLiteral("orvanta-sim: ") + message);
    printLine(stderr, QStringLiteral("Try 'orvanta-sim --help'."));
    std::exit(2);
}

// Feeds standard input to the console line by line. At the end of input the
// units keep running: the simulator is often started without a terminal.
class StdinReader : public QObject
{
public:
    explicit StdinReader(SimConsole* console)
        : m_console(console)
        , m_notifier(STDIN_FILENO, QSocketNotifier::Read)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &StdinReader::read);
    }

private:
    void read()
    {
        char chunk[4096];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0) {
            m_notifier.setEnabled(false);
            if (!m_pending.isEmpty())
                m_console->feed(QString::fromUtf8(m_pending));
            m_pending.clear();
            return;
        }
        m_pending.append(chunk, static_cast<int>(n));
        int end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            m_console->feed(QString::fromUtf8(m_pending.left(end)));
            m_pending.remove(0, end + 1);
        }
    }

    SimConsole* m_console;
    QSocketNotifier m_notifier;
    QByteArray m_pending;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvanta-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral("4.0.1"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulates the field units of a nurse-call installation on loopback "
                       "addresses.\nControl commands come from standard input or a script:\n\n")
        + SimConsole::help());
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption configOption(
        "config", "Simulate the units of the installation configuration <file>.", "file");
    const QCommandLineOption generateOption(
        "generate", "Simulate <n> generated units on 127.0.1.1, 127.0.1.2, ...", "n");
    const QCommandLineOption modelOption(
        "model", "Model of the generated units, or 'mixed' for all in turn (default Tolva).",
        "name", "Tolva");
    const QCommandLineOption writeOption(
        "write-config", "Write the configuration of the generated units to <file> and exit.",
        "file");
    const QCommandLineOption coreOption("core", "Address of the core (default 127.0.0.1).",
                                        "address", "127.0.0.1");
    const QCommandLineOption portOption("port", "UDP port of the field bus (default 6668).",
                                        "port", "6668");
    const QCommandLineOption scriptOption("script", "Run the commands of <file> first.", "file");
    const QCommandLineOption quietOption("quiet", "Print nothing but errors.");
    parser.addOptions({configOption, generateOption, modelOption, writeOption, coreOption,
                       portOption, scriptOption, quietOption});
    if (!parser.parse(app.arguments()))
        fail(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    const bool quiet = parser.isSet(quietOption);
    const bool generated = parser.isSet(generateOption);
    if (generated == parser.isSet(configOption))
        fail(QStringLiteral("give either --config FILE or --generate N"));
    if (parser.isSet(writeOption) && !generated)
        fail(QStringLiteral("--write-config needs --generate"));
    bool ok = false;
    const uint port = parser.value(portOption).toUInt(&ok);
    if (!ok || port == 0 || port > 65535)
        fail(QStringLiteral("--port: '%1' is not a port number (1-65535)").arg(parser.value(portOption)));
    bool isIPv4 = false;
    const QHostAddress core(parser.value(coreOption));
    core.toIPv4Address(&isIPv4);
    if (!isIPv4)
        fail(QStringLiteral("--core: '%1' is not an IPv4 address").arg(parser.value(coreOption)));

    Simulator simulator;
    QStringList problems;
    if (generated) {
        const int count = parser.value(generateOption).toInt(&ok);
        if (!ok || count < 1 || count > Simulator::MaxGenerated)
            fail(QStringLiteral("--generate: '%1' is not a number of units (1-%2)")
                     .arg(parser.value(generateOption))
                     .arg(Simulator::MaxGenerated));
        if (!SimModel::byName(parser.value(modelOption)).isValid()
            && parser.value(modelOption).compare(QLatin1String("mixed"), Qt::CaseInsensitive) != 0)
            fail(QStringLiteral("--model: '%1' is not one of %2, mixed")
                     .arg(parser.value(modelOption), SimModel::names().join(QStringLiteral(", "))));
        const QVariantMap config = Simulator::generate(count, parser.value(modelOption));
        if (parser.isSet(writeOption)) {
            QString error;
            if (!Simulator::writeConfig(parser.value(writeOption), config, &error)) {
                printLine(stderr, QStringLiteral("orvanta-sim: ") + error);
                return 1;
            }
            if (!quiet)
                printLine(stdout, QStringLiteral("wrote %1 units to %2").arg(count).arg(parser.value(writeOption)));
            return 0;
        }
        simulator.load(config, &problems);
    } else {
        QString error;
        if (!simulator.loadFile(parser.value(configOption), &problems, &error)) {
            printLine(stderr, QStringLiteral("orvanta-sim: ") + error);
            return 1;
        }
    }
    for (const QString& problem : qAsConst(problems))
        printLine(stderr, QStringLiteral("orvanta-sim: ") + problem);
    if (simulator.units().isEmpty()) {
        printLine(stderr, QStringLiteral("orvanta-sim: no units to simulate"));
        return 1;
    }

    QString error;
    if (!simulator.bind(core, static_cast<quint16>(port), &error)) {
        printLine(stderr, QStringLiteral("orvanta-sim: ") + error);
        return 1;
    }

    SimConsole console(&simulator);
    if (!quiet) {
        QObject::connect(&simulator, &Simulator::changed, [](const QString& line) { printLine(stdout, line); });
        QObject::connect(&console, &SimConsole::output, [](const QString& line) { printLine(stdout, line); });
    }
    QObject::connect(&console, &SimConsole::error, [](const QString& line) { printLine(stderr, line); });
    QObject::connect(&console, &SimConsole::quitRequested, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    if (!quiet)
        printLine(stdout, QStringLiteral("orvanta-sim: %1 unit(s), core at %2:%3; type 'help' for commands")
                              .arg(simulator.units().size())
                              .arg(core.toString())
                              .arg(port));

    if (parser.isSet(scriptOption)) {
        QFile script(parser.value(scriptOption));
        if (!script.open(QIODevice::ReadOnly | QIODevice::Text)) {
            printLine(stderr, QStringLiteral("orvanta-sim: cannot read %1: %2")
                                  .arg(script.fileName(), script.errorString()));
            return 1;
        }
        QTextStream in(&script);
        in.setCodec("UTF-8");
        while (!in.atEnd())
            console.feed(in.readLine());
    }
    StdinReader stdinReader(&console);
    return app.exec();
}
