#include "units/registry/units.h"

#include "calls/callreceivemodes.h"
#include "calls/calls.h"
#include "rondel/rondelserver.h"
#include "units/features/pmb.h"
#include "units/features/presences.h"
#include "units/registry/unitsfactory.h"
#include "units/registry/unitsinitializer.h"
#include "units/registry/unitsrepository.h"
#include "units/rondelunit.h"
#include "units/settings/unitsettings.h"
#include "units/unconfiguredunit.h"
#include "wards/rooms.h"
#include "wards/wards.h"

#include <QDebug>
#include <QVariantList>

namespace {

const QString IdKey = QStringLiteral("_id");
const QString TypeKey = QStringLiteral("type");
const QString RoomKey = QStringLiteral("room");
const QString CollectorKey = QStringLiteral("collector");
const QString IsCollectorKey = QStringLiteral("isCollector");
const QString CollectorWardsKey = QStringLiteral("wards");

int configuredType(const QVariantMap& config)
{
    return UnitsFactory::typeFromText(config.value(TypeKey).toString().trimmed());
}

bool isCollector(const QVariantMap& config)
{
    return config.value(CollectorKey).toMap().value(IsCollectorKey).toBool();
}

QStringList collectedWards(const QVariantMap& config)
{
    QStringList wards;
    const QVariantList list = config.value(CollectorKey).toMap().value(CollectorWardsKey).toList();
    for (const QVariant& id : list)
        wards.append(id.toString().trimmed());
    return wards;
}

} // namespace

Units::Units(UnitsFactory* factory, UnitsInitializer* initializer, RondelServer* server,
             UnitsRepository* repository, Rooms* rooms, Wards* wards, QObject* parent)
    : QObject(parent)
    , m_factory(factory)
    , m_initializer(initializer)
    , m_server(server)
    , m_repository(repository)
    , m_rooms(rooms)
    , m_wards(wards)
{
}

QHostAddress Units::usableAddress(const QVariantMap& config)
{
    if (!config.contains(IdKey) || !config.contains(TypeKey))
        return QHostAddress();
    const QHostAddress ip(config.value(IdKey).toString().trimmed());
    return ip.protocol() == QAbstractSocket::IPv4Protocol ? ip : QHostAddress();
}

void Units::loadUnits(const QVariant& units)
{
    const QVariantList list = units.toList();
    for (const QVariant& element : list) {
        const QVariantMap config = element.toMap();
        const QHostAddress ip = usableAddress(config);
        if (!ip.isNull())
            createUnit(ip, config);
    }
}

Unit* Units::createUnit(const QHostAddress& ip, const QVariantMap& config)
{
    // Two entries for one address would leave the first unit orphaned on
    // the bus; the first one counts.
    if (m_repository->containsConfigured(ip))
        return nullptr;
    Location location;
    location.room = m_rooms->room(config.value(RoomKey).toString().trimmed());
    Unit* unit = m_factory->create(configuredType(config), ip, location);
    if (!unit) {
        qCritical() << "Config file - failed to create unit";
        return nullptr;
    }
    setReceiveMode(unit, config);
    unit->loadSettings(config);
    m_repository->addConfigured(unit);
    connectUnit(unit);
    if (auto* rondelUnit = qobject_cast<RondelUnit*>(unit)) {
        if (m_requestRepeat > 0)
            rondelUnit->setRequestRepeatInterval(m_requestRepeat);
        rondelUnit->attach(m_server);
        connectRondelUnit(rondelUnit);
    }
    return unit;
}

void Units::setReceiveMode(Unit* unit, const QVariantMap& config) const
{
    if (isCollector(config))
        unit->setCallReceiveMode(new CollectingUnitMode(unit, collectedWards(config)));
    else if (unit->type() == Unit::CorviType)
        unit->setCallReceiveMode(new CallReceiveMode);
    else
        unit->setCallReceiveMode(new ConnectedWardsMode(unit, m_wards));
    m_repository->receiveRulesChanged();
}

bool Units::receiveModeChanged(const Unit* unit, const QVariantMap& config) const
{
    const auto* collecting = qobject_cast<const CollectingUnitMode*>(unit->callReceiveMode());
    if (!isCollector(config))
        return collecting != nullptr;
    return !collecting || collecting->wardIds() != collectedWards(config);
}

void Units::connectUnit(Unit* unit)
{
    Calls* calls = unit->calls();
    connect(calls, &Calls::callNew, this, &Units::callNew);
    connect(calls, &Calls::callReplaced, this, &Units::callReplaced);
    connect(calls, &Calls::callMuted, this, &Units::callMuted);
    connect(calls, &Calls::callCanceled, this, &Units::callCanceled);
    connect(calls, &Calls::callsChanged, this, [this, unit] { emit callsChanged(unit); });
    connect(calls, &Calls::talkChanged, this, [this, unit] { emit talkChanged(unit); });

    connect(unit, &Unit::requestAnswareCall, this, &Units::requestAnswareCall);
    connect(unit, &Unit::requestEndOutgoingTalk, this, &Units::requestEndOutgoingTalk);
    connect(unit, &Unit::requestEndIncomingTalk, this, &Units::requestEndIncomingTalk);
    connect(unit, &Unit::requestConnectWard, this, &Units::requestConnectWard);
    connect(unit, &Unit::requestDisconnectWard, this, &Units::requestDisconnectWard);
    connect(unit, &Unit::requestOpenEZ, this, [this, unit] { emit requestOpenEZ(unit); });
    connect(unit, &Unit::requestModeDay, this, [this, unit] { setDayNightMode(unit, Ward::Day); });
    connect(unit, &Unit::requestModeNight, this,
            [this, unit] { setDayNightMode(unit, Ward::Night); });
    connect(unit, &Unit::basicInfoUpdated, this,
            [this, unit](const BasicInfo& info) { emit basicInfoUpdated(unit, info); });
    connect(unit, &Unit::btUpdated, this, [this, unit](const BT& bt) { emit btUpdated(unit, bt); });

    Presences* presences = unit->presences();
    connect(presences, &Presences::registeredPP, this, [this, unit] { emit registeredPP(unit); });
    connect(presences, &Presences::unregisteredPP, this,
            [this, unit] { emit unregisteredPP(unit); });
    connect(presences, &Presences::registeredPS, this, [this, unit] { emit registeredPS(unit); });
    connect(presences, &Presences::unregisteredPS, this,
            [this, unit] { emit unregisteredPS(unit); });
}

void Units::connectRondelUnit(RondelUnit* unit)
{
    // The error change first: whoever hears of the loss must already see
    // the unit's error raised.
    connect(unit, &RondelUnit::communicationFailed, this, [this, unit] {
        emit rondelErrorChanged(unit);
        onCommunicationLostOrOutOfSync(unit);
    });
    connect(unit, &RondelUnit::communicationRestored, this,
            [this, unit] { emit rondelErrorChanged(unit); });
    connect(unit, &RondelUnit::outOfSync, this,
            [this, unit] { onCommunicationLostOrOutOfSync(unit); });
    connect(unit, &RondelUnit::retrievalDone, this, [this, unit] { onRetrievalDone(unit); });
    connect(unit, &RondelUnit::mtfChanged, this, [this, unit] { emit mtfChanged(unit); });
    connect(unit, &RondelUnit::connectionChanged, this,
            [this, unit] { emit connectionChanged(unit); });

    PMB* pmb = unit->pmb();
    connect(pmb, &PMB::pmbInfoCleared, this, [this, unit] { emit pmbInfoCleared(unit); });
    connect(pmb, &PMB::pmbInfoUpdated, this,
            [this, unit](const PMBInfo& info) { emit pmbInfoUpdated(unit, info); });
}

void Units::disconnectUnit(Unit* unit)
{
    // A unit on its way out may still have calls ended or presences cleared
    // before it is deleted; none of that may reach the rest of the core.
    disconnect(unit, nullptr, this, nullptr);
    disconnect(unit->calls(), nullptr, this, nullptr);
    disconnect(unit->presences(), nullptr, this, nullptr);
    if (auto* rondelUnit = qobject_cast<RondelUnit*>(unit))
        disconnect(rondelUnit->pmb(), nullptr, this, nullptr);
}

void Units::setDayNightMode(Unit* unit, int mode)
{
    m_wards->setMode(unit->location().ward(), mode);
}

void Units::onCommunicationLostOrOutOfSync(RondelUnit* unit)
{
    const bool wasLost = m_repository->isLost(unit);
    m_repository->markLost(unit);
    if (!wasLost && m_repository->isLost(unit)) {
        unit->startStatusRetrieval();
        emit lostCommunication(unit);
    } else if (m_repository->isInitialising(unit) && !m_repository->hasPending()) {
        // A unit that fails while pending no longer holds up the start-up.
        m_initializer->finish();
    }
}

void Units::onRetrievalDone(RondelUnit* unit)
{
    if (m_repository->isInitialising(unit)) {
        m_initializer->unitRetrieved(unit);
    } else if (m_repository->isLost(unit)) {
        m_repository->markRestored(unit);
        unit->applyRetrievedState();
        emit stateRestored(unit);
    }
}

UnconfiguredUnit* Units::addUnconfigured(const QHostAddress& ip)
{
    UnconfiguredUnit* unit = m_factory->createUnconfigured(ip);
    m_repository->addUnconfigured(unit);
    // Only what the installation is told about an unknown unit: it takes
    // part in no call and stands in no ward.
    connect(unit, &Unit::basicInfoUpdated, this,
            [this, unit](const BasicInfo& info) { emit basicInfoUpdated(unit, info); });
    connect(unit, &Unit::btUpdated, this, [this, unit](const BT& bt) { emit btUpdated(unit, bt); });
    connect(unit, &UnconfiguredUnit::rondelSendingError, this,
            [this, unit] { emit rondelErrorChanged(unit); });
    connect(unit, &UnconfiguredUnit::rondelSendingOK, this,
            [this, unit] { emit rondelErrorChanged(unit); });
    emit newUnit(unit);
    return unit;
}

void Units::commandFromUnlistenedAddress(const Command& command, const QHostAddress& ip)
{
    if (m_repository->containsConfigured(ip)) {
        qCritical() << QString(QStringLiteral("Config file - incorrect units type ")
                               + ip.toString());
        return;
    }
    UnconfiguredUnit* unit = m_repository->unconfiguredUnit(ip);
    if (!unit)
        unit = addUnconfigured(ip);
    unit->attach(m_server);
    unit->receivedCommand(command);
    unit->setResponding(true);
    unit->startProbe();
}

void Units::unitDiscovered(const QHostAddress& ip)
{
    if (m_repository->contains(ip))
        return;
    UnconfiguredUnit* unit = addUnconfigured(ip);
    unit->attach(m_server);
    unit->startProbe();
}

int Units::reloadUnit(Unit* unit, const QVariantMap& config)
{
    Location location = unit->location();
    const Room* before = location.room;
    location.room = m_rooms->room(config.value(RoomKey).toString().trimmed());
    int level = unit->reloadSettings(config, location);
    m_repository->relocate(unit, before);
    // Which calls the unit receives is part of its configuration too; the
    // calls it holds were delivered by the old rule.
    if (receiveModeChanged(unit, config)) {
        setReceiveMode(unit, config);
        level = Restart;
    }
    return level;
}

void Units::reloadUnits(const QVariant& units)
{
    m_restartList.clear();
    m_replacements.clear();
    m_removalCandidates = m_repository->configuredUnits();
    // The wards and rooms were reloaded just before: a room may now belong
    // to another ward.
    m_repository->receiveRulesChanged();

    const QVariantList list = units.toList();
    for (const QVariant& element : list) {
        const QVariantMap config = element.toMap();
        const QHostAddress ip = usableAddress(config);
        if (ip.isNull())
            continue;
        if (Unit* unit = m_repository->configuredUnit(ip)) {
            if (!m_removalCandidates.contains(unit))
                continue; // a repeated entry; the first one counts
            if (configuredType(config) != unit->type()) {
                // Another model behaves differently on the bus: the old
                // object goes with the removed units, and the new one is
                // created in its place.
                m_replacements.append({ip, config});
                continue;
            }
            m_removalCandidates.removeOne(unit);
            const int level = reloadUnit(unit, config);
            auto* rondelUnit = qobject_cast<RondelUnit*>(unit);
            const bool radios = m_reloadRadiosChanged && rondelUnit && rondelUnit->hasRadioChannels();
            if (level == Restart || radios
                || m_rooms->groupChangedRooms().contains(unit->location().room))
                m_restartList.append(unit);
        } else if (UnconfiguredUnit* unconfigured = m_repository->unconfiguredUnit(ip)) {
            unconfigured->detach();
            m_repository->removeUnconfigured(ip);
            createUnit(ip, config);
        } else {
            createUnit(ip, config);
        }
    }
}

void Units::removeUnits()
{
    const QVector<Unit*> candidates = m_removalCandidates;
    m_removalCandidates.clear();
    for (Unit* unit : candidates) {
        const QHostAddress ip = unit->ip();
        emit unitRemoved(ip);
        if (auto* rondelUnit = qobject_cast<RondelUnit*>(unit))
            rondelUnit->detach();
        disconnectUnit(unit);
        m_repository->remove(ip);
        m_restartList.removeOne(unit);
    }

    const auto replacements = m_replacements;
    m_replacements.clear();
    for (const auto& replacement : replacements)
        createUnit(replacement.first, replacement.second);

    // Units that left for good are no longer probed.
    for (Unit* unit : candidates) {
        if (!m_repository->contains(unit->ip()))
            m_server->removeProtocol(unit->ip());
    }
}

void Units::restartUnits()
{
    const QVector<Unit*> restart = m_restartList;
    m_restartList.clear();
    for (Unit* unit : restart) {
        auto* rondelUnit = qobject_cast<RondelUnit*>(unit);
        if (!rondelUnit || !m_repository->configuredUnits().contains(unit))
            continue;
        m_repository->markLost(rondelUnit);
        rondelUnit->startStatusRetrieval();
    }
}

void Units::setRequestRepeatInterval(int ms)
{
    m_requestRepeat = ms;
    for (RondelUnit* unit : m_repository->rondelUnits())
        unit->setRequestRepeatInterval(ms);
}
