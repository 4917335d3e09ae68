#include "core/runtimeoptions.h"

#include <QtTest>

class TestRuntimeOptions : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("result"); // the options to run with, or why they are refused
        const auto row = [](const QStringList& arguments, const char* result) {
            QTest::newRow(qPrintable(arguments.join(' '))) << arguments << QString(result);
        };
        row({}, "run / 10.10.0.1:6668 broker 127.0.0.1:1883");
        row({"--root", "/tmp", "--rondel-address", "127.0.0.1", "--rondel-port", "16668", "--broker",
             "localhost:21883"},
            "run /tmp 127.0.0.1:16668 broker localhost:21883");
        row({"--frobnicate"}, "Unknown option 'frobnicate'.");
        row({"--root"}, "Missing value after '--root'.");
        row({"--root", "/no/such/folder"}, "--root: folder '/no/such/folder' does not exist.");
        row({"--rondel-address", "10.0.0"}, "--rondel-address: '10.0.0' is not an IPv4 address.");
        row({"--rondel-address", "::1"}, "--rondel-address: '::1' is not an IPv4 address.");
        row({"--rondel-port", "0"}, "--rondel-port: '0' is not a port number (1-65535).");
        row({"--rondel-port", "70000"}, "--rondel-port: '70000' is not a port number (1-65535).");
        row({"--broker", "localhost"}, "--broker: 'localhost' is not host:port.");
        row({"--broker", "h:x"}, "--broker: 'h:x' is not host:port.");
        row({"extra"}, "Unexpected argument 'extra'.");
    }

    void parse()
    {
        QFETCH(QStringList, arguments);
        const RuntimeOptionsParseResult result = parseRuntimeOptions(QStringList{"orvantacore"} + arguments);
        const RuntimeOptions& o = result.options;
        const QString options = QStringLiteral("run %1 %2:%3 broker %4:%5")
                                    .arg(o.root, o.rondelAddress.toString())
                                    .arg(o.rondelPort)
                                    .arg(o.brokerHost)
                                    .arg(o.brokerPort);
        using Action = RuntimeOptionsParseResult::Action;
        QTEST(result.action == Action::Run ? options : result.action == Action::Error ? result.text : "?", "result");
    }
};

QTEST_GUILESS_MAIN(TestRuntimeOptions)
#include "tst_runtimeoptions.moc"
