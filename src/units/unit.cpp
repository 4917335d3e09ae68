#include "units/unit.h"

#include "calls/call.h"
#include "calls/callreceivemodes.h"
#include "calls/calls.h"
#include "units/features/connecteddevices.h"
#include "units/displays/display.h"
#include "units/settings/nvsettings.h"
#include "units/features/presences.h"
#include "units/settings/unitsettings.h"

#include <QStringList>

#include <algorithm>

namespace {

const QStringList& typeTexts()
{
    static const QStringList texts{QString(),
                                   QStringLiteral("Fenno"),
                                   QStringLiteral("Tolva"),
                                   QStringLiteral("Brisa"),
                                   QStringLiteral("Melde"),
                                   QStringLiteral("Pardo"),
                                   QStringLiteral("Deska"),
                                   QStringLiteral("Lumo"),
                                   QStringLiteral("Corvi")};
    return texts;
}

} // namespace

Unit::Unit(const QHostAddress& ip, QObject* parent)
    : QObject(parent)
    , m_ip(ip)
    , m_calls(new Calls(this))
    , m_callReceiveMode(new CallReceiveMode(this))
    , m_connectedDevices(new ConnectedDevices(this))
    , m_display(new Display(this))
    , m_presences(new Presences(this, this))
{
    m_settings.append(m_presences);
    m_display->setCalls(m_calls);
}

Unit::~Unit() = default;

int Unit::typeFromText(const QString& text)
{
    const int index = typeTexts().indexOf(text);
    return index > 0 ? index : NoType;
}

QString Unit::typeText(int type)
{
    return typeTexts().value(type);
}

bool Unit::hasPresence() const
{
    return m_presences->hasPresence();
}

bool Unit::isPPRegistered() const
{
    return m_presences->isPPRegistered();
}

bool Unit::isPSRegistered() const
{
    return m_presences->isPSRegistered();
}

bool Unit::isPLConfigured() const
{
    return m_presences->isPLConfigured();
}

QString Unit::audioType(int mode) const
{
    Q_UNUSED(mode)
    return QString();
}

int Unit::sourceMode(const QString& code) const
{
    Q_UNUSED(code)
    return 1;
}

bool Unit::acceptsCalls(const Call& call) const
{
    Q_UNUSED(call)
    return false;
}

CallDisplayInfo Unit::displayInfo(const Call& call) const
{
    CallDisplayInfo info;
    const bool doorLock = call.source() && call.source()->hasDoorLock();
    info.icon = doorLock ? QLatin1Char('V') : callTypeDisplayLetter(call.type());
    if (call.isPA()) {
        info.client = tr("Centrální hlášení");
        return info;
    }
    const Room* room = m_location.room ? m_location.room : Room::unknownRoom();
    info.ward = room->ward()->name();
    info.room = room->name();
    if (room->number() != 0)
        info.roomNo = QString::number(room->number());

    NVEntry entry;
    if (call.isNV() && m_nvSettings)
        entry = m_nvSettings->entry(m_ip, call.code());
    if (entry.bed != 0)
        info.bedNo = QString::number(entry.bed);
    else if (m_location.bed != 0)
        info.bedNo = QString::number(m_location.bed);
    info.client = entry.name.isEmpty() ? m_clientName : entry.name;
    return info;
}

void Unit::setInstallationSettings(LanguageSettings* language, NamedaysSettings* namedays,
                                   NVSettings* nv, RadiosSettings* radios)
{
    m_languageSettings = language;
    m_namedaysSettings = namedays;
    m_nvSettings = nv;
    m_radiosSettings = radios;
}

void Unit::setCallReceiveMode(CallReceiveMode* mode)
{
    if (!mode || mode == m_callReceiveMode)
        return;
    m_callReceiveMode->deleteLater();
    m_callReceiveMode = mode;
    m_callReceiveMode->setParent(this);
}

void Unit::setDisplay(Display* display)
{
    if (!display || display == m_display)
        return;
    // The old driver goes later, but must stop following the calls now so
    // that it sends nothing more to the unit.
    m_display->setCalls(nullptr);
    m_display->deleteLater();
    m_display = display;
    m_display->setParent(this);
    m_display->setCalls(m_calls);
    m_display->start();
}

void Unit::loadSettings(const QVariantMap& config)
{
    m_clientName = config.value(QStringLiteral("clientName")).toString();
    m_phone = config.value(QStringLiteral("phone")).toString();
    m_location.bed = config.value(QStringLiteral("bed")).toInt();
    for (UnitSettings* settings : qAsConst(m_settings)) {
        const auto value = config.constFind(settings->name());
        if (value != config.constEnd())
            settings->load(*value);
    }
    if (m_nvSettings)
        m_nvSettings->loadUnit(m_ip, config.value(QStringLiteral("nv")));
}

int Unit::reloadSettings(const QVariantMap& config, const Location& location)
{
    int level = NoChange;
    const QString clientName = config.value(QStringLiteral("clientName")).toString();
    const QString phone = config.value(QStringLiteral("phone")).toString();
    const qint32 bed = config.value(QStringLiteral("bed")).toInt();

    if (location.room != m_location.room) {
        level = Restart;
        m_location.room = location.room;
    }
    if (phone != m_phone)
        level = Restart;
    if (clientName != m_clientName || bed != m_location.bed)
        level = std::max<int>(level, Refresh);
    m_phone = phone;
    m_clientName = clientName;
    m_location.bed = bed;

    // A key that disappeared from the entry resets its object to the
    // defaults, which is itself a change.
    for (UnitSettings* settings : qAsConst(m_settings))
        level = std::max(level, settings->reload(config.value(settings->name())));
    if (m_nvSettings) {
        level = std::max(level, m_nvSettings->reloadUnit(m_ip, config.value(QStringLiteral("nv"))));
        level = std::max(level, m_nvSettings->buttonsLevel());
    }
    return level;
}

UnitInfo Unit::unitInfo() const
{
    const Room* room = m_location.room ? m_location.room : Room::unknownRoom();
    UnitInfo info;
    info.presenceIcon = m_presences->presenceIcon();
    info.ward = room->ward()->name();
    info.roomNo = QString::number(room->number());
    if (m_location.bed != 0)
        info.bedNo = QString::number(m_location.bed);
    info.room = room->name();
    info.clientName = m_clientName;
    info.phone = m_phone;
    return info;
}
