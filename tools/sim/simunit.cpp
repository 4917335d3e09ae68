#include "simunit.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

namespace {

const QString CorviConfig = QStringLiteral(
    "VolumeCH1:0\nVolumeCH2:0\nSwitchOnCH1:0\nSwitchOnCH2:0\nInputs:FM1_FM2\n"
    "CH1:0.0.0.0 0\nCH2:0.0.0.0 0");
const QString NoRadioChannels = QStringLiteral("RadioChannels:0");
const QString NoFrequency = QStringLiteral("87.50");

// The priority in which a unit's own call codes are reported.
const QStringList OwnCodes{"AL", "VS", "VSM", "VK", "VKM", "DC"};

// The screen letter of a call raised with code.
QString letterOf(const QString& code)
{
    if (code == QLatin1String("AL"))
        return QStringLiteral("A");
    if (code.startsWith(QLatin1String("VK")))
        return QStringLiteral("T");
    if (code.startsWith(QLatin1String("NV")) || code.startsWith(QLatin1String("BT")))
        return QStringLiteral("N");
    return QStringLiteral("P");
}

QString voiceText(SimUnit::Voice voice)
{
    switch (voice) {
    case SimUnit::Voice::Talk: return QStringLiteral("CONNECTED");
    case SimUnit::Voice::TransmitPA: return QStringLiteral("TRANSMITTING_PA");
    case SimUnit::Voice::ReceivePA: return QStringLiteral("RECEIVING_PA");
    case SimUnit::Voice::None: break;
    }
    return QStringLiteral("NOT_CONNECTED");
}

QString orNone(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("-") : text;
}

} // namespace

SimUnit::SimUnit(const QHostAddress& ip, const SimModel& model, const SimPlace& place,
                 QObject* parent)
    : QObject(parent)
    , m_ip(ip)
    , m_model(model)
    , m_place(place)
    , m_link(this)
{
    forgetDrivenState();
    connect(&m_link, &SimLink::commandReceived, this, &SimUnit::onCommand);
    connect(&m_link, &SimLink::givenUp, this, [this](const QString& name) {
        say(QStringLiteral("core did not acknowledge ") + name);
    });
}

QString SimUnit::label() const
{
    QString text = m_ip.toString() + QLatin1Char(' ') + m_model.name;
    if (!m_place.room.isEmpty())
        text += QStringLiteral(" (") + m_place.room + QLatin1Char(')');
    return text;
}

bool SimUnit::bind(const QHostAddress& core, quint16 port, QString* error)
{
    auto* socket = new QUdpSocket(this);
    if (!socket->bind(m_ip, port)) {
        if (error)
            *error = QStringLiteral("cannot bind %1:%2: %3")
                         .arg(m_ip.toString())
                         .arg(port)
                         .arg(socket->errorString());
        delete socket;
        return false;
    }
    m_socket = socket;
    connect(socket, &QUdpSocket::readyRead, this, [this] {
        while (m_socket->hasPendingDatagrams())
            m_link.receive(m_socket->receiveDatagram().data());
    });
    connect(&m_link, &SimLink::transmit, this, [this, core, port](const QByteArray& datagram) {
        m_socket->writeDatagram(datagram, core, port);
    });
    return true;
}

// ------------------------------------------------------------ user actions

void SimUnit::raiseCall(const QString& code, const QString& number)
{
    m_ownCalls[code] = 1;
    if (code == QLatin1String("DC")) {
        m_dialled = number;
        m_link.send(QStringLiteral("DialCall"),
                    QStringLiteral("Dial:") + number + QStringLiteral("\nDestination:Base"));
        return;
    }
    m_link.send(QStringLiteral("CallChange"), code + QStringLiteral(":1"));
}

bool SimUnit::cancelCall(const QString& code)
{
    const QStringList codes = code.isEmpty() ? m_ownCalls.keys() : QStringList{code};
    if (codes.isEmpty())
        return false;
    QStringList released;
    for (const QString& c : codes) {
        m_ownCalls.remove(c);
        if (c == QLatin1String("DC"))
            m_link.send(QStringLiteral("DialCall"), QStringLiteral("Cancelled"));
        else
            released.append(c + QStringLiteral(":0"));
    }
    if (!released.isEmpty())
        m_link.send(QStringLiteral("CallChange"), released.join(QLatin1Char('\n')));
    return true;
}

void SimUnit::answer()
{
    m_link.send(QStringLiteral("Requests"), QStringLiteral("CallAnswerBase"));
}

void SimUnit::hangUp()
{
    m_link.send(QStringLiteral("Requests"), QStringLiteral("TalkCancelRqst"));
}

void SimUnit::setPresence(const QString& kind, bool on)
{
    (kind == QLatin1String("PS") ? m_ps : m_pp) = on;
    sendPresenceStatus();
}

bool SimUnit::togglePA()
{
    const bool running = m_paRequested || m_voice == Voice::TransmitPA;
    m_paRequested = !running;
    m_link.send(QStringLiteral("Requests"),
                running ? QStringLiteral("StopPA") : QStringLiteral("StartPA"));
    return !running;
}

void SimUnit::openDoor()
{
    m_link.send(QStringLiteral("Requests"), QStringLiteral("OpenEZ"));
}

void SimUnit::requestMode(bool night)
{
    m_link.send(QStringLiteral("Requests"), night ? QStringLiteral("ModeNight") : QStringLiteral("ModeDay"));
}

void SimUnit::restart()
{
    // A restarted unit comes up blank: no calls, an empty screen, nothing
    // configured, and it introduces itself without being asked.
    m_link.restart();
    m_ownCalls.clear();
    m_dialled.clear();
    m_paRequested = false;
    forgetDrivenState();
    sendBasicInfo();
}

void SimUnit::forgetDrivenState()
{
    m_calls.clear();
    m_talk.clear();
    m_presences.clear();
    m_wards.clear();
    m_date.clear();
    m_time.clear();
    m_backlight = -1;
    m_nameDay.clear();
    m_language.clear();
    m_lights.clear();
    m_buzzer.clear();
    m_volume.clear();
    m_voice = Voice::None;
    m_voicePeer.clear();
    m_doorSeconds = 0;
    m_mode.clear();
    m_config = m_model.fmTuners ? CorviConfig : NoRadioChannels;
    m_fm[0] = m_fm[1] = NoFrequency;
    m_paired.clear();
}

// -------------------------------------------------------- what the core says

SimFields SimUnit::fields(const QString& part)
{
    SimFields result;
    for (const QString& line : part.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const int colon = line.indexOf(QLatin1Char(':'));
        if (colon < 0)
            result.insert(line, QString());
        else
            result.insert(line.left(colon), line.mid(colon + 1));
    }
    return result;
}

void SimUnit::say(const QString& what)
{
    emit changed(label() + QStringLiteral(": ") + what);
}

const QMap<QString, SimUnit::Handler>& SimUnit::handlers()
{
    static const QMap<QString, Handler> table{
        {"GetStatus", &SimUnit::getStatus},
        {"PMBGetStatus", &SimUnit::getPmbStatus},
        {"DisplayCalls", &SimUnit::displayCalls},
        {"DisplayTalk", &SimUnit::displayTalk},
        {"DisplayPresences", &SimUnit::displayPresences},
        {"DisplayWards", &SimUnit::displayWards},
        {"DisplayDateTime", &SimUnit::displayDateTime},
        {"DisplayLanguage", &SimUnit::displayLanguage},
        {"Lights", &SimUnit::setLights},
        {"Buzz", &SimUnit::buzz},
        {"VoIP", &SimUnit::voip},
        {"CallHandle", &SimUnit::callHandle},
        {"DialProgress", &SimUnit::dialProgress},
        {"DoorLock", &SimUnit::doorLock},
        {"SetMode", &SimUnit::setMode},
        {"SetConfig", &SimUnit::setConfig},
        {"FM1Control", &SimUnit::fm1Control},
        {"FM2Control", &SimUnit::fm2Control},
        {"PMBSetConfigBT", &SimUnit::pmbSetConfigBT},
        {"VariousControl", &SimUnit::variousControl},
    };
    return table;
}

void SimUnit::onCommand(const QString& name, const QStringList& parts)
{
    const Handler handler = handlers().value(name);
    if (!handler) {
        say(QStringLiteral("ignores unknown command ") + name);
        return;
    }
    (this->*handler)(parts);
}

void SimUnit::getStatus(const QStringList& parts)
{
    const QString what = parts.value(0);
    if (what == QLatin1String("BasicInfo")) {
        sendBasicInfo();
    } else if (what == QLatin1String("Presence")) {
        sendPresenceStatus();
    } else if (what == QLatin1String("Call")) {
        m_link.send(QStringLiteral("CallStatus"), callStatus());
    } else if (what == QLatin1String("Notifications")) {
        m_link.send(QStringLiteral("Notifications"),
                    QStringLiteral("CallStatus ") + voiceText(m_voice));
    } else if (what == QLatin1String("Connection")) {
        m_link.send(QStringLiteral("ConnectionStatus"), connectionStatus());
    } else if (what == QLatin1String("Config")) {
        m_link.send(QStringLiteral("Config"), m_config);
    } else if (what == QLatin1String("FM1Status") || what == QLatin1String("FM2Status")) {
        const int tuner = what.at(2).digitValue();
        m_link.send(what, fmStatus(tuner));
    } else if (what == QLatin1String("All")) {
        sendBasicInfo();
        m_link.send(QStringLiteral("ConnectionStatus"), connectionStatus());
    } else {
        say(QStringLiteral("has no status ") + what);
    }
}

void SimUnit::getPmbStatus(const QStringList& parts)
{
    const QString what = parts.value(0);
    if (what == QLatin1String("Info")) {
        m_link.send(QStringLiteral("PMBInfo"),
                    QStringLiteral("ID:PMB%1\nType:PMB-2\nFWVersion:01.04\nErr:0")
                        .arg(m_ip.toIPv4Address() & 0xFFFF, 5, 10, QLatin1Char('0')));
    } else if (what == QLatin1String("ConfigBT")) {
        m_link.send(QStringLiteral("PMBConfigBT"), m_paired.join(QLatin1Char('\n')));
    } else {
        say(QStringLiteral("has no board status ") + what);
    }
}

void SimUnit::sendBasicInfo()
{
    const quint32 ip = m_ip.toIPv4Address();
    const QString mac = QStringLiteral("02:00:%1:%2:%3:%4")
                            .arg((ip >> 24) & 0xFF, 2, 16, QLatin1Char('0'))
                            .arg((ip >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
                            .arg((ip >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
                            .arg(ip & 0xFF, 2, 16, QLatin1Char('0'))
                            .toUpper();
    m_link.send(QStringLiteral("BasicInfo"),
                QStringLiteral("AcronymPU:%1\nNamePU:%2\nProductCodePU:%3\nTypePU:%1\n"
                               "FWVersionPU:%4\nTypeGT:%5\nFWVersionGT:%4\nMAC Address:%6")
                    .arg(m_model.name, m_model.product, m_model.productCode, m_model.firmware,
                         m_model.display, mac));
}

void SimUnit::sendPresenceStatus()
{
    m_link.send(QStringLiteral("PresenceStatus"), QStringLiteral("PS:%1\nPP:%2")
                                                      .arg(m_ps ? 1 : 0)
                                                      .arg(m_pp ? 1 : 0));
}

QString SimUnit::callStatus() const
{
    QStringList lines;
    for (auto it = m_ownCalls.cbegin(); it != m_ownCalls.cend(); ++it) {
        if (it.key() != QLatin1String("DC"))
            lines.append(QStringLiteral("%1:%2").arg(it.key()).arg(it.value()));
    }
    return lines.isEmpty() ? QStringLiteral("VS:0") : lines.join(QLatin1Char('\n'));
}

QString SimUnit::connectionStatus() const
{
    QStringList lines{QStringLiteral("MTF:%1").arg(m_model.mtf, 4, 16, QLatin1Char('0')),
                      QStringLiteral("SV:Connect"), QStringLiteral("OEZ:Disconnect")};
    for (int socket = 1; socket <= 8; ++socket)
        lines.append(QStringLiteral("NV%1:%2").arg(socket).arg(
            socket == 1 ? QStringLiteral("Connect") : QStringLiteral("Disconnect")));
    return lines.join(QLatin1Char('\n'));
}

QString SimUnit::fmStatus(int tuner) const
{
    return QStringLiteral("Input:FM\nFreq:%1\nPI:0\nPS:\nTuning:0\nNotFound:0\nValid:1\nPoor:0\n"
                          "Stereo:1\nRail:0\nRDS:1\nErrors:0\nRSSI:42\nSNR:30\nMP:0\nCap:0\n"
                          "FreqOffs:0")
        .arg(m_fm[tuner == 2 ? 1 : 0]);
}

// ------------------------------------------------------------------ screen

namespace {

bool isClear(const QStringList& parts)
{
    return parts.size() == 1 && parts.first() == QLatin1String("Clear");
}

QList<SimFields> entries(const QStringList& parts)
{
    QList<SimFields> result;
    if (!isClear(parts)) {
        for (const QString& part : parts)
            result.append(SimUnit::fields(part));
    }
    return result;
}

QString presenceText(const SimFields& e)
{
    QString text = e.value("Icon").trimmed();
    const QString where = e.value("Room").isEmpty() ? e.value("Ward") : e.value("Room");
    if (!where.isEmpty())
        text += QLatin1Char(' ') + where;
    if (!e.value("Client").isEmpty())
        text += QStringLiteral(", ") + e.value("Client");
    return text.trimmed();
}

QString wardText(const SimFields& e)
{
    const QString name = e.value("Name").isEmpty() ? e.value("ID") : e.value("Name");
    return e.value("Connected") == QLatin1String("1") ? name + QStringLiteral(" (connected)")
                                                      : name;
}

} // namespace

QString SimUnit::ownCallShownAs(const QString& letter) const
{
    for (const QString& code : OwnCodes) {
        if (m_ownCalls.value(code) > 0 && (letter == QLatin1String("V") || letterOf(code) == letter))
            return code;
    }
    for (auto it = m_ownCalls.cbegin(); it != m_ownCalls.cend(); ++it) {
        if (it.value() > 0 && (letter == QLatin1String("V") || letterOf(it.key()) == letter))
            return it.key();
    }
    return QString();
}

QString SimUnit::describe(const SimFields& entry) const
{
    const QString letter = entry.value("Icon").trimmed().toUpper();
    const SimUnit* source = m_directory ? m_directory->unitShownBy(entry) : nullptr;
    QString what = source ? source->ownCallShownAs(letter) : QString();
    if (what.isEmpty())
        what = QStringLiteral("call ") + orNone(letter);

    QString from;
    if (source)
        from = source->ip().toString();
    else if (!entry.value("Room").isEmpty())
        from = entry.value("Room");
    else if (!entry.value("Ward").isEmpty())
        from = entry.value("Ward");
    QString text = what;
    if (!from.isEmpty())
        text += QStringLiteral(" from ") + from;
    if (!entry.value("BedNo").isEmpty())
        text += QStringLiteral(", bed ") + entry.value("BedNo");
    if (!source && !entry.value("Client").isEmpty())
        text += (from.isEmpty() ? QStringLiteral(": ") : QStringLiteral(", "))
                + entry.value("Client");
    return text;
}

void SimUnit::displayCalls(const QStringList& parts)
{
    const QList<SimFields> shown = entries(parts);
    QStringList changes;
    for (const SimFields& e : shown) {
        if (m_calls.contains(e))
            continue;
        const QString icon = e.value("Icon");
        const bool muted = !icon.isEmpty() && icon.at(0).isLower();
        changes.append((muted ? QStringLiteral("shows muted ") : QStringLiteral("rings "))
                       + describe(e));
    }
    for (const SimFields& e : qAsConst(m_calls)) {
        if (!shown.contains(e))
            changes.append(QStringLiteral("no longer shows ") + describe(e));
    }
    m_calls = shown;
    if (!changes.isEmpty())
        say(changes.join(QStringLiteral("; ")));
}

void SimUnit::displayTalk(const QStringList& parts)
{
    const SimFields talk = isClear(parts) ? SimFields() : fields(parts.value(0));
    if (talk == m_talk)
        return;
    m_talk = talk;
    say(talk.isEmpty() ? QStringLiteral("talk screen cleared")
                       : QStringLiteral("shows talk with ") + describe(talk));
}

void SimUnit::displayPresences(const QStringList& parts)
{
    const QList<SimFields> shown = entries(parts);
    if (shown == m_presences)
        return;
    m_presences = shown;
    say(shown.isEmpty() ? QStringLiteral("presences cleared")
                        : QStringLiteral("shows presences: ") + listText(shown, true));
}

void SimUnit::displayWards(const QStringList& parts)
{
    const QList<SimFields> shown = entries(parts);
    if (shown == m_wards)
        return;
    m_wards = shown;
    say(shown.isEmpty() ? QStringLiteral("wards cleared")
                        : QStringLiteral("shows wards: ") + listText(shown, false));
}

QString SimUnit::listText(const QList<SimFields>& list, bool presences) const
{
    QStringList texts;
    for (const SimFields& e : list)
        texts.append(presences ? presenceText(e) : wardText(e));
    return texts.join(QStringLiteral("; "));
}

void SimUnit::displayDateTime(const QStringList& parts)
{
    const SimFields f = fields(parts.value(0));
    bool ok = false;
    const int backlight = f.value("Bright1").section(QLatin1Char(','), 1).toInt(&ok);
    const bool changed = (ok ? backlight : -1) != m_backlight || f.value("Name") != m_nameDay
                         || m_date.isEmpty();
    m_date = f.value("Date");
    m_time = f.value("Time");
    m_backlight = ok ? backlight : -1;
    m_nameDay = f.value("Name");
    if (!changed)
        return;
    QString text = QStringLiteral("shows %1 %2, backlight %3").arg(m_date, m_time).arg(m_backlight);
    if (!m_nameDay.isEmpty())
        text += QStringLiteral(", name day ") + m_nameDay;
    say(text);
}

void SimUnit::displayLanguage(const QStringList& parts)
{
    const QString language = fields(parts.value(0)).value("Language");
    if (language == m_language)
        return;
    m_language = language;
    say(QStringLiteral("language ") + language);
}

// ------------------------------------------------------- devices, voice, settings

void SimUnit::setLights(const QStringList& parts)
{
    QStringList lights;
    for (const QString& line : parts.value(0).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.endsWith(QLatin1String(":1")))
            lights.append(line.left(line.size() - 2));
    }
    if (lights == m_lights)
        return;
    m_lights = lights;
    say(lights.isEmpty() ? QStringLiteral("lights off")
                         : QStringLiteral("lights ") + lights.join(QLatin1Char(' ')));
}

void SimUnit::buzz(const QStringList& parts)
{
    const SimFields f = fields(parts.value(0));
    QStringList changes;
    if (f.contains("Volume") && f.value("Volume") != m_volume) {
        m_volume = f.value("Volume");
        if (!f.contains("ToneType"))
            changes.append(QStringLiteral("buzzer volume ") + m_volume);
    }
    if (f.contains("ToneType")) {
        QString tone;
        if (f.value("ToneType") != QLatin1String("None")) {
            tone = f.value("ToneType");
            if (f.contains("Target"))
                tone += QStringLiteral(" at ") + f.value("Target");
            if (f.contains("Invite"))
                tone += QStringLiteral(", invite ") + f.value("Invite");
            if (!m_volume.isEmpty())
                tone += QStringLiteral(", volume ") + m_volume;
        }
        if (tone != m_buzzer) {
            changes.append(tone.isEmpty() ? QStringLiteral("buzzer off")
                                          : QStringLiteral("buzzes ") + tone);
            m_buzzer = tone;
        }
    }
    if (!changes.isEmpty())
        say(changes.join(QStringLiteral("; ")));
}

void SimUnit::voip(const QStringList& parts)
{
    const QStringList words = parts.value(0).section(QLatin1Char('\n'), 0, 0)
                                  .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString what = words.value(0);
    if (what == QLatin1String("ImmediateTalk")) {
        m_voice = Voice::Talk;
        m_voicePeer = words.value(1);
        say(QStringLiteral("talks with ") + m_voicePeer);
    } else if (what == QLatin1String("TransmitPA")) {
        m_voice = Voice::TransmitPA;
        m_voicePeer = words.value(1) + QLatin1Char(':') + words.value(2);
        m_paRequested = false;
        say(QStringLiteral("transmits PA to ") + m_voicePeer);
    } else if (what == QLatin1String("ReceivePA")) {
        m_voice = Voice::ReceivePA;
        m_voicePeer = words.value(2) + QLatin1Char(':') + words.value(3);
        say(QStringLiteral("receives PA from ") + m_voicePeer);
    } else if (what == QLatin1String("EndCall")) {
        m_paRequested = false;
        if (m_voice == Voice::None)
            return;
        m_voice = Voice::None;
        m_voicePeer.clear();
        say(QStringLiteral("voice ended"));
    } else {
        say(QStringLiteral("ignores voice command ") + orNone(what));
    }
}

void SimUnit::callHandle(const QStringList& parts)
{
    const QString line = parts.value(0);
    const QString code = line.section(QLatin1Char(':'), 0, 0);
    const QString action = line.section(QLatin1Char(':'), 1);
    if (action == QLatin1String("Kill") || action == QLatin1String("KillHard")) {
        m_ownCalls.remove(code);
        say(QStringLiteral("call %1 ended by the core").arg(code));
    } else if (action == QLatin1String("Mute") || action == QLatin1String("Unmute")) {
        const bool mute = action == QLatin1String("Mute");
        if (m_ownCalls.contains(code))
            m_ownCalls[code] = mute ? 2 : 1;
        say(QStringLiteral("call %1 %2").arg(code, mute ? "muted" : "unmuted"));
    } else {
        say(QStringLiteral("ignores call handling ") + line);
    }
}

void SimUnit::dialProgress(const QStringList& parts)
{
    const QString state = fields(parts.value(0)).value("State");
    if (state != QLatin1String("Ringing"))
        m_ownCalls.remove(QStringLiteral("DC"));
    say(QStringLiteral("dial %1 %2").arg(orNone(m_dialled), state.toLower()));
}

void SimUnit::doorLock(const QStringList& parts)
{
    const SimFields f = fields(parts.value(0));
    if (f.value("Action") != QLatin1String("Open")) {
        say(QStringLiteral("ignores door action ") + orNone(f.value("Action")));
        return;
    }
    m_doorSeconds = f.value("Time").toInt();
    m_doorOpened = QDateTime::currentDateTime();
    say(QStringLiteral("door opened for %1 s").arg(m_doorSeconds));
}

void SimUnit::setMode(const QStringList& parts)
{
    const SimFields f = fields(parts.value(0));
    const QString mode = QStringLiteral("PS %1, PP %2").arg(f.value("PS"), f.value("PP"));
    if (mode == m_mode)
        return;
    m_mode = mode;
    say(QStringLiteral("presence mode ") + mode);
}

void SimUnit::setConfig(const QStringList& parts)
{
    // The unit reports back what it was given, so the core finds it in step.
    const QString config = parts.value(0);
    if (config == m_config)
        return;
    m_config = config;
    say(QStringLiteral("configured: ") + config.split(QLatin1Char('\n')).join(QStringLiteral(", ")));
}

void SimUnit::tune(int tuner, const QStringList& parts)
{
    const SimFields f = fields(parts.value(0));
    if (f.value("Perform") != QLatin1String("Tune")) {
        say(QStringLiteral("ignores FM%1 action %2").arg(tuner).arg(orNone(f.value("Perform"))));
        return;
    }
    m_fm[tuner - 1] = f.value("Freq");
    say(QStringLiteral("FM%1 tuned to %2").arg(tuner).arg(m_fm[tuner - 1]));
}

void SimUnit::pmbSetConfigBT(const QStringList& parts)
{
    const QString table = parts.value(0);
    m_paired = table == QLatin1String("Erase") ? QStringList()
                                               : table.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    say(m_paired.isEmpty() ? QStringLiteral("paired devices erased")
                           : QStringLiteral("paired devices: ") + m_paired.join(QStringLiteral(", ")));
}

void SimUnit::variousControl(const QStringList& parts)
{
    if (parts.value(0) == QLatin1String("PARejected")) {
        m_paRequested = false;
        say(QStringLiteral("PA rejected"));
        return;
    }
    say(QStringLiteral("ignores control ") + orNone(parts.value(0)));
}

// ------------------------------------------------------------------ show

QString SimUnit::summary() const
{
    QStringList parts;
    if (!isPlugged())
        parts.append(QStringLiteral("unplugged"));
    if (!m_ownCalls.isEmpty())
        parts.append(QStringLiteral("own calls ") + m_ownCalls.keys().join(QLatin1Char(',')));
    parts.append(m_calls.isEmpty() ? QStringLiteral("no calls shown")
                                   : QStringLiteral("%1 call(s) shown").arg(m_calls.size()));
    if (!m_talk.isEmpty() || m_voice != Voice::None)
        parts.append(QStringLiteral("voice ") + voiceText(m_voice).toLower());
    if (!m_lights.isEmpty())
        parts.append(QStringLiteral("lights ") + m_lights.join(QLatin1Char(' ')));
    if (!m_buzzer.isEmpty())
        parts.append(QStringLiteral("buzzes ") + m_buzzer);
    return label() + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
}

QStringList SimUnit::details() const
{
    QStringList calls;
    for (const SimFields& e : m_calls)
        calls.append(describe(e));
    QStringList own;
    for (auto it = m_ownCalls.cbegin(); it != m_ownCalls.cend(); ++it)
        own.append(it.key() + (it.value() == 2 ? QStringLiteral(" (held)") : QString()));
    const bool doorOpen = m_doorOpened.isValid()
                          && m_doorOpened.secsTo(QDateTime::currentDateTime()) < m_doorSeconds;
    const QString indent = QStringLiteral("  ");
    return {
        label() + QStringLiteral(": ") + (isPlugged() ? QStringLiteral("plugged in")
                                                       : QStringLiteral("unplugged"))
            + QStringLiteral(", firmware ") + m_model.firmware + QStringLiteral(", screen ")
            + m_model.display,
        indent + QStringLiteral("own calls: ") + orNone(own.join(QStringLiteral(", ")))
            + QStringLiteral("; presence PS %1, PP %2").arg(m_ps ? "on" : "off", m_pp ? "on" : "off"),
        indent + QStringLiteral("screen calls: ") + orNone(calls.join(QStringLiteral("; "))),
        indent + QStringLiteral("screen talk: ") + orNone(m_talk.isEmpty() ? QString() : describe(m_talk)),
        indent + QStringLiteral("screen presences: ") + orNone(listText(m_presences, true)),
        indent + QStringLiteral("screen wards: ") + orNone(listText(m_wards, false)),
        indent + QStringLiteral("screen clock: ")
            + orNone(m_date.isEmpty() ? QString()
                                      : QStringLiteral("%1 %2, backlight %3").arg(m_date, m_time).arg(m_backlight))
            + QStringLiteral("; language ") + orNone(m_language),
        indent + QStringLiteral("lights: ") + orNone(m_lights.join(QLatin1Char(' ')))
            + QStringLiteral("; buzzer: ") + orNone(m_buzzer) + QStringLiteral("; volume ")
            + orNone(m_volume),
        indent + QStringLiteral("voice: ") + (m_voice == Voice::None ? QStringLiteral("none") : voiceText(m_voice).toLower())
            + (m_voicePeer.isEmpty() ? QString() : QStringLiteral(" ") + m_voicePeer)
            + QStringLiteral("; door: ") + (doorOpen ? QStringLiteral("open") : QStringLiteral("closed")),
        indent + QStringLiteral("presence mode: ") + orNone(m_mode) + QStringLiteral("; config: ")
            + m_config.split(QLatin1Char('\n')).join(QStringLiteral(", ")),
        indent + QStringLiteral("FM: %1 / %2; paired devices: ").arg(m_fm[0], m_fm[1])
            + orNone(m_paired.join(QStringLiteral(", "))),
    };
}
