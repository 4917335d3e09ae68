#pragma once

#include <QHostAddress>
#include <QObject>
#include <QVariantList>
#include <QVector>

// One radio stream channel. The units are always given the controller's own
// address with the configured port; the configured address only decides
// whether a reload changed the radios.
struct RadioChannel
{
    QHostAddress unitAddress;
    qint32 unitPort = 0;
    QHostAddress address;
    qint32 port = 0;

    bool operator==(const RadioChannel& other) const
    {
        return unitAddress == other.unitAddress && unitPort == other.unitPort
            && address == other.address && port == other.port;
    }
    bool operator!=(const RadioChannel& other) const { return !(*this == other); }
};

// The radio channels of the installation, from the "radios" section.
class RadiosSettings : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxPort = 65535;

    explicit RadiosSettings(QObject* parent = nullptr);

    void load(const QVariantList& list);
    // As load, and records whether any channel differs from before.
    void reload(const QVariantList& list);

    const QVector<RadioChannel>& channels() const { return m_channels; }
    bool isChanged() const { return m_changed; }

private:
    static QVector<RadioChannel> parse(const QVariantList& list);

    QVector<RadioChannel> m_channels;
    bool m_changed = false;
};
