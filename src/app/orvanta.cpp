#include "app/orvanta.h"

#include "app/runtimeoptions.h"
#include "app/sleep.h"
#include "config/configloader.h"
#include "errors/errorlog.h"
#include "errors/loggers.h"
#include "rondel/publicrondellistener.h"
#include "rondel/rondellogger.h"
#include "rondel/rondelserver.h"
#include "rondel/udpsocket.h"
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

    // 4. Loggers: console for every level, syslog for critical then warning.
    m_consoleLogger = new ConsoleLogger(this);
    m_syslogLogger = new SyslogLogger(this);
    ErrorLog::instance()->addLogger(m_consoleLogger);
    ErrorLog::instance()->addLogger(m_syslogLogger, ErrorLog::Critical);
    ErrorLog::instance()->addLogger(m_syslogLogger, ErrorLog::Warning);

    // 5. The field bus. The socket is bound in start(); until then nothing
    //    is sent or received.
    m_rondelSocket = new QUdpSocket(this);
    auto* udpSocket = new UdpSocket(m_rondelSocket, this);
    // Plain traffic observer until the MQTT mirror of the bus is wired in.
    auto* rondelLogger = new RondelLogger(this);
    m_publicRondelListener = new PublicRondelListener(this);
    m_rondelServer = new RondelServer(rondelLogger, m_publicRondelListener, udpSocket, this);

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
