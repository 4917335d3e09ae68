#include "core/runtimeoptions.h"

#include "core/constants.h"

#include <QCommandLineParser>
#include <QDir>
#include <QRegularExpression>

RuntimeOptions::RuntimeOptions()
    : rondelAddress(Constants::RondelLocalAddress),
      rondelPort(Constants::RondelPort),
      brokerPort(Constants::MqttBrokerPort)
{
}

namespace {

RuntimeOptions& currentOptions()
{
    static RuntimeOptions options;
    return options;
}

bool parsePort(const QString& text, quint16* port)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value == 0 || value > 65535)
        return false;
    *port = static_cast<quint16>(value);
    return true;
}

RuntimeOptionsParseResult failure(const QString& message)
{
    RuntimeOptionsParseResult result;
    result.action = RuntimeOptionsParseResult::Action::Error;
    result.text = message;
    return result;
}

} // namespace

RuntimeOptionsParseResult parseRuntimeOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Central service of the nurse-call installation."));
    const QCommandLineOption rootOption(
        QStringLiteral("root"),
        QStringLiteral("Prefix for every system file path (default /)."),
        QStringLiteral("dir"));
    const QCommandLineOption addressOption(
        QStringLiteral("rondel-address"),
        QStringLiteral("IPv4 address the field-bus socket binds to (default %1).")
            .arg(Constants::RondelLocalAddress),
        QStringLiteral("addr"));
    const QCommandLineOption portOption(
        QStringLiteral("rondel-port"),
        QStringLiteral("UDP port of the field bus (default %1).").arg(Constants::RondelPort),
        QStringLiteral("port"));
    const QCommandLineOption brokerOption(
        QStringLiteral("broker"),
        QStringLiteral("MQTT broker as host:port (default 127.0.0.1:%1).")
            .arg(Constants::MqttBrokerPort),
        QStringLiteral("host:port"));
    const QCommandLineOption checkOption(
        QStringLiteral("check-config"),
        QStringLiteral("Check a configuration file (default: the one under --root), print "
                       "each finding and exit: 0 clean, 1 findings, 2 unreadable."));
    parser.addPositionalArgument(QStringLiteral("[file]"),
                                 QStringLiteral("The file --check-config checks."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    parser.addOptions({rootOption, addressOption, portOption, brokerOption, checkOption});

    if (!parser.parse(arguments))
        return failure(parser.errorText());
    const QStringList positional = parser.positionalArguments();
    const bool checking = parser.isSet(checkOption);
    if (positional.size() > (checking ? 1 : 0))
        return failure(QStringLiteral("Unexpected argument '%1'.")
                           .arg(positional.at(checking ? 1 : 0)));

    RuntimeOptionsParseResult result;
    if (parser.isSet(helpOption)) {
        result.action = RuntimeOptionsParseResult::Action::ShowHelp;
        result.text = parser.helpText();
        return result;
    }
    if (parser.isSet(versionOption)) {
        result.action = RuntimeOptionsParseResult::Action::ShowVersion;
        result.text = QStringLiteral("%1 %2\n").arg(Constants::ApplicationName,
                                                    Constants::ApplicationVersion);
        return result;
    }

    RuntimeOptions& options = result.options;
    if (parser.isSet(rootOption)) {
        const QString root = parser.value(rootOption);
        if (root.isEmpty() || !QDir(root).exists())
            return failure(QStringLiteral("--root: folder '%1' does not exist.").arg(root));
        options.root = QDir(root).absolutePath();
    }
    if (parser.isSet(addressOption)) {
        // Dotted quad only: the short forms inet_aton accepts ("10.1") would
        // silently bind to an address nobody meant.
        static const QRegularExpression dottedQuad(
            QStringLiteral("^\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}$"));
        const QString text = parser.value(addressOption);
        const QHostAddress address(text);
        if (!dottedQuad.match(text).hasMatch()
            || address.protocol() != QAbstractSocket::IPv4Protocol)
            return failure(QStringLiteral("--rondel-address: '%1' is not an IPv4 address.")
                               .arg(parser.value(addressOption)));
        options.rondelAddress = address;
    }
    if (parser.isSet(portOption) && !parsePort(parser.value(portOption), &options.rondelPort))
        return failure(QStringLiteral("--rondel-port: '%1' is not a port number (1-65535).")
                           .arg(parser.value(portOption)));
    if (parser.isSet(brokerOption)) {
        const QString value = parser.value(brokerOption);
        const int colon = value.lastIndexOf(QLatin1Char(':'));
        if (colon <= 0 || !parsePort(value.mid(colon + 1), &options.brokerPort))
            return failure(QStringLiteral("--broker: '%1' is not host:port.").arg(value));
        options.brokerHost = value.left(colon);
    }
    if (checking) {
        result.action = RuntimeOptionsParseResult::Action::CheckConfig;
        result.checkConfigFile = positional.value(0);
    }
    return result;
}

const RuntimeOptions& runtimeOptions()
{
    return currentOptions();
}

void setRuntimeOptions(const RuntimeOptions& options)
{
    currentOptions() = options;
}

QString systemPath(const QString& absolutePath)
{
    const QString& root = currentOptions().root;
    if (root.isEmpty() || root == QLatin1String("/"))
        return absolutePath;
    return QDir::cleanPath(root + QLatin1Char('/') + absolutePath);
}
