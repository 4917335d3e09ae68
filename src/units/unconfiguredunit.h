#pragma once

#include "rondel/records.h"
#include "rondel/rondellisteners.h"
#include "rondel/rondelserver.h"
#include "units/unit.h"

#include <QPointer>

class Rondel;
class RondelServer;

// An address that talks on the bus but is not configured. It is probed
// for what it is (basic information, presence status) so that the
// installation can be told about it; it takes part in no call.
class UnconfiguredUnit : public Unit, public RondelCmdListener, public RondelStatusListener
{
    Q_OBJECT
public:
    enum ProbeState { Idle = 0, BasicInfoAsked = 1, PresenceStatusAsked = 2, Done = 3 };

    explicit UnconfiguredUnit(const QHostAddress& ip, QObject* parent = nullptr);
    ~UnconfiguredUnit() override;

    bool isRondelUnit() const override { return m_responding; }
    bool hasRondelError() const override { return m_sendingError; }
    int type() const override { return m_type; }

    void receivedCommand(const Command& command) override;
    void unitNotResponding() override;
    void unitStartResponding() override;

    void attach(RondelServer* server);
    void detach();
    // Asks the unit for its basic information (probe state 1).
    void startProbe();
    void setResponding(bool responding) { m_responding = responding; }

    int probeState() const { return m_state; }
    bool isResponding() const { return m_responding; }
    BasicInfo basicInfo() const { return m_basicInfo; }
    Rondel* sender() const { return m_sender; }

signals:
    void rondelSendingError();
    void rondelSendingOK();

private:
    void sendRequest();

    int m_type = NoType;
    bool m_responding = false;
    bool m_sendingError = false;
    int m_state = Idle;
    BasicInfo m_basicInfo;
    Rondel* m_sender = nullptr;
    QPointer<RondelServer> m_server;
};
