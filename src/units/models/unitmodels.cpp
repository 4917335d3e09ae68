#include "units/models/unitmodels.h"

#include "core/constants.h"
#include "rondel/rondel.h"
#include "units/features/configcontrol.h"
#include "units/features/connecteddevices.h"
#include "units/settings/corvisettings.h"
#include "units/displays/displays.h"
#include "units/features/fmcontroler.h"

namespace {

// Units from this firmware on keep presences permanently when configured.
const FirmwareVersion PresenceModeFirmware(2, 4);

} // namespace

Tolva::Tolva(const QHostAddress& ip, QObject* parent)
    : RondelUnit(ip, parent)
{
}

QString Tolva::audioType(int mode) const
{
    return mode == 2 ? QStringLiteral("Tolva-MTF") : QStringLiteral("Tolva/Brisa");
}

bool Tolva::usesPresenceMode() const
{
    return firmwareVersion() >= PresenceModeFirmware;
}

bool Tolva::acceptsCalls(const Call& call) const
{
    Q_UNUSED(call)
    return true;
}

Brisa::Brisa(const QHostAddress& ip, QObject* parent)
    : RondelUnit(ip, parent)
{
}

QString Brisa::audioType(int mode) const
{
    Q_UNUSED(mode)
    return QStringLiteral("Tolva/Brisa");
}

void Brisa::openDoor()
{
    if (sender())
        sender()->doorLockOpen(m_doorOpenTime);
}

Melde::Melde(const QHostAddress& ip, QObject* parent)
    : Brisa(ip, parent)
{
}

QString Melde::audioType(int mode) const
{
    Q_UNUSED(mode)
    return QStringLiteral("Melde");
}

Pardo::Pardo(const QHostAddress& ip, QObject* parent)
    : RondelUnit(ip, parent)
{
}

QString Pardo::audioType(int mode) const
{
    Q_UNUSED(mode)
    return QStringLiteral("Pardo");
}

int Pardo::sourceMode(const QString& code) const
{
    Q_UNUSED(code)
    return connectedDevices()->isSpecialMtf() ? 3 : 2;
}

bool Pardo::acceptsDialCalls() const
{
    return connectedDevices()->hasMtf() && !connectedDevices()->isSpecialMtf();
}

int Pardo::buzzTarget(const Call& call) const
{
    Q_UNUSED(call)
    return 2;
}

Lumo::Lumo(const QHostAddress& ip, QObject* parent)
    : RondelUnit(ip, parent)
{
}

void Lumo::createDisplay(const QString& displayType)
{
    Q_UNUSED(displayType)
    setDisplay(new DisplayLumo(sender(), languageSettings()));
}

Corvi::Corvi(const QHostAddress& ip, QObject* parent)
    : RondelUnit(ip, parent)
    , m_corviSettings(new CorviSettings(ip, this))
    , m_fmControler(new FMControler(this, m_corviSettings, this))
{
    addSettings(m_corviSettings);
    configControl()->setCorviSettings(m_corviSettings);
}

void Corvi::setRequestRepeatInterval(int ms)
{
    RondelUnit::setRequestRepeatInterval(ms);
    m_fmControler->setRetryInterval(ms);
}

void Corvi::senderAttached(Rondel* sender)
{
    m_fmControler->setSender(sender);
}

void Corvi::otherCommand(const Command& command)
{
    if (command.name == Constants::Cmd::FM1Status || command.name == Constants::Cmd::FM2Status)
        m_fmControler->fmStatusReceived(command);
}

void Corvi::applyRetrievedCalls()
{
    m_fmControler->refresh();
}

Deska::Deska(const QHostAddress& ip, QObject* parent)
    : RondelUnit(ip, parent)
{
}

int Deska::sourceMode(const QString& code) const
{
    Q_UNUSED(code)
    return 3;
}

bool Deska::usesPresenceMode() const
{
    return firmwareVersion() >= PresenceModeFirmware;
}

bool Deska::persistsAfterTalk(const QString& code) const
{
    return RondelUnit::persistsAfterTalk(code) || code == QLatin1String("AL");
}

Fenno::Fenno(const QHostAddress& ip, QObject* parent)
    : RondelUnit(ip, parent)
{
}

QString Fenno::audioType(int mode) const
{
    Q_UNUSED(mode)
    return QStringLiteral("Fenno");
}

int Fenno::sourceMode(const QString& code) const
{
    Q_UNUSED(code)
    return 2;
}

void Fenno::createDisplay(const QString& displayType)
{
    Q_UNUSED(displayType)
    setDisplay(new DisplayFenno(sender(), languageSettings(), namedaysSettings()));
}
