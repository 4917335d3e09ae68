#include "rondel/rondelserver.h"

#include "rondel/publicrondellistener.h"
#include "rondel/records.h"
#include "rondel/rondelformat.h"
#include "rondel/rondellisteners.h"
#include "rondel/rondellogger.h"
#include "rondel/rondelprotocol.h"
#include "rondel/udpsocket.h"

RondelServer::RondelServer(RondelLogger* logger, PublicRondelListener* publicListener,
                           UdpSocket* socket, QObject* parent)
    : QObject(parent)
    , m_logger(logger)
    , m_publicListener(publicListener)
    , m_socket(socket)
{
    registerRondelMetaTypes();
    if (m_socket)
        connect(m_socket, &UdpSocket::datagramReceived, this, &RondelServer::receive);
}

void RondelServer::addCommandListener(RondelCmdListener* listener, const QHostAddress& ip)
{
    m_commandListeners.insert(ip, listener);
    watchQuiet(ip);
}

void RondelServer::removeCommandListener(const QHostAddress& ip)
{
    m_commandListeners.remove(ip);
    watchQuiet(ip);
}

void RondelServer::removeCommandListener(RondelCmdListener* listener, const QHostAddress& ip)
{
    if (m_commandListeners.value(ip) == listener)
        m_commandListeners.remove(ip);
    watchQuiet(ip);
}

void RondelServer::addStatusListener(RondelStatusListener* listener, const QHostAddress& ip)
{
    m_statusListeners.insert(ip, listener);
    watchQuiet(ip);
}

void RondelServer::removeStatusListener(const QHostAddress& ip)
{
    m_statusListeners.remove(ip);
    watchQuiet(ip);
}

void RondelServer::removeStatusListener(RondelStatusListener* listener, const QHostAddress& ip)
{
    if (m_statusListeners.value(ip) == listener)
        m_statusListeners.remove(ip);
    watchQuiet(ip);
}

void RondelServer::send(const OutgoingCommand& command, const QHostAddress& ip)
{
    protocolFor(ip)->send(command);
}

RondelProtocol* RondelServer::protocolFor(const QHostAddress& ip)
{
    RondelProtocol* protocol = m_protocols.value(ip);
    if (protocol)
        return protocol;

    protocol = new RondelProtocol(ip, m_timings, this);
    m_protocols.insert(ip, protocol);

    connect(protocol, &RondelProtocol::datagramToSend, this,
            [this](const QByteArray& data, const QHostAddress& to) {
                if (m_socket)
                    m_socket->send(data, to);
                if (m_logger)
                    m_logger->logSent(data, to);
            });
    connect(protocol, &RondelProtocol::receivedCommand, this,
            [this](const Command& command, const QHostAddress& from) {
                if (RondelCmdListener* listener = m_commandListeners.value(from))
                    listener->receivedCommand(command);
                else if (m_publicListener)
                    emit m_publicListener->receivedCommand(command, from);
            });
    connect(protocol, &RondelProtocol::sendingFailed, this, [this, ip] {
        if (RondelStatusListener* listener = m_statusListeners.value(ip))
            listener->unitNotResponding();
    });
    connect(protocol, &RondelProtocol::sendingRestored, this, [this, ip] {
        if (RondelStatusListener* listener = m_statusListeners.value(ip))
            listener->unitStartResponding();
    });
    connect(protocol, &RondelProtocol::quiet, this, [this, ip] { dropIfUnlistened(ip); });
    watchQuiet(ip);
    return protocol;
}

void RondelServer::removeProtocol(const QHostAddress& ip)
{
    RondelProtocol* protocol = m_protocols.take(ip);
    if (!protocol)
        return;
    protocol->disconnect(this);
    protocol->deleteLater();
}

void RondelServer::watchQuiet(const QHostAddress& ip)
{
    if (RondelProtocol* protocol = m_protocols.value(ip))
        protocol->setQuietWatched(!m_commandListeners.contains(ip) && !m_statusListeners.contains(ip));
}

void RondelServer::dropIfUnlistened(const QHostAddress& ip)
{
    RondelProtocol* protocol = m_protocols.value(ip);
    if (!protocol || m_commandListeners.contains(ip) || m_statusListeners.contains(ip)
        || protocol->sender()->queueSize() > 0)
        return;
    // A minute of quiet is far beyond the five seconds a unit repeats an
    // unacknowledged datagram, so forgetting the duplicate filter and the
    // numbering cannot let a repetition through as a new command.
    removeProtocol(ip);
}

void RondelServer::receive(const QByteArray& datagram, const QHostAddress& ip)
{
    // An answer for an address whose protocol was dropped answers nothing
    // that still waits; taking it would start probing the address again.
    if (!m_protocols.contains(ip)) {
        const DatagramHeader header = RondelFormat::readHeader(datagram);
        if (header.cmd == RondelFormat::OK || header.cmd == RondelFormat::AckNo) {
            if (m_logger)
                m_logger->logReceived(datagram, ip);
            return;
        }
    }
    protocolFor(ip)->receive(datagram);
    if (m_logger)
        m_logger->logReceived(datagram, ip);
}
