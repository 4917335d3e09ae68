#include "core/runtimeoptions.h"

#include <QtTest>

class TestRuntimeOptions : public QObject
{
    Q_OBJECT

private slots:
    void defaultsAndOverrides()
    {
        const auto run = [](const QStringList& arguments) {
            const RuntimeOptionsParseResult result = parseRuntimeOptions(QStringList{"orvantacore"} + arguments);
            const RuntimeOptions& o = result.options;
            return QStringLiteral("%1 %2:%3 broker %4:%5 %6")
                .arg(o.root, o.rondelAddress.toString())
                .arg(o.rondelPort)
                .arg(o.brokerHost)
                .arg(o.brokerPort)
                .arg(result.action == RuntimeOptionsParseResult::Action::Run ? "run" : "no run");
        };
        QCOMPARE(run({}), QStringLiteral("/ 10.10.0.1:6668 broker 127.0.0.1:1883 run"));
        QTemporaryDir dir;
        QCOMPARE(run({"--root", dir.path(), "--rondel-address", "127.0.0.1", "--rondel-port", "16668",
                      "--broker", "localhost:21883"}),
                 dir.path() + " 127.0.0.1:16668 broker localhost:21883 run");
    }

    void badValuesAreRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const auto row = [](const QStringList& arguments, const char* message) {
            QTest::newRow(qPrintable(arguments.join(' '))) << arguments << QString(message);
        };
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

    void badValuesAreRefused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const RuntimeOptionsParseResult result =
            parseRuntimeOptions(QStringList{"orvantacore"} + arguments);
        QCOMPARE(result.action, RuntimeOptionsParseResult::Action::Error);
        QCOMPARE(result.text, message);
    }
};

QTEST_GUILESS_MAIN(TestRuntimeOptions)
#include "tst_runtimeoptions.moc"
