#include "rondel/rondel.h"

#include "core/clock.h"
#include "core/constants.h"
#include "rondel/rondelformat.h"
#include "rondel/rondelserver.h"

#include <QDate>
#include <QDebug>
#include <QStringList>
#include <QTime>

namespace {

// A value is written on one line: a line break inside a configured name
// would otherwise start a line of its own on the unit. A unit takes its
// checksum over the bytes before the first "CRC:" of the datagram, so that
// text inside a value would make it refuse the whole command while we count
// it as delivered; a blank before the colon keeps it readable.
QString oneLine(QString text)
{
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1String("CRC:"), QLatin1String("CRC :"));
    return text;
}

QString line(const QString& key, const QString& value)
{
    return key + QLatin1Char(':') + oneLine(value) + QLatin1Char('\n');
}

QString line(const QString& key, int value)
{
    return line(key, QString::number(value));
}

QString callLines(const CallDisplayInfo& call)
{
    QString payload = line(QStringLiteral("Icon"), QString(call.icon));
    const QVector<QPair<QString, QString>> texts{
        {QStringLiteral("Ward"), call.ward},   {QStringLiteral("RoomNo"), call.roomNo},
        {QStringLiteral("BedNo"), call.bedNo}, {QStringLiteral("Room"), call.room},
        {QStringLiteral("Client"), call.client}};
    for (const auto& text : texts) {
        if (!text.second.isEmpty())
            payload += line(text.first, text.second);
    }
    return payload;
}

QString audioMode(const VoIP& voip)
{
    return voip.type == 2 ? QStringLiteral("LINE_LEVEL") : QStringLiteral("MIC_SPKR");
}

QString textAt(int value, const QStringList& texts, const QString& otherwise)
{
    return value >= 0 && value < texts.size() ? texts.at(value) : otherwise;
}

const QString NotSetText = QStringLiteral("NotSet");

} // namespace

Rondel::Rondel(RondelServer* server, const QHostAddress& ip, QObject* parent)
    : QObject(parent)
    , m_ip(ip)
    , m_logStart(QLatin1Char('"') + ip.toString() + QLatin1Char(' '))
    , m_server(server)
{
}

QString Rondel::buzzTargetText(int target)
{
    return textAt(target, {QString(), QStringLiteral("Base"), QStringLiteral("Mtf"),
                           QStringLiteral("Synthesizer")},
                  NotSetText);
}

QString Rondel::buzzToneTypeText(int toneType)
{
    return textAt(toneType, {QStringLiteral("None"), QStringLiteral("PV"), QStringLiteral("NV"),
                             QStringLiteral("AL"), QStringLiteral("Tlf"), QStringLiteral("Busy"),
                             QStringLiteral("Ringing")},
                  NotSetText);
}

QString Rondel::buzzVolumeText(int volume)
{
    return textAt(volume, {QString(), QStringLiteral("Night"), QStringLiteral("Day")}, NotSetText);
}

QString Rondel::buzzInviteText(int invite)
{
    return textAt(invite, {QString(), QStringLiteral("Yes"), QStringLiteral("BlinkVS"),
                           QStringLiteral("BlinkVSM")},
                  QStringLiteral("No"));
}

QString Rondel::callHandleActionText(int action)
{
    return textAt(action, {QStringLiteral("Kill"), QStringLiteral("KillHard"),
                           QStringLiteral("Mute"), QStringLiteral("Unmute")},
                  QStringLiteral("Kill"));
}

void Rondel::log(const char* operation) const
{
    // The line QDebug writes for the quoted text "<ip> <operation>", put
    // together directly: every command logs one, a call sends dozens, and
    // neither the address nor an operation's name has anything to escape.
    qDebug().noquote() << (m_logStart + QLatin1String(operation) + QLatin1Char('"'));
}

void Rondel::sendCommand(const QString& name, const QString& payload)
{
    m_server->send({name, payload}, m_ip);
}

void Rondel::sendList(const QString& name, const QStringList& payloads)
{
    for (int i = 0; i < payloads.size(); ++i) {
        QString payload;
        if (i > 0)
            payload += RondelFormat::Continue + QLatin1Char('\n');
        payload += payloads.at(i);
        if (i < payloads.size() - 1)
            payload += RondelFormat::NotFinished + QLatin1Char('\n');
        sendCommand(name, payload);
    }
}

void Rondel::buzz(const BuzzParams& params)
{
    log("buzz");
    QString payload;
    if (params.target != 0)
        payload += line(QStringLiteral("Target"), buzzTargetText(params.target));
    if (params.toneType != -1)
        payload += line(QStringLiteral("ToneType"), buzzToneTypeText(params.toneType));
    if (params.volume != 0)
        payload += line(QStringLiteral("Volume"), buzzVolumeText(params.volume));
    if (params.invite != 0)
        payload += line(QStringLiteral("Invite"), buzzInviteText(params.invite));
    sendCommand(Constants::Cmd::Buzz, payload);
}

void Rondel::callHandle(const QString& source, int action)
{
    log("callHandle");
    sendCommand(Constants::Cmd::CallHandle, line(source, callHandleActionText(action)));
}

void Rondel::dialProgressBusy()
{
    log("dialProgressBusy");
    sendCommand(Constants::Cmd::DialProgress, QStringLiteral("State:Busy"));
}

void Rondel::dialProgressFailed()
{
    log("dialProgressFailed");
    sendCommand(Constants::Cmd::DialProgress, QStringLiteral("State:Failed"));
}

void Rondel::dialProgressRinging()
{
    log("dialProgressRinging");
    sendCommand(Constants::Cmd::DialProgress, QStringLiteral("State:Ringing"));
}

void Rondel::displayCalls(const QVector<CallDisplayInfo>& calls)
{
    log("displayCalls");
    QStringList payloads;
    for (const CallDisplayInfo& call : calls)
        payloads.append(callLines(call));
    sendList(Constants::Cmd::DisplayCalls, payloads);
}

void Rondel::displayCallsClear()
{
    log("displayCallsClear");
    sendCommand(Constants::Cmd::DisplayCalls, QStringLiteral("Clear"));
}

void Rondel::displayTalk(const CallDisplayInfo& call)
{
    log("displayTalk");
    sendCommand(Constants::Cmd::DisplayTalk, callLines(call));
}

void Rondel::displayTalkClear()
{
    log("displayTalkClear");
    sendCommand(Constants::Cmd::DisplayTalk, QStringLiteral("Clear"));
}

void Rondel::displayPresences(const QVector<PresenceDisplayInfo>& presences)
{
    log("displayPresences");
    QStringList payloads;
    for (const PresenceDisplayInfo& presence : presences) {
        QString payload = line(QStringLiteral("Icon"), QString(presence.icon));
        payload += line(QStringLiteral("Ward"), presence.ward);
        payload += line(QStringLiteral("RoomNo"), presence.roomNo);
        if (presence.bedNo.toInt() != 0)
            payload += line(QStringLiteral("BedNo"), presence.bedNo);
        payload += line(QStringLiteral("Room"), presence.room);
        payload += line(QStringLiteral("Client"), presence.client);
        payload += line(QStringLiteral("TlfNo"), presence.tlfNo);
        payloads.append(payload);
    }
    sendList(Constants::Cmd::DisplayPresences, payloads);
}

void Rondel::displayPresencesClear()
{
    log("displayPresencesClear");
    sendCommand(Constants::Cmd::DisplayPresences, QStringLiteral("Clear"));
}

void Rondel::displayWards(const QVector<WardDisplayInfo>& wards)
{
    log("displayWards");
    QStringList payloads;
    for (const WardDisplayInfo& ward : wards) {
        payloads.append(line(QStringLiteral("ID"), ward.id) + line(QStringLiteral("Name"), ward.name)
                        + line(QStringLiteral("Connected"), ward.connected ? 1 : 0));
    }
    sendList(Constants::Cmd::DisplayWards, payloads);
}

void Rondel::displayWardsClear()
{
    log("displayWardsClear");
    sendCommand(Constants::Cmd::DisplayWards, QStringLiteral("Clear"));
}

void Rondel::displayDateTime(int brightness, const QString& name)
{
    log("displayDateTime");
    const QDateTime now = Clock::now();
    QString payload = line(QStringLiteral("Date"), now.date().toString(QStringLiteral("d.M.yyyy")));
    payload += line(QStringLiteral("Time"), now.time().toString(QStringLiteral("h:mm:ss")));
    payload += line(QStringLiteral("Bright1"), QStringLiteral("20:00,") + QString::number(brightness));
    payload += line(QStringLiteral("Bright2"), QStringLiteral("7:00,") + QString::number(brightness));
    if (!name.isEmpty())
        payload += line(QStringLiteral("Name"), name);
    sendCommand(Constants::Cmd::DisplayDateTime, payload);
}

void Rondel::displayLanguage(int language)
{
    log("displayLanguage");
    sendCommand(Constants::Cmd::DisplayLanguage,
                line(QStringLiteral("Language"), RondelText::language(language)));
}

void Rondel::doorLockOpen(int seconds)
{
    log("doorLockOpen");
    sendCommand(Constants::Cmd::DoorLock,
                QStringLiteral("Action:Open\nTime:") + QString::number(seconds));
}

void Rondel::fmControl(int tuner, const QString& frequency)
{
    log("fmControl");
    sendCommand(Constants::Cmd::FMControl.arg(tuner),
                QStringLiteral("Perform:Tune\n") + line(QStringLiteral("Freq"), frequency));
}

void Rondel::lights(const LightState& state)
{
    log("lights");
    // The unit reads the flags in this order, which differs from the record's.
    const QVector<QPair<bool, QString>> flags{
        {state.ps, QStringLiteral("PS")}, {state.pp, QStringLiteral("PP")},
        {state.pl, QStringLiteral("PL")}, {state.al, QStringLiteral("AL")},
        {state.nv, QStringLiteral("NV")}, {state.vp, QStringLiteral("VP")},
        {state.vs, QStringLiteral("VS")}, {state.vk, QStringLiteral("VK")}};
    QString payload;
    for (const auto& flag : flags) {
        if (flag.first)
            payload += line(flag.second, 1);
    }
    sendCommand(Constants::Cmd::Lights, payload);
}

void Rondel::pmbConfigBT(const PMBConfigBT& devices)
{
    log("pmbConfigBT");
    if (devices.isEmpty()) {
        sendCommand(Constants::Cmd::PMBSetConfigBT, QStringLiteral("Erase\n"));
        return;
    }
    QString payload;
    int number = 0;
    for (auto it = devices.constBegin(); it != devices.constEnd(); ++it, ++number) {
        payload += line(QStringLiteral("BT") + QString::number(number),
                        it.key().right(6) + QLatin1Char(' ') + it.value());
    }
    sendCommand(Constants::Cmd::PMBSetConfigBT, payload);
}

void Rondel::requestAll()
{
    log("requestAll");
    sendCommand(Constants::Cmd::GetStatus, QStringLiteral("All"));
}

void Rondel::requestBasicInfo()
{
    log("requestBasicInfo");
    sendCommand(Constants::Cmd::GetStatus, QStringLiteral("BasicInfo"));
}

void Rondel::requestCallStatus()
{
    log("requestCallStatus");
    sendCommand(Constants::Cmd::GetStatus, QStringLiteral("Call"));
}

void Rondel::requestConfig()
{
    log("requestConfig");
    sendCommand(Constants::Cmd::GetStatus, QStringLiteral("Config"));
}

void Rondel::requestConnectionStatus()
{
    log("requestConnectionStatus");
    sendCommand(Constants::Cmd::GetStatus, QStringLiteral("Connection"));
}

void Rondel::requestFMStatus(int tuner)
{
    log("requestFMStatus");
    sendCommand(Constants::Cmd::GetStatus, QStringLiteral("FM%1Status").arg(tuner));
}

void Rondel::requestNotifications()
{
    log("requestNotifications");
    sendCommand(Constants::Cmd::GetStatus, QStringLiteral("Notifications"));
}

void Rondel::requestPresenceStatus()
{
    log("requestPresenceStatus");
    sendCommand(Constants::Cmd::GetStatus, QStringLiteral("Presence"));
}

void Rondel::requestPMBConfigBT()
{
    log("requestPMBConfigBT");
    sendCommand(Constants::Cmd::PMBGetStatus, QStringLiteral("ConfigBT"));
}

void Rondel::requestPMBInfo()
{
    log("requestPMBInfo");
    sendCommand(Constants::Cmd::PMBGetStatus, QStringLiteral("Info"));
}

void Rondel::setConfigCorvi(const Config& config)
{
    log("setConfigCorvi");
    QString payload = line(QStringLiteral("VolumeCH1"), config.volumeCH1);
    payload += line(QStringLiteral("VolumeCH2"), config.volumeCH2);
    payload += line(QStringLiteral("SwitchOnCH1"), config.switchOnCH1 ? 1 : 0);
    payload += line(QStringLiteral("SwitchOnCH2"), config.switchOnCH2 ? 1 : 0);
    payload += line(QStringLiteral("Inputs"), RondelText::radioInputs(config.inputs));
    // A record with fewer than two channels leaves the missing channel
    // unwritten rather than sending an address the unit would tune to.
    for (int i = 0; i < 2 && i < config.channelAddresses.size(); ++i) {
        payload += line(QStringLiteral("CH%1").arg(i + 1),
                        config.channelAddresses.at(i).toString() + QLatin1Char(' ')
                            + QString::number(config.channelPorts.value(i)));
    }
    sendCommand(Constants::Cmd::SetConfig, payload);
}

void Rondel::setConfigRadioChannels(const QVector<QHostAddress>& addresses,
                                    const QVector<int>& ports)
{
    log("setConfigRadioChannels");
    QString payload = line(QStringLiteral("RadioChannels"), addresses.size());
    for (int i = 0; i < addresses.size(); ++i) {
        payload += line(QStringLiteral("CH%1").arg(i + 1),
                        addresses.at(i).toString() + QLatin1Char(' ')
                            + QString::number(ports.value(i)));
    }
    sendCommand(Constants::Cmd::SetConfig, payload);
}

void Rondel::setMode(const PresenceMode& mode)
{
    log("setMode");
    const auto text = [](int value) {
        return value == 1 ? QStringLiteral("Permanent") : QStringLiteral("Normal");
    };
    sendCommand(Constants::Cmd::SetMode,
                line(QStringLiteral("PS"), text(mode.ps)) + line(QStringLiteral("PP"), text(mode.pp)));
}

void Rondel::variousControlPARejected()
{
    log("variousControlPARejected");
    sendCommand(Constants::Cmd::VariousControl, QStringLiteral("PARejected"));
}

void Rondel::voipImmediateTalk(const VoIP& voip)
{
    log("voipImmediateTalk");
    QString payload = QStringLiteral("ImmediateTalk %1 %2 %3\n")
                          .arg(voip.address.toString())
                          .arg(voip.portA)
                          .arg(voip.portB);
    payload += QStringLiteral("SetAudioMode ") + audioMode(voip) + QLatin1Char('\n');
    payload += QStringLiteral("SetAudioLevel IN %1\n").arg(voip.levelIn);
    payload += QStringLiteral("SetAudioLevel OUT %1\n").arg(voip.levelOut);
    sendCommand(Constants::Cmd::VoIP, payload);
}

void Rondel::voipTransmitPA(const VoIP& voip)
{
    log("voipTransmitPA");
    QString payload =
        QStringLiteral("TransmitPA %1 %2\n").arg(voip.address.toString()).arg(voip.portB);
    payload += QStringLiteral("SetAudioMode ") + audioMode(voip) + QLatin1Char('\n');
    payload += QStringLiteral("SetAudioLevel IN %1\n").arg(voip.levelIn);
    sendCommand(Constants::Cmd::VoIP, payload);
}

void Rondel::voipReceivePA(const VoIP& voip)
{
    log("voipReceivePA");
    QString payload =
        QStringLiteral("ReceivePA IP %1 %2\n").arg(voip.address.toString()).arg(voip.portB);
    payload += QStringLiteral("SetAudioMode ") + audioMode(voip) + QLatin1Char('\n');
    payload += QStringLiteral("SetAudioLevel OUT %1\n").arg(voip.levelOut);
    sendCommand(Constants::Cmd::VoIP, payload);
}

void Rondel::voipEndCall()
{
    log("voipEndCall");
    sendCommand(Constants::Cmd::VoIP, QStringLiteral("EndCall"));
}
