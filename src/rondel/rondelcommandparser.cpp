#include "rondel/rondelcommandparser.h"

#include "rondel/parsers.h"
#include "rondel/rondelformat.h"

RondelCommandParser::RondelCommandParser(QObject* parent)
    : QObject(parent)
{
    addParser(new BasicInfoParser(this));
    addParser(new BTParser(this));
    addParser(new CallChangeParser(this));
    addParser(new CallStatusParser(this));
    addParser(new ConfigParser(this));
    addParser(new ConnectionChangeParser(this));
    addParser(new ConnectionStatusParser(this));
    addParser(new DialCallParser(this));
    addParser(new FM1StatusParser(this));
    addParser(new FM2StatusParser(this));
    addParser(new NotificationsParser(this));
    addParser(new PMBConfigBTParser(this));
    addParser(new PMBInfoParser(this));
    addParser(new PresenceStatusParser(this));
    addParser(new RequestsParser(this));
}

void RondelCommandParser::addParser(CommandParser* parser)
{
    m_parsers.insert(parser->name(), parser);
}

void RondelCommandParser::parseDatagram(const QByteArray& datagram)
{
    const DatagramHeader header = RondelFormat::readHeader(datagram);
    if (header.error != RondelNoError) {
        emit sendAck(header.msgNo, header.error);
        return;
    }
    if (header.cmd == RondelFormat::Ping) {
        emit sendOK();
        return;
    }
    if (header.cmd == RondelFormat::OK) {
        emit receivedOK();
        return;
    }
    if (header.cmd == RondelFormat::AckNo) {
        emit receivedAck(header.msgNo);
        return;
    }

    CommandParser* parser = m_parsers.value(header.cmd);
    if (!parser) {
        // Unknown commands are accepted so that the unit does not repeat them.
        emit sendAck(header.msgNo, RondelNoError);
        return;
    }

    const QByteArray text = RondelFormat::normalizeLineEnds(datagram);
    const int error = parser->parse(text);
    if (error != RondelNoError) {
        emit sendAck(header.msgNo, error);
        return;
    }
    emit sendAck(header.msgNo, RondelNoError);

    if (header.notFinished) {
        m_pendingParser = parser;
        return;
    }
    m_pendingParser = nullptr;

    Command command = parser->command();
    command.msgNo = header.msgNo;
    // A unit that missed our acknowledgement sends the same datagram again.
    // A restarted unit may reuse the number and name for a new report; only
    // a byte-identical repetition is dropped, so that report is not lost.
    if (command.msgNo == m_lastCommand.msgNo && command.name == m_lastCommand.name
        && text == m_lastText)
        return;
    m_lastCommand = command;
    m_lastText = text;
    emit receivedCommand(command);
}
