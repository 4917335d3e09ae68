#pragma once

#include "rondel/command.h"
#include "rondel/rondelsender.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

class RondelCommandParser;

// Everything the bus keeps for one unit address: its datagram reader and
// command parsers, and its sender with numbering, queue and probing.
class RondelProtocol : public QObject
{
    Q_OBJECT
public:
    RondelProtocol(const QHostAddress& ip, const RondelTimings& timings,
                   QObject* parent = nullptr);

    void receive(const QByteArray& datagram);
    // Queues a command with the sender.
    void send(const OutgoingCommand& command);

    QHostAddress ip() const { return m_ip; }
    RondelCommandParser* parser() const { return m_parser; }
    RondelSender* sender() const { return m_sender; }

    // Whether quiet is watched for (the default). An address a unit listens
    // to is never dropped for quiet, and its timer would only be restarted
    // by every datagram: with a timer per unit, Qt's timer list is walked
    // on each restart, which a call to many units pays many times over.
    void setQuietWatched(bool watched);

signals:
    void datagramToSend(const QByteArray& data, const QHostAddress& ip);
    void receivedCommand(const Command& command, const QHostAddress& ip);
    void sendingFailed();
    void sendingRestored();
    // The unit sent nothing of its own and nothing was queued for it for
    // the unlistened lifetime; repeated every lifetime while that lasts.
    void quiet();

private:
    void noteActivity()
    {
        if (m_quietWatched)
            m_quietTimer.start();
    }

    QHostAddress m_ip;
    RondelCommandParser* m_parser;
    RondelSender* m_sender;
    QTimer m_quietTimer;
    bool m_quietWatched = true;
};
