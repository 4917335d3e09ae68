#include "core/clock.h"

#include <QtTest>

#include <cstdio>

namespace {

int offsetOn(int month)
{
    const QDateTime utc(QDate(2024, month, 15), QTime(12, 0), Qt::UTC);
    return QDateTime::fromMSecsSinceEpoch(utc.toMSecsSinceEpoch(), Qt::LocalTime).offsetFromUtc();
}

// Replaces the zone file as a zone change does: a new file renamed over the old one.
void installZone(const QTemporaryDir& dir, const QString& zone)
{
    const QString staged = dir.filePath(QStringLiteral("staged"));
    QVERIFY(QFile::copy(QStringLiteral("/usr/share/zoneinfo/") + zone, staged));
    QCOMPARE(::rename(QFile::encodeName(staged), QFile::encodeName(dir.filePath("localtime"))), 0);
}

} // namespace

class TestClock : public QObject
{
    Q_OBJECT

private slots:
    // Runs first: once the clock has pinned a zone, TZ is its own.
    void zoneGivenByTheCallerIsKept()
    {
        qputenv("TZ", "UTC");
        Clock::pinLocalTimeZone(QStringLiteral("/usr/share/zoneinfo/Europe/Prague"));
        QCOMPARE(qgetenv("TZ"), QByteArray("UTC"));
        QCOMPARE(offsetOn(7), 0);
    }

    void pinnedZoneIsReadOnceAndKeepsDaylightSaving()
    {
        QTemporaryDir dir;
        installZone(dir, QStringLiteral("Europe/Prague"));
        qunsetenv("TZ");
        const QString zoneFile = dir.filePath(QStringLiteral("localtime"));
        Clock::pinLocalTimeZone(zoneFile);
        QCOMPARE(qgetenv("TZ"), ":" + zoneFile.toLocal8Bit());
        QCOMPARE(offsetOn(1), 3600);
        QCOMPARE(offsetOn(7), 7200);

        // Another zone installed: conversions keep the pinned one until the refresh rereads it.
        installZone(dir, QStringLiteral("America/New_York"));
        QCOMPARE(offsetOn(1), 3600);
        Clock::refreshLocalTimeZone();
        QCOMPARE(offsetOn(1), -5 * 3600);
        QCOMPARE(offsetOn(7), -4 * 3600);
        QCOMPARE(qgetenv("TZ"), ":" + zoneFile.toLocal8Bit());
    }
};

QTEST_GUILESS_MAIN(TestClock)
#include "tst_clock.moc"
