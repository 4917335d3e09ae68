#pragma once

#include "mqtt/messagespool.h"
#include "mqtt/mqttclient.h"

// The connection everything the core publishes goes through. Messages are
// queued and sent in order as soon as, and as long as, the broker is
// reachable, a window at a time: the library keeps each message it is given
// in an allocation of its own until the broker has read it, so what the
// broker has not taken yet waits here instead.
class MqttPublisher : public MqttClient
{
    Q_OBJECT
public:
    // Non-retained QoS 0 messages (error lines, bus traffic) kept while the
    // broker is unreachable; older ones are dropped first.
    static constexpr int DefaultDiagnosticsLimit = 1000;
    // Diagnostics kept while a connected broker falls behind: several times
    // what the start-up burst of a large installation leaves waiting (some
    // 90 000 for 2000 units), yet a bound on what a broker that stops reading
    // without dropping the connection can make us hold (about 75 MB).
    static constexpr int DefaultBacklogLimit = 500000;
    // Messages handed to the library until it has written them all.
    static constexpr int DefaultHandOverWindow = 512;

    MqttPublisher(const QString& host, quint16 port, QObject* parent = nullptr);

    // Sends a copy with QoS 2 and the retain flag, whatever the caller set.
    void publishRetained(const MqttMessage& message);
    // Sends the message with its own QoS and retain flag.
    void publish(const MqttMessage& message);

    quint16 nextMessageId() const { return m_nextMessageId; }
    int queuedCount() const { return m_kept.size() + m_diagnostics.size(); }

    int diagnosticsLimit() const { return m_diagnosticsLimit; }
    void setDiagnosticsLimit(int limit);
    void setBacklogLimit(int limit);
    int handOverWindow() const { return m_handOverWindow; }
    void setHandOverWindow(int window);

private:
    void enqueue(const MqttMessage& message);
    void dropOldestDiagnostic();
    void sendQueue();
    void onDrained();
    void onError(int code);

    quint16 m_nextMessageId = 0;
    bool m_connected = false;
    // Two queues merged by sequence number on sending, so that dropping the
    // oldest diagnostic never touches a state message and order is kept.
    MessageSpool m_kept;
    MessageSpool m_diagnostics;
    quint64 m_sequence = 0;
    int m_diagnosticsLimit = DefaultDiagnosticsLimit;
    int m_backlogLimit = DefaultBacklogLimit;
    int m_handOverWindow = DefaultHandOverWindow;
    int m_handedOver = 0; // since the library last wrote everything
    int m_dropped = 0; // while unreachable
    int m_droppedBehind = 0; // while connected, since the backlog last emptied
};
