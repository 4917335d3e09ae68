#pragma once

#include "wards/ward.h"

#include <QHash>
#include <QMetaType>
#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVector>

// The registry of wards, filled from the configuration's "wards" list. The
// placeholder ward is always registered under "none". Registry order is the
// order of the configuration (placeholder first), so lists and the saved
// state come out in a stable order.
class Wards : public QObject
{
    Q_OBJECT
public:
    explicit Wards(QObject* parent = nullptr);

    void load(const QVariantList& list);
    // Reuses the ward objects of ids that stay, keeping their mode and
    // connection, and records what changed; replaced objects stay alive
    // until deleteOldWards().
    void reload(const QVariantList& list);

    Ward* ward(const QString& id) const;
    bool contains(const QString& id) const { return m_byId.contains(id); }
    // Whether this very object is the registered ward of its id.
    bool isRegistered(const Ward* ward) const;

    QVector<Ward*> allWards() const { return m_wards; }
    QVector<Ward*> wards() const;
    QVector<Ward*> wardsInGroup(const QString& group) const;
    QStringList groups() const;

    // The ward first, then, when it is connected, every other connected
    // ward of its group.
    QVector<Ward*> connectedWith(Ward* ward) const;
    bool areConnected(const Ward* a, const Ward* b) const;

    void connectWard(Ward* ward);
    void disconnectWard(Ward* ward);
    void setMode(Ward* ward, int mode);
    // Requests from units name a ward by id; an id that names no ward
    // changes nothing.
    void connectWard(const QString& id);
    void disconnectWard(const QString& id);

    // Connection and mode of every registered ward, placeholder included.
    QVariantList state() const;
    void restoreState(const QVariantList& records);

    const QVector<Ward*>& textChangedWards() const { return m_textChanged; }
    const QVector<Ward*>& groupChangedWards() const { return m_groupChanged; }
    void deleteOldWards();

signals:
    void connectionChanged(const QVector<Ward*>& wards);
    void dayNightModeChanged(const QVector<Ward*>& wards);

private:
    void clearRegistry();
    void add(Ward* ward);
    // The trimmed "_id" of an element; empty when missing, "none" or repeated.
    QString usableId(const QVariant& element) const;
    static void setDayIfAnyDay(const QVector<Ward*>& wards);

    QVector<Ward*> m_wards;
    QHash<QString, Ward*> m_byId;
    QVector<Ward*> m_textChanged;
    QVector<Ward*> m_groupChanged;
    QVector<Ward*> m_oldWards;
};

Q_DECLARE_METATYPE(QVector<Ward*>)
