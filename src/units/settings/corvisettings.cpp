#include "units/settings/corvisettings.h"

#include "core/constants.h"
#include "rondel/records.h"

#include <QVariantMap>

CorviSettings::CorviSettings(QObject* parent)
    : QObject(parent)
{
}

void CorviSettings::load(const QVariant& value)
{
    m_channels.clear();
    for (const QVariant& element : value.toList()) {
        const QVariantMap map = element.toMap();
        CorviChannel channel;
        channel.active = map.value(QStringLiteral("active")).toBool();
        channel.port = map.value(QStringLiteral("port")).toInt();
        // Each port has its own multicast group, 239.254.65.<port mod 100>.
        channel.address = QHostAddress(
            Constants::MulticastGroupPattern.arg(QStringLiteral("65.%1").arg(channel.port % 100)));
        channel.volume = map.value(QStringLiteral("volume")).toInt();
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
