#include "support/brokerfixture.h"

#include <QDateTime>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <algorithm>

#include <mosquitto.h>
#include <pwd.h>
#include <unistd.h>

namespace {

// Debian installs it in sbin, which a user's PATH often lacks.
QString findMosquitto()
{
    const QString name = QStringLiteral("mosquitto");
    const QString path = QStandardPaths::findExecutable(name);
    return path.isEmpty() ? QStandardPaths::findExecutable(name, {"/usr/sbin", "/usr/local/sbin", "/sbin"})
                          : path;
}

} // namespace

bool BrokerFixture::start()
{
    m_error.clear();
    const QString program = findMosquitto();
    if (program.isEmpty()) {
        m_error = QStringLiteral("The mosquitto broker is not installed; MQTT tests need it "
                                 "(scripts/install-deps installs the Debian package mosquitto).");
        return false;
    }
    // Should no port be free, start() fails as a broker not listening on port 0.
    if (m_port == 0) {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        m_port = probe.serverPort();
    }
    writeConfig();

    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardOutputFile(m_dir.filePath(QStringLiteral("broker.log")), QIODevice::Append);
    m_process->start(program, {QStringLiteral("-c"), m_dir.filePath(QStringLiteral("mosquitto.conf"))});
    if (!m_process->waitForStarted(5000)) {
        m_error = QStringLiteral("mosquitto did not start: ") + m_process->errorString();
        m_process.reset();
        return false;
    }
    if (!waitUntilListening(5000)) {
        QFile log(m_dir.filePath(QStringLiteral("broker.log")));
        log.open(QIODevice::ReadOnly);
        m_error = QStringLiteral("mosquitto is not listening on 127.0.0.1:%1. Its log:\n%2")
                      .arg(m_port)
                      .arg(QString::fromLocal8Bit(log.readAll().right(2000)));
        stop();
        return false;
    }
    return true;
}

void BrokerFixture::stop()
{
    if (isRunning()) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(2000);
        }
    }
    m_process.reset();
}

// A configuration that cannot be written shows in the broker's log.
void BrokerFixture::writeConfig()
{
    QFile config(m_dir.filePath(QStringLiteral("mosquitto.conf")));
    config.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QByteArray text = "listener " + QByteArray::number(m_port) + " 127.0.0.1\nallow_anonymous true\n";
    // Run as whoever runs the tests: started as root, mosquitto would switch
    // to its own user, which cannot write into our private folder.
    if (const passwd* entry = getpwuid(geteuid()))
        text += "user " + QByteArray(entry->pw_name) + "\n";
    // Offline persistent sessions get QoS 0 messages too, so that a test
    // client sees everything that was published while it was away.
    if (m_persistence == Persistence::On)
        text += "persistence true\nqueue_qos0_messages true\npersistence_location "
                + m_dir.path().toLocal8Bit() + "/\n";
    else
        text += "persistence false\n";
    config.write(text);
}

bool BrokerFixture::waitUntilListening(int timeoutMs)
{
    const auto listening = [this] {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        return probe.waitForConnected(200);
    };
    // A broker that exits (port taken, bad configuration) ends the wait early.
    return QTest::qWaitFor([&] { return !isRunning() || listening(); }, timeoutMs) && isRunning();
}

namespace {
constexpr int PollInterval = 5;
constexpr int ReconnectPause = 100;
} // namespace

BrokerClient::BrokerClient(const BrokerFixture& broker, const QString& persistentId)
    : m_host(broker.host())
    , m_port(broker.port())
    , m_poll(std::make_unique<QTimer>())
{
    mosquitto_lib_init();
    const QByteArray id = persistentId.toUtf8(); // none: a clean session under a random id
    m_mosq = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), id.isEmpty(), this);
    Q_ASSERT(m_mosq);
    mosquitto_connect_callback_set(m_mosq, [](mosquitto*, void* self, int rc) {
        static_cast<BrokerClient*>(self)->m_connected = rc == 0;
    });
    mosquitto_disconnect_callback_set(m_mosq, [](mosquitto*, void* self, int) {
        static_cast<BrokerClient*>(self)->m_connected = false;
    });
    mosquitto_subscribe_callback_set(m_mosq, [](mosquitto*, void* self, int mid, int, const int*) {
        static_cast<BrokerClient*>(self)->m_acknowledged.append(mid);
    });
    mosquitto_publish_callback_set(m_mosq, [](mosquitto*, void* self, int mid) {
        static_cast<BrokerClient*>(self)->m_acknowledged.append(mid);
    });
    mosquitto_message_callback_set(m_mosq, [](mosquitto*, void* self, const mosquitto_message* m) {
        const QByteArray payload(static_cast<const char*>(m->payload), m->payloadlen);
        static_cast<BrokerClient*>(self)->m_messages.append(
            {QString::fromUtf8(m->topic), payload, m->qos, m->retain});
    });
    m_poll->setInterval(PollInterval);
    QObject::connect(m_poll.get(), &QTimer::timeout, [this] { poll(); });
}

BrokerClient::~BrokerClient()
{
    // Destroying calls no callback: the polling timer was the only way in.
    m_poll->stop();
    mosquitto_destroy(m_mosq);
}

bool BrokerClient::connectToBroker(int timeoutMs)
{
    m_wanted = true;
    m_lastAttempt = QDateTime::currentMSecsSinceEpoch();
    mosquitto_connect(m_mosq, m_host.toUtf8().constData(), m_port, 60);
    m_poll->start();
    return QTest::qWaitFor([this] { return m_connected; }, timeoutMs);
}

bool BrokerClient::subscribe(const QString& topic, int qos, int timeoutMs)
{
    int mid = 0;
    return mosquitto_subscribe(m_mosq, &mid, topic.toUtf8().constData(), qos) == MOSQ_ERR_SUCCESS
           && QTest::qWaitFor([this, mid] { return m_acknowledged.contains(mid); }, timeoutMs);
}

bool BrokerClient::watch(const QStringList& filters)
{
    return connectToBroker() && std::all_of(filters.cbegin(), filters.cend(), [this](const QString& filter) {
               return subscribe(filter);
           });
}

bool BrokerClient::publish(const QString& topic, const QByteArray& payload, int qos, bool retain,
                           int timeoutMs)
{
    int mid = 0;
    return mosquitto_publish(m_mosq, &mid, topic.toUtf8().constData(), payload.size(),
                             payload.isEmpty() ? nullptr : payload.constData(), qos, retain)
               == MOSQ_ERR_SUCCESS
           && QTest::qWaitFor([this, mid] { return m_acknowledged.contains(mid); }, timeoutMs);
}

QVector<BrokerMessage> BrokerClient::messages(const QString& topic) const
{
    QVector<BrokerMessage> result;
    std::copy_if(m_messages.cbegin(), m_messages.cend(), std::back_inserter(result),
                 [&](const BrokerMessage& message) { return message.topic == topic; });
    return result;
}

QStringList BrokerClient::summaries(int qos) const
{
    QStringList result;
    for (const BrokerMessage& message : m_messages) {
        if (qos < 0 || message.qos == qos)
            result.append(QStringLiteral("%1 q%2%3 %4")
                              .arg(message.topic).arg(message.qos)
                              .arg(message.retain ? " retained" : "", QString::fromUtf8(message.payload)));
    }
    return result;
}

bool BrokerClient::waitForMessages(int count, int timeoutMs)
{
    return QTest::qWaitFor([this, count] { return m_messages.size() >= count; }, timeoutMs);
}

void BrokerClient::poll()
{
    const int rc = mosquitto_loop(m_mosq, 0, 100);
    if (rc == MOSQ_ERR_SUCCESS || !m_wanted)
        return;
    m_connected = false;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - m_lastAttempt < ReconnectPause)
        return;
    m_lastAttempt = now;
    mosquitto_reconnect(m_mosq);
}
