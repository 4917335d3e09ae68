#include "app/orvanta.h"
#include "core/runtimeoptions.h"
#include "support/logcapture.h"
#include "support/temproot.h"

#include <QElapsedTimer>
#include <QUdpSocket>
#include <QtTest>

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void bindRetriesUntilThePortIsFree();
};

void TestStartup::bindRetriesUntilThePortIsFree()
{
    TempRoot root;
    LogCapture log;

    // Hold the port exclusively so that the core's bind fails.
    QUdpSocket blocker;
    QVERIFY(blocker.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress));
    RuntimeOptions options = runtimeOptions();
    options.rondelAddress = QHostAddress::LocalHost;
    options.rondelPort = blocker.localPort();
    setRuntimeOptions(options);

    Orvanta orvanta;
    orvanta.initialize();

    // start() waits in a nested loop until the bind succeeds, so everything
    // the test does meanwhile must run from timers inside that loop.
    int criticalLinesWhileBlocked = -1;
    bool initialisationWhileBlocked = true;
    QElapsedTimer sinceFreed;
    QTimer::singleShot(2200, [&] {
        criticalLinesWhileBlocked = log.count("Critical Rondel socket bind Failed!");
        initialisationWhileBlocked = log.contains("Debug Units initialisation ...");
        blocker.close();
        sinceFreed.start();
    });

    QTRY_VERIFY_WITH_TIMEOUT(log.contains("Debug Units initialisation ..."), 6000);
    const qint64 bindDelay = sinceFreed.elapsed();

    QCOMPARE(criticalLinesWhileBlocked, 1);
    QVERIFY(!initialisationWhileBlocked);
    QVERIFY2(bindDelay < 1800, qPrintable(QString::number(bindDelay)));
    QCOMPARE(log.count("Critical Rondel socket bind Failed!"), 1);

    const QStringList lines = log.lines();
    const int starting = lines.indexOf("Debug == Starting ...");
    const int failed = lines.indexOf("Critical Rondel socket bind Failed!");
    const int ok = lines.indexOf("Debug Rondel socket bind OK.");
    const int units = lines.indexOf("Debug Units initialisation ...");
    QVERIFY(starting >= 0);
    QVERIFY(starting < failed && failed < ok && ok + 1 == units);
    QCOMPARE(orvanta.rondelSocket()->localPort(), options.rondelPort);
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
