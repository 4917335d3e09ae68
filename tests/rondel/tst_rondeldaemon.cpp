#include "support/fakeunit.h"
#include "support/temproot.h"

#include <QProcess>
#include <QtTest>

// The daemon itself on loopback: a fake unit talks to it and gets the
// designed answers.
class TestRondelDaemon : public QObject
{
    Q_OBJECT
private slots:
    void answersFieldUnit();
};

void TestRondelDaemon::answersFieldUnit()
{
    TempRoot root;
    const QHostAddress unitIp(QStringLiteral("127.0.0.2"));
    std::unique_ptr<FakeUnit> unit;
    quint16 port = 0;
    for (int tries = 0; tries < 5 && !(unit && unit->isBound()); ++tries) {
        port = FakeUnit::freePort();
        unit = std::make_unique<FakeUnit>(unitIp, port);
    }
    QVERIFY(unit->isBound());

    QProcess daemon;
    daemon.setProcessChannelMode(QProcess::MergedChannels);
    daemon.start(QStringLiteral(ORVANTACORE_BINARY),
                 {QStringLiteral("--root"), root.path(), QStringLiteral("--rondel-address"),
                  QStringLiteral("127.0.0.1"), QStringLiteral("--rondel-port"),
                  QString::number(port), QStringLiteral("--broker"),
                  QStringLiteral("127.0.0.1:") + QString::number(FakeUnit::freePort())});
    QVERIFY(daemon.waitForStarted());

    // Probe until the daemon's socket is bound, then let late answers settle.
    QElapsedTimer sincePing;
    const bool answered = unit->waitFor(
        [&] {
            if (unit->received().isEmpty() && (!sincePing.isValid() || sincePing.elapsed() > 200)) {
                unit->sendPing();
                sincePing.start();
            }
            return !unit->received().isEmpty();
        },
        10000);
    QVERIFY2(answered, daemon.readAll().constData());
    QCOMPARE(unit->received().at(0).bytes, QByteArray("OK"));
    QTest::qWait(250);
    unit->clearReceived();

    // A command of an address no unit object listens to is still acknowledged
    // (and the address is then asked what it is).
    unit->sendCommand(QStringLiteral("BasicInfo"), QStringLiteral("AcronymPU:PJ\nNamePU:Room 1"));
    QVERIFY(unit->waitForAck(0));
    QCOMPARE(unit->acks().at(0).bytes, QByteArray("AckNo:0\nError:0\nCRC:406e"));

    unit->sendCommand(QStringLiteral("BasicInfo"), QStringLiteral("NamePU:Room 1"));
    QVERIFY(unit->waitForAck(1));
    QCOMPARE(unit->acks().at(1).bytes, QByteArray("AckNo:1\nError:49\nCRC:be69"));

    unit->sendRaw("Cmd:Requests");
    QVERIFY(unit->waitForAck(-1));
    QCOMPARE(unit->acks().at(2).bytes, QByteArray("AckNo:-1\nError:32\nCRC:cadd"));
    QCOMPARE(daemon.state(), QProcess::Running);

    daemon.terminate();
    QVERIFY(daemon.waitForFinished(5000));
}

QTEST_GUILESS_MAIN(TestRondelDaemon)
#include "tst_rondeldaemon.moc"
