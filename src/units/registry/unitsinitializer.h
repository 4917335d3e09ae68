#pragma once

#include <QObject>
#include <QTimer>

class RondelUnit;
class Unit;
class UnitsRepository;

// The start-up reading of every configured bus unit. The units get a fixed
// time; those that have not answered by then are left to initialise on
// their own, so that one dead unit cannot hold up the installation.
class UnitsInitializer : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultTimeLimit = 10000;

    explicit UnitsInitializer(UnitsRepository* repository, QObject* parent = nullptr);

    // Takes effect at the next start().
    void setTimeLimit(int ms) { m_timer.setInterval(ms); }
    int timeLimit() const { return m_timer.interval(); }

    void start();
    // Ends the start-up; only the first call counts.
    void finish();
    bool isFinished() const { return m_finished; }

    // The first reading of an initialising unit is complete.
    void unitRetrieved(RondelUnit* unit);
    // Starts the reading of pending units that are not being read yet, such
    // as units a reload added.
    void reinitialise();

signals:
    void unitsInitialized();
    void unitInitializedLate(Unit* unit);

private:
    bool m_finished = false;
    QTimer m_timer;
    UnitsRepository* m_repository;
};
