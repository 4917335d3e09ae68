#pragma once

#include "mqtt/mqttmessage.h"

#include <QHash>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;
struct mosquitto;
struct mosquitto_message;

// A connection to the MQTT broker on libmosquitto, driven by the Qt event
// loop: socket notifiers feed the library's read and write steps, a timer its
// housekeeping, so every callback and signal runs on the event-loop thread.
// Reconnects by itself after any loss or failed attempt until
// disconnectFromHost() is called.
class MqttClient : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultReconnectInterval = 5000;
    static constexpr int KeepAliveSeconds = 300;

    MqttClient(const QString& host, quint16 port, QObject* parent = nullptr);
    ~MqttClient() override;

    QString host() const { return m_host; }
    quint16 port() const { return m_port; }
    QString clientId() const { return m_clientId; }
    bool isConnectedToHost() const { return m_state == State::Connected; }

    int reconnectInterval() const { return m_reconnectInterval; }
    void setReconnectInterval(int ms);

    void connectToHost();
    // Closes the connection and stops reconnecting.
    void disconnectFromHost();

    // Hands the message to the library; returns its error code (0 = accepted).
    int publish(const MqttMessage& message);
    // Returns the library's error code (0 = request sent or queued).
    int subscribe(const QString& topic, quint8 qos);

signals:
    void connected();
    void disconnected();
    // A libmosquitto error code (MOSQ_ERR_*) or, for a refused connection,
    // the broker's CONNACK return code.
    void error(int code);
    void received(const MqttMessage& message);
    // The broker acknowledged a subscription to the topic.
    void subscribed(const QString& topic);
    // Everything handed to the library has been written to the socket.
    void drained();

private:
    enum class State { Idle, Connecting, Connected };

    static void onConnectCallback(mosquitto*, void* self, int rc);
    static void onDisconnectCallback(mosquitto*, void* self, int rc);
    static void onMessageCallback(mosquitto*, void* self, const mosquitto_message* message);
    static void onSubscribeCallback(mosquitto*, void* self, int mid, int count, const int* granted);

    void startAttempt(bool first);
    void attachSocket();
    void detachSocket();
    void updateWriteNotifier();
    void readReady();
    void writeReady();
    // Writes everything the library has queued.
    void flush();
    void housekeeping();
    void connectionLost(int rc);
    void scheduleReconnect();

    QString m_host;
    quint16 m_port;
    QString m_clientId;
    mosquitto* m_mosq = nullptr;
    State m_state = State::Idle;
    bool m_wanted = false;     // connectToHost() was called and not withdrawn
    bool m_attempted = false;  // the library holds host and port for reconnects
    int m_reconnectInterval = DefaultReconnectInterval;
    QTimer* m_reconnectTimer = nullptr;
    QTimer* m_miscTimer = nullptr;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QHash<int, QString> m_pendingSubscriptions; // message id -> topic
};
