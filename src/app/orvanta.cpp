#include "app/orvanta.h"

#include "core/runtimeoptions.h"
#include "core/sleep.h"
#include "app/servicenotifier.h"
#include "app/systemfiles.h"
#include "calls/autoconnectdialcall.h"
#include "calls/callhandler.h"
#include "calls/callqueue.h"
#include "calls/callterminator.h"
#include "calls/openezduringtalk.h"
#include "calls/pas.h"
#include "config/configloader.h"
#include "errors/errorevents.h"
#include "errors/errorlog.h"
#include "errors/loggers.h"
#include "mqtt/mqttpublisher.h"
#include "mqtt/mqttsubscriber.h"
#include "mqttapi/cleaners.h"
#include "mqttapi/listeners.h"
#include "mqttapi/reporters.h"
#include "notifiers/daynightmodenotifier.h"
#include "notifiers/displaypresencesnotifier.h"
#include "notifiers/lightsnotifier.h"
#include "notifiers/wardsconnectionnotifier.h"
#include "rondel/publicrondellistener.h"
#include "rondel/rondelmqttlogger.h"
#include "rondel/rondelserver.h"
#include "rondel/udpsocket.h"
#include "units/displays/display.h"
#include "units/features/presences.h"
#include "units/registry/units.h"
#include "units/registry/unitsfactory.h"
#include "units/registry/unitsinitializer.h"
#include "units/registry/unitsrepository.h"
#include "units/settings/backlightsettings.h"
#include "units/unit.h"
#include "units/settings/calllimitssettings.h"
#include "units/settings/languagesettings.h"
#include "units/settings/namedayssettings.h"
#include "units/settings/nvsettings.h"
#include "units/settings/radiossettings.h"
#include "synthesizer/synthesizer.h"
#include "wards/rooms.h"
#include "wards/wards.h"

#include <QDebug>
#include <QTimer>
#include <QUdpSocket>

#include <malloc.h>

Orvanta::Orvanta(QObject* parent)
    : QObject(parent)
{
}

void Orvanta::initialize()
{
    // 1. Every later line, including those of the constructors below, must
    //    pass through the one handler.
    qInstallMessageHandler(errorLogMessageHandler);

    // 2. Installation-wide settings with their built-in defaults.
    m_backlightSettings = new BacklightSettings(this);
    m_callLimitsSettings = new CallLimitsSettings(this);
    m_languageSettings = new LanguageSettings(this);
    m_namedaysSettings = new NamedaysSettings(this);
    m_nvSettings = new NVSettings(this);
    m_radiosSettings = new RadiosSettings(this);

    // 3. The two broker connections; they connect in start().
    const RuntimeOptions& options = runtimeOptions();
    m_mqttPublisher = new MqttPublisher(options.brokerHost, options.brokerPort, this);
    m_mqttSubscriber = new MqttSubscriber(options.brokerHost, options.brokerPort, this);

    // 4. Loggers: console for every level, "core/error" for critical,
    //    syslog for critical then warning.
    m_consoleLogger = new ConsoleLogger(this);
    m_mqttErrorLogger = new MqttErrorLogger(m_mqttPublisher, this);
    m_syslogLogger = new SyslogLogger(this);
    ErrorLog::instance()->addLogger(m_consoleLogger);
    ErrorLog::instance()->addLogger(m_mqttErrorLogger, ErrorLog::Critical);
    ErrorLog::instance()->addLogger(m_syslogLogger, ErrorLog::Critical);
    ErrorLog::instance()->addLogger(m_syslogLogger, ErrorLog::Warning);

    // 5. The field bus. The socket is bound in start(); until then nothing
    //    is sent or received.
    m_rondelSocket = new QUdpSocket(this);
    auto* udpSocket = new UdpSocket(m_rondelSocket, this);
    m_rondelMqttLogger = new RondelMqttLogger(m_mqttPublisher, this);
    m_publicRondelListener = new PublicRondelListener(this);
    m_rondelServer =
        new RondelServer(m_rondelMqttLogger, m_publicRondelListener, udpSocket, this);

    // 6. Wards before rooms: a room is placed in its ward while loading.
    m_wards = new Wards(this);
    m_rooms = new Rooms(m_wards, this);
    m_unitsFactory = new UnitsFactory(m_languageSettings, m_namedaysSettings, m_nvSettings,
                                      m_radiosSettings, this);
    m_unitsRepository = new UnitsRepository(this);
    m_unitsInitializer = new UnitsInitializer(m_unitsRepository, this);
    m_units = new Units(m_unitsFactory, m_unitsInitializer, m_rondelServer, m_unitsRepository,
                        m_rooms, m_wards, this);

    // 7. Connection 1: an address that talks without a unit object behind
    //    it is either misconfigured or a unit nobody configured yet.
    connect(m_publicRondelListener, &PublicRondelListener::receivedCommand, m_units,
            &Units::commandFromUnlistenedAddress);

    // 8. The queue of every live call, the PA ports, the synthesizer.
    m_callQueue = new CallQueue(this);
    auto* pas = new PAs(this);
    m_synthesizer = new Synthesizer(this);

    // 9. Connections 2 and 3: the message assembly service hears of every
    //    synthesized message that starts or stops.
    auto* synthesizerReporter = new SynthesizerMqttReporter(m_callLimitsSettings, m_languageSettings,
                                                            m_mqttPublisher, this);
    connect(m_synthesizer, &Synthesizer::messageStarted, synthesizerReporter,
            &SynthesizerMqttReporter::reportStarted);
    connect(m_synthesizer, &Synthesizer::messageStoped, synthesizerReporter,
            &SynthesizerMqttReporter::reportStopped);

    // 10. Connection 4: every change of a queued call is published, and a
    //     finished one goes into the history as well.
    auto* callQueueReporter = new CallQueueMqttReporter(m_mqttPublisher, this);
    auto* callHistoryReporter = new CallHistoryMqttReporter(m_mqttPublisher, this);
    connect(m_callQueue, &CallQueue::callChanged, this, [=](const Call& call) {
        callQueueReporter->report(call);
        if (call.isFinished())
            callHistoryReporter->report(call);
    });
    m_callQueueCleaner = new CallQueueMqttCleaner(
        [queue = m_callQueue](qint64 id) { return queue->contains(id); }, callQueueReporter,
        m_mqttSubscriber, this);

    // 11. The commands from the broker; they subscribe once the units are
    //     initialised.
    m_callTerminateListener = new CallTerminateMqttListener(
        [queue = m_callQueue](qint64 id) { return queue->get(id); }, m_mqttSubscriber, this);
    m_configChangedListener = new ConfigChangedMqttListener(m_mqttSubscriber, this);
    m_unitScannerListener = new UnitScannerMqttListener(m_mqttSubscriber, this);

    // 12. The unit topics, each reporter connected as soon as it exists
    //     (connections 5 to 8), and the cleaners that follow the registry.
    auto* basicInfoReporter = new BasicInfoMqttReporter(m_mqttPublisher, this);
    connect(m_units, &Units::basicInfoUpdated, basicInfoReporter, &BasicInfoMqttReporter::report);
    m_basicInfoCleaner = new BasicInfoMqttCleaner(basicInfoReporter, m_mqttSubscriber, m_units, this);
    auto* btVersionReporter = new BTVersionMqttReporter(m_mqttPublisher, this);
    connect(m_units, &Units::btUpdated, btVersionReporter,
            [btVersionReporter](Unit*, const BT& bt) { btVersionReporter->report(bt); });
    m_connectionsReporter = new ConnectionsMqttReporter(m_mqttPublisher, this);
    m_connectionsCleaner =
        new ConnectionsMqttCleaner(m_connectionsReporter, m_mqttSubscriber, m_units, this);
    auto* pmbInfoReporter = new PMBInfoMqttReporter(m_mqttPublisher, this);
    connect(m_units, &Units::pmbInfoCleared, pmbInfoReporter, &PMBInfoMqttReporter::reportCleared);
    connect(m_units, &Units::pmbInfoUpdated, pmbInfoReporter, &PMBInfoMqttReporter::report);
    m_pmbInfoCleaner = new PMBInfoMqttCleaner(pmbInfoReporter, m_mqttSubscriber, m_units, this);
    m_unitStatusReporter = new UnitStatusMqttReporter(m_mqttPublisher, m_units, this);
    m_unitStatusCleaner =
        new UnitStatusMqttCleaner(m_unitStatusReporter, m_mqttSubscriber, m_units, this);

    // 13. The call handler and the policies that act on calls through it.
    m_callHandler =
        new CallHandler(m_callQueue, m_unitsRepository, pas, m_synthesizer, &m_talkVolumes, this);
    m_autoConnectDialCall = new AutoConnectDialCall(m_callHandler, m_callQueue, this);
    m_callTerminator = new CallTerminator(m_callHandler, m_callLimitsSettings, m_callQueue, this);

    // 14. Error events, published as they start and end.
    m_errorEvents = new ErrorEvents(this);
    m_errorHistoryReporter = new ErrorHistoryMqttReporter(m_errorEvents, m_mqttPublisher, this);

    // 15. Connection 9: a unit out of reach holds no presence and no talk.
    connect(m_units, &Units::lostCommunication, this, [this](Unit* unit) {
        unit->presences()->applyStatus(PresenceStatus());
        endCallsOfUnits({unit}, EndType::LostCommunication);
    });
    // Connections 10 to 18: calls and talk requests of the units.
    connect(m_units, &Units::stateRestored, m_callHandler,
            [this](Unit* unit) { m_callHandler->deliverPendingCalls(unit); });
    connect(m_units, &Units::callNew, m_callHandler, &CallHandler::newCall);
    connect(m_units, &Units::callReplaced, m_callHandler, &CallHandler::replaceCall);
    connect(m_units, &Units::callMuted, m_callHandler, &CallHandler::muteCall);
    connect(m_units, &Units::callCanceled, m_callHandler,
            [this](const Call& call) { m_callHandler->endCallOrTalk(call, EndType::Canceled); });
    connect(m_units, &Units::requestAnswareCall, m_callHandler,
            &CallHandler::answerIncomingCall);
    connect(m_units, &Units::requestEndIncomingTalk, m_callHandler,
            &CallHandler::endIncomingTalk);
    connect(m_units, &Units::requestEndOutgoingTalk, m_callHandler,
            &CallHandler::endOutgoingTalk);
    connect(m_callTerminateListener, &CallTerminateMqttListener::terminateCall, m_callHandler,
            [this](const Call& call) { m_callHandler->endCallOrTalk(call, EndType::ManuallyRemoved); });
    // Connection 19: an address the network scanner saw may be a unit.
    connect(m_unitScannerListener, &UnitScannerMqttListener::discoveredUnit, m_units,
            &Units::unitDiscovered);
    // Connection 20: the door at the other end of a talk.
    auto* openEZDuringTalk = new OpenEZDuringTalk(m_callQueue, this);
    connect(m_units, &Units::requestOpenEZ, openEZDuringTalk,
            [openEZDuringTalk](Unit* unit) { openEZDuringTalk->openEZ(unit); });
    // Connections 21 and 22.
    connect(m_units, &Units::requestConnectWard, m_wards,
            qOverload<const QString&>(&Wards::connectWard));
    connect(m_units, &Units::requestDisconnectWard, m_wards,
            qOverload<const QString&>(&Wards::disconnectWard));
    // Connection 23: the broker's commands are taken only now that the
    // units are known, and a reload announced meanwhile runs once.
    connect(m_unitsInitializer, &UnitsInitializer::unitsInitialized, this, [this] {
        m_callQueueCleaner->start();
        m_callTerminateListener->start();
        m_configChangedListener->start();
        m_unitScannerListener->start();
        m_connectionsReporter->reportAll(m_unitsRepository->configuredUnits());
        // The start-up burst (every unit's state read, shown and reported)
        // leaves the C library holding far more freed heap than the idle
        // core ever needs again; hand it back once the burst has drained.
        QTimer::singleShot(BurstReleaseDelay, this, [] { malloc_trim(0); });
        if (m_pendingReload) {
            m_pendingReload = false;
            m_configLoader->reload();
        }
    });
    // Connection 24: a unit that came late takes the calls waiting for it,
    // then shows what is plugged into it.
    connect(m_unitsInitializer, &UnitsInitializer::unitInitializedLate, m_callHandler,
            [this](Unit* unit) { m_callHandler->deliverPendingCalls(unit); });
    connect(m_unitsInitializer, &UnitsInitializer::unitInitializedLate, m_connectionsReporter,
            &ConnectionsMqttReporter::report);
    // Connection 25.
    connect(m_units, &Units::rondelErrorChanged, m_errorEvents,
            qOverload<const Unit*>(&ErrorEvents::onUnitErrorChanged));

    // Connection 26.
    connect(m_units, &Units::connectionChanged, m_connectionsReporter,
            &ConnectionsMqttReporter::report);

    // Connections 27 to 30: presences end the calls they answer and change
    // what the unit receives.
    connect(m_units, &Units::registeredPP, m_callHandler,
            [this](Unit* unit) { m_callHandler->presenceRegisteredPP(unit); });
    connect(m_units, &Units::unregisteredPP, m_callHandler,
            [this](Unit* unit) { m_callHandler->presenceUnregistered(unit); });
    connect(m_units, &Units::registeredPS, m_callHandler,
            [this](Unit* unit) { m_callHandler->presenceRegisteredPS(unit); });
    connect(m_units, &Units::unregisteredPS, m_callHandler,
            [this](Unit* unit) { m_callHandler->presenceUnregistered(unit); });

    //     Connections 31 and 32: calls follow the wards' connection; every
    //     change of a ward's connection or mode is written at once, so a
    //     restart brings it back.
    connect(m_wards, &Wards::connectionChanged, this, [this](const QVector<Ward*>& wards) {
        m_callHandler->wardsConnectionChanged(wards);
        savePersistentSettings();
    });
    connect(m_wards, &Wards::dayNightModeChanged, this,
            [this](const QVector<Ward*>&) { savePersistentSettings(); });

    // 16. The notifiers push ward, presence and light state to the units.
    m_dayNightModeNotifier =
        new DayNightModeNotifier(m_backlightSettings, m_units, m_wards, this);
    m_displayPresencesNotifier = new DisplayPresencesNotifier(m_units, m_wards, this);
    m_lightsNotifier = new LightsNotifier(m_rooms, m_units, m_wards, this);
    m_wardsConnectionNotifier = new WardsConnectionNotifier(m_units, m_wards, this);

    // 17. The configuration loader and the objects it fills.
    m_configLoader = new ConfigLoader(this);
    m_configLoader->setBacklight(m_backlightSettings);
    m_configLoader->setCallLimits(m_callLimitsSettings);
    m_configLoader->setLanguage(m_languageSettings);
    m_configLoader->setRooms(m_rooms);
    m_configLoader->setSynthesizer(m_synthesizer);
    m_configLoader->setTalkVolumes(&m_talkVolumes);
    m_configLoader->setUnits(m_units);
    m_configLoader->setWards(m_wards);
    m_configLoader->setNamedays(m_namedaysSettings);
    m_configLoader->setNV(m_nvSettings);
    m_configLoader->setRadios(m_radiosSettings);

    // 18. Connection 33: a new configuration is read at once, unless the
    //     units are still being initialised; then connection 23 reads it.
    connect(m_configChangedListener, &ConfigChangedMqttListener::configChanged, this, [this] {
        if (m_unitsInitializer->isFinished())
            m_configLoader->reload();
        else
            m_pendingReload = true;
    });
    //     Connection 34: the reaction to a reloaded configuration.
    connect(m_configLoader, &ConfigLoader::reloadDone, this, &Orvanta::reloadDone);

    // 19. Configuration.
    m_configLoader->load();

    // 20. Name days of the configured language.
    m_namedaysSettings->load(m_languageSettings->languageString());

    // 21. Persistent ward state, then what the message assembly offers.
    loadPersistentSettings();
    loadAssemblemsgConfig();

    // The service manager hears from the loop from now on; READY waits
    // for the field bus.
    m_serviceNotifier = new ServiceNotifier(this);

    // 22. The rest runs from the event loop.
    QTimer::singleShot(0, this, &Orvanta::start);
}

void Orvanta::start()
{
    qDebug() << "== Starting ...";
    m_mqttPublisher->connectToHost();
    m_mqttSubscriber->connectToHost();
    if (!bindRondelSocket())
        return; // asked to quit while waiting for the address
    qDebug() << "Rondel socket bind OK.";
    m_serviceNotifier->notifyReady();
    qDebug() << "Units initialisation ...";
    m_unitsInitializer->start();
}

bool Orvanta::bindRondelSocket()
{
    const RuntimeOptions& options = runtimeOptions();
    if (m_rondelSocket->bind(options.rondelAddress, options.rondelPort))
        return true;
    // One line only: the address may take minutes to appear on the field
    // network, and the log must not fill up meanwhile.
    qCritical() << "Rondel socket bind Failed!";
    if (m_rondelSocket->bind(options.rondelAddress, options.rondelPort))
        return true;
    do {
        // A SIGTERM while waiting quits the application loop; the wait then
        // returns at once and must not be retried, or the loop would spin.
        if (!sleep(1000))
            return false;
    } while (!m_rondelSocket->bind(options.rondelAddress, options.rondelPort));
    return true;
}

void Orvanta::loadPersistentSettings()
{
    ::loadPersistentSettings(m_wards);
}

void Orvanta::savePersistentSettings()
{
    ::savePersistentSettings(m_wards);
}

void Orvanta::loadAssemblemsgConfig()
{
    ::loadAssemblemsgConfig(m_synthesizer, m_languageSettings);
}

void Orvanta::reloadDone()
{
    if (m_configLoader->languageChanged() || m_configLoader->synthesizerChanged())
        loadAssemblemsgConfig();

    endCallsOfUnits(m_units->removalCandidates(), EndType::UnitDeleted);
    m_units->removeUnits();

    // Replaced rooms and wards go once every holder has moved on; units
    // take their new rooms before this point.
    m_rooms->deleteOldRooms();
    m_wards->deleteOldWards();

    endCallsOfUnits(m_units->restartList(), EndType::ConfigChanged);
    m_units->restartUnits();

    if (m_configLoader->languageChanged()) {
        m_namedaysSettings->load(m_languageSettings->languageString());
        for (Unit* unit : m_unitsRepository->configuredUnits())
            unit->display()->sendLanguage();
    }
    if (m_configLoader->backlightChanged())
        m_dayNightModeNotifier->updateAllWards();

    // Rooms, wards and units may all have moved: everything the notifiers
    // derive from them is worked out afresh.
    m_displayPresencesNotifier->rebuild();
    m_wardsConnectionNotifier->updateAllWards();
    m_lightsNotifier->updateAllRooms();

    // Units the reload added are read now, as at start-up.
    m_unitsInitializer->reinitialise();
}

void Orvanta::endCallsOfUnits(const QVector<Unit*>& units, EndType endType)
{
    for (Unit* unit : units)
        m_callHandler->unitGone(unit, endType);
}
