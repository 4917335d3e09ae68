#pragma once

#include <QObject>

class BacklightSettings;
class CallLimitsSettings;
class ConfigLoader;
class ConsoleLogger;
class LanguageSettings;
class PublicRondelListener;
class RondelServer;
class QUdpSocket;
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
    RondelServer* rondelServer() const { return m_rondelServer; }
    PublicRondelListener* publicRondelListener() const { return m_publicRondelListener; }
    ConfigLoader* configLoader() const { return m_configLoader; }

private:
    void bindRondelSocket();

    bool m_pendingReload = false;

    BacklightSettings* m_backlightSettings = nullptr;
    CallLimitsSettings* m_callLimitsSettings = nullptr;
    LanguageSettings* m_languageSettings = nullptr;
    ConsoleLogger* m_consoleLogger = nullptr;
    SyslogLogger* m_syslogLogger = nullptr;
    QUdpSocket* m_rondelSocket = nullptr;
    PublicRondelListener* m_publicRondelListener = nullptr;
    RondelServer* m_rondelServer = nullptr;
    ConfigLoader* m_configLoader = nullptr;
};
