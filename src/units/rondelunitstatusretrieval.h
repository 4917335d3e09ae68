#pragma once

#include "rondel/command.h"
#include "rondel/records.h"

#include <QObject>
#include <QTimer>

class Rondel;
class RondelUnit;

// Reads a unit's state after a (re)connection, one request at a time: its
// basic information, then presence status, call status and notifications
// as far as the model reports them. An unanswered request is repeated
// until it is answered or the retrieval starts over.
class RondelUnitStatusRetrieval : public QObject
{
    Q_OBJECT
public:
    enum State {
        Idle = 0,
        BasicInfoAsked = 1,
        PresenceStatusAsked = 2,
        CallStatusAsked = 3,
        NotificationsAsked = 4,
        Done = 5
    };

    explicit RondelUnitStatusRetrieval(RondelUnit* unit, QObject* parent = nullptr);

    void setSender(Rondel* sender) { m_sender = sender; }
    void setRetryInterval(int ms) { m_timer.setInterval(ms); }
    // The first request goes out after a random delay below this, so that
    // many units starting together do not all answer at once.
    void setStartSpread(int ms) { m_startSpread = ms; }

    void start();
    bool isRunning() const { return m_state != Idle && m_state != Done; }
    int state() const { return m_state; }

    // Returns whether the command was one the retrieval stores.
    bool receivedCommand(const Command& command);

    BasicInfo basicInfo() const { return m_basicInfo; }
    CallChange callStatus() const { return m_callStatus; }
    Notifications notifications() const { return m_notifications; }
    PresenceStatus presenceStatus() const { return m_presenceStatus; }

signals:
    void retrievalDone();

private:
    void sendRequest();
    void moveOn();
    void finish();

    int m_state = Idle;
    QTimer m_timer;
    QTimer m_startDelay;
    int m_startSpread = 100;
    BasicInfo m_basicInfo;
    CallChange m_callStatus;
    Notifications m_notifications;
    PresenceStatus m_presenceStatus;
    Rondel* m_sender = nullptr;
    RondelUnit* m_unit;
};
