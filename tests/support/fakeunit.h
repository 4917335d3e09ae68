#pragma once

#include "simwire.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUdpSocket>

#include <functional>

// A field unit on loopback UDP for tests. It binds its own loopback address
// (127.0.0.2, 127.0.0.3, ...) on the port the core is bound to, records
// every datagram it receives, and behaves like a unit's firmware as far as a
// test needs: it acknowledges commands and answers "Ping" with "OK" (each can
// be switched off), and it sends correctly numbered and checksummed commands
// to the core. Its bytes come from the simulator's wire code, written
// independently of the core's.
//
//   FakeUnit unit(QHostAddress("127.0.0.2"), port);
//   unit.sendCommand("Requests", "StartPA");        // MsgNo 0, then 1, ...
//   QVERIFY(unit.waitForAck(0));
//   QVERIFY(unit.waitForCommand("DisplayCalls"));
//   QCOMPARE(unit.commands("DisplayCalls").first().payload, "Icon:A\n");
class FakeUnit : public QObject
{
    Q_OBJECT
public:
    // One received datagram, taken apart by the simulator's wire code.
    using Datagram = SimWire::Datagram;

    static const QHostAddress CoreAddress; // 127.0.0.1, where the core is bound in tests

    FakeUnit(const QHostAddress& address, quint16 port, QObject* parent = nullptr);

    // A UDP port that is free on loopback at the moment of the call.
    static quint16 freePort();
    // text + "CRC:" + four lower-case hex digits of the independent checksum.
    static QByteArray checksummed(const QByteArray& text) { return SimWire::checksummed(text); }

    bool isBound() const { return m_bound; }
    QHostAddress address() const { return m_address; }

    // Acknowledge every received command with error 0 (on by default).
    void setAutoAcknowledge(bool on) { m_autoAck = on; }
    // Answer "Ping" with "OK" (on by default).
    void setAnswerPing(bool on) { m_answerPing = on; }
    // A silent unit neither acknowledges nor answers "Ping".
    void setSilent(bool silent) { m_autoAck = m_answerPing = !silent; }

    // Sends "MsgNo:<n>\nCmd:<name>\n<payload>\nCRC:xxxx" with the unit's next
    // number (0, 1, 2, ...) and returns that number. payload is written as
    // given, its lines separated by "\n"; an empty payload adds no line.
    int sendCommand(const QString& name, const QString& payload = QString());
    // The same with a chosen number; the unit's own numbering is unchanged.
    void sendCommand(int msgNo, const QString& name, const QString& payload = QString())
    {
        sendRaw(SimWire::command(msgNo, name, payload));
    }
    void sendAck(int number, int error = 0) { sendRaw(SimWire::ack(number, error)); }
    void sendPing() { sendRaw(SimWire::Ping); }
    void sendOK() { sendRaw(SimWire::OK); }
    void sendRaw(const QByteArray& datagram) { m_socket.writeDatagram(datagram, CoreAddress, m_port); }

    QList<Datagram> received() const { return m_received; }
    QList<Datagram> commands(const QString& name = QString()) const;
    // The payloads of the named command; a repetition of one message (a
    // retransmission of what was not acknowledged in time) counts once.
    QStringList payloads(const QString& name) const;
    QList<Datagram> ofKind(Datagram::Kind kind) const;
    QList<Datagram> acks() const { return ofKind(Datagram::Ack); }
    int pingCount() const { return ofKind(Datagram::Ping).size(); }
    void clearReceived() { m_received.clear(); }

    // Each waits (running the event loop) until the condition holds for the
    // datagrams received since the last clearReceived(), and returns whether
    // it did within the timeout.
    bool waitForCommand(const QString& name, int timeoutMs = 2000) { return waitForCommands(name, 1, timeoutMs); }
    bool waitForCommands(const QString& name, int count, int timeoutMs = 2000)
    {
        return waitFor([&] { return commands(name).size() >= count; }, timeoutMs);
    }
    bool waitForAck(int number, int timeoutMs = 2000);
    bool waitForPings(int count, int timeoutMs = 2000)
    {
        return waitFor([&] { return pingCount() >= count; }, timeoutMs);
    }
    bool waitForDatagrams(int count, int timeoutMs = 2000)
    {
        return waitFor([&] { return m_received.size() >= count; }, timeoutMs);
    }
    bool waitFor(const std::function<bool()>& condition, int timeoutMs = 2000);

signals:
    void datagramReceived(const FakeUnit::Datagram& datagram);

private:
    void readPending();

    QUdpSocket m_socket;
    QHostAddress m_address;
    quint16 m_port;
    bool m_bound = false;
    bool m_autoAck = true;
    bool m_answerPing = true;
    SimWire::Numbering m_numbers;
    QElapsedTimer m_clock;
    QList<Datagram> m_received;
};
