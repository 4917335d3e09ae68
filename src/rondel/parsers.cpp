#include "rondel/parsers.h"

#include "core/constants.h"
#include "rondel/records.h"
#include "rondel/rondelformat.h"

#include <QStringList>


namespace {

// The trimmed lines of a datagram text.
QStringList linesOf(const QByteArray& text)
{
    QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = line.trimmed();
    return lines;
}

// A line whose start matches key (case-sensitive) yields the rest, trimmed.
bool take(const QString& line, const QString& key, QString* value)
{
    if (!line.startsWith(key))
        return false;
    *value = line.mid(key.size()).trimmed();
    return true;
}

bool readDecimal(const QString& text, int* number)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (ok)
        *number = value;
    return ok;
}

QStringList tokens(const QString& text)
{
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// Connection state of a text such as "Connect" or "Connect VS:Disconnect":
// only the part before "VS:" counts.
int connectionState(const QString& text)
{
    const QString state = text.split(QStringLiteral("VS:")).first().trimmed();
    return RondelText::connectionStateFromText(state);
}

} // namespace

CommandParser::CommandParser(const QString& name, QObject* parent)
    : QObject(parent)
    , m_name(name)
    , m_command(name)
{
}

int CommandParser::accept(const QVariant& record)
{
    Command command(m_name);
    command.data = record;
    m_command = command;
    return RondelNoError;
}

// --- BT --------------------------------------------------------------------

BTParser::BTParser(QObject* parent)
    : CommandParser(Constants::Cmd::BT, parent)
{
}

int BTParser::parse(const QByteArray& text)
{
    BT bt;
    QString value;
    for (const QString& line : linesOf(text)) {
        if (take(line, QStringLiteral("ID:"), &value))
            bt.id = value.toUpper();
        else if (take(line, QStringLiteral("Type:"), &value))
            bt.type = value;
        else if (take(line, QStringLiteral("FWVersion:"), &value))
            bt.fwVersion = value;
        else if (take(line, QStringLiteral("VBat:"), &value))
            bt.vBat = value;
    }
    return accept(QVariant::fromValue(bt));
}

// --- BasicInfo -------------------------------------------------------------

BasicInfoParser::BasicInfoParser(QObject* parent)
    : CommandParser(Constants::Cmd::BasicInfo, parent)
{
}

int BasicInfoParser::parse(const QByteArray& text)
{
    BasicInfo info;
    QString value;
    for (const QString& line : linesOf(text)) {
        if (take(line, QStringLiteral("MAC Address:"), &value))
            info.macAddress = value.remove(QLatin1Char(':'));
        else if (take(line, QStringLiteral("NamePU:"), &value))
            info.namePU = value;
        else if (take(line, QStringLiteral("AcronymPU:"), &value))
            info.acronymPU = value;
        else if (take(line, QStringLiteral("ProductCodePU:"), &value))
            info.productCodePU = value;
        else if (take(line, QStringLiteral("TypePU:"), &value))
            info.typePU = value;
        else if (take(line, QStringLiteral("FWVersionPU:"), &value))
            info.fwVersionPU = value;
        else if (take(line, QStringLiteral("TypeGT:"), &value))
            info.typeGT = value;
        else if (take(line, QStringLiteral("FWVersionGT:"), &value))
            info.fwVersionGT = value;
    }
    // Without its acronym a unit cannot be typed.
    if (info.acronymPU.isEmpty())
        return RondelMissingField;
    return accept(QVariant::fromValue(info));
}

// --- CallStatus / CallChange -----------------------------------------------

CallStatusParser::CallStatusParser(QObject* parent)
    : CommandParser(Constants::Cmd::CallStatus, parent)
{
}

CallStatusParser::CallStatusParser(const QString& name, QObject* parent)
    : CommandParser(name, parent)
{
}

int CallStatusParser::parse(const QByteArray& text)
{
    CallChange calls;
    for (const QString& line : linesOf(text)) {
        if (line.startsWith(QLatin1String("MsgNo")) || line.startsWith(QLatin1String("Cmd")))
            continue;
        if (line.startsWith(QLatin1String("CRC")))
            break;
        const QStringList parts = line.split(QLatin1Char(':'));
        if (parts.size() < 2)
            continue;
        // "NV1 (bed by the window):1" names the source NV1; the blank before
        // the remark is no part of the code.
        QString key = parts.at(0).trimmed();
        const int remark = key.indexOf(QLatin1Char('('));
        if (remark >= 0)
            key = key.left(remark).trimmed();
        const QString value = parts.at(1).trimmed();
        if (value != QLatin1String("0") && value != QLatin1String("1")
            && value != QLatin1String("2"))
            return RondelInvalidValue;
        calls.insert(key, value.toInt());
    }
    return accept(QVariant::fromValue(calls));
}

CallChangeParser::CallChangeParser(QObject* parent)
    : CallStatusParser(Constants::Cmd::CallChange, parent)
{
}

// --- Config ----------------------------------------------------------------

ConfigParser::ConfigParser(QObject* parent)
    : CommandParser(Constants::Cmd::Config, parent)
{
}

int ConfigParser::parse(const QByteArray& text)
{
    Config config;
    QString value;
    for (const QString& line : linesOf(text)) {
        if (take(line, QStringLiteral("RadioChannels:"), &value)) {
            if (!readDecimal(value, &config.radioChannels))
                return RondelInvalidValue;
        } else if (line.startsWith(QLatin1String("CH"))) {
            // "CH1:239.254.1.1 5004": the order of the lines is the order
            // of the channels.
            const QStringList parts = line.split(QLatin1Char(':'));
            if (parts.size() != 2)
                return RondelInvalidValue;
            const QStringList channel = tokens(parts.at(1));
            if (channel.size() < 2)
                return RondelInvalidValue;
            config.channelAddresses.append(QHostAddress(channel.at(0)));
            config.channelPorts.append(channel.at(1).toInt());
        } else if (take(line, QStringLiteral("VolumeCH1:"), &value)) {
            if (!readDecimal(value, &config.volumeCH1))
                return RondelInvalidValue;
        } else if (take(line, QStringLiteral("VolumeCH2:"), &value)) {
            if (!readDecimal(value, &config.volumeCH2))
                return RondelInvalidValue;
        } else if (take(line, QStringLiteral("SwitchOnCH1:"), &value)) {
            config.switchOnCH1 = value == QLatin1String("1");
        } else if (take(line, QStringLiteral("SwitchOnCH2:"), &value)) {
            config.switchOnCH2 = value == QLatin1String("1");
        } else if (take(line, QStringLiteral("Inputs:"), &value)) {
            config.inputs = RondelText::radioInputsFromText(value);
            if (config.inputs == Config::InputsNotSet)
                return RondelInvalidValue;
        }
    }
    return accept(QVariant::fromValue(config));
}

// --- DialCall --------------------------------------------------------------

DialCallParser::DialCallParser(QObject* parent)
    : CommandParser(Constants::Cmd::DialCall, parent)
{
}

int DialCallParser::parse(const QByteArray& text)
{
    DialCall dial;
    QString value;
    for (const QString& line : linesOf(text)) {
        if (take(line, QStringLiteral("Dial:"), &value)) {
            dial.number = value;
        } else if (line.startsWith(QLatin1String("Cancelled"))) {
            dial.cancelled = true;
        } else if (take(line, QStringLiteral("Destination:"), &value)) {
            dial.destination = RondelText::dialDestinationFromText(value);
            if (dial.destination == DialCall::DestinationNotSet)
                return RondelInvalidValue;
        }
    }
    if (dial.number.isEmpty() && !dial.cancelled)
        return RondelMissingField;
    return accept(QVariant::fromValue(dial));
}

// --- FM1Status / FM2Status -------------------------------------------------

FM1StatusParser::FM1StatusParser(QObject* parent)
    : FM1StatusParser(Constants::Cmd::FM1Status, 1, parent)
{
}

FM1StatusParser::FM1StatusParser(const QString& name, int tuner, QObject* parent)
    : CommandParser(name, parent)
    , m_tuner(tuner)
{
}

int FM1StatusParser::parse(const QByteArray& text)
{
    FMStatus status;
    status.tuner = m_tuner;
    const QVector<QPair<QString, QString FMStatus::*>> fields{
        {QStringLiteral("Freq:"), &FMStatus::freq},
        {QStringLiteral("PI:"), &FMStatus::pi},
        {QStringLiteral("PS:"), &FMStatus::ps},
        {QStringLiteral("Tuning:"), &FMStatus::tuning},
        {QStringLiteral("NotFound:"), &FMStatus::notFound},
        {QStringLiteral("Valid:"), &FMStatus::valid},
        {QStringLiteral("Poor:"), &FMStatus::poor},
        {QStringLiteral("Stereo:"), &FMStatus::stereo},
        {QStringLiteral("Rail:"), &FMStatus::rail},
        {QStringLiteral("RDS:"), &FMStatus::rds},
        {QStringLiteral("Errors:"), &FMStatus::errors},
        {QStringLiteral("RSSI:"), &FMStatus::rssi},
        {QStringLiteral("SNR:"), &FMStatus::snr},
        {QStringLiteral("MP:"), &FMStatus::mp},
        {QStringLiteral("Cap:"), &FMStatus::cap},
        {QStringLiteral("FreqOffs:"), &FMStatus::freqOffs},
    };
    QString value;
    for (const QString& line : linesOf(text)) {
        if (take(line, QStringLiteral("Input:"), &value)) {
            status.input = RondelText::tunerInputFromText(value);
            if (status.input == FMStatus::InputNotSet)
                return RondelInvalidValue;
            continue;
        }
        for (const auto& field : fields) {
            if (take(line, field.first, &value)) {
                status.*(field.second) = value;
                break;
            }
        }
    }
    return accept(QVariant::fromValue(status));
}

FM2StatusParser::FM2StatusParser(QObject* parent)
    : FM1StatusParser(Constants::Cmd::FM2Status, 2, parent)
{
}

// --- Notifications ---------------------------------------------------------

NotificationsParser::NotificationsParser(QObject* parent)
    : CommandParser(Constants::Cmd::Notifications, parent)
{
}

int NotificationsParser::parse(const QByteArray& text)
{
    Notifications notifications;
    QString value;
    for (const QString& line : linesOf(text)) {
        // "CallStatus CONNECTED": the state follows the word after blanks.
        if (take(line, QStringLiteral("CallStatus"), &value))
            notifications.voipState = RondelText::voipStateFromText(value);
    }
    return accept(QVariant::fromValue(notifications));
}

// --- PMBConfigBT -----------------------------------------------------------

PMBConfigBTParser::PMBConfigBTParser(QObject* parent)
    : CommandParser(Constants::Cmd::PMBConfigBT, parent)
{
}

int PMBConfigBTParser::parse(const QByteArray& text)
{
    PMBConfigBT devices;
    for (const QString& line : linesOf(text)) {
        if (!line.startsWith(QLatin1String("BT")))
            continue;
        // "BT0:0123456789AB 1"
        const QStringList parts = line.split(QLatin1Char(':'));
        if (parts.size() < 2)
            return RondelInvalidValue;
        const QStringList device = tokens(parts.at(1));
        if (device.size() < 2)
            return RondelInvalidValue;
        devices.insert(QStringLiteral("BT") + device.at(0).trimmed(), device.at(1).trimmed());
    }
    return accept(QVariant::fromValue(devices));
}

// --- PMBInfo ---------------------------------------------------------------

PMBInfoParser::PMBInfoParser(QObject* parent)
    : CommandParser(Constants::Cmd::PMBInfo, parent)
{
}

int PMBInfoParser::parse(const QByteArray& text)
{
    PMBInfo info;
    QString value;
    for (const QString& line : linesOf(text)) {
        if (take(line, QStringLiteral("ID:"), &value))
            info.id = value;
        else if (take(line, QStringLiteral("Type:"), &value))
            info.type = value;
        else if (take(line, QStringLiteral("FWVersion:"), &value))
            info.fwVersion = value;
        else if (take(line, QStringLiteral("Err:"), &value))
            info.err = value;
    }
    return accept(QVariant::fromValue(info));
}

// --- PresenceStatus --------------------------------------------------------

PresenceStatusParser::PresenceStatusParser(QObject* parent)
    : CommandParser(Constants::Cmd::PresenceStatus, parent)
{
}

int PresenceStatusParser::parse(const QByteArray& text)
{
    PresenceStatus presence;
    QString value;
    for (const QString& line : linesOf(text)) {
        if (take(line, QStringLiteral("PS:"), &value))
            presence.ps = value.startsWith(QLatin1Char('1'));
        else if (take(line, QStringLiteral("PP:"), &value))
            presence.pp = value.startsWith(QLatin1Char('1'));
    }
    return accept(QVariant::fromValue(presence));
}

// --- Requests --------------------------------------------------------------

RequestsParser::RequestsParser(QObject* parent)
    : CommandParser(Constants::Cmd::Requests, parent)
{
}

int RequestsParser::parse(const QByteArray& text)
{
    Requests requests;
    for (const QString& line : linesOf(text)) {
        if (line.isEmpty())
            continue;
        const int type = RondelText::requestTypeFromText(line);
        if (type != Request::None)
            requests.append(Request{type, line});
    }
    return accept(QVariant::fromValue(requests));
}

// --- ConnectionStatus / ConnectionChange -----------------------------------

ConnectionStatusParser::ConnectionStatusParser(QObject* parent)
    : CommandParser(Constants::Cmd::ConnectionStatus, parent)
{
}

ConnectionStatusParser::ConnectionStatusParser(const QString& name, QObject* parent)
    : CommandParser(name, parent)
{
}

int ConnectionStatusParser::parse(const QByteArray& text)
{
    ConnectionStatus status;
    if (m_unreportedNotSet) {
        status.sv = ConnectionStatus::NotSet;
        status.oez = ConnectionStatus::NotSet;
        for (auto it = status.nv.begin(); it != status.nv.end(); ++it)
            it.value() = ConnectionStatus::NotSet;
    }
    QString value;
    for (const QString& line : linesOf(text)) {
        if (take(line, QStringLiteral("SV:"), &value)) {
            status.sv = connectionState(value);
        } else if (take(line, QStringLiteral("OEZ:"), &value)) {
            status.oez = connectionState(value);
        } else if (line.startsWith(QLatin1String("NV"))) {
            // "NV2:Connect VS:Disconnect": the socket, then what hangs on it.
            if (!line.contains(QLatin1Char(':')))
                return RondelInvalidValue;
            const QString name = line.left(3);
            const QString rest = line.mid(4).trimmed();
            status.nv.insert(name, connectionState(rest));
            const int vs = rest.indexOf(QLatin1String("VS:"));
            if (vs >= 0) {
                status.vs.insert(name,
                                 RondelText::connectionStateFromText(rest.mid(vs + 3).trimmed()));
            }
        } else if (take(line, QStringLiteral("MTF:"), &value)) {
            // "MTF:80A1 (Nurse 3)": the handset's identifier in hex.
            const int remark = value.indexOf(QLatin1Char('('));
            if (remark >= 0)
                value = value.left(remark);
            status.mtf = value.trimmed().toInt(nullptr, 16);
        }
    }
    return accept(QVariant::fromValue(status));
}

ConnectionChangeParser::ConnectionChangeParser(QObject* parent)
    : ConnectionStatusParser(Constants::Cmd::ConnectionChange, parent)
{
    m_unreportedNotSet = true;
}
