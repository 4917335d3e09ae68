#include "mqtt/mqttclient.h"

#include <QSocketNotifier>
#include <QTimer>
#include <QUuid>

#include <mosquitto.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {

// The library keeps process-wide state (socket layer, random source) that
// must be set up once before the first client exists.
void initLibraryOnce()
{
    static const bool initialised = [] {
        mosquitto_lib_init();
        return true;
    }();
    Q_UNUSED(initialised)
}

// Keep-alive pings are due every few minutes; a one-second tick is plenty.
constexpr int HousekeepingInterval = 1000;
// Packets processed per read step; the notifier fires again for the rest.
constexpr int PacketsPerRead = 100;

} // namespace

MqttClient::MqttClient(const QString& host, quint16 port, QObject* parent)
    : QObject(parent)
    , m_host(host)
    , m_port(port)
    , m_clientId(QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    qRegisterMetaType<MqttMessage>();
    initLibraryOnce();

    // Clean session off: the broker keeps our subscriptions and undelivered
    // messages across a short loss of the connection.
    m_mosq = mosquitto_new(m_clientId.toUtf8().constData(), false, this);
    if (m_mosq) {
        mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        // Otherwise the library writes every packet to the socket inside the
        // call that queues it: one TCP send per message, which costs the bus
        // mirror more than everything else it does. Marked as driven from
        // outside, it only queues, and the write notifier drains the queue
        // once per pass of the event loop.
        mosquitto_threaded_set(m_mosq, true);
        mosquitto_connect_callback_set(m_mosq, &MqttClient::onConnectCallback);
        mosquitto_disconnect_callback_set(m_mosq, &MqttClient::onDisconnectCallback);
        mosquitto_message_callback_set(m_mosq, &MqttClient::onMessageCallback);
        mosquitto_subscribe_callback_set(m_mosq, &MqttClient::onSubscribeCallback);
    }

    m_reconnectTimer = new QTimer(this);
    m_reconnectTimer->setSingleShot(true);
    connect(m_reconnectTimer, &QTimer::timeout, this, [this] {
        if (m_wanted && m_state == State::Idle)
            startAttempt(false);
    });

    m_miscTimer = new QTimer(this);
    m_miscTimer->setInterval(HousekeepingInterval);
    connect(m_miscTimer, &QTimer::timeout, this, &MqttClient::housekeeping);
}

MqttClient::~MqttClient()
{
    delete m_readNotifier;
    delete m_writeNotifier;
    m_readNotifier = nullptr;
    m_writeNotifier = nullptr;
    if (m_mosq) {
        // No callback may reach a half-destroyed object.
        mosquitto_connect_callback_set(m_mosq, nullptr);
        mosquitto_disconnect_callback_set(m_mosq, nullptr);
        mosquitto_message_callback_set(m_mosq, nullptr);
        mosquitto_subscribe_callback_set(m_mosq, nullptr);
        mosquitto_destroy(m_mosq);
    }
}

void MqttClient::setReconnectInterval(int ms)
{
    m_reconnectInterval = qMax(0, ms);
}

void MqttClient::connectToHost()
{
    if (!m_mosq) {
        emit error(MOSQ_ERR_NOMEM);
        return;
    }
    m_wanted = true;
    if (m_state == State::Idle && !m_reconnectTimer->isActive())
        startAttempt(!m_attempted);
}

void MqttClient::disconnectFromHost()
{
    m_wanted = false;
    m_reconnectTimer->stop();
    if (m_mosq && m_state != State::Idle) {
        // Completes through the disconnect callback once the DISCONNECT
        // packet is out, usually within this call.
        mosquitto_disconnect(m_mosq);
        flush();
    }
}

int MqttClient::publish(const MqttMessage& message)
{
    if (!m_mosq)
        return MOSQ_ERR_NOMEM;
    const QByteArray topic = message.topic.toUtf8();
    const int rc = mosquitto_publish(m_mosq, nullptr, topic.constData(), message.payload.size(),
                                     message.payload.isEmpty() ? nullptr : message.payload.constData(),
                                     message.qos, message.retain);
    updateWriteNotifier();
    return rc;
}

int MqttClient::subscribe(const QString& topic, quint8 qos)
{
    if (!m_mosq)
        return MOSQ_ERR_NOMEM;
    int mid = 0;
    const int rc = mosquitto_subscribe(m_mosq, &mid, topic.toUtf8().constData(), qos);
    if (rc == MOSQ_ERR_SUCCESS)
        m_pendingSubscriptions.insert(mid, topic);
    updateWriteNotifier();
    return rc;
}

void MqttClient::startAttempt(bool first)
{
    m_state = State::Connecting;
    const int rc = first
        ? mosquitto_connect_async(m_mosq, m_host.toUtf8().constData(), m_port, KeepAliveSeconds)
        : mosquitto_reconnect_async(m_mosq);
    // After the first call the library remembers host, port and keep-alive
    // (unless it rejected them outright).
    if (first && rc != MOSQ_ERR_INVAL)
        m_attempted = true;
    if (rc != MOSQ_ERR_SUCCESS) {
        connectionLost(rc);
        return;
    }
    attachSocket();
}

void MqttClient::attachSocket()
{
    detachSocket();
    const int fd = mosquitto_socket(m_mosq);
    if (fd < 0) {
        connectionLost(MOSQ_ERR_NO_CONN);
        return;
    }
    m_readNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &MqttClient::readReady);
    m_writeNotifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &MqttClient::writeReady);
    updateWriteNotifier();
    m_miscTimer->start();
}

void MqttClient::detachSocket()
{
    m_miscTimer->stop();
    // The notifiers may be the very senders whose slot we are in: disable
    // them now (the library may already have closed the socket) and delete
    // them from the event loop.
    for (QSocketNotifier* notifier : {m_readNotifier, m_writeNotifier}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    m_readNotifier = nullptr;
    m_writeNotifier = nullptr;
}

void MqttClient::updateWriteNotifier()
{
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(mosquitto_want_write(m_mosq));
}

void MqttClient::readReady()
{
    const int rc = mosquitto_loop_read(m_mosq, PacketsPerRead);
    if (rc != MOSQ_ERR_SUCCESS)
        connectionLost(rc);
    else
        updateWriteNotifier();
}

void MqttClient::writeReady()
{
    flush();
}

void MqttClient::flush()
{
    // The library writes its queue one packet per send; corked, the kernel
    // joins them into full segments, so the broker reads a batch at once.
    const int fd = mosquitto_socket(m_mosq);
    const int on = 1;
    const int off = 0;
    if (fd >= 0)
        setsockopt(fd, IPPROTO_TCP, TCP_CORK, &on, sizeof on);
    const int rc = mosquitto_loop_write(m_mosq, 1);
    if (fd >= 0 && mosquitto_socket(m_mosq) == fd)
        setsockopt(fd, IPPROTO_TCP, TCP_CORK, &off, sizeof off);
    if (rc != MOSQ_ERR_SUCCESS) {
        connectionLost(rc);
        return;
    }
    updateWriteNotifier();
    if (!mosquitto_want_write(m_mosq))
        emit drained();
}

void MqttClient::housekeeping()
{
    if (m_state == State::Idle)
        return;
    const int rc = mosquitto_loop_misc(m_mosq);
    if (rc != MOSQ_ERR_SUCCESS)
        connectionLost(rc);
    else
        updateWriteNotifier();
}

void MqttClient::connectionLost(int rc)
{
    // The library reports a loss through its disconnect callback and again
    // through the return code of the step that found it: act once.
    if (m_state == State::Idle)
        return;
    const bool wasConnected = m_state == State::Connected;
    m_state = State::Idle;
    detachSocket();
    m_pendingSubscriptions.clear();
    if (m_wanted)
        scheduleReconnect();
    if (rc != MOSQ_ERR_SUCCESS)
        emit error(rc);
    if (wasConnected)
        emit disconnected();
}

void MqttClient::scheduleReconnect()
{
    m_reconnectTimer->start(m_reconnectInterval);
}

void MqttClient::onConnectCallback(mosquitto*, void* self, int rc)
{
    auto* client = static_cast<MqttClient*>(self);
    // A refused CONNACK is followed by the disconnect callback, which
    // reports it and schedules the next attempt.
    if (rc != 0 || client->m_state != State::Connecting)
        return;
    client->m_state = State::Connected;
    emit client->connected();
}

void MqttClient::onDisconnectCallback(mosquitto*, void* self, int rc)
{
    static_cast<MqttClient*>(self)->connectionLost(rc);
}

void MqttClient::onMessageCallback(mosquitto*, void* self, const mosquitto_message* message)
{
    auto* client = static_cast<MqttClient*>(self);
    MqttMessage received(quint16(message->mid), QString::fromUtf8(message->topic),
                         QByteArray(static_cast<const char*>(message->payload), message->payloadlen),
                         quint8(message->qos), message->retain);
    emit client->received(received);
}

void MqttClient::onSubscribeCallback(mosquitto*, void* self, int mid, int, const int*)
{
    auto* client = static_cast<MqttClient*>(self);
    const auto it = client->m_pendingSubscriptions.find(mid);
    if (it == client->m_pendingSubscriptions.end())
        return;
    const QString topic = it.value();
    client->m_pendingSubscriptions.erase(it);
    emit client->subscribed(topic);
}
