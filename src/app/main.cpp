#include "core/clock.h"
#include "core/constants.h"
#include "app/orvanta.h"
#include "core/runtimeoptions.h"
#include "app/shutdownsignals.h"
#include "config/configchecker.h"

#include <QCoreApplication>
#include <QTextCodec>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(Constants::OrganisationName);
    QCoreApplication::setOrganizationDomain(Constants::OrganisationDomain);
    QCoreApplication::setApplicationName(Constants::ApplicationName);
    QCoreApplication::setApplicationVersion(Constants::ApplicationVersion);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));

    const RuntimeOptionsParseResult parsed = parseRuntimeOptions(QCoreApplication::arguments());
    switch (parsed.action) {
    case RuntimeOptionsParseResult::Action::Error:
        std::fprintf(stderr, "orvantacore: %s\nTry 'orvantacore --help'.\n",
                     qPrintable(parsed.text));
        return 2;
    case RuntimeOptionsParseResult::Action::ShowHelp:
    case RuntimeOptionsParseResult::Action::ShowVersion:
        std::fputs(qPrintable(parsed.text), stdout);
        return 0;
    case RuntimeOptionsParseResult::Action::CheckConfig:
        setRuntimeOptions(parsed.options);
        return ConfigChecker::run(parsed.checkConfigFile);
    case RuntimeOptionsParseResult::Action::Run:
        break;
    }
    setRuntimeOptions(parsed.options);

    Clock::pinLocalTimeZone();
    QTimer timeZoneRefresh;
    QObject::connect(&timeZoneRefresh, &QTimer::timeout, &Clock::refreshLocalTimeZone);
    timeZoneRefresh.start(Clock::TimeZoneRefreshInterval);

    ShutdownSignals shutdownSignals;
    QObject::connect(&shutdownSignals, &ShutdownSignals::shutdownRequested, &app,
                     &QCoreApplication::quit);

    int exitCode = 0;
    {
        Orvanta orvanta;
        orvanta.initialize();
        exitCode = app.exec();
    }
    return exitCode;
}
