#pragma once

#include "simwire.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

// The unit side of the bus for one unit, without a socket: datagrams come in
// through receive() and go out through transmit(). It numbers the unit's own
// commands and sends them one at a time, repeating each until the core
// acknowledges it (five transmissions, then it is dropped); it acknowledges
// every command of the core, passes a repeated one on only once, gathers the
// elements of a list sent in several datagrams, and answers "Ping".
class SimLink : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultRetryInterval = 1000; // ms
    static constexpr int Transmissions = 5;

    explicit SimLink(QObject* parent = nullptr);

    void setRetryInterval(int ms) { m_retry.setInterval(ms); }

    // An unplugged unit reads nothing and sends nothing; what it had not yet
    // delivered is lost, as when its cable is pulled.
    bool isPlugged() const { return m_plugged; }
    void setPlugged(bool plugged);

    // Queues a command of the unit; payload lines are separated by "\n".
    void send(const QString& name, const QString& payload = QString());
    void receive(const QByteArray& datagram);

    // A unit that restarts numbers its commands from 0 again and forgets
    // what it was doing on the bus.
    void restart();

    int queued() const { return m_queue.size(); }

signals:
    void transmit(const QByteArray& datagram);
    // A command of the core; a list arrives as one command with one part
    // per element, each part its payload lines without the list markers.
    void commandReceived(const QString& name, const QStringList& parts);
    // A command of the unit that the core never acknowledged.
    void givenUp(const QString& name);

private:
    struct Outgoing
    {
        QString name;
        QString payload;
    };

    void transmitHead();
    void onRetry();
    void dropHead();
    void receiveCommand(const SimWire::Datagram& datagram);

    QList<Outgoing> m_queue;
    SimWire::Numbering m_numbers;
    int m_transmissions = 0;
    QTimer m_retry;
    bool m_plugged = true;
    int m_lastNumber = -1;
    QString m_lastName;
    QHash<QString, QStringList> m_fragments;
};
