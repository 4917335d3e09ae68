#include "simlink.h"

namespace {

// Error numbers a unit puts into its acknowledgement of a damaged command.
constexpr int ChecksumWrong = 97;
constexpr int ChecksumMissing = 99;

} // namespace

SimLink::SimLink(QObject* parent)
    : QObject(parent)
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(DefaultRetryInterval);
    connect(&m_retry, &QTimer::timeout, this, &SimLink::onRetry);
}

void SimLink::setPlugged(bool plugged)
{
    if (plugged == m_plugged)
        return;
    m_plugged = plugged;
    if (!plugged) {
        m_retry.stop();
        m_queue.clear();
        m_fragments.clear();
        m_transmissions = 0;
    }
}

void SimLink::send(const QString& name, const QString& payload)
{
    if (!m_plugged)
        return;
    m_queue.append({name, payload});
    if (m_queue.size() == 1)
        transmitHead();
}

void SimLink::restart()
{
    m_retry.stop();
    m_queue.clear();
    m_fragments.clear();
    m_transmissions = 0;
    m_numbers.reset();
    m_lastNumber = -1;
    m_lastName.clear();
}

void SimLink::receive(const QByteArray& bytes)
{
    if (!m_plugged)
        return;
    const SimWire::Datagram datagram = SimWire::dissect(bytes);
    switch (datagram.kind) {
    case SimWire::Datagram::Ping:
        emit transmit(SimWire::OK);
        break;
    case SimWire::Datagram::Ack:
        // A damaged acknowledgement is as good as none: the command goes again.
        if (datagram.checksumValid && !m_queue.isEmpty()
            && datagram.number == m_numbers.current()) {
            dropHead();
            transmitHead();
        }
        break;
    case SimWire::Datagram::Command:
        receiveCommand(datagram);
        break;
    case SimWire::Datagram::OK:
    case SimWire::Datagram::Other:
        break;
    }
}

void SimLink::receiveCommand(const SimWire::Datagram& datagram)
{
    if (!datagram.checksumValid) {
        emit transmit(SimWire::ack(datagram.number,
                                   datagram.hasChecksum ? ChecksumWrong : ChecksumMissing));
        return;
    }
    emit transmit(SimWire::ack(datagram.number));
    // The core repeats a command whose acknowledgement it missed; it is
    // acknowledged again but carried out once.
    if (datagram.number == m_lastNumber && datagram.cmd == m_lastName)
        return;
    m_lastNumber = datagram.number;
    m_lastName = datagram.cmd;

    bool notFinished = false;
    QStringList lines;
    for (const QString& raw : datagram.payload.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line == QLatin1String("NotFinished"))
            notFinished = true;
        else if (!line.isEmpty() && line != QLatin1String("Continue"))
            lines.append(line);
    }
    const QString part = lines.join(QLatin1Char('\n'));
    if (notFinished) {
        m_fragments[datagram.cmd].append(part);
        return;
    }
    emit commandReceived(datagram.cmd, m_fragments.take(datagram.cmd) << part);
}

void SimLink::transmitHead()
{
    if (m_queue.isEmpty() || !m_plugged)
        return;
    ++m_transmissions;
    const Outgoing& head = m_queue.first();
    const QByteArray datagram = SimWire::command(m_numbers.current(), head.name, head.payload);
    // The timer runs before the datagram leaves: an acknowledgement that
    // arrives within the emission must find the link waiting for it.
    m_retry.start();
    emit transmit(datagram);
}

void SimLink::onRetry()
{
    if (m_queue.isEmpty())
        return;
    if (m_transmissions < Transmissions) {
        transmitHead();
        return;
    }
    const QString name = m_queue.first().name;
    dropHead();
    emit givenUp(name);
    transmitHead();
}

void SimLink::dropHead()
{
    m_retry.stop();
    m_queue.removeFirst();
    m_transmissions = 0;
    m_numbers.advance();
}
