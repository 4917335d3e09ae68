#pragma once

#include "calls/call.h"

#include <QObject>

class Rondel;
class RondelUnit;

// The unit's ringing tone. It rings for one call at a time, chosen by what
// matters most at the unit: its own call, then its waiting device calls,
// then a received call that rings there; a talk silences it.
class Buzzer : public QObject
{
    Q_OBJECT
public:
    enum ToneType { Off = 0, PV = 1, NV = 2, AL = 3, Ringing = 6 };
    enum Invite { BlinkVS = 2, BlinkVSM = 3 };
    enum Volume { Night = 1, Day = 2 };

    explicit Buzzer(RondelUnit* unit, QObject* parent = nullptr);

    void setSender(Rondel* sender) { m_sender = sender; }

    void refresh();
    // The ward's day or night volume.
    void setVolume(int volume);

    const Call& buzzedCall() const { return m_call; }
    int volume() const { return m_volume; }

private:
    void buzz(const Call& call, bool received);
    void stop();

    Call m_call;
    int m_volume = Day;
    Rondel* m_sender = nullptr;
    RondelUnit* m_unit;
};
