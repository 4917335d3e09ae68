#include "errors/errorevents.h"

#include "core/clock.h"
#include "units/unit.h"

QString ErrorEvent::typeName() const
{
    return type == Rondel ? QStringLiteral("Rondel") : QStringLiteral("SBus");
}

ErrorEvents::ErrorEvents(QObject* parent)
    : QObject(parent)
    , m_clock([] { return ::Clock::now(); })
{
    qRegisterMetaType<ErrorEvent>();
}

bool ErrorEvents::hasActiveError(const QHostAddress& ip) const
{
    for (auto it = m_events.constFind(ip); it != m_events.cend() && it.key() == ip; ++it) {
        if (it.value().type == ErrorEvent::Rondel)
            return true;
    }
    return false;
}

QList<ErrorEvent> ErrorEvents::activeErrors(const QHostAddress& ip) const
{
    QList<ErrorEvent> result;
    for (auto it = m_events.constFind(ip); it != m_events.cend() && it.key() == ip; ++it) {
        if (it.value().type == ErrorEvent::Rondel)
            result.append(it.value());
    }
    return result;
}

void ErrorEvents::add(const ErrorEvent& event)
{
    m_events.insert(event.ip, event);
    emit newEvent(event);
}

void ErrorEvents::finish(const ErrorEvent& event, const QDateTime& end)
{
    if (m_events.remove(event.ip, event) == 0)
        return;
    ErrorEvent finished = event;
    finished.end = end;
    emit eventFinished(finished);
}

void ErrorEvents::onUnitErrorChanged(const Unit* unit)
{
    onUnitErrorChanged(unit->ip(), unit->hasRondelError());
}

void ErrorEvents::onUnitErrorChanged(const QHostAddress& ip, bool hasRondelError)
{
    if (hasRondelError) {
        if (hasActiveError(ip))
            return;
        const QDateTime now = m_clock();
        ErrorEvent event;
        event.id = uniqueId(now);
        event.ip = ip;
        event.type = ErrorEvent::Rondel;
        event.start = now;
        add(event);
    } else {
        if (!hasActiveError(ip))
            return;
        finish(activeErrors(ip).first(), m_clock());
    }
}

void ErrorEvents::setClock(const Clock& clock)
{
    m_clock = clock;
}

qint64 ErrorEvents::uniqueId(const QDateTime& start)
{
    static qint64 lastId = 0;
    lastId = qMax(start.toMSecsSinceEpoch(), lastId + 1);
    return lastId;
}
