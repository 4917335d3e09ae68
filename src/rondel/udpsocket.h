#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>

#include <vector>

class QUdpSocket;

// The field-bus socket. Units listen on the port the core itself is bound
// to, so every datagram goes to that port of the unit's address.
class UdpSocket : public QObject
{
    Q_OBJECT
public:
    UdpSocket(QUdpSocket* socket, QObject* parent = nullptr);

    void send(const QByteArray& data, const QHostAddress& ip);
    quint16 localPort() const;

signals:
    void datagramReceived(const QByteArray& datagram, const QHostAddress& srcIp);

private:
    // Datagrams read or written per system call.
    static constexpr int Batch = 16;

    struct Outgoing
    {
        QByteArray data;
        quint32 ipv4;
    };

    void readPendingDatagrams();
    void readAll();
    void flushOutgoing();
    void deliver(const QByteArray& datagram, QHostAddress sender);
    void enlargeReceiveBuffer();

    QUdpSocket* m_socket;
    QByteArray m_buffers; // Batch datagrams of the largest size, once reading starts
    bool m_reading = false;
    std::vector<Outgoing> m_outgoing; // sent while reading, written after it
};
