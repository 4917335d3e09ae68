#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>

// An incoming command as the transport hands it to the unit objects: the
// number of the datagram that completed it, its name and the record its
// parser built (invalid when none).
struct Command
{
    int msgNo = -1;
    QString name;
    QVariant data;

    Command() = default;
    explicit Command(const QString& commandName)
        : name(commandName)
    {
    }

    // The record carried in data, or a default record of that type.
    template<typename T>
    T record() const
    {
        return data.value<T>();
    }
};

Q_DECLARE_METATYPE(Command)
