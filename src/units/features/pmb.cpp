#include "units/features/pmb.h"

#include "core/constants.h"
#include "rondel/rondel.h"
#include "units/settings/nvsettings.h"

PMB::PMB(const QHostAddress& ip, QObject* parent)
    : QObject(parent)
    , m_ip(ip)
{
}

void PMB::refresh()
{
    m_pmbInfo = PMBInfo();
    m_state = InfoAsked;
    if (m_sender)
        m_sender->requestPMBInfo();
    emit pmbInfoCleared();
}

bool PMB::accepts(const Command& command) const
{
    return command.name == Constants::Cmd::PMBInfo || command.name == Constants::Cmd::PMBConfigBT;
}

PMBConfigBT PMB::configuredTable() const
{
    PMBConfigBT table;
    if (!m_nvSettings)
        return table;
    const QString prefix = QStringLiteral("BT");
    for (const NVEntry& button : m_nvSettings->buttonsOfUnit(m_ip)) {
        const QString key = button.id.startsWith(prefix) ? button.id : prefix + button.id;
        table.insert(key, QString::number(button.bed));
    }
    return table;
}

void PMB::commandReceived(const Command& command)
{
    if (command.name == Constants::Cmd::PMBInfo) {
        m_pmbInfo = command.record<PMBInfo>();
        emit pmbInfoUpdated(m_pmbInfo);
        if (m_state == InfoAsked) {
            m_state = TableAsked;
            if (m_sender)
                m_sender->requestPMBConfigBT();
        }
    } else if (command.name == Constants::Cmd::PMBConfigBT) {
        const PMBConfigBT configured = configuredTable();
        if (command.record<PMBConfigBT>() != configured && m_sender)
            m_sender->pmbConfigBT(configured);
        m_state = Done;
    }
}
