#include "simconsole.h"
#include "simulator.h"
#include "support/brokerfixture.h"
#include "support/fakeunit.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <functional>
#include <memory>

// The installation end to end: the daemon as a process on the sample
// installation, its units simulated in the test, a private broker, and an
// MQTT client of the test's own. A scenario is a list of steps:
//
//   sim LINE         a simulator command, as typed at orvanta-sim
//   sees PATTERN     since the last command a unit printed a line matching
//                    PATTERN, where '*' stands for any text
//   mqtt TOPIC JSON  since the last command a message came on TOPIC whose
//                    payload holds every key of JSON ("*": any non-empty
//                    value); JSON "-" is an empty payload, a cleared topic
//   publish TOPIC    the test's client publishes an empty message
//   drop IP          the unit leaves the configuration file
//   silent IP        the unit answers no datagram from here to the end
//   file PATH TEXT   the file at PATH under the root comes to hold TEXT
//
// "<name>" in a topic is a number: the first message that matches binds it.
class TestScenarios : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_world = std::make_unique<World>();
        World& w = *m_world;
        const QDir examples(QStringLiteral(ORVANTA_SOURCE_DIR "/examples"));
        const QDir root(w.root.path());
        for (const char* dir : {"opt/adminapp/etc", "opt/core/etc", "opt/assemblemsg/bin"})
            QVERIFY(root.mkpath(dir));
        QVERIFY(QFile::copy(examples.filePath("config.json"), config()));
        QVERIFY(QFile::copy(examples.filePath("assemblemsg-config.json"),
                            root.filePath("opt/assemblemsg/bin/config.json")));
        for (const QString& nameDays : examples.entryList({"*_nameday.conf"}))
            QVERIFY(QFile::copy(examples.filePath(nameDays), root.filePath("opt/core/etc/" + nameDays)));

        QVERIFY2(w.broker.start(), qPrintable(w.broker.errorString()));
        w.client = std::make_unique<BrokerClient>(w.broker);
        // Not the bus traffic mirror: its flood would hold the state topics up.
        QVERIFY(w.client->watch({"units/#", "calls/#", "callsHistory/#", "errors/#"}));

        QString error;
        QStringList problems;
        QVERIFY2(w.simulator.loadFile(config(), &problems, &error), qPrintable(error));
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        connect(&w.simulator, &Simulator::changed, this, [&w](const QString& line) { w.lines << line; });
        for (SimUnit* unit : w.simulator.units()) {
            const QString ip = unit->ip().toString();
            connect(unit->link(), &SimLink::transmit, this, [&w, ip] { ++w.answers[ip]; });
        }
        const quint16 port = FakeUnit::freePort();
        QVERIFY2(w.simulator.bind(FakeUnit::CoreAddress, port, &error), qPrintable(error));

        w.daemon.setProcessChannelMode(QProcess::MergedChannels);
        connect(&w.daemon, &QProcess::readyRead, this, [&w] { w.log += w.daemon.readAll(); });
        w.daemon.start(ORVANTACORE_BINARY,
                       {"--root", w.root.path(), "--rondel-address", FakeUnit::CoreAddress.toString(),
                        "--rondel-port", QString::number(port), "--broker",
                        QStringLiteral("%1:%2").arg(w.broker.host()).arg(w.broker.port())});
        QVERIFY(w.daemon.waitForStarted(10000));
        QTRY_VERIFY2_WITH_TIMEOUT(w.log.contains("Debug == Initialisation complete ...\n"),
                                  w.log.right(2000).constData(), 20000);
        QVERIFY2(!w.log.contains("Config file"), w.log.constData()); // the sample is complete
    }

    void cleanup()
    {
        m_world->daemon.terminate();
        m_world->daemon.waitForFinished(10000);
        m_world.reset();
    }

    void scenario_data()
    {
        QTest::addColumn<QStringList>("steps");

        // Bed 101/1 is 127.0.0.11; the Nurses A station 127.0.0.15 rings once a
        // nurse (PS) has checked in there. Bed 102/1 (127.0.0.12) has no presence
        // of its own, so a nurse in its room (at 127.0.0.13) ends its calls.
        const QStringList nurseAtStation{"sim presence 127.0.0.15 PS on",
                                         R"(mqtt units/127.0.0.15/state {"ps":true})"};

        QTest::newRow("patient call: ring, answer, talk, hang up") << nurseAtStation + QStringList{
            "sim call 127.0.0.11 VS",
            "sees 127.0.0.15 Pardo (Nurses A): rings VS from 127.0.0.11, bed 1",
            R"(mqtt calls/<call> {"from":"127.0.0.11","priority":"VS","state":"Ringing","to":["127.0.0.15"],"type":"VS"})",
            "sim answer 127.0.0.15",
            "sees 127.0.0.11 Tolva (Room 101): talks with 127.0.0.15",
            "sees 127.0.0.15 Pardo (Nurses A): talks with 127.0.0.11",
            R"(mqtt calls/<call> {"startTalk":"*","state":"Connected","to":["127.0.0.15"]})",
            "sim hangup 127.0.0.15",
            "sees 127.0.0.11 Tolva (Room 101): voice ended",
            "sees 127.0.0.15 Pardo (Nurses A): voice ended",
            R"(mqtt callsHistory/<call> {"endCall":"*","endTalk":"*","endType":"HangUp","from":"127.0.0.11","to":["127.0.0.15"]})",
            "mqtt calls/<call> -"};

        QTest::newRow("a nurse in the room ends the call") << nurseAtStation + QStringList{
            "sim call 127.0.0.12 VS",
            "sees 127.0.0.15 Pardo (Nurses A): rings VS from 127.0.0.12, bed 1",
            "sim presence 127.0.0.13 PS on",
            // The source may have let go of its call first; then the
            // station's screen names the call by its icon only.
            "sees 127.0.0.15 Pardo (Nurses A): no longer shows * from 127.0.0.12, bed 1",
            "sees 127.0.0.12 Brisa (Room 102): call VS ended by the core",
            R"(mqtt callsHistory/<call> {"endTalk":"","endType":"Presence","from":"127.0.0.12","to":[]})",
            "mqtt calls/<call> -"};

        QTest::newRow("a unit unplugged and plugged back in") << nurseAtStation + QStringList{
            "sim unplug 127.0.0.15",
            "sim call 127.0.0.11 VS", // the core has something to tell the station
            R"(mqtt errors/<error> {"end":"","ip":"127.0.0.15","start":"*","type":"Rondel"})",
            R"(mqtt units/127.0.0.15/state {"rdErr":true})",
            "sim plug 127.0.0.15",
            R"(mqtt errors/<error> {"end":"*","ip":"127.0.0.15","type":"Rondel"})",
            R"(mqtt units/127.0.0.15/state {"rdErr":false})"};

        QTest::newRow("a unit removed from the configuration") << nurseAtStation + QStringList{
            "sim presence 127.0.0.12 PS on",
            R"(mqtt units/127.0.0.12/state {"ps":true})",
            "drop 127.0.0.12",
            "publish settings/updated",
            "mqtt units/127.0.0.12/info -",
            "mqtt units/127.0.0.12/connections -",
            "mqtt units/127.0.0.12/state -",
            "silent 127.0.0.12",
            // Rings at the station, and would ring at the removed unit.
            "sim call 127.0.0.11 VS",
            "sees 127.0.0.15 Pardo (Nurses A): rings VS from 127.0.0.11, bed 1",
            R"(mqtt calls/<call> {"state":"Ringing","to":["127.0.0.15"]})"};

        QTest::newRow("a call terminated over MQTT") << nurseAtStation + QStringList{
            "sim presence 127.0.0.12 PS on",
            R"(mqtt units/127.0.0.12/state {"ps":true})",
            "sim call 127.0.0.11 VS",
            "sees 127.0.0.12 Brisa (Room 102): rings VS from 127.0.0.11, bed 1",
            "sees 127.0.0.15 Pardo (Nurses A): rings VS from 127.0.0.11, bed 1",
            R"(mqtt calls/<call> {"state":"Ringing"})",
            "publish call/<call>/terminate",
            "sees 127.0.0.11 Tolva (Room 101): call VS ended by the core",
            "sees 127.0.0.12 Brisa (Room 102): no longer shows * from 127.0.0.11, bed 1",
            "sees 127.0.0.15 Pardo (Nurses A): no longer shows * from 127.0.0.11, bed 1",
            R"(mqtt callsHistory/<call> {"endType":"ManuallyRemoved","from":"127.0.0.11"})",
            "mqtt calls/<call> -"};

        // Nurses A and Rooms 101 and 102 make up one ward; Room 201 is another.
        const QString wardState = "file opt/core/etc/settings.conf ";
        QTest::newRow("day and night from a unit")
            << QStringList{"sim mode 127.0.0.15 night",
                           "sees 127.0.0.16 Fenno (Nurses A): shows *, backlight 20",
                           "sees 127.0.0.12 Brisa (Room 102): shows *, backlight 20",
                           wardState + R"({"connected":false,"id":"w-int-a","mode":"Night"})",
                           wardState + R"({"connected":false,"id":"w-int-b","mode":"Day"})",
                           "sim show 127.0.0.17",
                           "sees   screen clock: *, backlight 100; *",
                           "sim mode 127.0.0.11 day",
                           "sees 127.0.0.16 Fenno (Nurses A): shows *, backlight 100",
                           wardState + R"({"connected":false,"id":"w-int-a","mode":"Day"})"};
    }

    void scenario()
    {
        World& w = *m_world;
        QFETCH(QStringList, steps);
        for (const QString& line : qAsConst(steps)) {
            step(line);
            if (QTest::currentTestFailed())
                return;
        }
        for (auto it = w.silentFrom.cbegin(); it != w.silentFrom.cend(); ++it)
            QVERIFY2(w.answers.value(it.key()) == it.value(),
                     qPrintable(it.key() + " was still sent datagrams"));
    }

private:
    QString config() const { return m_world->root.filePath("opt/adminapp/etc/config.json"); }
    void step(const QString& step);
    bool seen(const QString& pattern) const;
    bool received(const QString& topic, const QString& payload);
    // Waits for found, or prints what happened since the last command (the log would cut it short).
    bool awaited(const std::function<bool()>& found) const;

    // One scenario's world; the daemon goes first.
    struct World
    {
        QTemporaryDir root;
        BrokerFixture broker;
        std::unique_ptr<BrokerClient> client;
        Simulator simulator;
        SimConsole console{&simulator};
        QProcess daemon;
        QByteArray log;
        QStringList lines;             // what the units printed
        QHash<QString, int> answers;   // datagrams each unit answered
        QHash<QString, int> silentFrom;
        QHash<QString, QString> bound; // "<name>" -> number
        int linesMark = 0;
        int messagesMark = 0;
    };
    std::unique_ptr<World> m_world;
};

void TestScenarios::step(const QString& step)
{
    World& w = *m_world;
    const QString verb = step.section(' ', 0, 0);
    const QString rest = step.section(' ', 1);
    if (verb == "sim") {
        w.linesMark = w.lines.size();
        w.messagesMark = w.client->messages().size();
        const SimConsole::Result result = w.console.execute(rest);
        QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
        w.lines << result.output;
    } else if (verb == "sees") {
        QVERIFY2(awaited([&] { return seen(rest); }), qPrintable(step));
    } else if (verb == "mqtt") {
        const QString topic = rest.section(' ', 0, 0);
        const QString payload = rest.section(' ', 1);
        QVERIFY2(awaited([&] { return received(topic, payload); }), qPrintable(step));
    } else if (verb == "publish") {
        w.messagesMark = w.client->messages().size();
        QString topic = rest;
        for (auto it = w.bound.cbegin(); it != w.bound.cend(); ++it)
            topic.replace(it.key(), it.value());
        QVERIFY(w.client->publish(topic, QByteArray(), 1));
    } else if (verb == "drop") {
        QFile file(config());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QJsonObject installation = QJsonDocument::fromJson(file.readAll()).object();
        file.close();
        QJsonArray units;
        for (const QJsonValue& unit : installation.value("units").toArray()) {
            if (unit.toObject().value("_id").toString() != rest)
                units.append(unit);
        }
        QCOMPARE(units.size(), installation.value("units").toArray().size() - 1);
        installation.insert("units", units);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QJsonDocument(installation).toJson());
    } else if (verb == "file") {
        QFile file(w.root.filePath(rest.section(' ', 0, 0)));
        const QByteArray text = rest.section(' ', 1).toUtf8();
        QVERIFY2(awaited([&] {
                     file.close();
                     return file.open(QIODevice::ReadOnly) && file.readAll().contains(text);
                 }),
                 qPrintable(step));
    } else if (verb == "silent") {
        w.silentFrom.insert(rest, w.answers.value(rest));
    } else {
        QFAIL(qPrintable("unknown step: " + step));
    }
}

bool TestScenarios::seen(const QString& pattern) const
{
    QStringList parts = pattern.split('*');
    for (QString& part : parts)
        part = QRegularExpression::escape(part);
    // indexOf matches a regular expression against the whole line.
    return m_world->lines.indexOf(QRegularExpression(parts.join(".*")), m_world->linesMark) >= 0;
}

bool TestScenarios::received(const QString& topic, const QString& payload)
{
    World& w = *m_world;
    QString pattern;
    const QRegularExpression name(QStringLiteral("<(\\w+)>"));
    int from = 0;
    for (QRegularExpressionMatch match = name.match(topic); match.hasMatch();
         match = name.match(topic, from)) {
        const QString bound = w.bound.value(match.captured(0));
        pattern += QRegularExpression::escape(topic.mid(from, match.capturedStart() - from))
                   + (bound.isEmpty() ? QStringLiteral("(?<%1>\\d+)").arg(match.captured(1)) : bound);
        from = match.capturedEnd();
    }
    pattern += QRegularExpression::escape(topic.mid(from));
    const QRegularExpression expression(QRegularExpression::anchoredPattern(pattern));
    const QJsonObject expected = QJsonDocument::fromJson(payload.toUtf8()).object();
    const QVector<BrokerMessage>& messages = w.client->messages();
    for (int i = w.messagesMark; i < messages.size(); ++i) {
        const QRegularExpressionMatch match = expression.match(messages.at(i).topic);
        if (!match.hasMatch())
            continue;
        const QJsonObject actual = QJsonDocument::fromJson(messages.at(i).payload).object();
        bool fits = payload == "-" ? messages.at(i).payload.isEmpty() : !actual.isEmpty();
        for (auto it = expected.begin(); fits && it != expected.end(); ++it) {
            fits = it.value() == "*" ? !actual.value(it.key()).toString().isEmpty()
                                     : actual.value(it.key()) == it.value();
        }
        if (!fits)
            continue;
        for (const QString& group : expression.namedCaptureGroups()) {
            if (!group.isEmpty())
                w.bound.insert('<' + group + '>', match.captured(group));
        }
        return true;
    }
    return false;
}

bool TestScenarios::awaited(const std::function<bool()>& found) const
{
    constexpr int Patience = 30000; // ms: the bus gives a silent unit up after five seconds
    if (QTest::qWaitFor(found, Patience))
        return true;
    const World& w = *m_world;
    QStringList messages;
    for (int i = w.messagesMark; i < w.client->messages().size(); ++i)
        messages << w.client->messages().at(i).topic + ' ' + w.client->messages().at(i).payload;
    QStringList log = QString::fromUtf8(w.log).split('\n').filter(QRegularExpression("^(?!.*\"Ping\")"));
    log = log.mid(log.size() - 30);
    std::fputs(qPrintable(QStringLiteral("units printed:\n  %1\nthe client got:\n  %2\nthe daemon's log ends:\n  %3\n")
                              .arg(w.lines.mid(w.linesMark).join("\n  "), messages.join("\n  "), log.join("\n  "))),
               stderr);
    return false;
}

QTEST_GUILESS_MAIN(TestScenarios)
#include "tst_scenarios.moc"
