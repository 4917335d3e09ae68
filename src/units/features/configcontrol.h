#pragma once

#include "rondel/command.h"
#include "rondel/records.h"

#include <QObject>
#include <QTimer>

class CorviSettings;
class RadiosSettings;
class Rondel;
class RondelUnit;

// Keeps the configuration stored in the unit in line with the core's: the
// radio channels of units that play them, the channel settings of a radio
// unit. Asks for the unit's configuration until it answers.
class ConfigControl : public QObject
{
    Q_OBJECT
public:
    explicit ConfigControl(RondelUnit* unit, QObject* parent = nullptr);

    void setSender(Rondel* sender) { m_sender = sender; }
    void setRadiosSettings(RadiosSettings* settings) { m_radiosSettings = settings; }
    // Only a radio unit has them.
    void setCorviSettings(CorviSettings* settings) { m_corviSettings = settings; }
    void setRetryInterval(int ms) { m_timer.setInterval(ms); }

    void refresh();
    void configReceived(const Command& command);

    bool isAwaiting() const { return m_awaiting; }

    // Whether the unit's reported configuration differs from the settings.
    static bool differs(const Config& config, const CorviSettings& settings);
    static bool differs(const Config& config, const RadiosSettings& settings);
    // The configuration a radio unit is sent.
    static Config configOf(const CorviSettings& settings);

private:
    void retry();

    bool m_awaiting = false;
    QTimer m_timer;
    Rondel* m_sender = nullptr;
    RondelUnit* m_unit;
    RadiosSettings* m_radiosSettings = nullptr;
    CorviSettings* m_corviSettings = nullptr;
};
