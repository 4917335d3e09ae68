#include "wards/wards.h"

#include <QVariantMap>

#include <algorithm>

namespace {

const int registered = [] {
    qRegisterMetaType<QVector<Ward*>>();
    return 0;
}();

const QString IdKey = QStringLiteral("id");
const QString ConnectedKey = QStringLiteral("connected");
const QString ModeKey = QStringLiteral("mode");

} // namespace

Wards::Wards(QObject* parent)
    : QObject(parent)
{
    add(Ward::unknownWard());
}

void Wards::clearRegistry()
{
    m_wards.clear();
    m_byId.clear();
    add(Ward::unknownWard());
}

void Wards::add(Ward* ward)
{
    m_wards.append(ward);
    m_byId.insert(ward->id(), ward);
}

QString Wards::usableId(const QVariant& element) const
{
    const QString id = element.toMap().value(QStringLiteral("_id")).toString().trimmed();
    if (id.isEmpty() || m_byId.contains(id))
        return QString();
    return id;
}

void Wards::load(const QVariantList& list)
{
    for (Ward* old : qAsConst(m_wards)) {
        if (!old->isUnknown())
            m_oldWards.append(old);
    }
    clearRegistry();
    for (const QVariant& element : list) {
        const QString id = usableId(element);
        if (id.isEmpty())
            continue;
        const QVariantMap map = element.toMap();
        auto* ward = new Ward(id, this);
        ward->setName(map.value(QStringLiteral("name")).toString());
        ward->setAbbrev(map.value(QStringLiteral("abbrev")).toString());
        ward->setGroup(map.value(QStringLiteral("group")).toString());
        add(ward);
    }
}

void Wards::reload(const QVariantList& list)
{
    m_textChanged.clear();
    m_groupChanged.clear();
    QHash<QString, Ward*> previous;
    for (Ward* old : qAsConst(m_wards)) {
        if (!old->isUnknown()) {
            previous.insert(old->id(), old);
            m_oldWards.append(old);
        }
    }
    clearRegistry();

    for (const QVariant& element : list) {
        const QString id = usableId(element);
        if (id.isEmpty())
            continue;
        const QVariantMap map = element.toMap();
        const QString name = map.value(QStringLiteral("name")).toString();
        const QString abbrev = map.value(QStringLiteral("abbrev")).toString();
        const QString group = map.value(QStringLiteral("group")).toString();

        Ward* ward = previous.value(id);
        if (ward) {
            m_oldWards.removeAll(ward);
            if (ward->group() != group)
                m_groupChanged.append(ward);
            else if (ward->name() != name || ward->abbrev() != abbrev)
                m_textChanged.append(ward);
        } else {
            ward = new Ward(id, this);
        }
        ward->setName(name);
        ward->setAbbrev(abbrev);
        ward->setGroup(group);
        add(ward);
    }
}

void Wards::deleteOldWards()
{
    // Deferred: units, rooms and queued signals may still hold these
    // pointers until control returns to the event loop.
    for (Ward* old : qAsConst(m_oldWards))
        old->deleteLater();
    m_oldWards.clear();
}

Ward* Wards::ward(const QString& id) const
{
    return m_byId.value(id, Ward::unknownWard());
}

bool Wards::isRegistered(const Ward* ward) const
{
    return ward && m_byId.value(ward->id()) == ward;
}

QVector<Ward*> Wards::wards() const
{
    QVector<Ward*> result;
    for (Ward* ward : m_wards) {
        if (!ward->isUnknown())
            result.append(ward);
    }
    return result;
}

QVector<Ward*> Wards::wardsInGroup(const QString& group) const
{
    QVector<Ward*> result;
    for (Ward* ward : m_wards) {
        if (ward->group() == group)
            result.append(ward);
    }
    return result;
}

QStringList Wards::groups() const
{
    QStringList result;
    for (const Ward* ward : m_wards) {
        if (!result.contains(ward->group()))
            result.append(ward->group());
    }
    return result;
}

QVector<Ward*> Wards::connectedWith(Ward* ward) const
{
    QVector<Ward*> result{ward};
    if (!ward->isConnected() || ward->isUnknown())
        return result;
    for (Ward* other : m_wards) {
        if (other != ward && !other->isUnknown() && other->isConnected()
            && other->group() == ward->group())
            result.append(other);
    }
    return result;
}

bool Wards::areConnected(const Ward* a, const Ward* b) const
{
    if (a == b)
        return true;
    if (!a || !b || a->isUnknown() || b->isUnknown() || a->group() != b->group())
        return false;
    return isRegistered(a) && isRegistered(b) && a->isConnected() && b->isConnected();
}

void Wards::setDayIfAnyDay(const QVector<Ward*>& wards)
{
    // Joined wards share their calls, so one ward still in day mode keeps
    // the whole group in day mode.
    const bool anyDay = std::any_of(wards.cbegin(), wards.cend(),
                                    [](const Ward* ward) { return ward->isDay(); });
    if (!anyDay)
        return;
    for (Ward* ward : wards)
        ward->setMode(Ward::Day);
}

void Wards::connectWard(Ward* ward)
{
    if (!isRegistered(ward))
        return;
    ward->setConnected(true);
    const QVector<Ward*> joined = connectedWith(ward);
    setDayIfAnyDay(joined);
    emit connectionChanged(wardsInGroup(ward->group()));
    emit dayNightModeChanged(joined);
}

void Wards::disconnectWard(Ward* ward)
{
    if (!isRegistered(ward))
        return;
    ward->setConnected(false);
    emit connectionChanged(wardsInGroup(ward->group()));
}

void Wards::connectWard(const QString& id)
{
    if (contains(id))
        connectWard(ward(id));
}

void Wards::disconnectWard(const QString& id)
{
    if (contains(id))
        disconnectWard(ward(id));
}

void Wards::setMode(Ward* ward, int mode)
{
    if (!isRegistered(ward))
        return;
    const QVector<Ward*> joined = connectedWith(ward);
    for (Ward* member : joined)
        member->setMode(mode);
    emit dayNightModeChanged(joined);
}

QVariantList Wards::state() const
{
    QVariantList records;
    for (const Ward* ward : m_wards) {
        QVariantMap record;
        record.insert(IdKey, ward->id());
        record.insert(ConnectedKey, ward->isConnected());
        record.insert(ModeKey, Ward::modeName(ward->mode()));
        records.append(record);
    }
    return records;
}

void Wards::restoreState(const QVariantList& records)
{
    for (const QVariant& element : records) {
        const QVariantMap record = element.toMap();
        Ward* ward = m_byId.value(record.value(IdKey).toString());
        if (!ward)
            continue;
        if (record.contains(ConnectedKey))
            ward->setConnected(record.value(ConnectedKey).toBool());
        if (record.contains(ModeKey))
            ward->setMode(Ward::modeFromName(record.value(ModeKey).toString()));
    }
    for (Ward* ward : qAsConst(m_wards))
        setDayIfAnyDay(connectedWith(ward));
}
