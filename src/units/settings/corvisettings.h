#pragma once

#include "units/settings/unitsettings.h"

#include <QHostAddress>
#include <QObject>
#include <QVector>

// One FM radio channel of a radio unit.
struct CorviChannel
{
    bool active = false;
    QHostAddress address;
    qint32 port = 0;
    qint32 volume = 0;
    qint32 input = 1; // 1 FM, 2 EXT1, 0 not set
    QString frequency;

    bool operator==(const CorviChannel& other) const
    {
        return active == other.active && address == other.address && port == other.port
            && volume == other.volume && input == other.input && frequency == other.frequency;
    }
    bool operator!=(const CorviChannel& other) const { return !(*this == other); }
};

// The radio unit's channels, from its "fmRadio" entry.
class CorviSettings : public QObject, public UnitSettings
{
    Q_OBJECT
public:
    // Volumes are byte-sized throughout the installation (talk volumes
    // reach 250); anything larger is a typing error.
    static constexpr int MaxVolume = 255;

    // The unit's address names it in configuration warnings.
    explicit CorviSettings(const QHostAddress& unit = QHostAddress(), QObject* parent = nullptr);

    QString name() const override { return QStringLiteral("fmRadio"); }
    void load(const QVariant& value) override;
    // Restart when the first or second channel changed in any field.
    int reload(const QVariant& value) override;

    const QVector<CorviChannel>& channels() const { return m_channels; }
    // The channel (0 or 1), or a default channel when not configured.
    CorviChannel channel(int index) const;

private:
    QHostAddress m_unit;
    QVector<CorviChannel> m_channels;
};
