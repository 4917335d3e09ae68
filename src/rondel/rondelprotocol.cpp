#include "rondel/rondelprotocol.h"

#include "rondel/rondelcommandparser.h"

RondelProtocol::RondelProtocol(const QHostAddress& ip, const RondelTimings& timings,
                               QObject* parent)
    : QObject(parent)
    , m_ip(ip)
    , m_parser(new RondelCommandParser(ip, this))
    , m_sender(new RondelSender(timings, this))
{
    connect(m_parser, &RondelCommandParser::sendAck, m_sender, &RondelSender::sendAck);
    connect(m_parser, &RondelCommandParser::sendOK, m_sender,
            [this] { emit m_sender->datagramToSend(QByteArrayLiteral("OK")); });
    connect(m_parser, &RondelCommandParser::receivedOK, m_sender, &RondelSender::receivedOK);
    connect(m_parser, &RondelCommandParser::receivedAck, m_sender, &RondelSender::receivedAck);
    connect(m_parser, &RondelCommandParser::receivedCommand, this,
            [this](const Command& command) { emit receivedCommand(command, m_ip); });
    connect(m_sender, &RondelSender::datagramToSend, this,
            [this](const QByteArray& data) { emit datagramToSend(data, m_ip); });
    connect(m_sender, &RondelSender::unitNotResponding, this, &RondelProtocol::sendingFailed);
    connect(m_sender, &RondelSender::unitStartResponding, this, &RondelProtocol::sendingRestored);

    // Activity is what the unit says on its own (commands, probes, all of
    // which we answer) and what we queue for it. Its answers to our own
    // probes do not count, or a unit we keep probing would never fall quiet.
    connect(m_parser, &RondelCommandParser::sendAck, this, &RondelProtocol::noteActivity);
    connect(m_parser, &RondelCommandParser::sendOK, this, &RondelProtocol::noteActivity);
    m_quietTimer.setSingleShot(true);
    m_quietTimer.setInterval(timings.unlistenedLifetime);
    connect(&m_quietTimer, &QTimer::timeout, this, [this] {
        m_quietTimer.start();
        emit quiet();
    });
    m_quietTimer.start();
}

void RondelProtocol::setQuietWatched(bool watched)
{
    if (watched == m_quietWatched)
        return;
    m_quietWatched = watched;
    // Quiet counts from now: the address was listened to until this moment.
    if (watched)
        m_quietTimer.start();
    else
        m_quietTimer.stop();
}

void RondelProtocol::receive(const QByteArray& datagram)
{
    m_parser->parseDatagram(datagram);
}

void RondelProtocol::send(const OutgoingCommand& command)
{
    noteActivity();
    m_sender->send(command);
}
