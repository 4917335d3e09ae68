#include "app/orvanta.h"
#include "core/runtimeoptions.h"
#include "support/logcapture.h"
#include "support/temproot.h"

#include <QUdpSocket>
#include <QtTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The test's stand-in for the service manager: a datagram socket handed to the daemon as
// NOTIFY_SOCKET, read from the loop as promptly as the real one, lest the sender block.
struct NotifySocket
{
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    QSocketNotifier notifier{fd, QSocketNotifier::Read};
    QStringList received;

    bool bind(const QString& path)
    {
        QObject::connect(&notifier, &QSocketNotifier::activated, [this] { messages(); });
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
        return ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~NotifySocket() { ::close(fd); }

    const QStringList& messages()
    {
        char buffer[512];
        ssize_t size;
        while ((size = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
            received.append(QString::fromUtf8(buffer, static_cast<int>(size)));
        return received;
    }
};

} // namespace

// The start in process, waiting for the bus port that another socket holds,
// then running, seen by the stand-in service manager and in the log.
class TestServiceNotifier : public QObject
{
    Q_OBJECT

private slots:
    void bindRetriedThenReadyAndPingsFromTheLoop()
    {
        TempRoot root;
        LogCapture log;
        const QString socketPath = root.file("/notify");
        NotifySocket manager;
        QVERIFY(manager.bind(socketPath));
        qputenv("NOTIFY_SOCKET", QFile::encodeName(socketPath));
        qputenv("WATCHDOG_USEC", "200000");
        qunsetenv("WATCHDOG_PID");

        QUdpSocket blocker;
        QVERIFY(blocker.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress));
        RuntimeOptions options = runtimeOptions();
        options.rondelAddress = QHostAddress::LocalHost;
        options.rondelPort = blocker.localPort();
        setRuntimeOptions(options);

        Orvanta orvanta;
        orvanta.initialize();

        // start() waits in a nested loop until the bind succeeds, so the test
        // looks at the waiting daemon from a timer inside that loop. Several
        // attempts fail meanwhile, but the failure is logged once.
        QStringList whileBlocked, logWhileBlocked;
        QElapsedTimer sinceFreed;
        QTimer::singleShot(2200, [&] {
            whileBlocked = manager.messages();
            logWhileBlocked = log.lines();
            blocker.close();
            sinceFreed.start();
        });
        QTRY_VERIFY_WITH_TIMEOUT(manager.messages().contains("READY=1"), 6000);
        QVERIFY2(sinceFreed.elapsed() < 1800, qPrintable(QString::number(sinceFreed.elapsed())));
        QCOMPARE(orvanta.rondelSocket()->localPort(), options.rondelPort);
        QVERIFY(!logWhileBlocked.contains("Debug Units initialisation ..."));
        const QStringList lines = log.lines();
        QCOMPARE(lines.filter(QRegularExpression("^(Debug == Starting|Critical Rondel|Debug Rondel)")),
                 (QStringList{"Debug == Starting ...", "Critical Rondel socket bind Failed!",
                              "Debug Rondel socket bind OK."}));
        QCOMPARE(lines.value(lines.indexOf("Debug Rondel socket bind OK.") + 1),
                 QString("Debug Units initialisation ..."));

        QVERIFY2(whileBlocked.size() >= 3, qPrintable(whileBlocked.join(' ')));
        QCOMPARE(whileBlocked.count("EXTEND_TIMEOUT_USEC=200000"), whileBlocked.size());

        // Ten periods of 100 ms: at least three pings, and nothing else.
        QTest::qWait(1000);
        const QStringList all = manager.messages();
        const QStringList afterReady = all.mid(all.indexOf("READY=1") + 1);
        QVERIFY2(afterReady.size() >= 3, qPrintable(afterReady.join(' ')));
        QCOMPARE(afterReady.count("WATCHDOG=1"), afterReady.size());
        QCOMPARE(all.count("READY=1"), 1);
    }
};

QTEST_GUILESS_MAIN(TestServiceNotifier)
#include "tst_servicenotifier.moc"
