#include "support/fakeunit.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QStringList>
#include <QThread>

const QHostAddress FakeUnit::CoreAddress = QHostAddress(QStringLiteral("127.0.0.1"));

FakeUnit::FakeUnit(const QHostAddress& address, quint16 port, QObject* parent)
    : QObject(parent)
    , m_address(address)
    , m_port(port)
    , m_core(CoreAddress)
{
    m_clock.start();
    m_bound = m_socket.bind(m_address, m_port);
    connect(&m_socket, &QUdpSocket::readyRead, this, &FakeUnit::readPending);
}

quint16 FakeUnit::freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0);
    return probe.localPort();
}

quint16 FakeUnit::checksum(const QByteArray& bytes)
{
    // Bit by bit: shift each message bit into the register, XOR the
    // polynomial whenever a one falls out of the top.
    quint32 crc = 0;
    for (const char c : bytes) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool top = crc & 0x8000;
            crc = ((crc << 1) | ((static_cast<quint8>(c) >> bit) & 1)) & 0xFFFF;
            if (top)
                crc ^= 0x1021;
        }
    }
    return static_cast<quint16>(crc);
}

QByteArray FakeUnit::checksummed(const QByteArray& text)
{
    return text + "CRC:" + QByteArray::number(checksum(text), 16).rightJustified(4, '0');
}

void FakeUnit::setSilent(bool silent)
{
    m_autoAck = !silent;
    m_answerPing = !silent;
}

int FakeUnit::sendCommand(const QString& name, const QString& payload)
{
    const int number = m_nextMsgNo;
    m_nextMsgNo = (m_nextMsgNo + 1) % 256;
    sendCommand(number, name, payload);
    return number;
}

void FakeUnit::sendCommand(int msgNo, const QString& name, const QString& payload)
{
    QByteArray text = "MsgNo:" + QByteArray::number(msgNo) + "\nCmd:" + name.toUtf8() + "\n";
    if (!payload.isEmpty()) {
        text += payload.toUtf8();
        if (!text.endsWith('\n'))
            text += '\n';
    }
    sendRaw(checksummed(text));
}

void FakeUnit::sendAck(int number, int error)
{
    sendRaw(checksummed("AckNo:" + QByteArray::number(number) + "\nError:"
                        + QByteArray::number(error) + "\n"));
}

void FakeUnit::sendPing()
{
    sendRaw("Ping");
}

void FakeUnit::sendOK()
{
    sendRaw("OK");
}

void FakeUnit::sendRaw(const QByteArray& datagram)
{
    m_socket.writeDatagram(datagram, m_core, m_port);
}

QList<FakeUnit::Datagram> FakeUnit::commands(const QString& name) const
{
    QList<Datagram> result;
    for (const Datagram& d : m_received) {
        if (d.kind == Datagram::Command && (name.isEmpty() || d.cmd == name))
            result.append(d);
    }
    return result;
}

QList<FakeUnit::Datagram> FakeUnit::acks() const
{
    QList<Datagram> result;
    for (const Datagram& d : m_received) {
        if (d.kind == Datagram::Ack)
            result.append(d);
    }
    return result;
}

int FakeUnit::pingCount() const
{
    int count = 0;
    for (const Datagram& d : m_received)
        count += d.kind == Datagram::Ping ? 1 : 0;
    return count;
}

bool FakeUnit::waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

bool FakeUnit::waitForCommand(const QString& name, int timeoutMs)
{
    return waitForCommands(name, 1, timeoutMs);
}

bool FakeUnit::waitForCommands(const QString& name, int count, int timeoutMs)
{
    return waitFor([&] { return commands(name).size() >= count; }, timeoutMs);
}

bool FakeUnit::waitForAck(int number, int timeoutMs)
{
    return waitFor(
        [&] {
            for (const Datagram& d : acks()) {
                if (d.number == number)
                    return true;
            }
            return false;
        },
        timeoutMs);
}

bool FakeUnit::waitForPings(int count, int timeoutMs)
{
    return waitFor([&] { return pingCount() >= count; }, timeoutMs);
}

bool FakeUnit::waitForDatagrams(int count, int timeoutMs)
{
    return waitFor([&] { return m_received.size() >= count; }, timeoutMs);
}

void FakeUnit::readPending()
{
    while (m_socket.hasPendingDatagrams()) {
        QByteArray bytes(static_cast<int>(qMax<qint64>(m_socket.pendingDatagramSize(), 0)),
                         Qt::Uninitialized);
        const qint64 read = m_socket.readDatagram(bytes.data(), bytes.size());
        if (read < 0)
            break;
        bytes.resize(static_cast<int>(read));
        const Datagram datagram = dissect(bytes);
        m_received.append(datagram);
        if (datagram.kind == Datagram::Ping && m_answerPing)
            sendOK();
        else if (datagram.kind == Datagram::Command && m_autoAck)
            sendAck(datagram.number);
        emit datagramReceived(datagram);
    }
}

FakeUnit::Datagram FakeUnit::dissect(const QByteArray& bytes) const
{
    Datagram d;
    d.bytes = bytes;
    d.atMs = m_clock.elapsed();
    if (bytes == "Ping") {
        d.kind = Datagram::Ping;
        return d;
    }
    if (bytes == "OK") {
        d.kind = Datagram::OK;
        return d;
    }
    const int crcAt = bytes.lastIndexOf("CRC:");
    if (crcAt >= 0) {
        bool ok = false;
        const uint crc = bytes.mid(crcAt + 4).toUInt(&ok, 16);
        d.checksumValid = ok && crc == checksum(bytes.left(crcAt));
    }
    const QStringList lines = QString::fromUtf8(crcAt >= 0 ? bytes.left(crcAt) : bytes)
                                  .split(QLatin1Char('\n'));
    if (lines.value(0).startsWith(QLatin1String("AckNo:"))) {
        d.kind = Datagram::Ack;
        d.number = lines.value(0).mid(6).toInt();
        if (lines.value(1).startsWith(QLatin1String("Error:")))
            d.error = lines.value(1).mid(6).toInt();
    } else if (lines.value(0).startsWith(QLatin1String("MsgNo:"))
               && lines.value(1).startsWith(QLatin1String("Cmd:"))) {
        d.kind = Datagram::Command;
        d.number = lines.value(0).mid(6).toInt();
        d.cmd = lines.value(1).mid(4);
        for (int i = 2; i < lines.size() - 1; ++i)
            d.payload += lines.at(i) + QLatin1Char('\n');
    }
    return d;
}
