#pragma once

#include "calls/callenums.h"
#include "calls/talkvolumes.h"

#include <QObject>
#include <QVector>

class AutoConnectDialCall;
class BacklightSettings;
class BasicInfoMqttCleaner;
class CallHandler;
class CallQueue;
class CallQueueMqttCleaner;
class CallTerminateMqttListener;
class ConfigChangedMqttListener;
class ConnectionsMqttCleaner;
class ConnectionsMqttReporter;
class ErrorHistoryMqttReporter;
class PMBInfoMqttCleaner;
class UnitScannerMqttListener;
class UnitStatusMqttCleaner;
class UnitStatusMqttReporter;
class CallLimitsSettings;
class CallTerminator;
class ConfigLoader;
class ConsoleLogger;
class DayNightModeNotifier;
class DisplayPresencesNotifier;
class ErrorEvents;
class LanguageSettings;
class LightsNotifier;
class MqttErrorLogger;
class MqttPublisher;
class MqttSubscriber;
class NamedaysSettings;
class NVSettings;
class PublicRondelListener;
class QUdpSocket;
class RadiosSettings;
class RondelMqttLogger;
class RondelServer;
class ServiceNotifier;
class Rooms;
class Synthesizer;
class Unit;
class Units;
class UnitsFactory;
class UnitsInitializer;
class UnitsRepository;
class SyslogLogger;
class Wards;
class WardsConnectionNotifier;

// The application object: creates every long-lived object in a fixed order
// as its child, wires the signals that cross subsystem borders, loads the
// configuration and, from the event loop, brings the field bus up.
class Orvanta : public QObject
{
    Q_OBJECT
public:
    explicit Orvanta(QObject* parent = nullptr);

    // Builds, connects and loads everything; queues start(). Called once.
    void initialize();

    // Runs from the event loop right after it starts.
    void start();

    // The wards' connection and day/night mode, kept across restarts.
    void loadPersistentSettings();
    void savePersistentSettings();
    // Tells the synthesizer which languages the message assembly offers.
    void loadAssemblemsgConfig();

    QUdpSocket* rondelSocket() const { return m_rondelSocket; }
    RondelServer* rondelServer() const { return m_rondelServer; }
    PublicRondelListener* publicRondelListener() const { return m_publicRondelListener; }
    ConfigLoader* configLoader() const { return m_configLoader; }
    MqttPublisher* mqttPublisher() const { return m_mqttPublisher; }
    MqttSubscriber* mqttSubscriber() const { return m_mqttSubscriber; }
    ErrorEvents* errorEvents() const { return m_errorEvents; }
    RondelMqttLogger* rondelMqttLogger() const { return m_rondelMqttLogger; }
    Wards* wards() const { return m_wards; }
    Rooms* rooms() const { return m_rooms; }
    Synthesizer* synthesizer() const { return m_synthesizer; }
    Units* units() const { return m_units; }
    UnitsFactory* unitsFactory() const { return m_unitsFactory; }
    UnitsInitializer* unitsInitializer() const { return m_unitsInitializer; }
    UnitsRepository* unitsRepository() const { return m_unitsRepository; }
    CallQueue* callQueue() const { return m_callQueue; }
    CallHandler* callHandler() const { return m_callHandler; }
    LightsNotifier* lightsNotifier() const { return m_lightsNotifier; }
    AutoConnectDialCall* autoConnectDialCall() const { return m_autoConnectDialCall; }
    ConfigChangedMqttListener* configChangedListener() const { return m_configChangedListener; }

private:
    // False when the application quit before the address became bindable.
    bool bindRondelSocket();
    void reloadDone();
    // Ends the calls and talks of units that are lost, deleted or must start
    // over.
    void endCallsOfUnits(const QVector<Unit*>& units, EndType endType);

    bool m_pendingReload = false;
    // From the end of the start-up until its freed heap is returned to the
    // system: the reports and screens it triggers take a few seconds.
    static constexpr int BurstReleaseDelay = 15000;
    TalkVolumes m_talkVolumes;

    BacklightSettings* m_backlightSettings = nullptr;
    CallLimitsSettings* m_callLimitsSettings = nullptr;
    LanguageSettings* m_languageSettings = nullptr;
    MqttPublisher* m_mqttPublisher = nullptr;
    MqttSubscriber* m_mqttSubscriber = nullptr;
    NamedaysSettings* m_namedaysSettings = nullptr;
    NVSettings* m_nvSettings = nullptr;
    RadiosSettings* m_radiosSettings = nullptr;
    Wards* m_wards = nullptr;
    Rooms* m_rooms = nullptr;
    Synthesizer* m_synthesizer = nullptr;
    UnitsFactory* m_unitsFactory = nullptr;
    UnitsRepository* m_unitsRepository = nullptr;
    UnitsInitializer* m_unitsInitializer = nullptr;
    Units* m_units = nullptr;
    CallQueue* m_callQueue = nullptr;
    CallHandler* m_callHandler = nullptr;
    ConsoleLogger* m_consoleLogger = nullptr;
    MqttErrorLogger* m_mqttErrorLogger = nullptr;
    SyslogLogger* m_syslogLogger = nullptr;
    QUdpSocket* m_rondelSocket = nullptr;
    RondelMqttLogger* m_rondelMqttLogger = nullptr;
    ErrorEvents* m_errorEvents = nullptr;
    PublicRondelListener* m_publicRondelListener = nullptr;
    RondelServer* m_rondelServer = nullptr;
    ConfigLoader* m_configLoader = nullptr;
    CallQueueMqttCleaner* m_callQueueCleaner = nullptr;
    CallTerminateMqttListener* m_callTerminateListener = nullptr;
    ConfigChangedMqttListener* m_configChangedListener = nullptr;
    UnitScannerMqttListener* m_unitScannerListener = nullptr;
    ConnectionsMqttReporter* m_connectionsReporter = nullptr;
    ErrorHistoryMqttReporter* m_errorHistoryReporter = nullptr;
    UnitStatusMqttReporter* m_unitStatusReporter = nullptr;
    BasicInfoMqttCleaner* m_basicInfoCleaner = nullptr;
    ConnectionsMqttCleaner* m_connectionsCleaner = nullptr;
    PMBInfoMqttCleaner* m_pmbInfoCleaner = nullptr;
    UnitStatusMqttCleaner* m_unitStatusCleaner = nullptr;
    AutoConnectDialCall* m_autoConnectDialCall = nullptr;
    CallTerminator* m_callTerminator = nullptr;
    DayNightModeNotifier* m_dayNightModeNotifier = nullptr;
    DisplayPresencesNotifier* m_displayPresencesNotifier = nullptr;
    LightsNotifier* m_lightsNotifier = nullptr;
    WardsConnectionNotifier* m_wardsConnectionNotifier = nullptr;
    ServiceNotifier* m_serviceNotifier = nullptr;
};
