#include "units/settings/nvsettings.h"

#include "units/settings/unitsettings.h"

#include <QVariantMap>

#include <algorithm>

const QStringList& NVSettings::nvCodes()
{
    static const QStringList codes{
        QStringLiteral("NV"),  QStringLiteral("NV1"), QStringLiteral("NV2"),
        QStringLiteral("NV3"), QStringLiteral("NV4"), QStringLiteral("NV5"),
        QStringLiteral("NV6"), QStringLiteral("NV7"), QStringLiteral("NV8")};
    return codes;
}

NVSettings::NVSettings(QObject* parent)
    : QObject(parent)
{
}

QVector<NVEntry> NVSettings::parseUnit(const QHostAddress& unit, const QVariant& nvList)
{
    const QVariantList list = nvList.toList();
    if (list.size() != nvCodes().size())
        return {};
    QVector<NVEntry> entries;
    for (int i = 0; i < list.size(); ++i) {
        const QVariantMap map = list.at(i).toMap();
        NVEntry entry;
        entry.id = nvCodes().at(i);
        entry.name = map.value(QStringLiteral("name")).toString();
        entry.bed = map.value(QStringLiteral("bed")).toInt();
        entry.cancelByAnswering = map.value(QStringLiteral("cancelByAnswering"), false).toBool();
        entry.unit = unit;
        entries.append(entry);
    }
    return entries;
}

void NVSettings::loadUnit(const QHostAddress& unit, const QVariant& nvList)
{
    const QVector<NVEntry> entries = parseUnit(unit, nvList);
    if (entries.isEmpty())
        m_units.remove(unit);
    else
        m_units.insert(unit, entries);
}

int NVSettings::reloadUnit(const QHostAddress& unit, const QVariant& nvList)
{
    int level = NoChange;
    // The unit's own entries only; a missing entry counts as empty.
    const QVector<NVEntry> oldEntries = m_units.value(unit);
    loadUnit(unit, nvList);
    const QVector<NVEntry> newEntries = m_units.value(unit);
    for (int i = 0; i < nvCodes().size(); ++i) {
        NVEntry empty;
        empty.id = nvCodes().at(i);
        const NVEntry& before = i < oldEntries.size() ? oldEntries.at(i) : empty;
        const NVEntry& after = i < newEntries.size() ? newEntries.at(i) : empty;
        if (before.cancelByAnswering != after.cancelByAnswering)
            level = std::max<int>(level, Restart);
        else if (before.name != after.name || before.bed != after.bed || before.unit != after.unit)
            level = std::max<int>(level, Refresh);
    }
    return level;
}

void NVSettings::removeUnit(const QHostAddress& unit)
{
    m_units.remove(unit);
}

QMap<QString, NVEntry> NVSettings::parseButtons(const QVariantList& list)
{
    QMap<QString, NVEntry> buttons;
    for (const QVariant& element : list) {
        const QVariantMap map = element.toMap();
        if (!map.contains(QStringLiteral("id")))
            continue;
        const QString id = map.value(QStringLiteral("id")).toString().trimmed();
        // A repeated id overwrites the earlier entry.
        NVEntry& button = buttons[id];
        button.id = id;
        button.name = map.value(QStringLiteral("clientName")).toString();
        button.bed = map.value(QStringLiteral("bed")).toInt();
        button.unit = QHostAddress(map.value(QStringLiteral("unit")).toString());
    }
    return buttons;
}

void NVSettings::loadButtons(const QVariantList& list)
{
    m_buttons = parseButtons(list);
}

void NVSettings::reloadButtons(const QVariantList& list)
{
    const QMap<QString, NVEntry> previous = m_buttons;
    m_buttons = parseButtons(list);
    m_buttonsLevel = NoChange;
    for (auto it = previous.cbegin(); it != previous.cend(); ++it) {
        const auto now = m_buttons.constFind(it.key());
        if (now == m_buttons.cend() || *now != *it)
            m_buttonsLevel = Restart;
    }
    for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it) {
        if (previous.contains(it.key()))
            continue;
        NVEntry empty;
        empty.id = it.key();
        if (!it->unit.isNull() || *it != empty)
            m_buttonsLevel = Restart;
    }
}

NVEntry NVSettings::entry(const QHostAddress& unit, const QString& code) const
{
    const auto own = m_units.constFind(unit);
    if (own != m_units.cend()) {
        for (const NVEntry& entry : *own) {
            if (entry.id == code)
                return entry;
        }
    }
    const auto button = m_buttons.constFind(code);
    if (button != m_buttons.cend())
        return *button;
    NVEntry empty;
    empty.id = code;
    return empty;
}

QVector<NVEntry> NVSettings::buttonsOfUnit(const QHostAddress& unit) const
{
    QVector<NVEntry> result;
    for (const NVEntry& button : m_buttons) {
        if (button.unit == unit)
            result.append(button);
    }
    return result;
}
