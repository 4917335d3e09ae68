#pragma once

#include "rondel/rondelformat.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <deque>

// Timer intervals of the transport. The defaults are the values the units
// are built for; tests shorten them.
struct RondelTimings
{
    int retryInterval = 1000;       // between transmissions, and the wait for "OK"
    int keepAliveInterval = 30000;  // between liveness probes
    int keepAliveStartSpread = 10000; // probes of many units start 0..spread-1 ms apart
    // How long an address that no unit object listens to may stay quiet
    // before its protocol is dropped (see RondelServer).
    int unlistenedLifetime = 60000;
};

// The outgoing side of one unit address: a queue of commands sent one at a
// time, each transmitted up to five times until acknowledged, liveness
// probing with "Ping", and the responding / not-responding reports.
class RondelSender : public QObject
{
    Q_OBJECT
public:
    enum State { Idle = 0, WaitingForOK = 1, WaitingForAck = 2 };

    explicit RondelSender(const RondelTimings& timings = RondelTimings(),
                          QObject* parent = nullptr);

    // Queues a command; discarded while the unit does not respond.
    void send(const OutgoingCommand& command);
    // Acknowledgements bypass the queue, the state and the timers.
    void sendAck(int ackNo, int error);
    // The unit answered a probe.
    void receivedOK();
    // The unit acknowledged a command.
    void receivedAck(int ackNo);

    int state() const { return m_state; }
    bool isNotResponding() const { return m_notResponding; }
    int msgNo() const { return m_msgNo; }
    int queueSize() const { return int(m_queue.size()); }

signals:
    void datagramToSend(const QByteArray& datagram);
    void unitNotResponding();
    void unitStartResponding();

private:
    void tryToSend();
    void sendNext();
    void ping();
    void armRetry();
    void disarmRetry();
    void onRetryTimeout();
    void onAckTimeout();
    void onPingTimeout();
    void keepAlive();
    void advanceMsgNo();
    // Marks the unit as not responding and tells the listeners; false when a
    // listener has meanwhile started a transmission.
    bool giveUp();

    std::deque<OutgoingCommand> m_queue;
    int m_state = Idle;
    bool m_notResponding = false;
    int m_msgNo = 0;
    int m_attempt = 1;
    bool m_keepAlivePending = false;
    static constexpr qint64 NoRetry = -1;
    QTimer m_retryTimer;
    int m_retryInterval = 0;
    qint64 m_retryAt = NoRetry; // when the transmission or probe in flight is due again
    QTimer m_keepAliveTimer;
};
