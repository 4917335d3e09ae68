#pragma once

#include <QObject>
#include <QStringList>

class Call;
class CallCapable;
class Ward;
class Wards;

// Decides whether one unit receives (shows, rings for, may answer) a call
// raised at another unit. The plain mode receives nothing.
class CallReceiveMode : public QObject
{
    Q_OBJECT
public:
    explicit CallReceiveMode(QObject* parent = nullptr);

    virtual bool accepts(const Call& call) const;

protected:
    // The tests shared by the ward-based modes: each kind only when the
    // right staff is present at the unit, and only when inReach() says so.
    bool acceptsByKind(const CallCapable* unit, const Call& call) const;
    // Whether the unit is in reach of the call's ward.
    virtual bool inReach(const Call& call) const;
};

// The normal mode: calls of the unit's own ward and of the wards connected
// with it.
class ConnectedWardsMode : public CallReceiveMode
{
    Q_OBJECT
public:
    ConnectedWardsMode(CallCapable* unit, Wards* wards, QObject* parent = nullptr);

    bool accepts(const Call& call) const override;

    // Whether a unit of ward `own` is in reach of a call raised in ward
    // `source`: the same ward, or one connected with it.
    static bool reaches(const Wards* wards, const Ward* own, const Ward* source);
    const Ward* ownWard() const;
    const Wards* wards() const { return m_wards; }

protected:
    bool inReach(const Call& call) const override;

private:
    CallCapable* m_unit;
    Wards* m_wards;
};

// A collector unit: the calls of a configured list of wards, whatever their
// connection.
class CollectingUnitMode : public CallReceiveMode
{
    Q_OBJECT
public:
    CollectingUnitMode(CallCapable* unit, const QStringList& wardIds, QObject* parent = nullptr);

    bool accepts(const Call& call) const override;

    void setWards(const QStringList& wardIds) { m_wardIds = wardIds; }
    const QStringList& wardIds() const { return m_wardIds; }

protected:
    bool inReach(const Call& call) const override;

private:
    CallCapable* m_unit;
    QStringList m_wardIds;
};
