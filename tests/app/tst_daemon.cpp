#include <QUdpSocket>
#include <QtTest>

#include <csignal>

class TestDaemon : public QObject
{
    Q_OBJECT

private slots:
    // A bad option exits with status 2, saying why and where help is, on standard error only.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("out"); // contained in standard output
        QTest::addColumn<QByteArray>("error");
        QTest::newRow("version") << QStringList{"--version"} << 0 << QByteArray("orvantacore 4.0.1\n") << QByteArray();
        QTest::newRow("help") << QStringList{"--help"} << 0 << QByteArray("--rondel-address") << QByteArray();
        QTest::newRow("unknown") << QStringList{"--bogus"} << 2 << QByteArray()
                                 << QByteArray("orvantacore: Unknown option 'bogus'.\n");
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, error);
        QProcess process;
        process.start(ORVANTACORE_BINARY, arguments);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QTEST(process.exitCode(), "status");
        const QByteArray output = process.readAllStandardOutput();
        QVERIFY2(out.isEmpty() ? output.isEmpty() : output.contains(out), output.constData());
        QCOMPARE(process.readAllStandardError(), error.isEmpty() ? error : error + "Try 'orvantacore --help'.\n");
    }

    void stopsPromptlyWhileWaitingForTheBusAddress_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }

    void stopsPromptlyWhileWaitingForTheBusAddress()
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
};

QTEST_GUILESS_MAIN(TestDaemon)
#include "tst_daemon.moc"
