#pragma once

#include "support/fakeunit.h"

// A fake unit of one model that answers the core's status requests the way
// the unit's firmware does, with a unit that has nothing to report unless a
// test says otherwise.
//
//   RespondingUnit unit(QHostAddress("127.0.0.2"), port, "Tolva");
//   unit.setCallStatus("VS:1");            // the next call-status answer
//   unit.setStatusAnswers(false);          // acknowledges, answers nothing
class RespondingUnit : public FakeUnit
{
    Q_OBJECT
public:
    RespondingUnit(const QHostAddress& address, quint16 port, const QString& model,
                   QObject* parent = nullptr);

    // Answer "GetStatus" requests (on by default).
    void setStatusAnswers(bool on) { m_answers = on; }
    // Silent: no acknowledgement, no "OK", no answer.
    void setSilent(bool silent);
    void setPresenceStatus(const QString& payload) { m_presenceStatus = payload; }
    void setCallStatus(const QString& payload) { m_callStatus = payload; }
    // The screen it reports in its identity ("TypeGT").
    void setScreen(const QString& typeGT) { m_screen = typeGT; }

    // "GetStatus" requests received since the last clearReceived(), by what
    // they ask for ("BasicInfo", "Presence", "Call", "Notifications", "All").
    int statusRequests(const QString& what) const;

private:
    void answer(const FakeUnit::Datagram& datagram);

    QString m_model;
    bool m_answers = true;
    bool m_silent = false;
    QString m_presenceStatus = QStringLiteral("PS:0\nPP:0");
    QString m_callStatus = QStringLiteral("VS:0");
    QString m_screen = QStringLiteral("Other");
};
