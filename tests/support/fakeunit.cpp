#include "support/fakeunit.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QStringList>
#include <QThread>

#include <algorithm>

const QHostAddress FakeUnit::CoreAddress = QHostAddress(QStringLiteral("127.0.0.1"));

FakeUnit::FakeUnit(const QHostAddress& address, quint16 port, QObject* parent)
    : QObject(parent)
    , m_address(address)
    , m_port(port)
{
    m_clock.start();
    m_bound = m_socket.bind(m_address, m_port);
    connect(&m_socket, &QUdpSocket::readyRead, this, &FakeUnit::readPending);
}

quint16 FakeUnit::freePort()
{
    // Without address reuse: Qt's default on Unix sets it, and the kernel
    // then hands out a port that another test's core (bound with reuse too)
    // is using, so that two tests run side by side share one bus.
    QUdpSocket probe;
    probe.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0, QAbstractSocket::DontShareAddress);
    return probe.localPort();
}

int FakeUnit::sendCommand(const QString& name, const QString& payload)
{
    const int number = m_numbers.take();
    sendCommand(number, name, payload);
    return number;
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

QStringList FakeUnit::payloads(const QString& name) const
{
    QStringList list;
    int lastNumber = -1;
    for (const Datagram& d : commands(name)) {
        if (d.number != lastNumber)
            list.append(d.payload);
        lastNumber = d.number;
    }
    return list;
}

QList<FakeUnit::Datagram> FakeUnit::ofKind(Datagram::Kind kind) const
{
    QList<Datagram> result;
    for (const Datagram& d : m_received) {
        if (d.kind == kind)
            result.append(d);
    }
    return result;
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

bool FakeUnit::waitForAck(int number, int timeoutMs)
{
    const auto acknowledged = [&] {
        const QList<Datagram> received = acks();
        return std::any_of(received.cbegin(), received.cend(),
                           [number](const Datagram& d) { return d.number == number; });
    };
    return waitFor(acknowledged, timeoutMs);
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
        Datagram datagram = SimWire::dissect(bytes);
        datagram.atMs = m_clock.elapsed();
        m_received.append(datagram);
        if (datagram.kind == Datagram::Ping && m_answerPing)
            sendOK();
        else if (datagram.kind == Datagram::Command && m_autoAck)
            sendAck(datagram.number);
        emit datagramReceived(datagram);
    }
}
