#pragma once

#include "rondel/rondelsender.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QObject>

class PublicRondelListener;
class RondelCmdListener;
class RondelLogger;
class RondelProtocol;
class RondelStatusListener;
class UdpSocket;

// The field bus of the whole process: one protocol per unit address,
// created when the address first sends or is sent to. It is kept while a
// unit object listens to the address; without one, it is dropped once the
// address has been quiet for a while (RondelTimings::unlistenedLifetime,
// a minute), so that a stray or departed source does not keep a sender that
// probes it every second for the life of the process. Commands go
// to the listener registered for their address, or to the public listener
// when there is none; the status listener of an address hears when the unit
// stops and starts responding. The logger sees every datagram after it was
// sent, and every received datagram after all it caused was sent.
class RondelServer : public QObject
{
    Q_OBJECT
public:
    // logger and publicListener may be null; socket may be null for a server
    // that only queues (tests of the command builders).
    RondelServer(RondelLogger* logger, PublicRondelListener* publicListener,
                 UdpSocket* socket, QObject* parent = nullptr);

    // A second registration for an address replaces the first. Listeners
    // must remove themselves before they die.
    void addCommandListener(RondelCmdListener* listener, const QHostAddress& ip);
    void removeCommandListener(const QHostAddress& ip);
    // Removes the listener only while it is still the one registered for the
    // address, so a unit going away cannot unhook its successor.
    void removeCommandListener(RondelCmdListener* listener, const QHostAddress& ip);
    void addStatusListener(RondelStatusListener* listener, const QHostAddress& ip);
    void removeStatusListener(const QHostAddress& ip);
    void removeStatusListener(RondelStatusListener* listener, const QHostAddress& ip);
    // The listeners registered for ip, or null.
    RondelCmdListener* commandListener(const QHostAddress& ip) const
    {
        return m_commandListeners.value(ip);
    }
    RondelStatusListener* statusListener(const QHostAddress& ip) const
    {
        return m_statusListeners.value(ip);
    }

    // Queues a command for the unit at ip.
    virtual void send(const OutgoingCommand& command, const QHostAddress& ip);

    // The protocol of ip, created on first use.
    RondelProtocol* protocolFor(const QHostAddress& ip);
    // Drops everything kept for ip (numbering, queue, probing), so that an
    // address that left the installation is no longer probed. A later
    // datagram from or to ip starts afresh.
    void removeProtocol(const QHostAddress& ip);
    // The protocol of ip if one exists, else null.
    RondelProtocol* protocol(const QHostAddress& ip) const { return m_protocols.value(ip); }

    // Applies to the protocols created afterwards.
    void setTimings(const RondelTimings& timings) { m_timings = timings; }
    RondelTimings timings() const { return m_timings; }

private:
    void receive(const QByteArray& datagram, const QHostAddress& ip);
    void dropIfUnlistened(const QHostAddress& ip);
    // Only an address nobody listens to is watched for quiet.
    void watchQuiet(const QHostAddress& ip);

    QHash<QHostAddress, RondelProtocol*> m_protocols;
    QHash<QHostAddress, RondelCmdListener*> m_commandListeners;
    QHash<QHostAddress, RondelStatusListener*> m_statusListeners;
    RondelLogger* m_logger;
    PublicRondelListener* m_publicListener;
    UdpSocket* m_socket;
    RondelTimings m_timings;
};
