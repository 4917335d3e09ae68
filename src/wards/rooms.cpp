#include "wards/rooms.h"

#include "wards/wards.h"

#include <QDebug>
#include <QVariantMap>

Rooms::Rooms(Wards* wards, QObject* parent)
    : QObject(parent),
      m_wards(wards)
{
}

void Rooms::clearRegistry()
{
    m_rooms.clear();
    m_byId.clear();
}

void Rooms::add(Room* room)
{
    m_rooms.append(room);
    m_byId.insert(room->id(), room);
}

QString Rooms::usableId(const QVariant& element) const
{
    const QString id = element.toMap().value(QStringLiteral("_id")).toString().trimmed();
    if (id.isEmpty() || id == QLatin1String("none") || m_byId.contains(id))
        return QString();
    return id;
}

Ward* Rooms::wardOf(const QVariantMap& element) const
{
    Ward* ward = m_wards->ward(element.value(QStringLiteral("ward")).toString().trimmed());
    if (ward->isUnknown())
        qCritical() << "Config file - used undefined ward";
    return ward;
}

void Rooms::load(const QVariantList& list)
{
    m_oldRooms += m_rooms;
    clearRegistry();
    for (const QVariant& element : list) {
        const QString id = usableId(element);
        if (id.isEmpty())
            continue;
        const QVariantMap map = element.toMap();
        auto* room = new Room(id, this);
        room->setName(map.value(QStringLiteral("name")).toString());
        room->setNumber(map.value(QStringLiteral("number")).toInt());
        room->setWard(wardOf(map));
        add(room);
    }
}

void Rooms::reload(const QVariantList& list)
{
    m_textChanged.clear();
    m_groupChanged.clear();
    QHash<QString, Room*> previous;
    for (Room* old : qAsConst(m_rooms))
        previous.insert(old->id(), old);
    m_oldRooms += m_rooms;
    clearRegistry();

    for (const QVariant& element : list) {
        const QString id = usableId(element);
        if (id.isEmpty())
            continue;
        const QVariantMap map = element.toMap();
        const QString name = map.value(QStringLiteral("name")).toString();
        const qint32 number = map.value(QStringLiteral("number")).toInt();
        Ward* ward = wardOf(map);

        Room* room = previous.value(id);
        if (room) {
            m_oldRooms.removeAll(room);
            if (room->ward() != ward || m_wards->groupChangedWards().contains(ward))
                m_groupChanged.append(room);
            else if (room->name() != name || room->number() != number
                     || m_wards->textChangedWards().contains(ward))
                m_textChanged.append(room);
        } else {
            room = new Room(id, this);
        }
        room->setName(name);
        room->setNumber(number);
        room->setWard(ward);
        add(room);
    }
}

void Rooms::deleteOldRooms()
{
    // Deferred: units hold their room by pointer until the reload reaction
    // has moved them to the new objects.
    for (Room* old : qAsConst(m_oldRooms))
        old->deleteLater();
    m_oldRooms.clear();
}

Room* Rooms::room(const QString& id) const
{
    return m_byId.value(id, Room::unknownRoom());
}

QVector<Room*> Rooms::roomsOfWard(const Ward* ward) const
{
    QVector<Room*> result;
    for (Room* room : m_rooms) {
        if (room->ward() == ward)
            result.append(room);
    }
    return result;
}
