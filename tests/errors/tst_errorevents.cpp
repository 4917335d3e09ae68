#include "errors/errorevents.h"

#include <QtTest>

namespace {

const QDateTime Start(QDate(2100, 1, 2), QTime(3, 4, 5, 678));

QHostAddress unit(int last)
{
    return QHostAddress(QStringLiteral("127.0.0.%1").arg(last));
}

// A store's events as "new <ip> #n" and "end <ip> #n after Ns" (n numbers the
// ids in order of appearance), and the clock it reads, moved by hand.
struct Journal
{
    explicit Journal(ErrorEvents& events)
    {
        events.setClock([this] { return now; });
        QObject::connect(&events, &ErrorEvents::newEvent, &events,
                         [this](const ErrorEvent& e) { lines << "new " + label(e); });
        QObject::connect(&events, &ErrorEvents::eventFinished, &events, [this](const ErrorEvent& e) {
            lines << QStringLiteral("end %1 after %2s").arg(label(e)).arg(e.start.secsTo(e.end));
        });
    }
    QString label(const ErrorEvent& e)
    {
        if (!ids.contains(e.id))
            ids << e.id;
        return e.ip.toString() + " #" + QString::number(ids.indexOf(e.id));
    }

    QDateTime now = Start;
    QStringList lines;
    QList<qint64> ids;
};

} // namespace

class TestErrorEvents : public QObject
{
    Q_OBJECT
private slots:
    void flagChanges_data()
    {
        QTest::addColumn<QString>("changes");
        QTest::addColumn<QStringList>("journal");
        QTest::addColumn<QString>("active");
        // "2+" raises the flag of 127.0.0.2, "2-" clears it; "~" moves the clock
        // on 90 s. Where it does not move, the events still get their own ids.
        QTest::newRow("raised twice") << "2+ ~ 2+" << QStringList{"new 127.0.0.2 #0"} << "127.0.0.2 #0";
        QTest::newRow("cleared, never raised") << "2-" << QStringList{} << "";
        QTest::newRow("raised and cleared")
            << "2+ ~ 2- 2-" << QStringList{"new 127.0.0.2 #0", "end 127.0.0.2 #0 after 90s"} << "";
        QTest::newRow("raised again at once")
            << "2+ 2- 2+"
            << QStringList{"new 127.0.0.2 #0", "end 127.0.0.2 #0 after 0s", "new 127.0.0.2 #1"}
            << "127.0.0.2 #1";
        QTest::newRow("two units in one millisecond")
            << "2+ 3+ 2-"
            << QStringList{"new 127.0.0.2 #0", "new 127.0.0.3 #1", "end 127.0.0.2 #0 after 0s"}
            << "127.0.0.3 #1";
    }

    void flagChanges()
    {
        QFETCH(QString, changes);
        ErrorEvents events;
        Journal journal(events);
        for (const QString& change : changes.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (change == QLatin1String("~"))
                journal.now = journal.now.addSecs(90);
            else
                events.onUnitErrorChanged(unit(change.left(1).toInt()), change.endsWith(QLatin1Char('+')));
        }
        QTEST(journal.lines, "journal");
        QStringList active;
        for (int last : {2, 3}) {
            QCOMPARE(events.hasActiveError(unit(last)), !events.activeErrors(unit(last)).isEmpty());
            for (const ErrorEvent& event : events.activeErrors(unit(last)))
                active << journal.label(event);
        }
        QTEST(active.join(QLatin1Char(',')), "active");
    }

    void raisedEventCarriesTheUnitAndTime()
    {
        ErrorEvents events;
        ErrorEvents others;
        Journal journal(events);
        Journal othersJournal(others);
        // Later than every event of the other tests: ids only ever grow. A
        // second store raising at the same moment draws from the same ids.
        journal.now = othersJournal.now = Start.addYears(1);
        events.onUnitErrorChanged(unit(2), true);
        others.onUnitErrorChanged(unit(2), true);
        const ErrorEvent event = events.activeErrors(unit(2)).value(0);
        QCOMPARE(event.id, journal.now.toMSecsSinceEpoch());
        QCOMPARE(event.typeName(), QStringLiteral("Rondel"));
        QCOMPARE(event.start, journal.now);
        QVERIFY(event.end.isNull());
        QCOMPARE(others.activeErrors(unit(2)).value(0).id, event.id + 1);
    }

    void otherKindsAndStrangersStayApart()
    {
        ErrorEvents events;
        Journal journal(events);
        const ErrorEvent bus{7, unit(4), ErrorEvent::SBus, Start, {}};
        events.add(bus);
        QCOMPARE(bus.typeName(), QStringLiteral("SBus"));
        QVERIFY(!events.hasActiveError(unit(4)));

        // Finishing an event that is not stored says nothing.
        events.finish({42, unit(4), ErrorEvent::Rondel, {}, {}}, Start);

        // Clearing the Rondel flag leaves the other kind alone; raising it adds
        // the unit's Rondel event beside it.
        events.onUnitErrorChanged(unit(4), false);
        events.onUnitErrorChanged(unit(4), true);
        QCOMPARE(journal.lines, QStringList({"new 127.0.0.4 #0", "new 127.0.0.4 #1"}));
        QCOMPARE(journal.ids.first(), qint64(7));
        QCOMPARE(events.activeErrors(unit(4)).size(), 1);
        QCOMPARE(journal.label(events.activeErrors(unit(4)).first()), QStringLiteral("127.0.0.4 #1"));
    }
};

QTEST_GUILESS_MAIN(TestErrorEvents)
#include "tst_errorevents.moc"
