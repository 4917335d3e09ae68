#include "units/features/fmcontroler.h"

#include "rondel/records.h"
#include "rondel/rondel.h"
#include "units/settings/corvisettings.h"
#include "units/rondelunit.h"

#include <cmath>

namespace {
constexpr int BothReported = 3;
} // namespace

FMControler::FMControler(RondelUnit* unit, CorviSettings* settings, QObject* parent)
    : QObject(parent)
    , m_unit(unit)
    , m_settings(settings)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(RondelUnit::DefaultRequestRepeat);
    connect(&m_timer, &QTimer::timeout, this, &FMControler::retry);
    connect(m_unit, &RondelUnit::communicationRestored, this, &FMControler::retry);
}

void FMControler::refresh()
{
    m_reported = 0;
    if (m_sender) {
        m_sender->requestFMStatus(1);
        m_sender->requestFMStatus(2);
    }
    m_timer.start();
}

void FMControler::retry()
{
    if (m_reported != BothReported)
        refresh();
}

bool FMControler::frequenciesDiffer(const QString& a, const QString& b)
{
    if (a == b)
        return false;
    return std::fabs(a.toFloat() - b.toFloat()) >= 0.01f;
}

void FMControler::fmStatusReceived(const Command& command)
{
    const FMStatus status = command.record<FMStatus>();
    if (status.tuner != 1 && status.tuner != 2)
        return;
    m_reported |= status.tuner;
    if (m_reported == BothReported)
        m_timer.stop();
    if (!m_sender || !m_settings)
        return;
    // A tuner whose channel is not configured is left alone rather than
    // tuned to an empty frequency.
    const int index = status.tuner - 1;
    if (index >= m_settings->channels().size())
        return;
    const CorviChannel channel = m_settings->channel(index);
    if (status.tuner == 2 && channel.input != FMStatus::FM)
        return;
    if (frequenciesDiffer(status.freq, channel.frequency))
        m_sender->fmControl(status.tuner, channel.frequency);
}
