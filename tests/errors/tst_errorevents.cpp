#include "errors/errorevents.h"
#include "units/rondelunit.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// A clock the test moves by hand.
struct ManualClock
{
    QDateTime now;
    ErrorEvents::Clock clock()
    {
        return [this] { return now; };
    }
};

ErrorEvent eventAt(const QSignalSpy& spy, int index)
{
    return spy.at(index).first().value<ErrorEvent>();
}

} // namespace

class TestErrorEvents : public QObject
{
    Q_OBJECT
private slots:
    void raiseRecordsOneActiveEventPerUnit();
    void clearFinishesTheActiveEventOnly();
    void raiseClearRaiseGivesANewEvent();
    void eventsInTheSameMillisecondAreDistinct();
    void onlyRondelEventsCountAsActive();
    void followsAUnitsErrorFlag();
};

void TestErrorEvents::followsAUnitsErrorFlag()
{
    ErrorEvents events;
    QSignalSpy raised(&events, &ErrorEvents::newEvent);
    QSignalSpy finished(&events, &ErrorEvents::eventFinished);
    RondelUnit unit(QHostAddress(QStringLiteral("127.0.0.4")));

    unit.unitNotResponding();
    events.onUnitErrorChanged(&unit);
    QCOMPARE(raised.count(), 1);
    QCOMPARE(eventAt(raised, 0).ip, QHostAddress(QStringLiteral("127.0.0.4")));
    QVERIFY(events.hasActiveError(unit.ip()));

    unit.unitStartResponding();
    events.onUnitErrorChanged(&unit);
    QCOMPARE(finished.count(), 1);
    QVERIFY(!events.hasActiveError(unit.ip()));
}

void TestErrorEvents::raiseRecordsOneActiveEventPerUnit()
{
    ManualClock time{QDateTime(QDate(2100, 1, 2), QTime(3, 4, 5, 678))};
    ErrorEvents events;
    events.setClock(time.clock());
    QSignalSpy raised(&events, &ErrorEvents::newEvent);
    QSignalSpy finished(&events, &ErrorEvents::eventFinished);
    const QHostAddress unit(QStringLiteral("127.0.0.2"));

    events.onUnitErrorChanged(unit, true);
    time.now = time.now.addSecs(1);
    events.onUnitErrorChanged(unit, true);

    QCOMPARE(raised.count(), 1);
    QCOMPARE(finished.count(), 0);
    const ErrorEvent event = eventAt(raised, 0);
    QCOMPARE(event.id, QDateTime(QDate(2100, 1, 2), QTime(3, 4, 5, 678)).toMSecsSinceEpoch());
    QCOMPARE(event.ip, unit);
    QCOMPARE(event.type, 1);
    QCOMPARE(event.typeName(), QStringLiteral("Rondel"));
    QCOMPARE(event.start, QDateTime(QDate(2100, 1, 2), QTime(3, 4, 5, 678)));
    QVERIFY(event.end.isNull());
    QVERIFY(events.hasActiveError(unit));
    QCOMPARE(events.activeErrors(unit).size(), 1);
    QVERIFY(!events.hasActiveError(QHostAddress(QStringLiteral("127.0.0.3"))));
}

void TestErrorEvents::clearFinishesTheActiveEventOnly()
{
    ManualClock time{QDateTime(QDate(2024, 6, 1), QTime(10, 0))};
    ErrorEvents events;
    events.setClock(time.clock());
    QSignalSpy raised(&events, &ErrorEvents::newEvent);
    QSignalSpy finished(&events, &ErrorEvents::eventFinished);
    const QHostAddress unit(QStringLiteral("127.0.0.2"));

    events.onUnitErrorChanged(unit, false);
    QCOMPARE(raised.count(), 0);
    QCOMPARE(finished.count(), 0);

    // Finishing an event that is not stored says nothing either.
    ErrorEvent stranger;
    stranger.id = 42;
    stranger.ip = unit;
    events.finish(stranger, time.now);
    QCOMPARE(finished.count(), 0);

    events.onUnitErrorChanged(unit, true);
    time.now = time.now.addSecs(90);
    events.onUnitErrorChanged(unit, false);
    events.onUnitErrorChanged(unit, false);
    QCOMPARE(finished.count(), 1);
    const ErrorEvent started = eventAt(raised, 0);
    const ErrorEvent ended = eventAt(finished, 0);
    QCOMPARE(ended.id, started.id);
    QCOMPARE(ended.start, started.start);
    QCOMPARE(ended.end, QDateTime(QDate(2024, 6, 1), QTime(10, 1, 30)));
    QVERIFY(!events.hasActiveError(unit));
}

void TestErrorEvents::raiseClearRaiseGivesANewEvent()
{
    // The clock does not move at all: a unit flapping within one millisecond
    // still gets events that can be told apart.
    ManualClock time{QDateTime(QDate(2024, 6, 2), QTime(11, 0))};
    ErrorEvents events;
    events.setClock(time.clock());
    QSignalSpy raised(&events, &ErrorEvents::newEvent);
    QSignalSpy finished(&events, &ErrorEvents::eventFinished);
    const QHostAddress unit(QStringLiteral("127.0.0.2"));

    events.onUnitErrorChanged(unit, true);
    events.onUnitErrorChanged(unit, false);
    events.onUnitErrorChanged(unit, true);

    QCOMPARE(raised.count(), 2);
    QCOMPARE(finished.count(), 1);
    QVERIFY(eventAt(raised, 0).id != eventAt(raised, 1).id);
    QCOMPARE(eventAt(finished, 0).id, eventAt(raised, 0).id);
    QCOMPARE(events.activeErrors(unit).size(), 1);
    QCOMPARE(events.activeErrors(unit).first().id, eventAt(raised, 1).id);
}

void TestErrorEvents::eventsInTheSameMillisecondAreDistinct()
{
    ManualClock time{QDateTime(QDate(2024, 6, 3), QTime(12, 0))};
    ErrorEvents events;
    events.setClock(time.clock());
    QSignalSpy raised(&events, &ErrorEvents::newEvent);
    QSignalSpy finished(&events, &ErrorEvents::eventFinished);
    const QHostAddress first(QStringLiteral("127.0.0.2"));
    const QHostAddress second(QStringLiteral("127.0.0.3"));

    events.onUnitErrorChanged(first, true);
    events.onUnitErrorChanged(second, true);
    // A second store (another ErrorEvents) draws from the same identities.
    ErrorEvents others;
    others.setClock(time.clock());
    QSignalSpy othersRaised(&others, &ErrorEvents::newEvent);
    others.onUnitErrorChanged(first, true);

    QCOMPARE(raised.count(), 2);
    const qint64 firstId = eventAt(raised, 0).id;
    const qint64 secondId = eventAt(raised, 1).id;
    const qint64 thirdId = eventAt(othersRaised, 0).id;
    QVERIFY(firstId != secondId);
    QVERIFY(thirdId != firstId && thirdId != secondId);

    events.onUnitErrorChanged(first, false);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(eventAt(finished, 0).ip, first);
    QCOMPARE(eventAt(finished, 0).id, firstId);
    QVERIFY(events.hasActiveError(second));
    QCOMPARE(events.activeErrors(second).first().id, secondId);
}

void TestErrorEvents::onlyRondelEventsCountAsActive()
{
    ManualClock time{QDateTime(QDate(2024, 6, 4), QTime(13, 0))};
    ErrorEvents events;
    events.setClock(time.clock());
    QSignalSpy raised(&events, &ErrorEvents::newEvent);
    const QHostAddress unit(QStringLiteral("127.0.0.4"));

    ErrorEvent bus;
    bus.id = 7;
    bus.ip = unit;
    bus.type = ErrorEvent::SBus;
    bus.start = time.now;
    events.add(bus);
    QCOMPARE(bus.typeName(), QStringLiteral("SBus"));
    QVERIFY(!events.hasActiveError(unit));
    QVERIFY(events.activeErrors(unit).isEmpty());

    // Clearing the Rondel flag leaves the other kind alone; raising it adds
    // the unit's Rondel event beside it.
    events.onUnitErrorChanged(unit, false);
    events.onUnitErrorChanged(unit, true);
    QCOMPARE(raised.count(), 2);
    QCOMPARE(eventAt(raised, 1).type, int(ErrorEvent::Rondel));
    QCOMPARE(events.activeErrors(unit).size(), 1);
    QVERIFY(events.activeErrors(unit).first().id != 7);
}

QTEST_GUILESS_MAIN(TestErrorEvents)
#include "tst_errorevents.moc"
