#include "units/settings/corvisettings.h"

#include "core/configvalues.h"
#include "core/constants.h"
#include "rondel/records.h"
#include "units/settings/radiossettings.h"

#include <QVariantMap>

CorviSettings::CorviSettings(const QHostAddress& unit, QObject* parent)
    : QObject(parent)
    , m_unit(unit)
{
}

void CorviSettings::load(const QVariant& value)
{
    m_channels.clear();
    for (const QVariant& element : value.toList()) {
        const QVariantMap map = element.toMap();
        const QString owner = QStringLiteral("unit %1 fmRadio channel %2")
                                  .arg(m_unit.toString())
                                  .arg(m_channels.size() + 1);
        CorviChannel channel;
        channel.active = map.value(QStringLiteral("active")).toBool();
        // A negative port would give no multicast group at all, and the
        // unit would be sent its configuration after every report of it.
        channel.port = ConfigValues::toIntInRange(map, QStringLiteral("port"), 0, 0,
                                                  RadiosSettings::MaxPort, owner);
        // Each port has its own multicast group, 239.254.65.<port mod 100>.
        channel.address = QHostAddress(
            Constants::MulticastGroupPattern.arg(QStringLiteral("65.%1").arg(channel.port % 100)));
        channel.volume =
            ConfigValues::toIntInRange(map, QStringLiteral("volume"), 0, 0, MaxVolume, owner);
        // "FM" 1, "EXT1" 2 in any letter case, anything else 0.
        channel.input =
            RondelText::tunerInputFromText(map.value(QStringLiteral("input")).toString());
        channel.frequency = map.value(QStringLiteral("freq")).toString();
        m_channels.append(channel);
    }
}

int CorviSettings::reload(const QVariant& value)
{
    const CorviChannel first = channel(0);
    const CorviChannel second = channel(1);
    load(value);
    return channel(0) != first || channel(1) != second ? Restart : NoChange;
}

CorviChannel CorviSettings::channel(int index) const
{
    return index >= 0 && index < m_channels.size() ? m_channels.at(index) : CorviChannel();
}
