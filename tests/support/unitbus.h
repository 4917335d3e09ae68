#pragma once

#include "rondel/command.h"
#include "rondel/rondelserver.h"
#include "support/fakeunit.h"

#include <QHostAddress>
#include <QList>
#include <QStringList>
#include <QUdpSocket>

#include <memory>
#include <vector>

class UdpSocket;

// A server that records what the units send instead of transmitting it.
// Each command is kept as commandTexts() writes it.
class RecordingServer : public RondelServer
{
public:
    RecordingServer();

    void send(const OutgoingCommand& command, const QHostAddress& ip) override;

    QStringList sent(const QHostAddress& ip) const;
    QStringList take(const QHostAddress& ip);
    void clear() { m_sent.clear(); }

private:
    QList<QPair<QHostAddress, QString>> m_sent;
};

// The command a unit receives for the datagram payload, parsed by the
// transport's own parser for the name (an invalid Command when the name has
// no parser or the payload does not parse).
Command parsedCommand(const QString& name, const QString& payload = QString());

// "Cmd|payload" of each command, the payload trimmed. Today's date and the
// time of a "DisplayDateTime" are written "Date:D" and "Time:T", so that the
// rest compares byte for byte; any other date stays as it is and shows.
QStringList commandTexts(const QList<FakeUnit::Datagram>& commands);

// The core's bus on 127.0.0.1 and fake units on 127.0.0.x, all on one free
// port, with transport timings short enough for tests (a retry every 100 ms,
// no keep-alive probes within a test).
class LoopbackBus
{
public:
    explicit LoopbackBus(RondelLogger* logger = nullptr, PublicRondelListener* publicListener = nullptr);
    ~LoopbackBus();

    bool isReady() const { return m_server != nullptr; }
    RondelServer* server() const { return m_server.get(); }
    quint16 port() const { return m_port; }
    // A fake unit bound on address; owned by the bus.
    FakeUnit* addUnit(const QHostAddress& address);

private:
    // Torn down from the last: the units, then the core's side before its socket.
    quint16 m_port = 0;
    std::unique_ptr<QUdpSocket> m_socket;
    std::unique_ptr<UdpSocket> m_udp;
    std::unique_ptr<RondelServer> m_server;
    std::vector<std::unique_ptr<FakeUnit>> m_units;
};
