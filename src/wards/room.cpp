#include "wards/room.h"

Room::Room(const QString& id, QObject* parent)
    : QObject(parent),
      m_id(id)
{
}

Room* Room::unknownRoom()
{
    static Room* const room = [] {
        auto* placeholder = new Room(QStringLiteral("none"));
        placeholder->setName(QStringLiteral("Unknown room"));
        return placeholder;
    }();
    return room;
}
