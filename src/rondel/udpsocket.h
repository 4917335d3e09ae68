#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>

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
    // Datagrams read per system call.
    static constexpr int Batch = 16;

    void readPendingDatagrams();
    void deliver(const QByteArray& datagram, QHostAddress sender);
    void enlargeReceiveBuffer();

    QUdpSocket* m_socket;
    QByteArray m_buffers; // Batch datagrams of the largest size, once reading starts
};
