// Broker messages into the three command listeners, wired to what they act
// on: the call handler and queue (terminate), the configuration loader
// (settings/updated) and the unit registry (scannerAnswers), with the
// reporters that publish the answers. Two calls ring from the start.
//
// Input: messages as fuzzmqtt.h describes, "topic\0payload" each, separated
// by 0xFF. In a topic, "$1" and "$2" stand for the ids of the two calls,
// which differ from run to run.
//
// Beyond not crashing: everything published in answer is valid JSON or a
// removal; a scanner payload that is not a JSON object changes nothing; a
// terminate ends exactly the queued call its topic names, and nothing else
// ends any call; a reload of the unchanged file keeps every unit; no unit
// ever has an address other than IPv4.

#include "fuzzinstallation.h"
#include "fuzzmqtt.h"
#include "fuzzsupport.h"

#include "calls/callhandler.h"
#include "calls/callqueue.h"
#include "calls/pas.h"
#include "core/constants.h"
#include "mqttapi/listeners.h"
#include "mqttapi/reporters.h"
#include "rondel/publicrondellistener.h"
#include "rondel/rondelserver.h"
#include "units/registry/units.h"
#include "units/registry/unitsfactory.h"
#include "units/registry/unitsinitializer.h"
#include "units/registry/unitsrepository.h"
#include "units/unit.h"

#include <QCoreApplication>

#include <algorithm>
#include <memory>

namespace {

// Two rooms of one ward: a bed unit and a corridor unit call, the nurses'
// unit takes their calls.
const char Configuration[] = R"({"wards":[{"_id":"w1","name":"Interna","group":"A"}],
"rooms":[{"_id":"r1","name":"Room 1","number":1,"ward":"w1"},{"_id":"r2","name":"Nurses","number":2,"ward":"w1"}],
"units":[{"_id":"10.10.0.11","type":"Tolva","room":"r1","bed":1},{"_id":"10.10.0.12","type":"Brisa","room":"r1","bed":0},
{"_id":"10.10.0.13","type":"Pardo","room":"r2","bed":0,"presences":{"pp":true,"ps":true,"pl":false}}]})";

// What the listeners act on. Building it costs more than the rest of an
// input, and many inputs never reach it: it is built when a listener acts.
struct World : ConfiguredInstallation
{
    World()
    {
        RondelTimings timings;
        timings.keepAliveStartSpread = 0; // no timer object per unit
        server.setTimings(timings);
        loader.setUnits(&units);
        QObject::connect(&queue, &CallQueue::callChanged, &queue, [this](const Call& call) {
            queueReporter.report(call);
            if (call.isFinished())
                historyReporter.report(call);
        });
        QObject::connect(&loader, &ConfigLoader::reloadDone, &loader, [this] {
            units.removeUnits();
            rooms.deleteOldRooms();
            wards.deleteOldWards();
            units.restartUnits();
        });

        loader.load();
        initializer.finish();
        for (Unit* unit : repository.configuredUnits()) {
            if (unit->type() != Unit::PardoType)
                handler.newCall(Call(CallType::VS, QStringLiteral("VS"), unit));
        }
        initialCalls = queuedIds(queue);
        configuredUnits = repository.configuredUnits().size();
        Fuzz::check(initialCalls.size() == 2, "the calls of the set-up are not queued");
        // Unit states are published from here on: those of the set-up are
        // the same for every input and would only cost time.
        statusReporter = std::make_unique<UnitStatusMqttReporter>(Fuzz::recordingPublisher(), &units);
    }

    static QList<qint64> queuedIds(const CallQueue& queue)
    {
        QList<qint64> ids;
        for (const Call& call : queue.calls())
            ids.append(call.id());
        std::sort(ids.begin(), ids.end());
        return ids;
    }

    PublicRondelListener publicListener;
    RondelServer server{nullptr, &publicListener, nullptr};
    UnitsFactory factory{&language, &namedays, &nv, &radios};
    UnitsRepository repository;
    UnitsInitializer initializer{&repository};
    Units units{&factory, &initializer, &server, &repository, &rooms, &wards};
    CallQueue queue;
    PAs pas;
    CallHandler handler{&queue, &repository, &pas, &synthesizer, &talkVolumes};
    CallQueueMqttReporter queueReporter{Fuzz::recordingPublisher()};
    CallHistoryMqttReporter historyReporter{Fuzz::recordingPublisher()};
    std::unique_ptr<UnitStatusMqttReporter> statusReporter;
    QList<qint64> initialCalls;
    int configuredUnits = 0;
};

// The three listeners, wired as the application wires them.
struct Listeners
{
    Listeners()
    {
        QObject::connect(&terminate, &CallTerminateMqttListener::terminateCall, &terminate,
                         [this](const Call& call) { world().handler.endCallOrTalk(call, EndType::ManuallyRemoved); });
        QObject::connect(&scanner, &UnitScannerMqttListener::discoveredUnit, &scanner, [this](const QHostAddress& ip) {
            Fuzz::check(ip.protocol() == QAbstractSocket::IPv4Protocol, "a scanned address that is not IPv4");
            world().units.unitDiscovered(ip);
        });
        QObject::connect(&configChanged, &ConfigChangedMqttListener::configChanged, &configChanged,
                         [this] { world().loader.reload(); });
    }

    World& world()
    {
        if (!built)
            built = std::make_unique<World>();
        return *built;
    }

    void hear(const MqttMessage& message)
    {
        terminate.onMessage(message);
        configChanged.onMessage(message);
        scanner.onMessage(message);
    }

    std::unique_ptr<World> built;
    CallTerminateMqttListener terminate{[this](qint64 id) { return world().queue.get(id); }, nullptr};
    ConfigChangedMqttListener configChanged{nullptr};
    UnitScannerMqttListener scanner{nullptr};
};

} // namespace

void fuzzOne(const uint8_t* data, size_t size)
{
    static const bool configured = (Fuzz::writeSystemFile(Constants::ConfigFile, Configuration), true);
    Q_UNUSED(configured)
    Listeners listeners;
    for (MqttMessage message : Fuzz::mqttMessages(data, size, false, 16)) {
        if (message.topic.contains(QLatin1String("$1")) || message.topic.contains(QLatin1String("$2"))) {
            const QList<qint64>& ids = listeners.world().initialCalls;
            message.topic.replace(QLatin1String("$1"), QString::number(ids[0]))
                .replace(QLatin1String("$2"), QString::number(ids[1]));
        }
        const bool existed = bool(listeners.built);
        QList<qint64> expected = existed ? World::queuedIds(listeners.built->queue) : QList<qint64>();
        Fuzz::published().clear();
        listeners.hear(message);
        QCoreApplication::sendPostedEvents(); // the unit states, published after each pass

        for (const MqttMessage& answer : qAsConst(Fuzz::published())) {
            Fuzz::check(answer.payload.isEmpty() || Fuzz::isJsonObject(answer.payload),
                        "the core published a payload that is not a JSON object");
        }
        if (message.topic == QLatin1String("scannerAnswers") && !Fuzz::isJsonObject(message.payload))
            Fuzz::check(Fuzz::published().isEmpty(), "a scanner payload that is not JSON changed something");
        if (!listeners.built)
            continue;
        const World& world = *listeners.built;
        if (message.topic == QLatin1String("settings/updated"))
            Fuzz::check(world.repository.configuredUnits().size() == world.configuredUnits,
                        "a reload of the same configuration changed the units");
        if (!existed)
            expected = world.initialCalls;
        for (const qint64 id : world.initialCalls) {
            if (message.topic == QStringLiteral("call/%1/terminate").arg(id))
                expected.removeOne(id);
        }
        Fuzz::check(World::queuedIds(world.queue) == expected,
                    "a message ended a call other than the one its terminate named");
        Fuzz::flushDeferredDeletes();
    }
}
