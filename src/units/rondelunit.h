#pragma once

#include "calls/call.h"
#include "rondel/command.h"
#include "rondel/records.h"
#include "rondel/rondellisteners.h"
#include "rondel/rondelserver.h"
#include "units/firmwareversion.h"
#include "units/unit.h"

#include <QList>
#include <QPointer>

class Buzzer;
class ConfigControl;
class Light;
class PMB;
class Rondel;
class RondelServer;
class RondelUnitStatusRetrieval;

// A unit reached over the field bus. It turns the unit's commands into
// calls and requests, keeps its picture in step with the unit by a status
// retrieval after every (re)connection, and drives the unit's features.
// The eight models only say what the unit can do.
class RondelUnit : public Unit, public RondelCmdListener, public RondelStatusListener
{
    Q_OBJECT
public:
    // The repeat of unanswered status and feature requests.
    static constexpr int DefaultRequestRepeat = 10000;
    // Commands wait for the unit's state from the reading of its calls until
    // the state is applied, at most through the ten seconds of the start-up.
    // Even a busy unit reports a few commands a second; two hundred leave a
    // wide margin and keep a flooding address to a few tens of kilobytes.
    static constexpr int MaxPendingCommands = 200;
    // Nine wired inputs and more paired wireless buttons than one bed is
    // ever given; device codes are free text on the bus.
    static constexpr int MaxDeviceCalls = 32;

    explicit RondelUnit(const QHostAddress& ip, QObject* parent = nullptr);
    ~RondelUnit() override;

    bool isRondelUnit() const override { return true; }
    bool hasRondelError() const override { return m_rondelError; }
    int sourceMode(const QString& code) const override;

    // RondelCmdListener, RondelStatusListener
    void receivedCommand(const Command& command) override;
    void unitNotResponding() override;
    void unitStartResponding() override;

    virtual int buzzTarget(const Call& call) const;
    virtual void createDisplay(const QString& displayType);
    virtual bool hasBuzzer() const { return true; }
    virtual bool reportsCallStatus() const { return true; }
    virtual bool reportsNotifications() const { return true; }
    virtual bool reportsConfig() const { return true; }
    virtual bool reportsConnectionStatus() const { return true; }
    virtual bool hasRadioChannels() const { return true; }
    virtual bool persistsAfterTalk(const QString& code) const;

    // Registers the unit with the bus for its address and creates its
    // sender; called once.
    void attach(RondelServer* server);
    // Unregisters the unit from the bus, when it is still the listener of
    // its address.
    void detach();

    void startStatusRetrieval();
    // Once, after the first retrieval: what depends on the unit's identity.
    void initialiseFromBasicInfo();
    // After every retrieval: the unit's state becomes the core's picture,
    // then the commands that waited are replayed.
    void applyRetrievedState();

    // Shortens the repeats of the retrieval and the features (tests).
    virtual void setRequestRepeatInterval(int ms);

    FirmwareVersion firmwareVersion() const { return m_firmwareVersion; }
    Rondel* sender() const { return m_sender; }
    RondelServer* server() const { return m_server; }
    bool isSyncPending() const { return m_syncPending; }
    int pendingCommandCount() const { return m_pendingCommands.size(); }
    Buzzer* buzzer() const { return m_buzzer; }
    ConfigControl* configControl() const { return m_configControl; }
    Light* light() const { return m_light; }
    PMB* pmb() const { return m_pmb; }
    RondelUnitStatusRetrieval* statusRetrieval() const { return m_statusRetrieval; }

signals:
    void communicationFailed();
    void communicationRestored();
    void outOfSync();
    void mtfChanged();
    void connectionChanged();
    // The status retrieval has read everything it asks for.
    void retrievalDone();

protected:
    virtual void senderAttached(Rondel* sender) { Q_UNUSED(sender) }
    virtual void otherCommand(const Command& command) { Q_UNUSED(command) }
    virtual void applyRetrievedCalls();

    // A call this unit raises with a bus code, as every model builds it.
    Call buildCall(const QString& code);
    void processCallStatus(const CallChange& status, bool atRetrieval);

private:
    void queueCommand(const Command& command);
    void dispatch(const Command& command);
    void processRequests(const Requests& requests);
    void processRequest(const Request& request);
    void processDialCall(const DialCall& dialCall);
    bool isIdle() const;
    void onCallConnected(const Call& call, const VoIP& voip);
    void onCallTerminated(const Call& call, EndType endType);
    void onCallUpdated(const Call& oldCall, const Call& newCall);

    FirmwareVersion m_firmwareVersion;
    Rondel* m_sender = nullptr;
    bool m_syncPending = true;
    QList<Command> m_pendingCommands;
    bool m_pendingOverflow = false;
    bool m_rondelError = false;
    Buzzer* m_buzzer;
    ConfigControl* m_configControl;
    Light* m_light;
    QPointer<RondelServer> m_server;
    RondelUnitStatusRetrieval* m_statusRetrieval;
    PMB* m_pmb;
};
