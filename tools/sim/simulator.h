#pragma once

#include "simunit.h"

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// A set of simulated units, taken from an installation's configuration or
// generated, all on one event loop with one socket per unit address.
class Simulator : public QObject, public SimDirectory
{
    Q_OBJECT
public:
    static constexpr int MaxGenerated = 60000;

    explicit Simulator(QObject* parent = nullptr);

    // Creates a unit for every usable entry of the configuration's "units"
    // list, placed by its "rooms" and "wards". Each entry that cannot be
    // used is skipped with one line in problems.
    void load(const QVariantMap& config, QStringList* problems);
    // The same from a file; false (and error set) when the file cannot be
    // read or is not a JSON object.
    bool loadFile(const QString& path, QStringList* problems, QString* error);

    // A configuration the daemon loads: count units of model (or of all
    // models in turn for "mixed") on 127.0.1.1, 127.0.1.2, ..., two to a
    // room, fifty to a ward.
    static QVariantMap generate(int count, const QString& model);
    static bool writeConfig(const QString& path, const QVariantMap& config, QString* error);

    // Binds every unit's address on port; units talk to the core at core:port.
    bool bind(const QHostAddress& core, quint16 port, QString* error);
    void setRetryInterval(int ms);

    QList<SimUnit*> units() const { return m_units; }
    SimUnit* unit(const QHostAddress& ip) const { return m_byIp.value(ip.toIPv4Address()); }

    const SimUnit* unitShownBy(const SimFields& entry) const override;

signals:
    // A change the core caused at a unit, as one readable line.
    void changed(const QString& line);

private:
    static QString roomKey(const QString& ward, const QString& roomNo, const QString& room);

    QList<SimUnit*> m_units;
    QHash<quint32, SimUnit*> m_byIp;
    QHash<QString, QList<SimUnit*>> m_byRoom;
};
