#pragma once

#include <QObject>

class BacklightSettings;
class CallLimitsSettings;
class ConfigLoader;
class ConsoleLogger;
class ErrorEvents;
class LanguageSettings;
class MqttErrorLogger;
class MqttPublisher;
class MqttSubscriber;
class QUdpSocket;
class RondelMqttLogger;
class SyslogLogger;

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

    QUdpSocket* rondelSocket() const { return m_rondelSocket; }
    ConfigLoader* configLoader() const { return m_configLoader; }
    MqttPublisher* mqttPublisher() const { return m_mqttPublisher; }
    MqttSubscriber* mqttSubscriber() const { return m_mqttSubscriber; }
    ErrorEvents* errorEvents() const { return m_errorEvents; }
    RondelMqttLogger* rondelMqttLogger() const { return m_rondelMqttLogger; }

private:
    void bindRondelSocket();

    bool m_pendingReload = false;

    BacklightSettings* m_backlightSettings = nullptr;
    CallLimitsSettings* m_callLimitsSettings = nullptr;
    LanguageSettings* m_languageSettings = nullptr;
    MqttPublisher* m_mqttPublisher = nullptr;
    MqttSubscriber* m_mqttSubscriber = nullptr;
    ConsoleLogger* m_consoleLogger = nullptr;
    MqttErrorLogger* m_mqttErrorLogger = nullptr;
    SyslogLogger* m_syslogLogger = nullptr;
    QUdpSocket* m_rondelSocket = nullptr;
    RondelMqttLogger* m_rondelMqttLogger = nullptr;
    ErrorEvents* m_errorEvents = nullptr;
    ConfigLoader* m_configLoader = nullptr;
};
