#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

#include <memory>

struct mosquitto;
class QTimer;

// A private mosquitto broker for one test on a free loopback port, with its
// own configuration and data folder; it can be restarted on the same port.
class BrokerFixture
{
public:
    enum class Persistence {
        Off, // a restart forgets every session and retained message
        On   // sessions, subscriptions and retained messages survive a restart
    };

    explicit BrokerFixture(Persistence persistence = Persistence::Off) : m_persistence(persistence) {}
    ~BrokerFixture() { stop(); }

    // Starts the broker and waits until it accepts connections; the first start picks the port.
    bool start();
    // Stops the broker (SIGTERM, so that a persistent broker saves its state).
    void stop();
    bool isRunning() const { return m_process && m_process->state() == QProcess::Running; }

    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return m_port; }
    // Why the last start failed, with the tail of the broker's log.
    QString errorString() const { return m_error; }

private:
    void writeConfig();
    bool waitUntilListening(int timeoutMs);

    Persistence m_persistence;
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QString m_error;
};

// A received message as the broker delivered it.
struct BrokerMessage
{
    QString topic;
    QByteArray payload;
    int qos = 0;
    bool retain = false;
};

// A test-side MQTT client independent of the core's own client code: plain libmosquitto,
// polled from the Qt event loop, reconnecting quickly when the broker was restarted.
// Wait with QTRY_* or the wait functions (they keep the event loop running).
class BrokerClient
{
public:
    // A persistent session (clean session off, fixed id) keeps messages and
    // subscriptions for the client at a persistent broker while either side
    // is down; without one, a client subscribes again after a restart.
    explicit BrokerClient(const BrokerFixture& broker, const QString& persistentId = QString());
    ~BrokerClient();

    // Connects and waits for the broker's acknowledgement.
    bool connectToBroker(int timeoutMs = 5000);
    bool isConnected() const { return m_connected; }
    // Subscribes (QoS 2 by default, so messages keep their own QoS); waits for the SUBACK.
    bool subscribe(const QString& topic, int qos = 2, int timeoutMs = 5000);
    // Connects and subscribes to each filter.
    bool watch(const QStringList& filters);
    // Publishes; waits until the message has left (QoS 0) or been acknowledged (QoS 1, 2).
    bool publish(const QString& topic, const QByteArray& payload, int qos = 0, bool retain = false,
                 int timeoutMs = 5000);

    const QVector<BrokerMessage>& messages() const { return m_messages; }
    QVector<BrokerMessage> messages(const QString& topic) const;
    // "topic q<QoS>[ retained] payload" of each message in arrival order;
    // only those of one QoS when qos is 0, 1 or 2. The broker keeps order
    // only within one QoS: it forwards a QoS 2 message after its handshake,
    // so a QoS 0 message sent later may overtake it.
    QStringList summaries(int qos = -1) const;
    bool waitForMessages(int count, int timeoutMs = 5000);
    void clear() { m_messages.clear(); }

private:
    void poll();

    QString m_host;
    quint16 m_port;
    mosquitto* m_mosq = nullptr;
    std::unique_ptr<QTimer> m_poll;
    bool m_wanted = false;
    bool m_connected = false;
    qint64 m_lastAttempt = 0;
    QVector<int> m_acknowledged; // message ids of SUBACKs and publish completions
    QVector<BrokerMessage> m_messages;
};
