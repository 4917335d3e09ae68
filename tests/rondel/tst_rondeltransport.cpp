#include "rondel/publicrondellistener.h"
#include "rondel/records.h"
#include "rondel/rondel.h"
#include "rondel/rondellisteners.h"
#include "rondel/rondellogger.h"
#include "rondel/rondelprotocol.h"
#include "rondel/rondelserver.h"
#include "support/unitbus.h"

#include <QtTest>

#include <memory>

namespace {

const QHostAddress UnitIp(QStringLiteral("127.0.0.2"));
const QHostAddress OtherIp(QStringLiteral("127.0.0.3"));
constexpr int Retry = 100; // ms, the bus's; the units' own value is ten times that

class RecordingLogger : public RondelLogger
{
public:
    void logSent(const QByteArray& datagram, const QHostAddress& ip) override
    {
        entries.append("out " + ip.toString() + ' ' + QString::fromUtf8(datagram));
    }
    void logReceived(const QByteArray& datagram, const QHostAddress& ip) override
    {
        entries.append("in " + ip.toString() + ' ' + QString::fromUtf8(datagram));
    }
    QStringList entries;
};

class TestUnit : public RondelCmdListener, public RondelStatusListener
{
public:
    void receivedCommand(const Command& command) override { commands.append(command); }
    void unitNotResponding() override { events.append(QStringLiteral("notResponding")); }
    void unitStartResponding() override { events.append(QStringLiteral("startResponding")); }

    QList<Command> commands;
    QStringList events;
};

OutgoingCommand command(const QString& name, const QString& payload)
{
    return {name, payload};
}

QVector<QByteArray> bytesOf(const QList<FakeUnit::Datagram>& datagrams)
{
    QVector<QByteArray> result;
    for (const FakeUnit::Datagram& d : datagrams)
        result.append(d.bytes);
    return result;
}

} // namespace

class TestRondelTransport : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_logger = std::make_unique<RecordingLogger>();
        m_public = std::make_unique<PublicRondelListener>();
        m_bus = std::make_unique<LoopbackBus>(m_logger.get(), m_public.get());
        QVERIFY(m_bus->isReady());
        m_unit = m_bus->addUnit(UnitIp);
        QVERIFY(m_unit);
        m_server = m_bus->server();
        m_listener = TestUnit();
        m_server->addCommandListener(&m_listener, UnitIp);
        m_server->addStatusListener(&m_listener, UnitIp);
    }

    // The bus goes before the next test binds its own; its logger and listener outlive it.
    void cleanup() { m_bus.reset(); }

    void acknowledgesAndDeliversOnce()
    {
        m_unit->sendCommand(3, "PresenceStatus", "PS:1\nPP:0");
        m_unit->sendCommand(3, "PresenceStatus", "PS:1\nPP:0");
        QVERIFY(m_unit->waitForDatagrams(2));
        QTest::qWait(50);

        QCOMPARE(bytesOf(m_unit->received()), QVector<QByteArray>(2, "AckNo:3\nError:0\nCRC:881b"));
        QCOMPARE(m_listener.commands.size(), 1);
        QCOMPARE(m_listener.commands.at(0).msgNo, 3);
        QCOMPARE(m_listener.commands.at(0).name, QStringLiteral("PresenceStatus"));
        QVERIFY(m_listener.commands.at(0).record<PresenceStatus>().ps);

        // The acknowledgement is logged before the datagram that caused it.
        const QString ack = QStringLiteral("out 127.0.0.2 AckNo:3\nError:0\nCRC:881b");
        const QString in = "in 127.0.0.2 " + SimWire::command(3, "PresenceStatus", "PS:1\nPP:0");
        QCOMPARE(m_logger->entries, QStringList({ack, in, ack, in}));

        // Same number, another name: another command. A probe is answered, and is no command.
        m_unit->sendCommand(3, "Requests", "OpenEZ");
        m_unit->sendPing();
        QVERIFY(m_unit->waitForDatagrams(4));
        QCOMPARE(m_unit->received().at(3).bytes, QByteArray("OK"));
        QCOMPARE(m_listener.commands.size(), 2);
        QVERIFY(m_listener.events.isEmpty());
    }

    void sendsQueuedCommandsInTurn()
    {
        Rondel rondel(m_server, UnitIp);
        m_unit->setAutoAcknowledge(false);
        rondel.requestBasicInfo();
        rondel.displayCalls({CallDisplayInfo{QLatin1Char('A'), "Interna", "", "", "", ""},
                             CallDisplayInfo{QLatin1Char('N'), "", "14", "", "", ""}});

        // One command in flight at a time.
        QVERIFY(m_unit->waitForCommands(QString(), 1));
        QTest::qWait(Retry / 2);
        QCOMPARE(bytesOf(m_unit->commands()),
                 QVector<QByteArray>({"MsgNo:0\nCmd:GetStatus\nBasicInfo\nCRC:c86d"}));

        m_unit->setAutoAcknowledge(true);
        m_unit->sendAck(0);
        QVERIFY(m_unit->waitForCommands(QString(), 3));
        QTest::qWait(Retry + 50); // nothing retransmitted once acknowledged
        QCOMPARE(bytesOf(m_unit->commands()).mid(1),
                 QVector<QByteArray>({"MsgNo:1\nCmd:DisplayCalls\nIcon:A\nWard:Interna\nNotFinished\nCRC:1a8e",
                                    "MsgNo:2\nCmd:DisplayCalls\nContinue\nIcon:N\nRoomNo:14\nCRC:20f5"}));
        QCOMPARE(protocol()->sender()->state(), int(RondelSender::Idle));
        QCOMPARE(protocol()->sender()->msgNo(), 3);

        // A command sent late in the wait for an earlier one is repeated a whole
        // interval after its own transmission, not when the earlier was due.
        m_unit->setAutoAcknowledge(false);
        m_unit->clearReceived();
        rondel.requestBasicInfo();
        rondel.requestBasicInfo();
        QVERIFY(m_unit->waitForCommands(QString(), 1));
        QTest::qWait(Retry * 6 / 10);
        m_unit->sendAck(3);
        QVERIFY(m_unit->waitForCommands(QString(), 3, 3 * Retry));
        const QList<FakeUnit::Datagram> sent = m_unit->commands();
        QCOMPARE(sent.at(1).number, 4);
        QCOMPARE(sent.at(2).number, 4);
        QVERIFY2(sent.at(2).atMs - sent.at(1).atMs >= Retry * 8 / 10,
                 qPrintable(QString::number(sent.at(2).atMs - sent.at(1).atMs)));
    }

    void givesUpOnSilentUnitAndProbes()
    {
        Rondel rondel(m_server, UnitIp);
        m_unit->setSilent(true);
        rondel.voipEndCall();
        rondel.requestCallStatus(); // queued behind, discarded on giving up

        // Five transmissions of the head, one retry interval apart.
        QVERIFY(m_unit->waitForCommands(QString(), 5, 10 * Retry));
        QVERIFY(QTest::qWaitFor([&] { return !m_listener.events.isEmpty(); }, 4 * Retry));
        const QList<FakeUnit::Datagram> sent = m_unit->commands();
        QCOMPARE(bytesOf(sent), QVector<QByteArray>(5, "MsgNo:0\nCmd:VoIP\nEndCall\nCRC:fd42"));
        for (int i = 1; i < sent.size(); ++i) {
            const qint64 apart = sent.at(i).atMs - sent.at(i - 1).atMs;
            QVERIFY2(apart >= Retry * 8 / 10, qPrintable(QString::number(apart)));
        }
        QCOMPARE(m_listener.events, QStringList{QStringLiteral("notResponding")});
        QVERIFY(protocol()->sender()->isNotResponding());

        // Probed every retry interval; a command given meanwhile never leaves.
        rondel.requestAll();
        QVERIFY(m_unit->waitForPings(3, 10 * Retry));
        QCOMPARE(m_unit->commands().size(), 5);
        const QList<FakeUnit::Datagram> pings = m_unit->ofKind(FakeUnit::Datagram::Ping);
        QVERIFY(pings.at(0).atMs - sent.last().atMs >= Retry * 8 / 10);
        QVERIFY(pings.at(2).atMs - pings.at(1).atMs >= Retry * 8 / 10);
        QCOMPARE(pings.at(0).bytes, QByteArray("Ping"));

        // The unit answers: restored once, nothing from before the failure sent.
        m_unit->setAnswerPing(true);
        m_unit->setAutoAcknowledge(true);
        QVERIFY(QTest::qWaitFor([&] { return m_listener.events.size() == 2; }, 10 * Retry));
        QTest::qWait(3 * Retry);
        QCOMPARE(m_listener.events,
                 (QStringList{QStringLiteral("notResponding"), QStringLiteral("startResponding")}));
        QCOMPARE(m_unit->commands().size(), 5);
        QVERIFY(!protocol()->sender()->isNotResponding());

        // The abandoned command used its number.
        m_unit->clearReceived();
        rondel.requestCallStatus();
        QVERIFY(m_unit->waitForCommand("GetStatus"));
        QCOMPARE(m_unit->commands().at(0).bytes, QByteArray("MsgNo:1\nCmd:GetStatus\nCall\nCRC:38c3"));
    }

    void ignoresForeignAcknowledgements()
    {
        m_unit->setAutoAcknowledge(false);
        m_server->send(command("VoIP", "EndCall"), UnitIp);
        QVERIFY(m_unit->waitForCommands(QString(), 1));

        // An acknowledgement of another number (a late one) changes nothing.
        m_unit->sendAck(7);
        QVERIFY(m_unit->waitForCommands(QString(), 2, 3 * Retry));
        QCOMPARE(protocol()->sender()->state(), int(RondelSender::WaitingForAck));

        // An "OK" outside a probe is ignored too.
        m_unit->sendOK();
        m_unit->sendAck(0);
        QVERIFY(QTest::qWaitFor([&] { return protocol()->sender()->state() == RondelSender::Idle; }, 500));
        QTest::qWait(Retry + 50);
        QCOMPARE(m_unit->commands().size(), 2);
        QCOMPARE(m_unit->pingCount(), 0);
        QVERIFY(m_listener.events.isEmpty());
    }

    void probesAfterQueueDrains()
    {
        RondelTimings timings = m_server->timings();
        timings.retryInterval = 1000;
        timings.keepAliveInterval = 60;
        m_server->setTimings(timings);

        // Idle: a probe every keep-alive interval, answered without any report.
        m_server->protocolFor(UnitIp);
        QVERIFY(m_unit->waitForPings(2, 1000));
        QVERIFY(m_listener.events.isEmpty());

        // A probe due while a command awaits its acknowledgement follows that at once.
        m_unit->setAutoAcknowledge(false);
        m_unit->setAnswerPing(true);
        QTest::qWait(20);
        m_unit->clearReceived();
        m_server->send(command("Lights", "PS:1"), UnitIp);
        QVERIFY(m_unit->waitForCommands(QString(), 1));
        QTest::qWait(3 * timings.keepAliveInterval);
        QCOMPARE(m_unit->pingCount(), 0);
        m_unit->sendAck(0);
        QVERIFY(m_unit->waitForPings(1, 500));
        QCOMPARE(m_unit->received().at(0).kind, FakeUnit::Datagram::Command);
        QCOMPARE(m_unit->received().at(1).kind, FakeUnit::Datagram::Ping);
    }

    void unregisteredAddressReachesPublicListener()
    {
        FakeUnit other(OtherIp, m_bus->port());
        QVERIFY(other.isBound());
        QStringList heard; // "name number acronym from address"
        connect(m_public.get(), &PublicRondelListener::receivedCommand, this,
                [&](const Command& c, const QHostAddress& ip) {
                    heard << QStringLiteral("%1 %2 %3 from %4")
                                 .arg(c.name).arg(c.msgNo).arg(c.record<BasicInfo>().acronymPU, ip.toString());
                });
        other.sendCommand(9, "BasicInfo", "AcronymPU:PJ");
        QVERIFY(other.waitForAck(9));
        QCOMPARE(other.received().at(0).bytes, QByteArray("AckNo:9\nError:0\nCRC:1967"));
        QCOMPARE(heard, QStringList{"BasicInfo 9 PJ from 127.0.0.3"});
        QVERIFY(m_listener.commands.isEmpty());

        // A replaced unit going away must not unhook its successor (for the
        // command listener the registry's reload test shows it).
        TestUnit successor;
        m_server->removeStatusListener(&successor, UnitIp); // not registered: no effect
        QVERIFY(m_server->statusListener(UnitIp) == &m_listener);

        // A unit that detaches leaves its address to the public listener.
        m_server->removeCommandListener(&m_listener, UnitIp);
        m_unit->sendCommand(10, "Requests", "OpenEZ");
        QVERIFY(m_unit->waitForAck(10));
        QCOMPARE(heard.mid(1), QStringList{"Requests 10  from 127.0.0.2"});
        QCOMPARE(m_unit->received().at(0).bytes, QByteArray("AckNo:10\nError:0\nCRC:96b9"));
        QVERIFY(m_listener.commands.isEmpty());
    }

    void numbersWrapAfter255()
    {
        RondelSender sender;
        QVector<QByteArray> sent;
        connect(&sender, &RondelSender::datagramToSend, this,
                [&](const QByteArray& datagram) { sent.append(datagram); });
        for (int i = 0; i < 257; ++i) {
            sender.send(command("GetStatus", "All"));
            sender.receivedAck(sender.msgNo());
        }
        QCOMPARE(sent.size(), 257);
        QVERIFY(sent.at(255).startsWith("MsgNo:255\n"));
        QVERIFY(sent.at(256).startsWith("MsgNo:0\n"));
        QCOMPARE(sender.state(), int(RondelSender::Idle));
        QCOMPARE(sender.queueSize(), 0);
    }

    void readsWholeBursts()
    {
        // Several read batches per burst, and a second burst after the socket
        // ran dry: every datagram is read, answered and delivered in order.
        for (int burst = 0; burst < 2; ++burst) {
            m_unit->clearReceived();
            for (int n = 0; n < 100; ++n)
                m_unit->sendCommand(burst * 100 + n, "PresenceStatus", "PS:0\nPP:0");
            QVERIFY(m_unit->waitForDatagrams(100));
            for (int n = 0; n < 100; ++n)
                QCOMPARE(m_unit->received().at(n).number, burst * 100 + n);
        }
        QCOMPARE(m_listener.commands.size(), 200);
        QCOMPARE(m_listener.commands.last().msgNo, 199);

        // More than a socket buffer holds arrives before the core reads, as after a power cut.
        QList<FakeUnit*> units;
        for (int i = 0; i < 20; ++i) {
            units << m_bus->addUnit(QHostAddress(QStringLiteral("127.0.0.%1").arg(10 + i)));
            QVERIFY(units.last());
        }
        for (int n = 0; n < 60; ++n) {
            for (FakeUnit* unit : units)
                unit->sendCommand(n, "PresenceStatus", "PS:0\nPP:0");
        }
        for (FakeUnit* unit : units) {
            QVERIFY(unit->waitForDatagrams(60, 5000));
            QCOMPARE(unit->acks().size(), 60);
        }
    }

    void dropsQuietUnlistenedAddresses()
    {
        constexpr int Lifetime = 400;
        RondelTimings timings = m_server->timings();
        timings.keepAliveInterval = 50;
        timings.unlistenedLifetime = Lifetime;
        m_server->setTimings(timings);
        FakeUnit stray(OtherIp, m_bus->port());
        QVERIFY(stray.isBound());
        stray.setSilent(true); // never answers a probe: the core pings it every retry

        // Traffic keeps the state of an address nobody listens to ...
        for (int i = 0; i < 6; ++i) {
            stray.sendCommand(i, "Requests", "OpenEZ");
            QTest::qWait(Lifetime / 3);
        }
        QVERIFY(m_server->protocol(OtherIp));
        QVERIFY(stray.pingCount() > 0);
        // ... until it has been quiet for the lifetime; then its probes stop.
        QTRY_VERIFY_WITH_TIMEOUT(!m_server->protocol(OtherIp), 3 * Lifetime);
        QTest::qWait(50);
        const int pings = stray.pingCount();
        QTest::qWait(3 * Retry);
        QCOMPARE(stray.pingCount(), pings);

        // A returning source starts afresh and is acknowledged as before.
        stray.clearReceived();
        stray.sendCommand(3, "Requests", "OpenEZ");
        QVERIFY(stray.waitForAck(3));
        QVERIFY(m_server->protocol(OtherIp));

        // An address with a unit object is kept however quiet it is; its
        // answers to our probes do not count as activity once it has none.
        m_server->protocolFor(UnitIp);
        m_server->removeCommandListener(UnitIp);
        QTest::qWait(2 * Lifetime);
        QVERIFY(m_server->protocol(UnitIp));
        QVERIFY(m_unit->pingCount() > 0);
        m_server->removeStatusListener(UnitIp);
        QTRY_VERIFY_WITH_TIMEOUT(!m_server->protocol(UnitIp), 3 * Lifetime);
    }

private:
    RondelProtocol* protocol() { return m_server->protocolFor(UnitIp); }

    std::unique_ptr<RecordingLogger> m_logger;
    std::unique_ptr<PublicRondelListener> m_public;
    std::unique_ptr<LoopbackBus> m_bus;
    RondelServer* m_server = nullptr;
    FakeUnit* m_unit = nullptr;
    TestUnit m_listener;
};

QTEST_GUILESS_MAIN(TestRondelTransport)
#include "tst_rondeltransport.moc"
