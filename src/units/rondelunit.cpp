#include "units/rondelunit.h"

#include "core/constants.h"
#include "calls/call.h"
#include "calls/calls.h"
#include "rondel/rondel.h"
#include "rondel/rondelserver.h"
#include "units/features/buzzer.h"
#include "units/features/configcontrol.h"
#include "units/features/connecteddevices.h"
#include "units/displays/display.h"
#include "units/displays/displays.h"
#include "units/features/light.h"
#include "units/settings/nvsettings.h"
#include "units/features/pmb.h"
#include "units/features/presences.h"
#include "units/rondelunitstatusretrieval.h"

#include <QDebug>

#include <algorithm>

namespace {

// The codes of the unit's own call, in the order that decides which one is
// raised when the unit reports several at once.
const QStringList& ownCallCodes()
{
    static const QStringList codes{QStringLiteral("AL"), QStringLiteral("VS"),
                                   QStringLiteral("VSM"), QStringLiteral("VK"),
                                   QStringLiteral("VKM")};
    return codes;
}

bool isDeviceCode(const QString& code)
{
    return code.startsWith(QLatin1String("NV")) || code.startsWith(QLatin1String("BT"));
}

// The first own-call code the record holds with the status, by priority.
QString ownCodeWithStatus(const CallChange& status, int value)
{
    for (const QString& code : ownCallCodes()) {
        if (status.value(code, -1) == value)
            return code;
    }
    return QString();
}

} // namespace

RondelUnit::RondelUnit(const QHostAddress& ip, QObject* parent)
    : Unit(ip, parent)
    , m_buzzer(new Buzzer(this, this))
    , m_configControl(new ConfigControl(this, this))
    , m_light(new Light(this))
    , m_statusRetrieval(new RondelUnitStatusRetrieval(this, this))
    , m_pmb(new PMB(ip, this))
{
    connect(m_statusRetrieval, &RondelUnitStatusRetrieval::retrievalDone, this,
            &RondelUnit::retrievalDone);

    Calls* unitCalls = calls();
    connect(unitCalls, &Calls::callConnected, this, &RondelUnit::onCallConnected);
    connect(unitCalls, &Calls::callTerminated, this, &RondelUnit::onCallTerminated);
    connect(unitCalls, &Calls::callUpdated, this, &RondelUnit::onCallUpdated);
    connect(unitCalls, &Calls::talkTerminated, this, [this] {
        if (m_sender)
            m_sender->voipEndCall();
    });

    ConnectedDevices* devices = connectedDevices();
    connect(devices, &ConnectedDevices::svConnected, m_light, &Light::svConnected);
    connect(devices, &ConnectedDevices::svDisconnected, m_light, &Light::svDisconnected);
    connect(devices, &ConnectedDevices::requestConnectionStatus, this, [this] {
        if (m_sender)
            m_sender->requestConnectionStatus();
    });
    connect(devices, &ConnectedDevices::mtfConnected, this, &RondelUnit::mtfChanged);
    connect(devices, &ConnectedDevices::mtfDisconnected, this, &RondelUnit::mtfChanged);
    connect(devices, &ConnectedDevices::mtfChanged, this, &RondelUnit::mtfChanged);
    connect(devices, &ConnectedDevices::connectionChanged, this, &RondelUnit::connectionChanged);
}

RondelUnit::~RondelUnit()
{
    detach();
}

void RondelUnit::attach(RondelServer* server)
{
    if (!server || m_server)
        return;
    m_server = server;
    server->addCommandListener(this, ip());
    server->addStatusListener(this, ip());
    m_sender = new Rondel(server, ip(), this);
    m_statusRetrieval->setSender(m_sender);
    m_buzzer->setSender(m_sender);
    m_configControl->setSender(m_sender);
    m_light->setSender(m_sender);
    m_pmb->setSender(m_sender);
    senderAttached(m_sender);
}

void RondelUnit::detach()
{
    if (!m_server)
        return;
    m_server->removeCommandListener(this, ip());
    m_server->removeStatusListener(this, ip());
}

void RondelUnit::setRequestRepeatInterval(int ms)
{
    m_statusRetrieval->setRetryInterval(ms);
    m_configControl->setRetryInterval(ms);
}

int RondelUnit::sourceMode(const QString& code) const
{
    if (code == QLatin1String("VSM") || code == QLatin1String("VKM"))
        return connectedDevices()->isSpecialMtf() ? 3 : 2;
    return isDeviceCode(code) ? 3 : 1;
}

bool RondelUnit::persistsAfterTalk(const QString& code) const
{
    if (nvSettings() && nvSettings()->entry(ip(), code).cancelByAnswering)
        return false;
    return isDeviceCode(code);
}

int RondelUnit::buzzTarget(const Call& call) const
{
    Q_UNUSED(call)
    return 1;
}

void RondelUnit::createDisplay(const QString& displayType)
{
    if (displayType.startsWith(QLatin1String("Rasto")))
        setDisplay(new DisplayRasto(m_sender, languageSettings(), namedaysSettings()));
}

void RondelUnit::unitNotResponding()
{
    m_rondelError = true;
    emit communicationFailed();
}

void RondelUnit::unitStartResponding()
{
    m_rondelError = false;
    emit communicationRestored();
}

void RondelUnit::startStatusRetrieval()
{
    m_syncPending = true;
    // What waited for the previous reading is older than what this one
    // reads: replayed afterwards, a stale "cancelled" would end a call the
    // unit raised again in the meantime.
    m_pendingCommands.clear();
    m_pendingOverflow = false;
    m_statusRetrieval->start();
}

void RondelUnit::receivedCommand(const Command& command)
{
    if (m_statusRetrieval->isRunning()) {
        const int state = m_statusRetrieval->state();
        if (m_statusRetrieval->receivedCommand(command))
            return;
        // Once the call status has been read, a change reported afterwards
        // is newer than what will be applied: dropping it would lose a call
        // raised during the retrieval. A model that reads no call status
        // reaches the last step straight from its identity; what arrives
        // then answers an earlier request and would only repeat it.
        if (state == RondelUnitStatusRetrieval::NotificationsAsked && reportsCallStatus())
            queueCommand(command);
        return;
    }
    if (m_syncPending || !m_pendingCommands.isEmpty()) {
        queueCommand(command);
        return;
    }
    dispatch(command);
}

void RondelUnit::queueCommand(const Command& command)
{
    if (m_pendingCommands.size() < MaxPendingCommands) {
        m_pendingCommands.append(command);
        return;
    }
    // Once per wait: a flood must not flood the log as well.
    if (!m_pendingOverflow) {
        m_pendingOverflow = true;
        qWarning() << QString(ip().toString()
                              + QStringLiteral(" %1 commands wait for the unit's state, "
                                               "later ones are dropped")
                                    .arg(MaxPendingCommands));
    }
}

void RondelUnit::dispatch(const Command& command)
{
    qDebug() << QString(ip().toString() + QLatin1Char(' ') + command.name);
    const QString& name = command.name;
    if (name == Constants::Cmd::BasicInfo) {
        emit outOfSync();
    } else if (name == Constants::Cmd::BT) {
        emit btUpdated(command.record<BT>());
    } else if (name == Constants::Cmd::CallChange) {
        processCallStatus(command.record<CallChange>(), false);
    } else if (name == Constants::Cmd::Config) {
        m_configControl->configReceived(command);
    } else if (name == Constants::Cmd::ConnectionChange) {
        connectedDevices()->changeReceived(command.record<ConnectionStatus>());
    } else if (name == Constants::Cmd::ConnectionStatus) {
        connectedDevices()->statusReceived(command.record<ConnectionStatus>());
    } else if (name == Constants::Cmd::DialCall) {
        processDialCall(command.record<DialCall>());
    } else if (name == Constants::Cmd::PresenceStatus) {
        presences()->statusReceived(command);
    } else if (name == Constants::Cmd::Requests) {
        processRequests(command.record<Requests>());
    } else if (m_pmb->accepts(command)) {
        m_pmb->commandReceived(command);
    } else {
        otherCommand(command);
    }
}

bool RondelUnit::isIdle() const
{
    const Calls* unitCalls = calls();
    return !unitCalls->hasOwnCall() && !unitCalls->hasRingingReceived() && !unitCalls->hasTalk();
}

void RondelUnit::processRequests(const Requests& requests)
{
    for (const Request& request : requests)
        processRequest(request);
}

void RondelUnit::processRequest(const Request& request)
{
    Calls* unitCalls = calls();
    switch (request.type) {
    case Request::CallAnswerBase:
    case Request::CallAnswerMtf:
        if (!unitCalls->hasTalk() && unitCalls->hasRingingReceived()) {
            Call call = unitCalls->firstRingingReceived();
            call.setTarget(this, request.type == Request::CallAnswerMtf ? 2 : 1);
            emit requestAnswareCall(call);
        } else {
            m_buzzer->refresh();
            qWarning() << "CallAnswer request withouth incoming ringing call";
        }
        break;
    case Request::TalkCancelRqst:
        if (unitCalls->hasTalk()) {
            const Call talk = unitCalls->talk();
            if (unitCalls->isOwnCall(talk))
                emit requestEndOutgoingTalk(talk);
            else
                emit requestEndIncomingTalk(talk);
        } else {
            if (m_sender)
                m_sender->voipEndCall();
            qWarning() << QString(ip().toString()
                                  + QStringLiteral(" TalkCancel request withouth talking"));
        }
        break;
    case Request::OpenEZ:
        emit requestOpenEZ();
        break;
    case Request::ModeDay:
        emit requestModeDay();
        break;
    case Request::ModeNight:
        emit requestModeNight();
        break;
    case Request::ConnectWard:
        emit requestConnectWard(request.text.mid(QStringLiteral("ConnectWard").size()).trimmed());
        break;
    case Request::DisconnectWard:
        emit requestDisconnectWard(
            request.text.mid(QStringLiteral("DisconnectWard").size()).trimmed());
        break;
    case Request::StartPA:
        if (isIdle()) {
            Call call(CallType::PA, QStringLiteral("PA"), this);
            call.setSourceMode(sourceMode(QStringLiteral("PA")));
            unitCalls->setCall(call);
        } else if (m_sender) {
            m_sender->variousControlPARejected();
        }
        break;
    case Request::StopPA:
        if (unitCalls->hasOwnCall() && unitCalls->ownCall().isPA()) {
            const Call own = unitCalls->ownCall();
            if (unitCalls->isTalk(own))
                emit requestEndOutgoingTalk(own);
            else
                unitCalls->cancelCall();
        }
        break;
    default:
        break;
    }
}

Call RondelUnit::buildCall(const QString& code)
{
    Call call(callTypeFromCode(code), code, this);
    call.setSourceMode(sourceMode(code));
    if (persistsAfterTalk(code))
        call.setPersistsAfterTalk();
    if (code.startsWith(QLatin1String("BT")))
        call.setMobile();
    return call;
}

void RondelUnit::processCallStatus(const CallChange& status, bool atRetrieval)
{
    Calls* unitCalls = calls();
    const QString newCode = ownCodeWithStatus(status, 1);
    if (!newCode.isEmpty()) {
        if (unitCalls->hasTalk() && !unitCalls->talk().isPA())
            emit outOfSync();
        else
            unitCalls->setCall(buildCall(newCode));
    } else if (!atRetrieval) {
        for (const QString& code : ownCallCodes()) {
            if (status.value(code, -1) == 0 && unitCalls->hasOwnCall()
                && unitCalls->ownCall().type() == callTypeFromCode(code)) {
                unitCalls->cancelCall();
                break;
            }
        }
    } else {
        const QString heldCode = ownCodeWithStatus(status, 2);
        if (!heldCode.isEmpty()) {
            if (persistsAfterTalk(heldCode)) {
                Call call = buildCall(heldCode);
                call.setPersistsAfterTalk();
                call.mute();
                unitCalls->setCall(call);
            } else if (m_sender) {
                m_sender->callHandle(heldCode, Rondel::Kill);
            }
        }
    }

    // Device codes in a fixed order, whatever order the record hashes them.
    QStringList deviceCodes;
    for (auto it = status.constBegin(); it != status.constEnd(); ++it) {
        if (isDeviceCode(it.key()))
            deviceCodes.append(it.key());
    }
    std::sort(deviceCodes.begin(), deviceCodes.end());
    int refused = 0;
    for (const QString& code : qAsConst(deviceCodes)) {
        const int value = status.value(code);
        if ((value == 1 || value == 2) && !unitCalls->hasNVCall(code)
            && unitCalls->nvCalls().size() >= MaxDeviceCalls) {
            ++refused;
            continue;
        }
        switch (value) {
        case 1:
            if (unitCalls->hasNVCall(code)) {
                if (unitCalls->nvCall(code).isMuted() && m_sender)
                    m_sender->callHandle(code, Rondel::Mute);
            } else {
                unitCalls->setNVCall(buildCall(code));
            }
            break;
        case 2: {
            Call call = unitCalls->hasNVCall(code) ? unitCalls->nvCall(code) : buildCall(code);
            call.setPersistsAfterTalk();
            call.mute();
            unitCalls->setNVCall(call);
            break;
        }
        case 0:
            unitCalls->cancelNVCall(code);
            break;
        default:
            break;
        }
    }
    if (refused > 0) {
        qWarning() << QString(ip().toString()
                              + QStringLiteral(" %1 device calls already, %2 more ignored")
                                    .arg(MaxDeviceCalls)
                                    .arg(refused));
    }
}

void RondelUnit::processDialCall(const DialCall& dialCall)
{
    Calls* unitCalls = calls();
    if (dialCall.cancelled) {
        if (unitCalls->hasOwnCall() && unitCalls->ownCall().isDC())
            unitCalls->cancelCall();
        return;
    }
    if (!isIdle()) {
        if (m_sender)
            m_sender->dialProgressFailed();
        return;
    }
    Call call(CallType::DC, QStringLiteral("DC"), this);
    call.setSourceMode(dialCall.destination);
    call.setText(dialCall.number);
    unitCalls->setCall(call);
}

void RondelUnit::onCallConnected(const Call& call, const VoIP& voip)
{
    if (!m_sender)
        return;
    if (!call.isPA())
        m_sender->voipImmediateTalk(voip);
    else if (calls()->isOwnCall(call))
        m_sender->voipTransmitPA(voip);
    else
        m_sender->voipReceivePA(voip);
}

void RondelUnit::onCallTerminated(const Call& call, EndType endType)
{
    if (!m_sender)
        return;
    if (call.isPA())
        m_sender->variousControlPARejected();
    else if (call.isDC() && endType == EndType::TargetBusy)
        m_sender->dialProgressBusy();
    else if (call.isDC())
        m_sender->dialProgressFailed();
    else
        m_sender->callHandle(call.code(), Rondel::Kill);
}

void RondelUnit::onCallUpdated(const Call& oldCall, const Call& newCall)
{
    if (!m_sender)
        return;
    if (oldCall.isDC() && !oldCall.isRinging() && newCall.isRinging())
        m_sender->dialProgressRinging();
    else if (!oldCall.isMuted() && newCall.isMuted())
        m_sender->callHandle(newCall.code(), Rondel::Mute);
}

void RondelUnit::initialiseFromBasicInfo()
{
    const BasicInfo info = m_statusRetrieval->basicInfo();
    m_pmb->setNVSettings(nvSettings());
    m_configControl->setRadiosSettings(radiosSettings());
    m_firmwareVersion = FirmwareVersion::parse(info.fwVersionPU);
    m_light->initialise(type(), m_firmwareVersion);
    createDisplay(info.typeGT);
}

void RondelUnit::applyRetrievedCalls()
{
    if (m_sender)
        m_sender->voipEndCall();
    processCallStatus(m_statusRetrieval->callStatus(), true);
}

void RondelUnit::applyRetrievedState()
{
    const BasicInfo info = m_statusRetrieval->basicInfo();
    m_firmwareVersion = FirmwareVersion::parse(info.fwVersionPU);
    if (reportsPresenceStatus())
        presences()->applyStatus(m_statusRetrieval->presenceStatus());
    if (usesPresenceMode() && m_sender) {
        PresenceMode mode;
        mode.ps = presences()->modePS() ? 1 : 0;
        mode.pp = presences()->modePP() ? 1 : 0;
        m_sender->setMode(mode);
    }
    applyRetrievedCalls();

    m_light->refresh(type(), m_firmwareVersion);
    m_buzzer->refresh();
    display()->refresh();
    if (reportsConnectionStatus()) {
        connectedDevices()->reset();
        if (m_sender)
            m_sender->requestConnectionStatus();
    }
    m_configControl->refresh();
    m_pmb->refresh();

    while (!m_pendingCommands.isEmpty())
        dispatch(m_pendingCommands.takeFirst());
    m_pendingOverflow = false;
    m_syncPending = false;
    emit basicInfoUpdated(info);
}
