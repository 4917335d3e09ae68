#pragma once

#include "rondel/command.h"

#include <QObject>
#include <QString>
#include <QTimer>

class CorviSettings;
class Rondel;
class RondelUnit;

// The two FM tuners of a radio unit: each is re-tuned when it plays
// another frequency than its channel is configured for. Asks for their
// status until both have answered.
class FMControler : public QObject
{
    Q_OBJECT
public:
    FMControler(RondelUnit* unit, CorviSettings* settings, QObject* parent = nullptr);

    void setSender(Rondel* sender) { m_sender = sender; }
    void setRetryInterval(int ms) { m_timer.setInterval(ms); }

    void refresh();
    void fmStatusReceived(const Command& command);

    // Bit 1: tuner 1 answered, bit 2: tuner 2 answered.
    int reported() const { return m_reported; }

    // Texts that read as numbers less than 0.01 apart are one frequency.
    static bool frequenciesDiffer(const QString& a, const QString& b);

private:
    void retry();

    int m_reported = 0;
    QTimer m_timer;
    RondelUnit* m_unit;
    CorviSettings* m_settings;
    Rondel* m_sender = nullptr;
};
