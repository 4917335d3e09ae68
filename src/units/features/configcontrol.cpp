#include "units/features/configcontrol.h"

#include "rondel/rondel.h"
#include "units/settings/corvisettings.h"
#include "units/settings/radiossettings.h"
#include "units/rondelunit.h"

ConfigControl::ConfigControl(RondelUnit* unit, QObject* parent)
    : QObject(parent)
    , m_unit(unit)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(RondelUnit::DefaultRequestRepeat);
    connect(&m_timer, &QTimer::timeout, this, &ConfigControl::retry);
    connect(m_unit, &RondelUnit::communicationRestored, this, &ConfigControl::retry);
}

void ConfigControl::refresh()
{
    if (!m_unit->reportsConfig())
        return;
    m_awaiting = true;
    if (m_sender)
        m_sender->requestConfig();
    m_timer.start();
}

void ConfigControl::retry()
{
    if (!m_awaiting || !m_unit->reportsConfig())
        return;
    if (m_sender)
        m_sender->requestConfig();
    m_timer.start();
}

void ConfigControl::configReceived(const Command& command)
{
    m_awaiting = false;
    m_timer.stop();
    const Config config = command.record<Config>();
    if (!m_sender)
        return;
    if (m_unit->type() == Unit::CorviType && m_corviSettings
        && differs(config, *m_corviSettings)) {
        m_sender->setConfigCorvi(configOf(*m_corviSettings));
    }
    if (m_unit->hasRadioChannels() && m_radiosSettings && differs(config, *m_radiosSettings)) {
        QVector<QHostAddress> addresses;
        QVector<int> ports;
        for (const RadioChannel& channel : m_radiosSettings->channels()) {
            addresses.append(channel.unitAddress);
            ports.append(channel.unitPort);
        }
        m_sender->setConfigRadioChannels(addresses, ports);
    }
}

Config ConfigControl::configOf(const CorviSettings& settings)
{
    const CorviChannel first = settings.channel(0);
    const CorviChannel second = settings.channel(1);
    Config config;
    config.radioChannels = 2;
    config.channelAddresses = {first.address, second.address};
    config.channelPorts = {first.port, second.port};
    config.volumeCH1 = first.volume;
    config.volumeCH2 = second.volume;
    config.switchOnCH1 = first.active;
    config.switchOnCH2 = second.active;
    // Tuner 1 always plays FM; the second channel decides between the
    // second tuner and the external input.
    config.inputs = second.input == FMStatus::EXT1 ? Config::FM1_EXT1 : Config::FM1_FM2;
    return config;
}

bool ConfigControl::differs(const Config& config, const CorviSettings& settings)
{
    const Config wanted = configOf(settings);
    if (!config.isComplete() || config.channelAddresses.size() < 2)
        return true;
    for (int i = 0; i < 2; ++i) {
        if (config.channelAddresses.at(i) != wanted.channelAddresses.at(i)
            || config.channelPorts.at(i) != wanted.channelPorts.at(i)) {
            return true;
        }
    }
    return config.volumeCH1 != wanted.volumeCH1 || config.volumeCH2 != wanted.volumeCH2
        || config.switchOnCH1 != wanted.switchOnCH1 || config.switchOnCH2 != wanted.switchOnCH2
        || config.inputs != wanted.inputs;
}

bool ConfigControl::differs(const Config& config, const RadiosSettings& settings)
{
    const QVector<RadioChannel>& channels = settings.channels();
    if (!config.isComplete() || config.radioChannels != channels.size()
        || config.channelAddresses.size() != channels.size()) {
        return true;
    }
    for (int i = 0; i < channels.size(); ++i) {
        if (config.channelAddresses.at(i) != channels.at(i).unitAddress
            || config.channelPorts.at(i) != channels.at(i).unitPort) {
            return true;
        }
    }
    return false;
}
