#include "units/settings/radiossettings.h"

#include "core/configvalues.h"
#include "core/runtimeoptions.h"

#include <QDebug>
#include <QVariantMap>

RadiosSettings::RadiosSettings(QObject* parent)
    : QObject(parent)
{
}

QVector<RadioChannel> RadiosSettings::parse(const QVariantList& list)
{
    // The controller's own field-bus address: the streams come from here.
    const QHostAddress local = runtimeOptions().rondelAddress;
    QVector<RadioChannel> channels;
    for (const QVariant& element : list) {
        const QVariantMap map = element.toMap();
        const QString owner = QStringLiteral("radio %1").arg(channels.size() + 1);
        RadioChannel channel;
        channel.unitAddress = local;
        // Only a radio without an address takes the controller's own. One
        // that does not parse stays null, so that correcting it later, or
        // removing it, counts as a change of the radios.
        const auto ip = map.constFind(QStringLiteral("ip"));
        if (ip == map.constEnd() || ip->isNull()) {
            channel.address = local;
        } else {
            if (ip->type() == QVariant::String)
                channel.address = QHostAddress(ip->toString());
            if (channel.address.isNull())
                qWarning() << QStringLiteral("Config file - %1 ip %2 is not an address")
                                  .arg(owner, ip->toString());
        }
        channel.port =
            ConfigValues::toIntInRange(map, QStringLiteral("port"), 0, 0, MaxPort, owner);
        channel.unitPort = channel.port;
        channels.append(channel);
    }
    return channels;
}

void RadiosSettings::load(const QVariantList& list)
{
    m_channels = parse(list);
}

void RadiosSettings::reload(const QVariantList& list)
{
    const QVector<RadioChannel> previous = m_channels;
    m_channels = parse(list);
    m_changed = m_channels != previous;
}
