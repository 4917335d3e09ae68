#pragma once

#include "rondel/command.h"
#include "rondel/records.h"

#include <QHostAddress>
#include <QObject>

class NVSettings;
class Rondel;

// The unit's PMB module: its board information and its table of paired
// wireless buttons, which is rewritten when it differs from the buttons
// configured for the unit.
class PMB : public QObject
{
    Q_OBJECT
public:
    enum State { Idle = 0, InfoAsked = 1, TableAsked = 2, Done = 3 };

    explicit PMB(const QHostAddress& ip, QObject* parent = nullptr);

    void setSender(Rondel* sender) { m_sender = sender; }
    void setNVSettings(NVSettings* settings) { m_nvSettings = settings; }

    void refresh();
    bool accepts(const Command& command) const;
    void commandReceived(const Command& command);

    int state() const { return m_state; }
    PMBInfo pmbInfo() const { return m_pmbInfo; }

    // The pairing table the unit should hold: "BT" + button id (the id as
    // its calls are reported) to the button's bed number.
    PMBConfigBT configuredTable() const;

signals:
    void pmbInfoCleared();
    void pmbInfoUpdated(const PMBInfo& pmbInfo);

private:
    int m_state = Idle;
    PMBInfo m_pmbInfo;
    QHostAddress m_ip;
    Rondel* m_sender = nullptr;
    NVSettings* m_nvSettings = nullptr;
};
