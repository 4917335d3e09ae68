#include "rondel/rondelprotocol.h"

#include "rondel/rondelcommandparser.h"

RondelProtocol::RondelProtocol(const QHostAddress& ip, const RondelTimings& timings,
                               QObject* parent)
    : QObject(parent)
    , m_ip(ip)
    , m_parser(new RondelCommandParser(this))
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
}

void RondelProtocol::receive(const QByteArray& datagram)
{
    m_parser->parseDatagram(datagram);
}
