#pragma once

#include "calls/callcapablerepository.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QVector>

#include <functional>

class RondelUnit;
class Room;
class UnconfiguredUnit;
class Unit;
class Ward;
class Wards;

// The installation's units by address, and where each bus unit stands:
// pending (start-up reading not done), active (takes part in calls), lost
// (being read again after a loss, a restart of the unit or a reload) or
// late (still unread when the start-up ended). A bus unit is in exactly one
// of those lists; a configured unit off the bus is always active.
class UnitsRepository : public QObject, public CallCapableRepository
{
    Q_OBJECT
public:
    explicit UnitsRepository(QObject* parent = nullptr);

    // Takes ownership; a bus unit starts pending.
    void addConfigured(Unit* unit);
    void addUnconfigured(UnconfiguredUnit* unit);
    // Removal takes the unit out of every list, cuts its connections and
    // deletes it once control is back in the event loop.
    void removeUnconfigured(const QHostAddress& ip);
    void remove(const QHostAddress& ip);

    bool containsConfigured(const QHostAddress& ip) const { return m_configured.contains(ip); }
    bool containsUnconfigured(const QHostAddress& ip) const { return m_unconfigured.contains(ip); }
    bool contains(const QHostAddress& ip) const;
    Unit* configuredUnit(const QHostAddress& ip) const { return m_configured.value(ip); }
    UnconfiguredUnit* unconfiguredUnit(const QHostAddress& ip) const
    {
        return m_unconfigured.value(ip);
    }

    bool hasPending() const { return !m_pending.isEmpty(); }
    bool isInitialising(const Unit* unit) const;
    bool isLost(const Unit* unit) const;
    bool isActive(const Unit* unit) const;

    // The unit's configured room changed from `from` to where it is now.
    void relocate(Unit* unit, const Room* from);
    // Rooms, wards or a unit's receive mode may have changed: the next call
    // works out afresh which units it can reach.
    void receiveRulesChanged() { m_reachIndexStale = true; }

    // Pending becomes late; active becomes lost; late and lost stay.
    void markLost(RondelUnit* unit);
    // Lost becomes active.
    void markRestored(RondelUnit* unit);
    // Pending or late becomes active.
    void markInitialised(RondelUnit* unit);
    // The start-up is over: whatever is still pending is late.
    void finishInitialisation();

    // Configured units in the order they were added.
    const QVector<Unit*>& configuredUnits() const { return m_configuredOrder; }
    QVector<RondelUnit*> rondelUnits() const;
    const QVector<Unit*>& activeUnits() const { return m_active; }
    const QVector<RondelUnit*>& pendingUnits() const { return m_pending; }
    const QVector<RondelUnit*>& lateUnits() const { return m_late; }
    // Active units by place, in the order of the active list.
    QVector<Unit*> unitsOfRoom(const Room* room) const;
    QVector<Unit*> unitsOfWard(const Ward* ward) const;
    QVector<Unit*> unitsOfWard(const Ward* ward,
                               const std::function<bool(const Room*)>& roomCriterion) const;

    QVector<CallCapable*> receiversOf(const Call& call) const override;

private:
    // Who may receive a call other than a dial call. A unit of the normal
    // mode takes only calls from wards in reach of its own, so those units
    // are grouped by ward and a group out of reach is passed over whole;
    // units of any other mode are asked every time. Asking each of a
    // thousand units was most of the time a call took to ring, because
    // after a quiet spell every unit asked is a fetch from main memory.
    struct ReachGroup
    {
        const Ward* ward;
        const Wards* wards;
        QVector<Unit*> units;
    };
    struct ReachIndex
    {
        QVector<ReachGroup> groups;
        QVector<Unit*> others;
    };
    const ReachIndex& reachIndex() const;
    QVector<CallCapable*> receiversAmong(const QVector<Unit*>& units, const Call& call) const;

    void takeOut(Unit* unit);
    void leaveRoom(Unit* unit, const Room* room);
    // m_active is changed only through these, which keep its index in step.
    void activate(Unit* unit);
    bool deactivate(Unit* unit);
    // Active units only.
    void sortInActiveOrder(QVector<Unit*>& units) const;

    QHash<QHostAddress, Unit*> m_configured;
    QVector<Unit*> m_configuredOrder;
    QHash<QHostAddress, UnconfiguredUnit*> m_unconfigured;
    QVector<Unit*> m_active;
    // The lights of a room are worked out on every change of a call, and a
    // walk over every active unit costs more than the rest of the call: the
    // configured units by room, and when each active unit became active,
    // which is its place in m_active.
    QHash<const Room*, QVector<Unit*>> m_configuredByRoom;
    QHash<const Unit*, quint64> m_activeSince;
    quint64 m_activations = 0;
    mutable ReachIndex m_reachIndex;
    mutable bool m_reachIndexStale = true;
    QVector<RondelUnit*> m_pending;
    QVector<RondelUnit*> m_lost;
    QVector<RondelUnit*> m_late;
};
