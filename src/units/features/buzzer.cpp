#include "units/features/buzzer.h"

#include "calls/calls.h"
#include "rondel/rondel.h"
#include "units/rondelunit.h"

namespace {

int ownToneType(const Call& call)
{
    switch (call.type()) {
    case CallType::DC:
    case CallType::VK:
    case CallType::VS:
        return Buzzer::Ringing;
    case CallType::NV:
        return Buzzer::NV;
    case CallType::AL:
        return Buzzer::AL;
    default:
        return -1;
    }
}

int receivedToneType(const Call& call)
{
    switch (call.type()) {
    case CallType::DC:
        return Buzzer::Ringing;
    case CallType::VK:
    case CallType::VS:
        return Buzzer::PV;
    case CallType::NV:
        return Buzzer::NV;
    case CallType::AL:
        return Buzzer::AL;
    default:
        return -1;
    }
}

BuzzParams off()
{
    return BuzzParams(0, Buzzer::Off, 0, 0);
}

} // namespace

Buzzer::Buzzer(RondelUnit* unit, QObject* parent)
    : QObject(parent)
    , m_unit(unit)
{
    connect(m_unit->calls(), &Calls::callsChanged, this, &Buzzer::refresh);
    connect(m_unit->calls(), &Calls::talkChanged, this, &Buzzer::refresh);
}

void Buzzer::refresh()
{
    if (!m_unit->hasBuzzer())
        return;
    const Calls* calls = m_unit->calls();
    if (calls->hasTalk()) {
        stop();
        return;
    }
    if (calls->hasOwnCall() && !calls->ownCall().isMuted()) {
        buzz(calls->ownCall(), false);
        return;
    }
    if (calls->hasWaitingNVCall()) {
        buzz(calls->firstWaitingNVCall(), false);
        return;
    }
    if (calls->hasRingingReceived()) {
        buzz(calls->firstRingingReceived(), true);
        return;
    }
    stop();
}

void Buzzer::setVolume(int volume)
{
    m_volume = volume;
    if (m_unit->hasBuzzer() && !m_call.isValid() && m_sender)
        m_sender->buzz(BuzzParams::withVolume(m_volume));
}

void Buzzer::buzz(const Call& call, bool received)
{
    if (call == m_call)
        return;
    m_call = call;
    if (!m_sender)
        return;
    const int toneType = received ? receivedToneType(call) : ownToneType(call);
    if (toneType < 0) {
        m_sender->buzz(off());
        return;
    }
    if (received) {
        const int target = m_unit->buzzTarget(call);
        m_sender->buzz(BuzzParams(target, toneType, m_volume, target == 2 ? BlinkVSM : BlinkVS));
    } else {
        // A call the synthesizer speaks for still rings on the unit itself.
        const int target = call.sourceMode() == 3 ? 1 : call.sourceMode();
        m_sender->buzz(BuzzParams(target, toneType, m_volume));
    }
}

void Buzzer::stop()
{
    if (!m_call.isValid())
        return;
    m_call = Call();
    if (!m_sender)
        return;
    m_sender->buzz(off());
    m_sender->buzz(BuzzParams::withVolume(m_volume));
}
