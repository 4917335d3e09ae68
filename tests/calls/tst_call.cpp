#include "core/clock.h"
#include "calls/call.h"
#include "calls/talkvolumes.h"
#include "support/fakecallcapable.h"

#include <QtTest>

class TestCall : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Clock::setOffset(0); }

    void displayInfoIsAskedOnce()
    {
        FakeCallCapable source;
        const Call call(CallType::VS, QStringLiteral("VSM"), &source);
        // Kept: the source is not asked again for every display.
        QCOMPARE(call.displayInfo().icon, QLatin1Char('P'));
        QCOMPARE(call.displayInfo().client, QStringLiteral("Bed 1"));
        QCOMPARE(source.displayInfoRequests, 1);

        const Call sourceless(CallType::PA, QStringLiteral("PA"), nullptr);
        QVERIFY(sourceless.isValid());
        QVERIFY(sourceless.displayInfo().isEmpty());
    }

    // The queue is keyed by id: calls raised in the same millisecond must still be told apart.
    void callsCreatedBackToBackHaveDistinctIds()
    {
        qint64 previous = 0;
        for (int i = 0; i < 200; ++i) {
            const Call call(CallType::NV, QStringLiteral("NV%1").arg(i % 9), nullptr);
            QVERIFY(call.id() > previous);
            previous = call.id();
        }

        // Identities stay close to the clock: a call a second later takes its millisecond.
        Clock::setOffset(1000);
        const Call later(CallType::VS, QStringLiteral("VS"), nullptr);
        QVERIFY(qAbs(later.id() - later.created().toMSecsSinceEpoch()) <= 5);
        // A clock set back never repeats an identity.
        Clock::setOffset(-60000);
        const Call earlierClock(CallType::VS, QStringLiteral("VS"), nullptr);
        QVERIFY(earlierClock.id() > later.id());
    }

    void typeFromCode_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<CallType>("type");
        // Lower case and unknown codes are patient calls.
        const QPair<const char*, CallType> rows[] = {
            {"DC", CallType::DC}, {"PA", CallType::PA}, {"AL", CallType::AL}, {"VS", CallType::VS},
            {"VSM", CallType::VS}, {"VK", CallType::VK}, {"VKM", CallType::VK}, {"NV3", CallType::NV},
            {"BT-00A1", CallType::NV}, {"vk", CallType::VS}, {"XYZ", CallType::VS}, {"", CallType::VS}};
        for (const auto& row : rows)
            QTest::newRow(row.first) << QString(row.first) << row.second;
    }
    void typeFromCode()
    {
        QFETCH(QString, code);
        QFETCH(CallType, type);
        QCOMPARE(callTypeFromCode(code), type);
    }

    void transitionsSetTheirTimestamps()
    {
        Call call(CallType::VS, QStringLiteral("VS"), nullptr);
        const QDateTime created = call.created();

        Clock::setOffset(1000);
        call.setRinging();
        QVERIFY(!call.connectedAt().isValid());

        Clock::setOffset(2000);
        call.setConnected();
        QVERIFY(call.connectedAt().msecsTo(created) <= -1900);

        Clock::setOffset(5000);
        call.mute();
        QVERIFY(call.isMutedOnly());
        QVERIFY(call.connectedAt().msecsTo(call.disconnectedAt()) >= 2900);
        const QDateTime firstDisconnect = call.disconnectedAt();

        // Muting a muted call is no end of a talk.
        Clock::setOffset(8000);
        call.mute();
        QCOMPARE(call.disconnectedAt(), firstDisconnect);

        call.setConnectedMuted();
        QVERIFY(call.isConnectedMuted());
        QVERIFY(call.connectedAt().msecsTo(call.created()) <= -7900);

        Clock::setOffset(9000);
        call.finish(EndType::HangUp);
        QCOMPARE(call.disconnectedAt(), call.finishedAt());
        QVERIFY(call.disconnectedAt() > firstDisconnect);

        // Finished without a talk: no end of a talk either.
        Call unanswered(CallType::AL, QStringLiteral("AL"), nullptr);
        unanswered.setRinging();
        unanswered.finish(EndType::Timeout);
        QVERIFY(unanswered.finishedAt().isValid());
        QVERIFY(!unanswered.disconnectedAt().isValid());
    }

    // "code [staff@source] [staff@target] [second]": where staff is; "second", a second target.
    void whoMayEndTheTalk_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("targetMay");
        QTest::addColumn<bool>("sourceMay");
        QTest::newRow("PA") << "PA staff@target" << false << true;
        QTest::newRow("VS no presence") << "VS" << true << false;
        QTest::newRow("VS staff at bed, nurse answers") << "VS staff@source" << false << true;
        QTest::newRow("VS staff at both ends") << "VS staff@source staff@target" << true << true;
        QTest::newRow("VS two targets") << "VS staff@source second" << true << true;
        QTest::newRow("VK") << "VK" << true << true;
        QTest::newRow("DC") << "DC" << true << true;
        QTest::newRow("NV") << "NV" << true << false;
        QTest::newRow("AL with presence") << "AL staff@source" << false << true;
    }
    void whoMayEndTheTalk()
    {
        QFETCH(QString, how);
        FakeCallCapable source, target, other;
        source.presence = how.contains("staff@source");
        target.presence = how.contains("staff@target");
        const QString code = how.section(' ', 0, 0);
        Call call(callTypeFromCode(code), code, &source);
        call.setTarget(&target, 1);
        if (how.contains("second"))
            call.addTarget(&other, 1);
        QTEST(call.targetMayEndTalk(), "targetMay");
        QTEST(call.sourceMayEndTalk(), "sourceMay");
    }

    void talkVolumeOverride()
    {
        TalkVolumes volumes;
        const TalkVolumes before = volumes;
        volumes.load(QVariantMap{{"mic", QVariantList{QVariantMap{{"sourceType", "Pardo"},
                                                                  {"Fenno", 25}}}}});
        QCOMPARE(volumes.mic("Pardo", "Fenno"), 25);
        QCOMPARE(volumes.mic("Pardo", "Pardo"), 30); // the others keep their values
        // A copy taken earlier is not affected; a pair without an entry is silent.
        QCOMPARE(before.mic("Pardo", "Fenno"), 20);
        QCOMPARE(before.speaker("Melde", "PA"), 0);

        // New pairs are added; elements without a source are skipped whole; a volume
        // that is no number leaves its entry alone; a later load builds on the earlier.
        volumes.load(QJsonDocument::fromJson(R"({"speaker": [{"sourceType": "Melde", "PA": "70"},
            {"Melde": 1}, {"sourceType": "Pardo", "Pardo": "loud", "Melde": 200}]})").toVariant());
        QCOMPARE(volumes.speaker("Melde", "PA"), 70);
        QCOMPARE(volumes.speaker("Pardo", "Pardo"), 197);
        QCOMPARE(volumes.speaker("Pardo", "Melde"), 200);
        QCOMPARE(volumes.mic("Pardo", "Fenno"), 25);

        volumes.load(QVariant());
        QCOMPARE(volumes.mic("Pardo", "Fenno"), 25);
    }
};

QTEST_GUILESS_MAIN(TestCall)
#include "tst_call.moc"
