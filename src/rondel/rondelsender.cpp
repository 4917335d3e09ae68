#include "rondel/rondelsender.h"

#include "rondel/rondelformat.h"

#include <QDeadlineTimer>

#include <cstdlib>

namespace {
// Five transmissions of a command go unanswered before the unit is given up.
constexpr int MaxAttempts = 5;
} // namespace

RondelSender::RondelSender(const RondelTimings& timings, QObject* parent)
    : QObject(parent)
{
    m_retryTimer.setSingleShot(true);
    m_retryInterval = timings.retryInterval;
    connect(&m_retryTimer, &QTimer::timeout, this, &RondelSender::onRetryTimeout);

    m_keepAliveTimer.setInterval(timings.keepAliveInterval);
    connect(&m_keepAliveTimer, &QTimer::timeout, this, &RondelSender::keepAlive);

    // Spread the probes of many units over time instead of pinging them all
    // in the same instant.
    const int spread = timings.keepAliveStartSpread;
    const int startDelay = spread > 0 ? std::rand() % spread : 0;
    QTimer::singleShot(startDelay, this, [this] { m_keepAliveTimer.start(); });
}

void RondelSender::send(const OutgoingCommand& command)
{
    if (m_notResponding)
        return;
    m_queue.push_back(command);
    if (m_state == Idle)
        tryToSend();
}

void RondelSender::sendAck(int ackNo, int error)
{
    emit datagramToSend(RondelFormat::acknowledgement(ackNo, error));
}

void RondelSender::receivedOK()
{
    if (m_state != WaitingForOK)
        return;
    disarmRetry();
    m_attempt = 1;
    m_state = Idle;
    if (m_notResponding) {
        m_notResponding = false;
        emit unitStartResponding();
        if (m_state != Idle)
            return;
    }
    tryToSend();
}

void RondelSender::receivedAck(int ackNo)
{
    if (m_state != WaitingForAck || ackNo != m_msgNo)
        return;
    m_queue.pop_front();
    disarmRetry();
    m_attempt = 1;
    m_state = Idle;
    advanceMsgNo();
    tryToSend();
}

void RondelSender::tryToSend()
{
    if (m_state != Idle)
        return;
    if (!m_queue.empty()) {
        m_state = WaitingForAck;
        sendNext();
    } else if (m_notResponding || m_keepAlivePending) {
        ping();
    }
}

void RondelSender::sendNext()
{
    emit datagramToSend(RondelFormat::commandDatagram(m_queue.front(), m_msgNo));
    armRetry();
}

void RondelSender::ping()
{
    m_state = WaitingForOK;
    m_keepAlivePending = false;
    emit datagramToSend(QByteArrayLiteral("Ping"));
    armRetry();
}

void RondelSender::armRetry()
{
    // Restarting a timer costs a walk through the event loop's list of
    // every timer (thousands with a full installation), and a busy unit is
    // sent a command after each acknowledgement. So the timer is left
    // running and the deadline moves; when the timer fires early, it is
    // started again for the rest.
    m_retryAt = QDeadlineTimer::current().deadline() + m_retryInterval;
    if (!m_retryTimer.isActive())
        m_retryTimer.start(m_retryInterval);
}

void RondelSender::disarmRetry()
{
    m_retryAt = NoRetry;
}

void RondelSender::onRetryTimeout()
{
    if (m_retryAt == NoRetry)
        return;
    const qint64 left = m_retryAt - QDeadlineTimer::current().deadline();
    if (left > 0) {
        m_retryTimer.start(int(left));
        return;
    }
    m_retryAt = NoRetry;
    if (m_state == WaitingForAck)
        onAckTimeout();
    else if (m_state == WaitingForOK)
        onPingTimeout();
}

void RondelSender::onAckTimeout()
{
    if (m_attempt < MaxAttempts) {
        ++m_attempt;
        sendNext();
        return;
    }
    m_queue.pop_front();
    disarmRetry();
    m_attempt = 1;
    m_state = Idle;
    advanceMsgNo();
    if (!m_notResponding && !giveUp())
        return;
    tryToSend();
}

void RondelSender::onPingTimeout()
{
    disarmRetry();
    m_attempt = 1;
    m_state = Idle;
    if (!m_notResponding && !giveUp())
        return;
    tryToSend();
}

bool RondelSender::giveUp()
{
    m_notResponding = true;
    m_queue.clear();
    emit unitNotResponding();
    return m_state == Idle;
}

void RondelSender::keepAlive()
{
    m_keepAlivePending = true;
    if (m_state == Idle)
        tryToSend();
}

void RondelSender::advanceMsgNo()
{
    m_msgNo = m_msgNo < 255 ? m_msgNo + 1 : 0;
}
