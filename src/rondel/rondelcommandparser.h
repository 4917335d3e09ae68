#pragma once

#include "rondel/command.h"

#include <QByteArray>
#include <QMap>
#include <QObject>

class CommandParser;

// The incoming side of one unit address: checks each datagram, answers it
// (acknowledgement or "OK"), parses commands and delivers each one once.
class RondelCommandParser : public QObject
{
    Q_OBJECT
public:
    explicit RondelCommandParser(QObject* parent = nullptr);

    void parseDatagram(const QByteArray& datagram);

    // The parser of a command name, or null.
    CommandParser* parser(const QString& name) const { return m_parsers.value(name); }
    CommandParser* pendingParser() const { return m_pendingParser; }

signals:
    void sendAck(int ackNo, int error);
    void sendOK();
    void receivedOK();
    void receivedAck(int ackNo);
    void receivedCommand(const Command& command);

private:
    static const QMap<QString, CommandParser*>& sharedParsers();

    CommandParser* m_pendingParser = nullptr;
    QVariant m_gathered;      // the record of the unfinished series so far
    QByteArray m_lastFragment; // the last "NotFinished" datagram of that series
    Command m_lastCommand;
    QByteArray m_lastText; // the datagram that completed m_lastCommand
    QMap<QString, CommandParser*> m_parsers;
};
