#pragma once

#include <QObject>
#include <QStringList>

class Call;
class Unit;
class Wards;

// Decides whether one unit receives (shows, rings for, may answer) a call
// raised at another unit. The plain mode receives nothing.
class CallReceiveMode : public QObject
{
    Q_OBJECT
public:
    explicit CallReceiveMode(QObject* parent = nullptr);

    virtual bool accepts(const Call& call) const;
};

// The normal mode: calls of the unit's own ward and of the wards connected
// with it, each kind only when the right staff is present.
class ConnectedWardsMode : public CallReceiveMode
{
    Q_OBJECT
public:
    ConnectedWardsMode(Unit* unit, Wards* wards, QObject* parent = nullptr);

    bool accepts(const Call& call) const override;

protected:
    // Whether the unit is in reach of the call's ward.
    virtual bool inReach(const Call& call) const;
    // The tests shared by both ward-based modes, around inReach().
    bool acceptsByKind(const Call& call) const;

    Unit* m_unit;

private:
    Wards* m_wards;
};

// A collector unit: the calls of a configured list of wards, whatever their
// connection.
class CollectingUnitMode : public ConnectedWardsMode
{
    Q_OBJECT
public:
    CollectingUnitMode(Unit* unit, const QStringList& wardIds, QObject* parent = nullptr);

    void setWards(const QStringList& wardIds) { m_wardIds = wardIds; }
    const QStringList& wardIds() const { return m_wardIds; }

protected:
    bool inReach(const Call& call) const override;

private:
    QStringList m_wardIds;
};
