#include "core/runtimeoptions.h"

#include <QTemporaryDir>
#include <QtTest>

class TestRuntimeOptions : public QObject
{
    Q_OBJECT

private slots:
    void defaultsAreTheControllersValues();
    void overrides();
    void badValuesAreRefused_data();
    void badValuesAreRefused();
    void helpAndVersion();
    void systemPathPrefixesTheRoot();
};

void TestRuntimeOptions::defaultsAreTheControllersValues()
{
    const RuntimeOptionsParseResult result = parseRuntimeOptions({"orvantacore"});
    QCOMPARE(result.action, RuntimeOptionsParseResult::Action::Run);
    QCOMPARE(result.options.root, QString("/"));
    QCOMPARE(result.options.rondelAddress, QHostAddress("10.10.0.1"));
    QCOMPARE(result.options.rondelPort, quint16(6668));
    QCOMPARE(result.options.brokerHost, QString("127.0.0.1"));
    QCOMPARE(result.options.brokerPort, quint16(1883));
}

void TestRuntimeOptions::overrides()
{
    QTemporaryDir dir;
    const RuntimeOptionsParseResult result = parseRuntimeOptions(
        {"orvantacore", "--root", dir.path(), "--rondel-address", "127.0.0.1", "--rondel-port",
         "16668", "--broker", "localhost:21883"});
    QCOMPARE(result.action, RuntimeOptionsParseResult::Action::Run);
    QCOMPARE(result.options.root, dir.path());
    QCOMPARE(result.options.rondelAddress, QHostAddress("127.0.0.1"));
    QCOMPARE(result.options.rondelPort, quint16(16668));
    QCOMPARE(result.options.brokerHost, QString("localhost"));
    QCOMPARE(result.options.brokerPort, quint16(21883));
}

void TestRuntimeOptions::badValuesAreRefused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << "Unknown option 'frobnicate'.";
    QTest::newRow("missing value") << QStringList{"--root"} << "Missing value after '--root'.";
    QTest::newRow("root missing") << QStringList{"--root", "/no/such/folder"}
                                  << "--root: folder '/no/such/folder' does not exist.";
    QTest::newRow("address") << QStringList{"--rondel-address", "10.0.0"}
                             << "--rondel-address: '10.0.0' is not an IPv4 address.";
    QTest::newRow("ipv6 address") << QStringList{"--rondel-address", "::1"}
                                  << "--rondel-address: '::1' is not an IPv4 address.";
    QTest::newRow("port zero") << QStringList{"--rondel-port", "0"}
                               << "--rondel-port: '0' is not a port number (1-65535).";
    QTest::newRow("port too big") << QStringList{"--rondel-port", "70000"}
                                  << "--rondel-port: '70000' is not a port number (1-65535).";
    QTest::newRow("broker no port") << QStringList{"--broker", "localhost"}
                                    << "--broker: 'localhost' is not host:port.";
    QTest::newRow("broker bad port") << QStringList{"--broker", "h:x"}
                                     << "--broker: 'h:x' is not host:port.";
    QTest::newRow("positional") << QStringList{"extra"} << "Unexpected argument 'extra'.";
}

void TestRuntimeOptions::badValuesAreRefused()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const RuntimeOptionsParseResult result =
        parseRuntimeOptions(QStringList{"orvantacore"} + arguments);
    QCOMPARE(result.action, RuntimeOptionsParseResult::Action::Error);
    QCOMPARE(result.text, message);
}

void TestRuntimeOptions::helpAndVersion()
{
    const RuntimeOptionsParseResult version = parseRuntimeOptions({"orvantacore", "--version"});
    QCOMPARE(version.action, RuntimeOptionsParseResult::Action::ShowVersion);
    QCOMPARE(version.text, QString("orvantacore 4.0.1\n"));

    const RuntimeOptionsParseResult help = parseRuntimeOptions({"orvantacore", "--help"});
    QCOMPARE(help.action, RuntimeOptionsParseResult::Action::ShowHelp);
    for (const char* option : {"--root", "--rondel-address", "--rondel-port", "--broker"})
        QVERIFY2(help.text.contains(option), option);
}

void TestRuntimeOptions::systemPathPrefixesTheRoot()
{
    const RuntimeOptions saved = runtimeOptions();
    RuntimeOptions options;
    QCOMPARE(systemPath("/opt/core/etc/settings.conf"), QString("/opt/core/etc/settings.conf"));
    options.root = "/tmp/sample/";
    setRuntimeOptions(options);
    QCOMPARE(systemPath("/opt/core/etc/settings.conf"),
             QString("/tmp/sample/opt/core/etc/settings.conf"));
    setRuntimeOptions(saved);
}

QTEST_GUILESS_MAIN(TestRuntimeOptions)
#include "tst_runtimeoptions.moc"
