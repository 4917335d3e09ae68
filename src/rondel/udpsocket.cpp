#include "rondel/udpsocket.h"

#include <QUdpSocket>

UdpSocket::UdpSocket(QUdpSocket* socket, QObject* parent)
    : QObject(parent)
    , m_socket(socket)
{
    connect(m_socket, &QUdpSocket::readyRead, this, &UdpSocket::readPendingDatagrams);
}

void UdpSocket::send(const QByteArray& data, const QHostAddress& ip)
{
    m_socket->writeDatagram(data, ip, m_socket->localPort());
}

quint16 UdpSocket::localPort() const
{
    return m_socket->localPort();
}

void UdpSocket::readPendingDatagrams()
{
    while (m_socket->hasPendingDatagrams()) {
        const qint64 size = m_socket->pendingDatagramSize();
        QByteArray datagram(static_cast<int>(qMax<qint64>(size, 0)), Qt::Uninitialized);
        QHostAddress sender;
        const qint64 read = m_socket->readDatagram(datagram.data(), datagram.size(), &sender);
        if (read < 0)
            break; // a socket error: do not spin on a datagram that cannot be read
        datagram.resize(static_cast<int>(read));
        // Units are known by their IPv4 address; a dual-stack socket would
        // report it IPv4-mapped.
        bool isIPv4 = false;
        const quint32 ipv4 = sender.toIPv4Address(&isIPv4);
        if (isIPv4)
            sender = QHostAddress(ipv4);
        emit datagramReceived(datagram, sender);
    }
}
