#pragma once

#include "calls/call.h"
#include "rondel/command.h"
#include "rondel/records.h"

#include <QHostAddress>
#include <QObject>
#include <QPair>
#include <QVariant>
#include <QVariantMap>
#include <QVector>

class Rooms;
class RondelServer;
class RondelUnit;
class UnconfiguredUnit;
class Unit;
class UnitsFactory;
class UnitsInitializer;
class UnitsRepository;
class Wards;

// The installation's units as one object: creates them from the
// configuration, supervises them on the bus, applies reloads unit by unit,
// probes addresses that talk without being configured, and gathers the
// signals of every unit so that the rest of the core connects once.
class Units : public QObject
{
    Q_OBJECT
public:
    Units(UnitsFactory* factory, UnitsInitializer* initializer, RondelServer* server,
          UnitsRepository* repository, Rooms* rooms, Wards* wards, QObject* parent = nullptr);

    void loadUnits(const QVariant& units);

    // Told by the configuration reload, before reloadUnits().
    void setReloadRadiosChanged(bool changed) { m_reloadRadiosChanged = changed; }
    // Applies the new "units" list to the units that stay and creates the
    // new ones; what left the configuration and what needs a restart is
    // kept for removeUnits() and restartUnits(), which run once the calls of
    // those units have been ended.
    void reloadUnits(const QVariant& units);
    const QVector<Unit*>& removalCandidates() const { return m_removalCandidates; }
    const QVector<Unit*>& restartList() const { return m_restartList; }
    void removeUnits();
    void restartUnits();

    // A command from an address that no unit object listens to.
    void commandFromUnlistenedAddress(const Command& command, const QHostAddress& ip);
    // An address reported by the unit scanner.
    void unitDiscovered(const QHostAddress& ip);

    UnitsRepository* repository() const { return m_repository; }
    UnitsInitializer* initializer() const { return m_initializer; }

    // How often bus units repeat unanswered requests; applies to the units
    // that exist and to those created later. Tests shorten it.
    void setRequestRepeatInterval(int ms);

signals:
    void newUnit(Unit* unit);
    void unitRemoved(const QHostAddress& ip);
    void lostCommunication(Unit* unit);
    void stateRestored(Unit* unit);
    void callNew(const Call& call);
    void callReplaced(const Call& oldCall, const Call& newCall);
    void callMuted(const Call& call);
    void callCanceled(const Call& call);
    void requestAnswareCall(const Call& call);
    void requestEndOutgoingTalk(const Call& call);
    void requestEndIncomingTalk(const Call& call);
    void requestConnectWard(const QString& wardId);
    void requestDisconnectWard(const QString& wardId);
    void requestOpenEZ(Unit* unit);
    void rondelErrorChanged(Unit* unit);
    void mtfChanged(Unit* unit);
    void connectionChanged(Unit* unit);
    void callsChanged(Unit* unit);
    void talkChanged(Unit* unit);
    void registeredPP(Unit* unit);
    void unregisteredPP(Unit* unit);
    void registeredPS(Unit* unit);
    void unregisteredPS(Unit* unit);
    void basicInfoUpdated(Unit* unit, const BasicInfo& basicInfo);
    void btUpdated(Unit* unit, const BT& bt);
    void pmbInfoCleared(Unit* unit);
    void pmbInfoUpdated(Unit* unit, const PMBInfo& pmbInfo);

private:
    // The address of a usable "units" element; a null address otherwise.
    static QHostAddress usableAddress(const QVariantMap& config);
    Unit* createUnit(const QHostAddress& ip, const QVariantMap& config);
    // The receive mode the configuration gives the unit.
    void setReceiveMode(Unit* unit, const QVariantMap& config) const;
    // Whether the configured receive mode differs from the unit's.
    bool receiveModeChanged(const Unit* unit, const QVariantMap& config) const;
    int reloadUnit(Unit* unit, const QVariantMap& config);
    UnconfiguredUnit* addUnconfigured(const QHostAddress& ip);

    void connectUnit(Unit* unit);
    void connectRondelUnit(RondelUnit* unit);
    void disconnectUnit(Unit* unit);
    void setDayNightMode(Unit* unit, int mode);

    void onCommunicationLostOrOutOfSync(RondelUnit* unit);
    void onRetrievalDone(RondelUnit* unit);

    bool m_reloadRadiosChanged = false;
    QVector<Unit*> m_restartList;
    QVector<Unit*> m_removalCandidates;
    // Entries whose model changed: created once the old unit is removed.
    QVector<QPair<QHostAddress, QVariantMap>> m_replacements;
    UnitsFactory* m_factory;
    UnitsInitializer* m_initializer;
    RondelServer* m_server;
    UnitsRepository* m_repository;
    Rooms* m_rooms;
    Wards* m_wards;
    int m_requestRepeat = 0;
};
