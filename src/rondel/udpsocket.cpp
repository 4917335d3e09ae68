#include "rondel/udpsocket.h"

#include <QUdpSocket>

#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>

#include <cerrno>

namespace {

// Room for the answers of a whole installation arriving at once (about two
// thousand units after a power cut): a full buffer drops datagrams, and each
// drop costs a unit a second before it repeats.
constexpr int ReceiveBufferBytes = 8 * 1024 * 1024;
// The largest UDP payload.
constexpr int MaxDatagram = 65536;

} // namespace

UdpSocket::UdpSocket(QUdpSocket* socket, QObject* parent)
    : QObject(parent)
    , m_socket(socket)
{
    connect(m_socket, &QUdpSocket::readyRead, this, &UdpSocket::readPendingDatagrams);
    connect(m_socket, &QAbstractSocket::stateChanged, this, [this](QAbstractSocket::SocketState state) {
        if (state == QAbstractSocket::BoundState)
            enlargeReceiveBuffer();
    });
    if (m_socket->state() == QAbstractSocket::BoundState)
        enlargeReceiveBuffer();
}

void UdpSocket::send(const QByteArray& data, const QHostAddress& ip)
{
    bool isIPv4 = false;
    const quint32 ipv4 = ip.toIPv4Address(&isIPv4);
    if (m_reading && isIPv4) {
        m_outgoing.push_back({data, ipv4});
        // A call reaching many units must not wait for the whole wake-up:
        // a full batch goes at once.
        if (m_outgoing.size() >= size_t(Batch))
            flushOutgoing();
        return;
    }
    m_socket->writeDatagram(data, ip, m_socket->localPort());
}

void UdpSocket::flushOutgoing()
{
    // What the received datagrams caused (acknowledgements, answers) goes
    // out together: one system call, and one wake-up of each receiver
    // instead of one per datagram. The order per unit is kept.
    const int fd = int(m_socket->socketDescriptor());
    const quint16 port = m_socket->localPort();
    size_t from = 0;
    while (from < m_outgoing.size()) {
        mmsghdr messages[Batch];
        iovec slices[Batch];
        sockaddr_in targets[Batch];
        const int count = int(std::min<size_t>(Batch, m_outgoing.size() - from));
        for (int i = 0; i < count; ++i) {
            const Outgoing& out = m_outgoing[from + size_t(i)];
            slices[i].iov_base = const_cast<char*>(out.data.constData());
            slices[i].iov_len = size_t(out.data.size());
            targets[i] = sockaddr_in{};
            targets[i].sin_family = AF_INET;
            targets[i].sin_port = htons(port);
            targets[i].sin_addr.s_addr = htonl(out.ipv4);
            messages[i] = mmsghdr{};
            messages[i].msg_hdr.msg_iov = &slices[i];
            messages[i].msg_hdr.msg_iovlen = 1;
            messages[i].msg_hdr.msg_name = &targets[i];
            messages[i].msg_hdr.msg_namelen = sizeof targets[i];
        }
        const int sent = sendmmsg(fd, messages, unsigned(count), MSG_DONTWAIT);
        // A datagram the system refuses is lost, as a lost datagram on the
        // wire; the sender's repetition covers it.
        from += size_t(sent > 0 ? sent : 1);
    }
    m_outgoing.clear();
}

quint16 UdpSocket::localPort() const
{
    return m_socket->localPort();
}

void UdpSocket::enlargeReceiveBuffer()
{
    const int fd = int(m_socket->socketDescriptor());
    const int size = ReceiveBufferBytes;
    // Beyond the system's limit only with the right to raise it; without,
    // the system's limit applies.
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

void UdpSocket::readPendingDatagrams()
{
    m_reading = true;
    readAll();
    m_reading = false;
    if (!m_outgoing.empty())
        flushOutgoing();
}

void UdpSocket::readAll()
{
    // The first datagram through Qt, which re-arms its read notification;
    // the rest straight from the socket, many per system call, because a
    // busy bus has dozens waiting at every wake-up.
    if (m_buffers.isEmpty())
        m_buffers.resize(Batch * MaxDatagram);
    QHostAddress sender;
    const qint64 read = m_socket->readDatagram(m_buffers.data(), MaxDatagram, &sender);
    if (read < 0)
        return; // a socket error: do not spin on a datagram that cannot be read
    deliver(QByteArray(m_buffers.constData(), int(read)), sender);

    const int fd = int(m_socket->socketDescriptor());
    mmsghdr messages[Batch];
    iovec slices[Batch];
    sockaddr_storage senders[Batch];
    for (;;) {
        for (int i = 0; i < Batch; ++i) {
            slices[i].iov_base = m_buffers.data() + i * MaxDatagram;
            slices[i].iov_len = MaxDatagram;
            messages[i] = mmsghdr{};
            messages[i].msg_hdr.msg_iov = &slices[i];
            messages[i].msg_hdr.msg_iovlen = 1;
            messages[i].msg_hdr.msg_name = &senders[i];
            messages[i].msg_hdr.msg_namelen = sizeof senders[i];
        }
        const int count = recvmmsg(fd, messages, Batch, MSG_DONTWAIT, nullptr);
        if (count <= 0)
            return; // drained (or an error Qt's next read will report)
        for (int i = 0; i < count; ++i) {
            deliver(QByteArray(static_cast<const char*>(slices[i].iov_base), int(messages[i].msg_len)),
                    QHostAddress(reinterpret_cast<const sockaddr*>(&senders[i])));
        }
        if (count < Batch)
            return;
    }
}

void UdpSocket::deliver(const QByteArray& datagram, QHostAddress sender)
{
    // Units are known by their IPv4 address; a dual-stack socket would
    // report it IPv4-mapped.
    bool isIPv4 = false;
    const quint32 ipv4 = sender.toIPv4Address(&isIPv4);
    if (isIPv4)
        sender = QHostAddress(ipv4);
    emit datagramReceived(datagram, sender);
}
