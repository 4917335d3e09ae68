#include "app/orvanta.h"

#include "core/runtimeoptions.h"
#include "core/sleep.h"
#include "app/systemfiles.h"
#include "calls/callhandler.h"
#include "calls/callqueue.h"
#include "calls/pas.h"
#include "config/configloader.h"
#include "errors/errorevents.h"
#include "errors/errorlog.h"
#include "errors/loggers.h"
#include "mqtt/mqttpublisher.h"
#include "mqtt/mqttsubscriber.h"
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

    // 13. The call handler.
    m_callHandler =
        new CallHandler(m_callQueue, m_unitsRepository, pas, m_synthesizer, &m_talkVolumes, this);

    // 14. Error events.
    m_errorEvents = new ErrorEvents(this);

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
    // Connections 21 and 22.
    connect(m_units, &Units::requestConnectWard, m_wards,
            qOverload<const QString&>(&Wards::connectWard));
    connect(m_units, &Units::requestDisconnectWard, m_wards,
            qOverload<const QString&>(&Wards::disconnectWard));
    // Connection 23: a reload announced during the start-up waited for it.
    connect(m_unitsInitializer, &UnitsInitializer::unitsInitialized, this, [this] {
        if (m_pendingReload) {
            m_pendingReload = false;
            m_configLoader->reload();
        }
    });
    // Connection 24: a unit that came late takes the calls waiting for it.
    connect(m_unitsInitializer, &UnitsInitializer::unitInitializedLate, m_callHandler,
            [this](Unit* unit) { m_callHandler->deliverPendingCalls(unit); });
    // Connection 25.
    connect(m_units, &Units::rondelErrorChanged, m_errorEvents,
            qOverload<const Unit*>(&ErrorEvents::onUnitErrorChanged));

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

    // 18. Connection 34: the reaction to a reloaded configuration.
    connect(m_configLoader, &ConfigLoader::reloadDone, this, &Orvanta::reloadDone);

    // 19. Configuration.
    m_configLoader->load();

    // 20. Name days of the configured language.
    m_namedaysSettings->load(m_languageSettings->languageString());

    // 21. Persistent ward state, then what the message assembly offers.
    loadPersistentSettings();
    loadAssemblemsgConfig();

    // 22. The rest runs from the event loop.
    QTimer::singleShot(0, this, &Orvanta::start);
}

void Orvanta::start()
{
    qDebug() << "== Starting ...";
    m_mqttPublisher->connectToHost();
    m_mqttSubscriber->connectToHost();
    bindRondelSocket();
    qDebug() << "Rondel socket bind OK.";
    qDebug() << "Units initialisation ...";
    m_unitsInitializer->start();
}

void Orvanta::bindRondelSocket()
{
    const RuntimeOptions& options = runtimeOptions();
    if (m_rondelSocket->bind(options.rondelAddress, options.rondelPort))
        return;
    // One line only: the address may take minutes to appear on the field
    // network, and the log must not fill up meanwhile.
    qCritical() << "Rondel socket bind Failed!";
    if (m_rondelSocket->bind(options.rondelAddress, options.rondelPort))
        return;
    do
        sleep(1000);
    while (!m_rondelSocket->bind(options.rondelAddress, options.rondelPort));
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

    // Units the reload added are read now, as at start-up.
    m_unitsInitializer->reinitialise();
}

void Orvanta::endCallsOfUnits(const QVector<Unit*>& units, EndType endType)
{
    for (Unit* unit : units)
        m_callHandler->unitGone(unit, endType);
}
