#pragma once

#include "rondel/command.h"

#include <QByteArray>
#include <QHostAddress>
#include <QMap>
#include <QObject>

class CommandParser;

// The incoming side of one unit address: checks each datagram, answers it
// (acknowledgement or "OK"), parses commands and delivers each one once.
class RondelCommandParser : public QObject
{
    Q_OBJECT
public:
    // A series of "NotFinished" datagrams gathers at most this many
    // elements (datagrams, or entries of a gathered list or table); a longer
    // one is dropped with a warning naming the address.
    static constexpr int MaxSeriesElements = 256;

    // ip only names the unit in warnings.
    explicit RondelCommandParser(const QHostAddress& ip = QHostAddress(),
                                 QObject* parent = nullptr);

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
    void resetSeries();

    QHostAddress m_ip;
    CommandParser* m_pendingParser = nullptr;
    int m_seriesDatagrams = 0;
    bool m_droppingSeries = false; // the rest of an over-long series is ignored
    QVariant m_gathered;      // the record of the unfinished series so far
    QByteArray m_lastFragment; // the last "NotFinished" datagram of that series
    Command m_lastCommand;
    QByteArray m_lastText; // the datagram that completed m_lastCommand
    QMap<QString, CommandParser*> m_parsers;
};
