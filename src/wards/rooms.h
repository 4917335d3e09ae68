#pragma once

#include "wards/room.h"

#include <QHash>
#include <QObject>
#include <QVariantList>
#include <QVector>

class Wards;

// The registry of rooms, filled from the configuration's "rooms" list. A
// room's ward is looked up in the wards registry, so wards load first.
class Rooms : public QObject
{
    Q_OBJECT
public:
    explicit Rooms(Wards* wards, QObject* parent = nullptr);

    void load(const QVariantList& list);
    // Reuses the room objects of ids that stay and sorts them into the
    // changed-lists; run after the wards' reload of the same configuration.
    void reload(const QVariantList& list);

    Room* room(const QString& id) const;
    bool contains(const QString& id) const { return m_byId.contains(id); }
    QVector<Room*> rooms() const { return m_rooms; }
    QVector<Room*> roomsOfWard(const Ward* ward) const;

    // Rooms whose ward changed or whose ward moved to another group.
    const QVector<Room*>& groupChangedRooms() const { return m_groupChanged; }
    // Rooms whose name or number changed, or whose ward was renamed.
    const QVector<Room*>& textChangedRooms() const { return m_textChanged; }
    void deleteOldRooms();

private:
    void clearRegistry();
    void add(Room* room);
    QString usableId(const QVariant& element) const;
    // Resolves "ward" of an element; a ward that is not configured is
    // reported and gives the placeholder ward.
    Ward* wardOf(const QVariantMap& element) const;

    Wards* m_wards;
    QVector<Room*> m_rooms;
    QHash<QString, Room*> m_byId;
    QVector<Room*> m_textChanged;
    QVector<Room*> m_groupChanged;
    QVector<Room*> m_oldRooms;
};
