#pragma once

#include <QHash>
#include <QHostAddress>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVector>

// What the configuration says about one device input of a unit ("NV",
// "NV1".."NV8") or about one wireless button.
struct NVEntry
{
    QString id;
    QString name;
    qint32 bed = 0;
    bool cancelByAnswering = false;
    QHostAddress unit;

    bool operator==(const NVEntry& other) const
    {
        return id == other.id && name == other.name && bed == other.bed
            && cancelByAnswering == other.cancelByAnswering && unit == other.unit;
    }
    bool operator!=(const NVEntry& other) const { return !(*this == other); }
};

// The device inputs of every unit (each unit entry's "nv" list) and the
// wireless buttons (the "buttons" section).
class NVSettings : public QObject
{
    Q_OBJECT
public:
    // The device inputs of a unit, in the order of its "nv" list.
    static const QStringList& nvCodes();

    explicit NVSettings(QObject* parent = nullptr);

    // Only a list of exactly nine entries is used; anything else leaves the
    // unit without device entries.
    void loadUnit(const QHostAddress& unit, const QVariant& nvList);
    // As loadUnit; returns the unit's ChangeLevel: Restart when
    // cancelByAnswering changed, Refresh when a name, bed or address did.
    int reloadUnit(const QHostAddress& unit, const QVariant& nvList);
    void removeUnit(const QHostAddress& unit);

    void loadButtons(const QVariantList& list);
    // Rebuilds the button table; buttonsLevel() tells whether it changed.
    void reloadButtons(const QVariantList& list);
    // Restart when the last reload changed any button, else NoChange.
    int buttonsLevel() const { return m_buttonsLevel; }

    // The unit's own entry for the code, else the button with that id
    // (whatever unit it belongs to), else an empty entry named by the code.
    NVEntry entry(const QHostAddress& unit, const QString& code) const;
    bool hasUnitEntries(const QHostAddress& unit) const { return m_units.contains(unit); }

    // The buttons paired with the unit, by id: the unit's Bluetooth table.
    QVector<NVEntry> buttonsOfUnit(const QHostAddress& unit) const;
    const QMap<QString, NVEntry>& buttons() const { return m_buttons; }

private:
    static QVector<NVEntry> parseUnit(const QHostAddress& unit, const QVariant& nvList);
    static QMap<QString, NVEntry> parseButtons(const QVariantList& list);

    QHash<QHostAddress, QVector<NVEntry>> m_units;
    QMap<QString, NVEntry> m_buttons;
    int m_buttonsLevel = 0;
};
