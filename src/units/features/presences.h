#pragma once

#include "rondel/command.h"
#include "rondel/records.h"
#include "units/settings/unitsettings.h"

#include <QChar>
#include <QObject>

class Unit;

// Staff presences at a unit: those the unit registers (PP, PS) and those
// configured for units that keep a presence permanently (presence mode).
// Also the unit setting "presences": {"pp": bool, "ps": bool, "pl": bool}.
class Presences : public QObject, public UnitSettings
{
    Q_OBJECT
public:
    explicit Presences(Unit* unit, QObject* parent = nullptr);

    QString name() const override { return QStringLiteral("presences"); }
    void load(const QVariant& value) override;
    // Restart when any of the three configured flags changed.
    int reload(const QVariant& value) override;

    // A "PresenceStatus" from the unit; signals every change.
    void statusReceived(const Command& command);
    // The state read by a status retrieval, taken without signals.
    void applyStatus(const PresenceStatus& status);

    bool isPPRegistered() const;
    bool isPSRegistered() const;
    bool isPLConfigured() const;
    bool hasPresence() const;
    // 'L', 'S', 'X' or a space, the strongest presence first.
    QChar presenceIcon() const;
    // The flags of the unit's "SetMode".
    bool modePP() const;
    bool modePS() const;

    bool registeredPPFlag() const { return m_registeredPP; }
    bool registeredPSFlag() const { return m_registeredPS; }
    bool configuredPP() const { return m_configuredPP; }
    bool configuredPS() const { return m_configuredPS; }
    bool configuredPL() const { return m_configuredPL; }

signals:
    void registeredPP();
    void unregisteredPP();
    void registeredPS();
    void unregisteredPS();

private:
    bool mode() const;

    Unit* m_unit;
    bool m_registeredPP = false;
    bool m_registeredPS = false;
    bool m_configuredPP = false;
    bool m_configuredPS = false;
    bool m_configuredPL = false;
};
