#include "app/orvanta.h"

#include "app/runtimeoptions.h"
#include "app/sleep.h"
#include "config/configloader.h"
#include "errors/errorevents.h"
#include "errors/errorlog.h"
#include "errors/loggers.h"
#include "mqtt/mqttpublisher.h"
#include "mqtt/mqttsubscriber.h"
#include "rondel/rondelmqttlogger.h"
#include "units/backlightsettings.h"
#include "units/calllimitssettings.h"
#include "units/languagesettings.h"

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

    // 5. The field bus.
    m_rondelSocket = new QUdpSocket(this);
    m_rondelMqttLogger = new RondelMqttLogger(m_mqttPublisher, this);

    // 14. Error events.
    m_errorEvents = new ErrorEvents(this);

    // 17. The configuration loader and the objects it fills.
    m_configLoader = new ConfigLoader(this);
    m_configLoader->setBacklight(m_backlightSettings);
    m_configLoader->setCallLimits(m_callLimitsSettings);
    m_configLoader->setLanguage(m_languageSettings);

    // 19. Configuration.
    m_configLoader->load();

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
    while (!m_rondelSocket->bind(options.rondelAddress, options.rondelPort))
        sleep(1000);
}
