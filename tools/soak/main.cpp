// orvanta-soak: runs the built daemon for a long while against simulated
// units and a private broker, and checks what must survive it.
//
// Calls: calls are raised at bedside units and answered, let ring and
// cancelled, or ended by a nurse in the room, while the broker is restarted
// and units are unplugged and plugged back. Afterwards every call has its
// retained history, no live call topic is left, and the daemon still acts on
// the commands it subscribes to.
//
// Ward state: the daemon is killed with SIGKILL again and again while units
// switch their ward between day and night, so that it dies in the middle of
// saving the ward state. After each kill the file must hold the state before
// or after the change, as valid JSON.
//
// Prints its figures and exits with 0 only when every property held.

#include "simulator.h"
#include "support/brokerfixture.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

constexpr int StepTimeoutMs = 15000;

void say(const QString& line)
{
    std::fputs(qPrintable(line + '\n'), stdout);
    std::fflush(stdout);
}

int randomBetween(int low, int high)
{
    return QRandomGenerator::global()->bounded(low, high + 1);
}

quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress);
    return probe.localPort();
}

qint64 residentKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpression rss(QStringLiteral("^VmRSS:\\s+(\\d+) kB"), QRegularExpression::MultilineOption);
    return rss.match(QString::fromLatin1(status.readAll())).captured(1).toLongLong();
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs = StepTimeoutMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

// The state letter of a process ('R', 'S', 'T' for stopped, ...).
char stateOf(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return '?';
    const QByteArray line = stat.readAll();
    const int end = line.lastIndexOf(')'); // the command name may hold anything
    return end >= 0 && end + 2 < line.size() ? line.at(end + 2) : '?';
}

// Whether the process holds a file in folder open, an unnamed one included.
bool hasOpenFileIn(pid_t pid, const QString& folder)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::Files | QDir::System)) {
        if (fd.symLinkTarget().startsWith(folder + '/'))
            return true;
    }
    return false;
}

// The daemon as a child process on an installation under its own root.
class Daemon
{
public:
    Daemon(const QString& binary, const QString& root, quint16 busPort, const BrokerFixture& broker)
        : m_binary(binary)
        , m_arguments{"--root", root, "--rondel-address", "127.0.0.1", "--rondel-port",
                      QString::number(busPort), "--broker",
                      QStringLiteral("%1:%2").arg(broker.host()).arg(broker.port())}
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&m_process, &QProcess::readyRead, [this] { read(); });
    }
    ~Daemon() { stop(); }

    bool start()
    {
        m_log.clear();
        m_initialised = false;
        m_process.start(m_binary, m_arguments);
        return m_process.waitForStarted(10000);
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(10000))
            kill();
    }
    void kill()
    {
        ::kill(static_cast<pid_t>(m_process.processId()), SIGKILL);
        m_process.waitForFinished(10000);
    }
    // Kills the daemon while it has a file of folder open, to catch it in
    // the middle of a save: it is stopped at random moments and looked at
    // until it is, and killed anyway after a while. True when it was caught.
    bool killWhileWritingIn(const QString& folder)
    {
        const auto pid = static_cast<pid_t>(m_process.processId());
        bool caught = false;
        for (int attempt = 0; attempt < 500 && !caught; ++attempt) {
            QTest::qWait(randomBetween(0, 2));
            ::kill(pid, SIGSTOP);
            if (!waitFor([&] { return stateOf(pid) == 'T'; }, 1000))
                break;
            caught = hasOpenFileIn(pid, folder);
            if (!caught)
                ::kill(pid, SIGCONT);
        }
        kill();
        return caught;
    }
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    qint64 pid() const { return m_process.processId(); }
    bool isInitialised() const { return m_initialised; }
    QString tail() const { return QString::fromUtf8(m_log.right(3000)); }
    // The ids of the calls the daemon registered, in order.
    const QStringList& newCalls() const { return m_newCalls; }

private:
    QString m_binary;
    QStringList m_arguments;
    QProcess m_process;
    QByteArray m_log; // the last lines only: a long soak logs a lot
    bool m_initialised = false;
    QStringList m_newCalls;

    void read()
    {
        const int from = m_log.lastIndexOf('\n') + 1; // where the unfinished line starts
        m_log += m_process.readAll();
        const int to = m_log.lastIndexOf('\n');
        if (to < from)
            return;
        for (const QByteArray& line : m_log.mid(from, to - from).split('\n')) {
            if (line.startsWith("Debug newCall "))
                m_newCalls << QString::fromLatin1(line.mid(14));
            else if (line == "Debug == Initialisation complete ...")
                m_initialised = true;
        }
        if (m_log.size() > 65536)
            m_log.remove(0, m_log.indexOf('\n', m_log.size() - 32768) + 1);
    }
};

// What the run found; every failure is one line.
struct Findings
{
    QStringList failures;
    bool fail(const QString& what)
    {
        failures << what;
        say(QStringLiteral("FAIL: ") + what);
        return false;
    }
};

bool makeRoot(const QString& root, const QVariantMap& config)
{
    const QDir dir(root);
    for (const char* sub : {"opt/adminapp/etc", "opt/core/etc", "opt/assemblemsg/bin"}) {
        if (!dir.mkpath(sub))
            return false;
    }
    QString error;
    return Simulator::writeConfig(dir.filePath("opt/adminapp/etc/config.json"), config, &error);
}

// Retained messages under the filters as a fresh client receives them once
// the broker has gone quiet.
QHash<QString, QByteArray> retained(const BrokerFixture& broker, const QStringList& filters)
{
    QHash<QString, QByteArray> result;
    BrokerClient client(broker);
    if (!client.connectToBroker())
        return result;
    for (const QString& filter : filters)
        client.subscribe(filter);
    int seen = -1;
    while (seen != client.messages().size()) {
        seen = client.messages().size();
        QTest::qWait(500);
    }
    for (const BrokerMessage& message : client.messages()) {
        if (message.retain)
            result.insert(message.topic, message.payload);
    }
    return result;
}

// ---------------------------------------------------------------------------

class CallsSoak
{
public:
    CallsSoak(const QString& daemonBinary, Findings* findings)
        : m_daemonBinary(daemonBinary)
        , m_findings(findings)
    {
    }

    void run(int calls, int restarts, int unplugs);

private:
    bool setUp();
    bool oneCall(int index, bool restartBroker);
    bool step(const QString& what, const std::function<bool()>& done);
    bool shows(const SimUnit* station, const SimUnit* caller) const;
    void checkTopics();
    void checkSubscriptions();

    QString m_daemonBinary;
    Findings* m_findings;
    QTemporaryDir m_root;
    BrokerFixture m_broker{BrokerFixture::Persistence::On};
    Simulator m_sim;
    std::unique_ptr<Daemon> m_daemon;
    quint16 m_busPort = 0;
    QList<SimUnit*> m_stations;                 // one per ward, a nurse checked in
    QList<QList<SimUnit*>> m_beds;              // per ward
    QHash<QString, QString> m_callerOf;         // call id -> caller address
    QList<QPair<int, SimUnit*>> m_pendingPlugs; // call index at which to plug back
    int m_raised = 0;
    int m_finished = 0;
    int m_restarts = 0;
    int m_unplugs = 0;
};

bool CallsSoak::setUp()
{
    // Two wards of fifty units; the first of each ward is the duty station
    // where a nurse is checked in, the others are bedside units. Units in the
    // station's room do not call: they would ring beside the nurse.
    QVariantMap config = Simulator::generate(100, QStringLiteral("Tolva"));
    QVariantList units = config.value("units").toList();
    for (int i = 0; i < units.size(); i += 50) {
        QVariantMap station = units.at(i).toMap();
        station.insert("type", "Pardo");
        units[i] = station;
    }
    config.insert("units", units);
    if (!makeRoot(m_root.path(), config))
        return m_findings->fail(QStringLiteral("cannot lay out the installation under %1").arg(m_root.path()));
    if (!m_broker.start())
        return m_findings->fail(m_broker.errorString());

    QStringList problems;
    m_sim.load(config, &problems);
    m_busPort = freeUdpPort();
    QString error;
    if (!m_sim.bind(QHostAddress::LocalHost, m_busPort, &error))
        return m_findings->fail(error);
    for (int ward = 0; ward < 2; ++ward) {
        m_stations << m_sim.units().at(ward * 50);
        m_beds << m_sim.units().mid(ward * 50 + 2, 48);
    }

    m_daemon = std::make_unique<Daemon>(m_daemonBinary, m_root.path(), m_busPort, m_broker);
    if (!m_daemon->start())
        return m_findings->fail(QStringLiteral("the daemon does not start: ") + m_daemonBinary);
    if (!step("the daemon initialises the units",
              [this] { return m_daemon->isInitialised(); }))
        return false;
    for (SimUnit* station : qAsConst(m_stations))
        station->setPresence(QStringLiteral("PS"), true);
    return step("the stations register their nurse", [this] {
        return std::all_of(m_stations.begin(), m_stations.end(),
                           [](SimUnit* s) { return s->link()->queued() == 0; });
    });
}

bool CallsSoak::step(const QString& what, const std::function<bool()>& done)
{
    if (waitFor(done))
        return true;
    m_findings->fail(QStringLiteral("timed out waiting until %1; the daemon's log ends:\n%2")
                         .arg(what, m_daemon->tail()));
    return false;
}

bool CallsSoak::shows(const SimUnit* station, const SimUnit* caller) const
{
    const QList<SimFields> entries = station->shownCalls();
    return std::any_of(entries.begin(), entries.end(),
                       [&](const SimFields& entry) { return m_sim.unitShownBy(entry) == caller; });
}

// One call from raising to its end at every unit. A broker restart is split
// around the call: down while the call is raised, up again after it rang or
// after it ended, so that the daemon has to deliver its topics late.
bool CallsSoak::oneCall(int index, bool restartBroker)
{
    const int ward = index % 2;
    SimUnit* station = m_stations.at(ward);
    const QList<SimUnit*>& beds = m_beds.at(ward);
    SimUnit* caller = beds.at((index / 2) % beds.size());
    for (int skip = 1; !caller->isPlugged(); ++skip)
        caller = beds.at((index / 2 + skip) % beds.size());
    const QString ip = caller->ip().toString();
    const bool brokerBackAfterRing = randomBetween(0, 1) == 1;
    // A nurse who checks in at the other unit of the room ends the call.
    SimUnit* roommate = m_sim.units().at(m_sim.units().indexOf(caller) ^ 1);
    const int variant = index % 3 == 2 && !roommate->isPlugged() ? 1 : index % 3;

    if (restartBroker) {
        m_broker.stop();
        ++m_restarts;
    }
    const int known = m_daemon->newCalls().size();
    caller->raiseCall(QStringLiteral("VS"));
    ++m_raised;
    if (!step(QStringLiteral("call %1 from %2 is registered").arg(index).arg(ip),
              [&] { return m_daemon->newCalls().size() > known; }))
        return false;
    m_callerOf.insert(m_daemon->newCalls().at(known), ip);
    if (!step(QStringLiteral("call %1 from %2 rings at %3").arg(index).arg(ip, station->ip().toString()),
              [&] { return shows(station, caller); }))
        return false;
    if (restartBroker && brokerBackAfterRing && !m_broker.start())
        return m_findings->fail(m_broker.errorString());

    switch (variant) {
    case 0: // answered at the station, talked, hung up there
        station->answer();
        if (!step(QStringLiteral("call %1 from %2 is talking").arg(index).arg(ip), [&] {
                return station->voice() == SimUnit::Voice::Talk && caller->voice() == SimUnit::Voice::Talk;
            }))
            return false;
        QTest::qWait(randomBetween(0, 50));
        station->hangUp();
        break;
    case 1: // let ring, then cancelled at the bed
        QTest::qWait(randomBetween(0, 200));
        caller->cancelCall();
        break;
    default:
        roommate->setPresence(QStringLiteral("PS"), true);
        break;
    }
    if (!step(QStringLiteral("call %1 from %2 ends").arg(index).arg(ip), [&] {
            return !shows(station, caller) && station->voice() == SimUnit::Voice::None
                   && caller->voice() == SimUnit::Voice::None && caller->link()->queued() == 0;
        }))
        return false;
    if (variant == 2) {
        roommate->setPresence(QStringLiteral("PS"), false);
        if (!step(QStringLiteral("the nurse leaves %1").arg(roommate->ip().toString()),
                  [&] { return roommate->link()->queued() == 0; }))
            return false;
    }
    // A call that was answered stays raised at the bed until it is released.
    caller->cancelCall();
    ++m_finished;
    if (restartBroker && !brokerBackAfterRing && !m_broker.start())
        return m_findings->fail(m_broker.errorString());
    return true;
}

void CallsSoak::run(int calls, int restarts, int unplugs)
{
    QElapsedTimer clock;
    clock.start();
    if (!setUp())
        return;
    const qint64 rssStart = residentKb(m_daemon->pid());

    QList<SimUnit*> allBeds = m_beds.at(0) + m_beds.at(1);
    for (int i = 0; i < calls; ++i) {
        // Spread the restarts and unplugs evenly over the calls.
        const bool restart = (i + 1) * restarts / calls > i * restarts / calls;
        for (int due = (i + 1) * unplugs / calls - i * unplugs / calls; due > 0; --due) {
            SimUnit* unit = allBeds.at(randomBetween(0, allBeds.size() - 1));
            if (!unit->isPlugged())
                continue;
            unit->unplug();
            ++m_unplugs;
            m_pendingPlugs.append({i + randomBetween(1, 5), unit});
        }
        for (auto it = m_pendingPlugs.begin(); it != m_pendingPlugs.end();) {
            if (it->first <= i) {
                it->second->plug();
                it = m_pendingPlugs.erase(it);
            } else {
                ++it;
            }
        }
        if (!oneCall(i, restart))
            break;
    }
    for (const auto& pending : qAsConst(m_pendingPlugs))
        pending.second->plug();
    if (!m_broker.isRunning() && !m_broker.start())
        m_findings->fail(m_broker.errorString());

    checkTopics();
    checkSubscriptions();
    const qint64 rssEnd = residentKb(m_daemon->pid());
    if (!m_daemon->isRunning())
        m_findings->fail(QStringLiteral("the daemon ended during the soak; its log ends:\n") + m_daemon->tail());
    say(QStringLiteral("calls soak: %1 calls raised, %2 finished, %3 broker restarts, %4 unplugs, %5 s")
            .arg(m_raised)
            .arg(m_finished)
            .arg(m_restarts)
            .arg(m_unplugs)
            .arg(clock.elapsed() / 1000.0, 0, 'f', 1));
    say(QStringLiteral("daemon resident memory: %1 kB after start-up, %2 kB at the end").arg(rssStart).arg(rssEnd));
}

// Every call the daemon registered has its history, and none is left live.
// The daemon may still be delivering what it queued while the broker was
// down, so this waits a while for the topics to settle.
void CallsSoak::checkTopics()
{
    int histories = 0;
    QStringList stray;
    QStringList missing;
    QStringList wrongSource;
    QDeadlineTimer deadline(30000);
    do {
        const QHash<QString, QByteArray> topics =
            retained(m_broker, {QStringLiteral("calls/+"), QStringLiteral("callsHistory/+")});
        histories = 0;
        stray.clear();
        missing.clear();
        wrongSource.clear();
        for (auto it = m_callerOf.cbegin(); it != m_callerOf.cend(); ++it) {
            const QByteArray history = topics.value(QStringLiteral("callsHistory/") + it.key());
            if (history.isEmpty()) {
                missing << it.key();
                continue;
            }
            ++histories;
            if (QJsonDocument::fromJson(history).object().value("from").toString() != it.value())
                wrongSource << it.key();
        }
        for (auto it = topics.cbegin(); it != topics.cend(); ++it) {
            if (it.key().startsWith(QLatin1String("calls/")) && !it.value().isEmpty())
                stray << it.key();
        }
    } while ((!missing.isEmpty() || !stray.isEmpty()) && !deadline.hasExpired());

    say(QStringLiteral("calls registered by the daemon: %1, history topics found: %2, stray calls topics: %3")
            .arg(m_callerOf.size())
            .arg(histories)
            .arg(stray.size()));
    if (m_callerOf.size() != m_raised)
        m_findings->fail(QStringLiteral("%1 calls raised but %2 registered").arg(m_raised).arg(m_callerOf.size()));
    if (!missing.isEmpty())
        m_findings->fail(QStringLiteral("no callsHistory topic for the calls ") + missing.join(' '));
    if (!wrongSource.isEmpty())
        m_findings->fail(QStringLiteral("callsHistory names another source for ") + wrongSource.join(' '));
    if (!stray.isEmpty())
        m_findings->fail(QStringLiteral("calls topics left retained: ") + stray.join(' '));
}

// After all the restarts the daemon still takes a termination request and a
// scanner answer.
void CallsSoak::checkSubscriptions()
{
    BrokerClient client(m_broker);
    if (!client.connectToBroker() || !client.subscribe(QStringLiteral("callsHistory/+"), 1)) {
        m_findings->fail(QStringLiteral("the soak's own client cannot reach the broker"));
        return;
    }
    SimUnit* station = m_stations.at(0);
    SimUnit* caller = m_beds.at(0).at(0);
    const int known = m_daemon->newCalls().size();
    caller->raiseCall(QStringLiteral("VS"));
    if (!step(QStringLiteral("a last call rings"),
              [&] { return m_daemon->newCalls().size() > known && shows(station, caller); }))
        return;
    const QString id = m_daemon->newCalls().at(known);
    client.publish(QStringLiteral("call/%1/terminate").arg(id), QByteArray(), 1);
    const QString history = QStringLiteral("callsHistory/") + id;
    const bool terminated = waitFor([&] {
        const auto messages = client.messages(history);
        return !shows(station, caller) && caller->ownCalls().isEmpty() && !messages.isEmpty()
               && messages.last().payload.contains("\"endType\":\"ManuallyRemoved\"");
    });
    say(QStringLiteral("terminate command after the soak: %1").arg(terminated ? "acted on" : "IGNORED"));
    if (!terminated)
        m_findings->fail(QStringLiteral("call/%1/terminate was not acted on").arg(id));

    // An address that answers nobody yet: the daemon starts talking to it
    // once the scanner reports it.
    QUdpSocket found;
    const QHostAddress address(QStringLiteral("127.0.9.9"));
    if (!found.bind(address, m_busPort)) {
        m_findings->fail(QStringLiteral("cannot bind %1:%2").arg(address.toString()).arg(m_busPort));
        return;
    }
    client.publish(QStringLiteral("scannerAnswers"),
                   QStringLiteral(R"({"arpLeases":[{"ip":"%1"}]})").arg(address.toString()).toUtf8(), 1);
    const bool discovered = waitFor([&] { return found.hasPendingDatagrams(); });
    say(QStringLiteral("scanner answer after the soak: %1").arg(discovered ? "acted on" : "IGNORED"));
    if (!discovered)
        m_findings->fail(QStringLiteral("the daemon never spoke to the discovered unit ") + address.toString());
}

// ---------------------------------------------------------------------------

class WardStateSoak
{
public:
    WardStateSoak(const QString& daemonBinary, Findings* findings)
        : m_daemonBinary(daemonBinary)
        , m_findings(findings)
    {
    }

    // False when the soak could not be set up.
    bool run(int kills);

private:
    // Why the file is not the ward state before or after a switch, or an
    // empty string when it is.
    QString fault(const QByteArray& bytes) const;

    QString m_daemonBinary;
    Findings* m_findings;
    QTemporaryDir m_root;
    QStringList m_wardIds; // every ward the file must list
};

QString WardStateSoak::fault(const QByteArray& bytes) const
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("not valid JSON (%1 at %2)").arg(error.errorString()).arg(error.offset);
    const QVariantList wards = document.object().toVariantMap().value("wards").toList();
    QStringList ids;
    for (const QVariant& element : wards) {
        const QVariantMap ward = element.toMap();
        const QString id = ward.value("id").toString();
        const QString mode = ward.value("mode").toString();
        ids << id;
        // Only the first ward is switched; every other keeps its start.
        const bool switched = id == QLatin1String("w1");
        if (ward.value("connected").toBool() || !(mode == "Day" || (switched && mode == "Night")))
            return QStringLiteral("a ward state no switch made: ") + QString::fromUtf8(QJsonDocument::fromVariant(ward).toJson(QJsonDocument::Compact));
    }
    ids.sort();
    if (ids != m_wardIds)
        return QStringLiteral("%1 wards listed, %2 expected").arg(ids.size()).arg(m_wardIds.size());
    return QString();
}

bool WardStateSoak::run(int kills)
{
    QElapsedTimer clock;
    clock.start();
    // Two units in one ward, and many wards without units so that the file
    // takes a while to write.
    QVariantMap config = Simulator::generate(2, QStringLiteral("Tolva"));
    QVariantList wards = config.value("wards").toList();
    for (int i = 0; i < 400; ++i) {
        wards.append(QVariantMap{{"_id", QStringLiteral("spare%1").arg(i)},
                                 {"name", QStringLiteral("Spare ward %1").arg(i)},
                                 {"group", QStringLiteral("spare")}});
    }
    config.insert("wards", wards);
    for (const QVariant& ward : qAsConst(wards))
        m_wardIds << ward.toMap().value("_id").toString();
    m_wardIds << QStringLiteral("none");
    m_wardIds.sort();
    if (!makeRoot(m_root.path(), config))
        return m_findings->fail(QStringLiteral("cannot lay out the installation under %1").arg(m_root.path()));

    BrokerFixture broker;
    if (!broker.start())
        return m_findings->fail(broker.errorString());
    Simulator sim;
    QStringList problems;
    sim.load(config, &problems);
    sim.setRetryInterval(50);
    const quint16 busPort = freeUdpPort();
    QString error;
    if (!sim.bind(QHostAddress::LocalHost, busPort, &error))
        return m_findings->fail(error);
    SimUnit* switcher = sim.units().first();

    // The unit switches its ward whenever its last switch was taken.
    bool night = false;
    QTimer switching;
    switching.setInterval(1);
    QObject::connect(&switching, &QTimer::timeout, [&] {
        if (switcher->link()->queued() == 0)
            switcher->requestMode(night = !night);
    });
    switching.start();

    const QDir folder(m_root.filePath("opt/core/etc"));
    const QString file = folder.filePath("settings.conf");
    Daemon daemon(m_daemonBinary, m_root.path(), busPort, broker);
    int killed = 0;
    int midWrite = 0;
    int leftovers = 0;
    for (; killed < kills; ++killed) {
        const QDateTime before = QFileInfo(file).lastModified(); // invalid while there is none
        if (!daemon.start())
            return m_findings->fail(QStringLiteral("the daemon does not start: ") + m_daemonBinary);
        // Kill only once the daemon is saving.
        if (!waitFor([&] {
                const QFileInfo info(file);
                return info.exists() && info.lastModified() != before;
            })) {
            m_findings->fail(QStringLiteral("the daemon never saved the ward state; its log ends:\n") + daemon.tail());
            break;
        }
        if (!daemon.isRunning()) {
            m_findings->fail(QStringLiteral("the daemon ended by itself; its log ends:\n") + daemon.tail());
            break;
        }
        if (daemon.killWhileWritingIn(folder.absolutePath()))
            ++midWrite;
        // The daemon clears them at start: at most the last kill's may be left.
        leftovers = folder.entryList({"settings.conf?*"}, QDir::Files).size();
        if (leftovers > 1) {
            m_findings->fail(QStringLiteral("after kill %1, %2 temporary files are left").arg(killed + 1).arg(leftovers));
            ++killed;
            break;
        }
        QFile saved(file);
        const QString why = saved.open(QIODevice::ReadOnly) ? fault(saved.readAll()) : QStringLiteral("missing");
        if (!why.isEmpty()) {
            m_findings->fail(QStringLiteral("after kill %1 the ward state file is %2").arg(killed + 1).arg(why));
            ++killed;
            break;
        }
    }
    say(QStringLiteral("ward-state soak: %1 kills, %2 of them while a save was under way, "
                       "%3 temporary files left, %4 s")
            .arg(killed)
            .arg(midWrite)
            .arg(leftovers)
            .arg(clock.elapsed() / 1000.0, 0, 'f', 1));
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Soaks the daemon: many calls through broker restarts and "
                                                    "unplugged units, then repeated kills while it saves the "
                                                    "ward state."));
    parser.addHelpOption();
    const QCommandLineOption daemonOption("daemon", "The daemon's binary.", "path");
    const QCommandLineOption callsOption("calls", "Calls to raise (default 1000).", "n", "1000");
    const QCommandLineOption restartsOption("restarts", "Broker restarts, at most one per call (default 100).", "n", "100");
    const QCommandLineOption unplugsOption("unplugs", "Units unplugged and plugged back (default 100).", "n", "100");
    const QCommandLineOption killsOption("kills", "Kills while saving the ward state (default 1000).", "n", "1000");
    parser.addOptions({daemonOption, callsOption, restartsOption, unplugsOption, killsOption});
    parser.process(app);

    const auto count = [&](const QCommandLineOption& option) {
        bool ok = false;
        const int n = parser.value(option).toInt(&ok);
        if (!ok || n < 0) {
            std::fprintf(stderr, "orvanta-soak: --%s: '%s' is not a count\n", qPrintable(option.names().first()),
                         qPrintable(parser.value(option)));
            std::exit(2);
        }
        return n;
    };
    const int calls = count(callsOption);
    const int restarts = count(restartsOption);
    const int unplugs = count(unplugsOption);
    const int kills = count(killsOption);
    const QString daemon = parser.value(daemonOption);
    if (daemon.isEmpty() || !QFileInfo(daemon).isExecutable()) {
        std::fprintf(stderr, "orvanta-soak: --daemon: give the daemon's binary\n");
        return 2;
    }

    Findings findings;
    if (calls > 0)
        CallsSoak(daemon, &findings).run(calls, restarts, unplugs);
    if (kills > 0)
        WardStateSoak(daemon, &findings).run(kills);
    say(findings.failures.isEmpty() ? QStringLiteral("soak passed")
                                    : QStringLiteral("soak FAILED: %1 finding(s)").arg(findings.failures.size()));
    return findings.failures.isEmpty() ? 0 : 1;
}
