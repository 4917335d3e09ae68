#include "units/settings/radiossettings.h"

#include "core/runtimeoptions.h"

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
        RadioChannel channel;
        channel.unitAddress = local;
        channel.address = QHostAddress(map.value(QStringLiteral("ip")).toString());
        if (channel.address.isNull())
            channel.address = local;
        channel.port = map.value(QStringLiteral("port")).toInt();
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
