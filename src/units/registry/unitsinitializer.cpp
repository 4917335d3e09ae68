#include "units/registry/unitsinitializer.h"

#include "units/registry/unitsrepository.h"
#include "units/rondelunit.h"
#include "units/rondelunitstatusretrieval.h"

#include <QDebug>

UnitsInitializer::UnitsInitializer(UnitsRepository* repository, QObject* parent)
    : QObject(parent)
    , m_repository(repository)
{
    m_timer.setSingleShot(true);
    // A coarse timer may fire 5 % early; the units are promised their time.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(DefaultTimeLimit);
    connect(&m_timer, &QTimer::timeout, this, &UnitsInitializer::finish);
}

void UnitsInitializer::start()
{
    m_timer.start();
    if (!m_repository->hasPending()) {
        finish();
        return;
    }
    // A copy: a unit that fails at once moves out of the pending list.
    const QVector<RondelUnit*> pending = m_repository->pendingUnits();
    for (RondelUnit* unit : pending)
        unit->startStatusRetrieval();
}

void UnitsInitializer::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_timer.stop();
    if (m_repository->hasPending())
        qWarning() << "== Initialisation timeout!";
    else
        qDebug() << "== Initialisation complete ...";
    m_repository->finishInitialisation();
    emit unitsInitialized();
    // Until now the units kept what they read to themselves, so that nothing
    // is shown or delivered before the whole installation is known.
    const QVector<Unit*> active = m_repository->activeUnits();
    for (Unit* unit : active) {
        if (auto* rondelUnit = qobject_cast<RondelUnit*>(unit))
            rondelUnit->applyRetrievedState();
    }
}

void UnitsInitializer::unitRetrieved(RondelUnit* unit)
{
    if (!m_repository->isInitialising(unit))
        return;
    m_repository->markInitialised(unit);
    unit->initialiseFromBasicInfo();
    if (m_finished) {
        unit->applyRetrievedState();
        emit unitInitializedLate(unit);
    } else if (!m_repository->hasPending()) {
        finish();
    }
}

void UnitsInitializer::reinitialise()
{
    const QVector<RondelUnit*> pending = m_repository->pendingUnits();
    for (RondelUnit* unit : pending) {
        if (!unit->statusRetrieval()->isRunning())
            unit->startStatusRetrieval();
    }
}
