#pragma once

#include "wards/ward.h"

#include <QObject>
#include <QString>

// A room of a ward.
class Room : public QObject
{
    Q_OBJECT
public:
    explicit Room(const QString& id, QObject* parent = nullptr);

    // The placeholder answered by every lookup that finds nothing: id
    // "none", name "Unknown room", in the unknown ward.
    static Room* unknownRoom();
    bool isUnknown() const { return this == unknownRoom(); }

    const QString& id() const { return m_id; }
    const QString& name() const { return m_name; }
    qint32 number() const { return m_number; }
    Ward* ward() const { return m_ward; }

    void setName(const QString& name) { m_name = name; }
    void setNumber(qint32 number) { m_number = number; }
    void setWard(Ward* ward) { m_ward = ward ? ward : Ward::unknownWard(); }

private:
    QString m_id;
    QString m_name;
    qint32 m_number = 0;
    Ward* m_ward = Ward::unknownWard();
};
