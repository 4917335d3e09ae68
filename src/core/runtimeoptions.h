#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>

// Overrides that let the daemon run without root and off the controller's
// field network. Every default is the controller's own value.
struct RuntimeOptions
{
    QString root = QStringLiteral("/");
    QHostAddress rondelAddress;   // default: Constants::RondelLocalAddress
    quint16 rondelPort;           // default: Constants::RondelPort
    QString brokerHost = QStringLiteral("127.0.0.1");
    quint16 brokerPort;           // default: Constants::MqttBrokerPort

    RuntimeOptions();
};

// Result of parsing the command line.
struct RuntimeOptionsParseResult
{
    enum class Action { Run, ShowHelp, ShowVersion, CheckConfig, Error };
    Action action = Action::Run;
    RuntimeOptions options;
    QString text; // help text, version line or error message
    // The file to check; empty for the configuration file under --root.
    QString checkConfigFile;
};

RuntimeOptionsParseResult parseRuntimeOptions(const QStringList& arguments);

// The options in force for this process (defaults until set).
const RuntimeOptions& runtimeOptions();
void setRuntimeOptions(const RuntimeOptions& options);

// An absolute system path under the configured root.
QString systemPath(const QString& absolutePath);
