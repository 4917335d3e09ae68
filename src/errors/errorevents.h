#pragma once

#include "errors/errorevent.h"

#include <QDateTime>
#include <QHostAddress>
#include <QList>
#include <QMultiHash>
#include <QObject>

#include <functional>

class Unit;

// The error events of the units that are active now. Finished events are
// forgotten here; the published history keeps them.
class ErrorEvents : public QObject
{
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    explicit ErrorEvents(QObject* parent = nullptr);

    bool hasActiveError(const QHostAddress& ip) const;
    // The Rondel error events under the address, most recently added first.
    QList<ErrorEvent> activeErrors(const QHostAddress& ip) const;

    void add(const ErrorEvent& event);
    void finish(const ErrorEvent& event, const QDateTime& end);

    // Raises an event when the unit's Rondel error flag is set and none is
    // active, finishes the active one when the flag is clear.
    void onUnitErrorChanged(const QHostAddress& ip, bool hasRondelError);
    void onUnitErrorChanged(const Unit* unit);

    // Where "now" comes from (the local clock unless a test shifts it).
    void setClock(const Clock& clock);

signals:
    void newEvent(const ErrorEvent& errorEvent);
    void eventFinished(const ErrorEvent& errorEvent);

private:
    // Event ids double as topic names: two events must never share one, even
    // when two units fail within the same millisecond.
    static qint64 uniqueId(const QDateTime& start);

    QMultiHash<QHostAddress, ErrorEvent> m_events;
    Clock m_clock;
};
