#pragma once

#include "calls/call.h"

#include <QHash>
#include <QObject>
#include <QVector>

#include <functional>

class CallCapable;
class Room;
class Ward;

// Every live call of the installation, by id. Each stored change is
// announced by callChanged(), which is what the outside world sees of a
// call; a finished call leaves the queue with one last callChanged().
class CallQueue : public QObject
{
    Q_OBJECT
public:
    explicit CallQueue(QObject* parent = nullptr);

    bool contains(const Call& call) const { return contains(call.id()); }
    bool contains(qint64 id) const { return m_calls.contains(id); }
    // The stored copy, the null call when there is none.
    Call get(const Call& call) const { return get(call.id()); }
    Call get(qint64 id) const { return m_calls.value(id, Call::null()); }
    bool isEmpty() const { return m_calls.isEmpty(); }
    int size() const { return m_calls.size(); }

    void insert(const Call& call);
    void update(const Call& call) { insert(call); }
    // Removes the call and announces it finished with endType; nothing for
    // a call that is not stored.
    void finish(const Call& call, EndType endType);

    // Whether request may answer the stored call: it still rings, and the
    // answering units named as targets of request are among its receivers.
    bool canAnswer(const Call& request) const;

    // Selections; each returns copies, in no particular order.
    QVector<Call> calls() const;
    QVector<Call> callsFrom(const CallCapable* unit) const;
    QVector<Call> activeAt(const CallCapable* unit) const;
    QVector<Call> callsWithCode(const QString& code) const;
    QVector<Call> callsFromRoom(const Room* room) const;
    QVector<Call> callsFromWards(const QVector<Ward*>& wards) const;
    QVector<Call> talksOf(const CallCapable* unit) const;
    QVector<Call> talksFromRoom(const Room* room) const;

signals:
    void callChanged(const Call& call);

private:
    QVector<Call> select(const std::function<bool(const Call&)>& matches) const;

    QHash<qint64, Call> m_calls;
};
