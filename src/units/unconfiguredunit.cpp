#include "units/unconfiguredunit.h"

#include "core/constants.h"
#include "rondel/rondel.h"
#include "rondel/rondelserver.h"
#include "units/features/presences.h"

UnconfiguredUnit::UnconfiguredUnit(const QHostAddress& ip, QObject* parent)
    : Unit(ip, parent)
{
}

UnconfiguredUnit::~UnconfiguredUnit()
{
    detach();
}

void UnconfiguredUnit::attach(RondelServer* server)
{
    if (!server || m_server)
        return;
    m_server = server;
    server->addCommandListener(this, ip());
    server->addStatusListener(this, ip());
    m_sender = new Rondel(server, ip(), this);
}

void UnconfiguredUnit::detach()
{
    if (!m_server)
        return;
    m_server->removeCommandListener(this, ip());
    m_server->removeStatusListener(this, ip());
}

void UnconfiguredUnit::startProbe()
{
    m_state = BasicInfoAsked;
    sendRequest();
}

void UnconfiguredUnit::sendRequest()
{
    if (!m_sender)
        return;
    if (m_state == BasicInfoAsked)
        m_sender->requestBasicInfo();
    else if (m_state == PresenceStatusAsked)
        m_sender->requestPresenceStatus();
}

void UnconfiguredUnit::receivedCommand(const Command& command)
{
    if (m_state == BasicInfoAsked && !m_responding)
        m_responding = true;
    if (command.name == Constants::Cmd::BasicInfo) {
        m_basicInfo = command.record<BasicInfo>();
        emit basicInfoUpdated(m_basicInfo);
        if (m_state == BasicInfoAsked) {
            m_type = typeFromText(m_basicInfo.acronymPU);
            m_state = PresenceStatusAsked;
            sendRequest();
        }
    } else if (command.name == Constants::Cmd::BT) {
        emit btUpdated(command.record<BT>());
    } else if (command.name == Constants::Cmd::PresenceStatus) {
        presences()->statusReceived(command);
        if (m_state == PresenceStatusAsked)
            m_state = Done;
    }
}

void UnconfiguredUnit::unitNotResponding()
{
    if (m_state == BasicInfoAsked && !m_responding) {
        // Nothing ever answered: the probe ends with an unknown unit.
        m_state = Done;
        m_basicInfo.acronymPU = QString();
        emit basicInfoUpdated(m_basicInfo);
    } else if (!m_sendingError) {
        m_sendingError = true;
        emit rondelSendingError();
    }
}

void UnconfiguredUnit::unitStartResponding()
{
    if (m_state == Done && !m_responding) {
        m_responding = true;
        m_state = BasicInfoAsked;
        sendRequest();
        return;
    }
    if (m_sendingError) {
        m_sendingError = false;
        emit rondelSendingOK();
    }
    sendRequest();
}
