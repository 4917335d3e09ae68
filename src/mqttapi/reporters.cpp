#include "mqttapi/reporters.h"

#include "calls/callcapable.h"
#include "core/jsonfile.h"
#include "errors/errorevents.h"
#include "mqtt/mqttpublisher.h"
#include "synthesizer/synthesizer.h"
#include "units/features/connecteddevices.h"
#include "units/features/presences.h"
#include "units/settings/calllimitssettings.h"
#include "units/settings/languagesettings.h"
#include "units/registry/units.h"
#include "units/registry/unitsinitializer.h"
#include "units/registry/unitsrepository.h"
#include "units/unconfiguredunit.h"
#include "units/unit.h"
#include "calls/calls.h"

#include <QSet>
#include <QVariantList>
#include <QVariantMap>

#include <utility>

namespace {

QString addressText(const CallCapable* unit)
{
    return unit ? unit->ip().toString() : QString();
}

QVariantList addresses(const QVector<CallCapable*>& units)
{
    QVariantList list;
    for (const CallCapable* unit : units)
        list.append(addressText(unit));
    return list;
}

// The keys both call topics share; the caller adds "state" or "endType".
QVariantMap callPayload(const Call& call, const QVector<CallCapable*>& to)
{
    return {
        {QStringLiteral("startCall"), MqttReporter::dateTimeText(call.created())},
        {QStringLiteral("startTalk"), MqttReporter::dateTimeText(call.connectedAt())},
        {QStringLiteral("endTalk"), MqttReporter::dateTimeText(call.disconnectedAt())},
        {QStringLiteral("endCall"), MqttReporter::dateTimeText(call.finishedAt())},
        {QStringLiteral("type"), call.code()},
        {QStringLiteral("priority"), call.typeName()},
        {QStringLiteral("from"), addressText(call.source())},
        {QStringLiteral("to"), addresses(to)},
    };
}

QVariantMap detected(bool value)
{
    return {{QStringLiteral("detected"), value}};
}

// A code of 0 means no handset; all bits set means the unit did not say.
QString mtfText(int code)
{
    if (code == 0 || code == -1)
        return QString();
    return QString::number(quint32(code), 16);
}

} // namespace

MqttReporter::MqttReporter(MqttPublisher* publisher, QObject* parent)
    : QObject(parent),
      m_publisher(publisher)
{
}

QString MqttReporter::dateTimeText(const QDateTime& dateTime)
{
    if (!dateTime.isValid())
        return QString();
    return dateTime.toLocalTime().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz"));
}

void MqttReporter::publish(const QString& topic, const QByteArray& payload)
{
    m_publisher->publishRetained(MqttMessage(0, topic, payload));
}

UnitTopicMqttReporter::UnitTopicMqttReporter(const QString& part, MqttPublisher* publisher,
                                             QObject* parent)
    : MqttReporter(publisher, parent),
      m_part(part)
{
}

QString UnitTopicMqttReporter::topic(const QHostAddress& ip) const
{
    return QStringLiteral("units/") + ip.toString() + QLatin1Char('/') + m_part;
}

void UnitTopicMqttReporter::clear(const QHostAddress& ip)
{
    clearTopic(topic(ip));
}

void UnitTopicMqttReporter::publishFor(const QHostAddress& ip, const QVariantMap& payload)
{
    publish(topic(ip), toJson(payload));
}

BasicInfoMqttReporter::BasicInfoMqttReporter(MqttPublisher* publisher, QObject* parent)
    : UnitTopicMqttReporter(QStringLiteral("info"), publisher, parent)
{
}

void BasicInfoMqttReporter::report(Unit* unit, const BasicInfo& info)
{
    publishFor(unit->ip(), {
        {QStringLiteral("acronymPU"), info.acronymPU},
        {QStringLiteral("namePU"), info.namePU},
        {QStringLiteral("productCodePU"), info.productCodePU},
        {QStringLiteral("typePU"), info.typePU},
        {QStringLiteral("fwVersionPU"), info.fwVersionPU},
        {QStringLiteral("typeGT"), info.typeGT},
        {QStringLiteral("fwVersionGT"), info.fwVersionGT},
        {QStringLiteral("mac"), info.macAddress},
    });
}

ConnectionsMqttReporter::ConnectionsMqttReporter(MqttPublisher* publisher, QObject* parent)
    : UnitTopicMqttReporter(QStringLiteral("connections"), publisher, parent)
{
}

void ConnectionsMqttReporter::report(Unit* unit)
{
    const ConnectedDevices* devices = unit->connectedDevices();
    // The first place stands for the desk unit itself, which is its own
    // device; NV1..NV8 follow.
    QVariantList nv{detected(unit->type() == Unit::DeskaType)};
    for (int number = 1; number <= ConnectedDevices::NVCount; ++number)
        nv.append(detected(devices->isNVConnected(number)));
    publishFor(unit->ip(), {
        {QStringLiteral("nv"), nv},
        {QStringLiteral("sv"), detected(devices->isSVConnected())},
        {QStringLiteral("oez"), detected(devices->isOEZConnected())},
    });
}

void ConnectionsMqttReporter::reportAll(const QVector<Unit*>& units)
{
    for (Unit* unit : units)
        report(unit);
}

PMBInfoMqttReporter::PMBInfoMqttReporter(MqttPublisher* publisher, QObject* parent)
    : UnitTopicMqttReporter(QStringLiteral("pmbInfo"), publisher, parent)
{
}

void PMBInfoMqttReporter::report(Unit* unit, const PMBInfo& info)
{
    publishFor(unit->ip(), {
        {QStringLiteral("id"), info.id},
        {QStringLiteral("type"), info.type},
        {QStringLiteral("fwVersion"), info.fwVersion},
        {QStringLiteral("err"), info.err},
    });
}

void PMBInfoMqttReporter::reportCleared(Unit* unit)
{
    clear(unit->ip());
}

UnitStatusMqttReporter::UnitStatusMqttReporter(MqttPublisher* publisher, QObject* parent)
    : UnitTopicMqttReporter(QStringLiteral("state"), publisher, parent)
{
}

UnitStatusMqttReporter::UnitStatusMqttReporter(MqttPublisher* publisher, Units* units,
                                               QObject* parent)
    : UnitStatusMqttReporter(publisher, parent)
{
    UnitsRepository* repository = units->repository();
    connect(units->initializer(), &UnitsInitializer::unitsInitialized, this,
            [this, repository] { reportAll(repository->configuredUnits()); });
    connect(units->initializer(), &UnitsInitializer::unitInitializedLate, this,
            &UnitStatusMqttReporter::report);
    m_repository = repository;
    for (auto signal : {&Units::newUnit, &Units::rondelErrorChanged, &Units::mtfChanged,
                        &Units::callsChanged, &Units::talkChanged, &Units::registeredPP,
                        &Units::unregisteredPP, &Units::registeredPS, &Units::unregisteredPS})
        connect(units, signal, this, &UnitStatusMqttReporter::reportSoon);
}

void UnitStatusMqttReporter::reportSoon(Unit* unit)
{
    // A call changes the state of every unit it rings at, and the start-up
    // reading changes each unit several times over. Publishing waits until
    // the datagrams of this pass are out, so the call rings first, and each
    // unit is published once, as it stands by then.
    if (m_pending.isEmpty())
        QMetaObject::invokeMethod(this, &UnitStatusMqttReporter::reportPending, Qt::QueuedConnection);
    m_pending.append(unit);
}

bool UnitStatusMqttReporter::isCurrent(const Unit* unit) const
{
    if (!m_repository)
        return true;
    const QHostAddress ip = unit->ip();
    return m_repository->configuredUnit(ip) == unit
           || static_cast<const Unit*>(m_repository->unconfiguredUnit(ip)) == unit;
}

void UnitStatusMqttReporter::reportPending()
{
    const QVector<QPointer<Unit>> pending = std::exchange(m_pending, {});
    QSet<const Unit*> done;
    for (Unit* unit : pending) {
        // A unit taken out of the registry meanwhile has had its topic
        // cleared, or will have: its state must not come back.
        if (!unit || done.contains(unit) || !isCurrent(unit))
            continue;
        done.insert(unit);
        report(unit);
    }
}

void UnitStatusMqttReporter::report(Unit* unit)
{
    const Calls* calls = unit->calls();
    const Call& own = calls->ownCall();
    publishFor(unit->ip(), {
        {QStringLiteral("rdErr"), unit->hasRondelError()},
        // The SBus of older installations is not supervised here.
        {QStringLiteral("sbErr"), false},
        {QStringLiteral("mtf"), mtfText(unit->connectedDevices()->mtfCode())},
        {QStringLiteral("vkIn"), calls->hasReceivedVK()},
        {QStringLiteral("vsIn"), calls->hasReceivedVS()},
        {QStringLiteral("alIn"), calls->hasReceivedAL()},
        {QStringLiteral("paIn"), calls->hasReceivedPA()},
        {QStringLiteral("dcIn"), calls->hasReceivedDC()},
        {QStringLiteral("nvIn"), calls->hasRingingNV()},
        {QStringLiteral("vkOut"), own.isVK()},
        {QStringLiteral("vsOut"), own.isVS()},
        {QStringLiteral("alOut"), own.isAL()},
        {QStringLiteral("paOut"), own.isPA()},
        {QStringLiteral("dcOut"), own.isDC()},
        {QStringLiteral("nvOut"), calls->hasUnmutedNVCalls()},
        {QStringLiteral("pp"), unit->isPPRegistered()},
        {QStringLiteral("ps"), unit->isPSRegistered()},
        {QStringLiteral("pl"), unit->isPLConfigured()},
    });
}

void UnitStatusMqttReporter::reportAll(const QVector<Unit*>& units)
{
    for (Unit* unit : units)
        report(unit);
}

void BTVersionMqttReporter::report(const BT& bt)
{
    // A record without either value says nothing about the module.
    if (bt.type.isEmpty() && bt.fwVersion.isEmpty())
        return;
    const QString prefix = QStringLiteral("BT");
    const QString name = bt.id.startsWith(prefix) ? bt.id : prefix + bt.id;
    publish(QStringLiteral("bts/") + name + QStringLiteral("/version"),
            toJson(QVariantMap{{QStringLiteral("type"), bt.type},
                               {QStringLiteral("fwVersion"), bt.fwVersion}}));
}

void CallQueueMqttReporter::report(const Call& call)
{
    // Who is involved changes with the state: nobody yet, then the units
    // where it rings, then the ones that answered.
    QVector<CallCapable*> to;
    if (call.isRinging())
        to = call.receivers();
    else if (!call.isNew())
        to = call.targets();
    QVariantMap payload = callPayload(call, to);
    payload.insert(QStringLiteral("state"), call.stateName());
    publish(QStringLiteral("calls/") + QString::number(call.id()), toJson(payload));
}

void CallQueueMqttReporter::clear(qint64 id)
{
    clearTopic(QStringLiteral("calls/") + QString::number(id));
}

void CallHistoryMqttReporter::report(const Call& call)
{
    QVariantMap payload = callPayload(call, call.targets());
    payload.insert(QStringLiteral("endType"), endTypeName(call.endType()));
    publish(QStringLiteral("callsHistory/") + QString::number(call.id()), toJson(payload));
}

ErrorHistoryMqttReporter::ErrorHistoryMqttReporter(ErrorEvents* events, MqttPublisher* publisher,
                                                   QObject* parent)
    : MqttReporter(publisher, parent)
{
    connect(events, &ErrorEvents::newEvent, this, &ErrorHistoryMqttReporter::report);
    connect(events, &ErrorEvents::eventFinished, this, &ErrorHistoryMqttReporter::report);
}

void ErrorHistoryMqttReporter::report(const ErrorEvent& event)
{
    publish(QStringLiteral("errors/") + QString::number(event.id),
            toJson(QVariantMap{
                {QStringLiteral("ip"), event.ip.toString()},
                {QStringLiteral("type"), event.typeName()},
                {QStringLiteral("start"), dateTimeText(event.start)},
                {QStringLiteral("end"), dateTimeText(event.end)},
            }));
}

SynthesizerMqttReporter::SynthesizerMqttReporter(CallLimitsSettings* callLimits,
                                                 LanguageSettings* language,
                                                 MqttPublisher* publisher, QObject* parent)
    : MqttReporter(publisher, parent),
      m_callLimits(callLimits),
      m_language(language)
{
}

void SynthesizerMqttReporter::reportStarted(const SynthesizedMessage& message)
{
    publish(QStringLiteral("synthesizerRequests/") + QString::number(message.port),
            toJson(QVariantMap{
                {QStringLiteral("type"), Synthesizer::typeName(message.type)},
                {QStringLiteral("ip"), message.ip.toString()},
                {QStringLiteral("port"), int(message.port)},
                {QStringLiteral("priority"), callTypeName(CallType(message.priority))},
                {QStringLiteral("action"), QStringLiteral("Start")},
                {QStringLiteral("room"), message.room},
                {QStringLiteral("language"), m_language->languageString()},
                {QStringLiteral("timeout"), m_callLimits->maxTalkDuration()},
                {QStringLiteral("repeat"), -1},
            }));
}

void SynthesizerMqttReporter::reportStopped(const SynthesizedMessage& message)
{
    const QString topic = QStringLiteral("synthesizerRequests/") + QString::number(message.port);
    publish(topic, toJson(QVariantMap{{QStringLiteral("action"), QStringLiteral("Stop")}}));
    clearTopic(topic);
}
