#include "calls/callqueue.h"
#include "config/configloader.h"
#include "support/corefixture.h"
#include "units/registry/units.h"

#include <QtTest>

namespace {

const QString Patient = QStringLiteral("127.0.0.2");
const QString Nurse = QStringLiteral("127.0.0.3");
const QString OtherWard = QStringLiteral("127.0.0.4");
const QString Colleague = QStringLiteral("127.0.0.5");
const QString Ringing = QStringLiteral("Target:Base\nToneType:PV\nVolume:Day\nInvite:BlinkVS\n");

// A Pardo at the bed in r1 (ward w1); with staff present: a Fenno with a
// screen in r2 (w1, number 101), a Tolva in r3 (w2, same group), a Brisa
// in r1.
QStringList installation(bool withPatient = true, const QString& patientRoom = "r1")
{
    QStringList units{Nurse + " Fenno r2 phone=101", OtherWard + " Tolva r3", Colleague + " Brisa r1"};
    if (withPatient)
        units.prepend(Patient + " Pardo " + patientRoom);
    return units;
}

void clearAll(CoreFixture& core)
{
    for (const QString& ip : {Patient, Nurse, OtherWard, Colleague})
        core.fake(ip)->clearReceived();
}

bool bringUp(CoreFixture& core)
{
    if (!core.bringUp(installation()))
        return false;
    QSignalSpy staffed(core.core().units(), &Units::registeredPS);
    for (const QString& ip : {Nurse, OtherWard, Colleague})
        core.fake(ip)->sendCommand("PresenceStatus", "PS:1");
    if (!QTest::qWaitFor([&] { return staffed.count() == 3; }, 10000))
        return false;
    // What the start-up still has on its way is of no interest.
    const bool settled = core.settle();
    clearAll(core);
    return settled;
}

EndType lastEnd(const QSignalSpy& changes)
{
    return changes.isEmpty() ? EndType::None : changes.last().at(0).value<Call>().endType();
}

} // namespace

// The core in process with fake units on loopback: what each unit receives
// while calls ring, are answered, talked and ended.
class TestCallFlow : public QObject
{
    Q_OBJECT
private slots:
    void patientCallRingsIsAnsweredAndHungUp_data()
    {
        QTest::addColumn<bool>("joined");
        QTest::newRow("own ward only") << false;
        QTest::newRow("wards joined") << true;
    }
    void patientCallRingsIsAnsweredAndHungUp()
    {
        QFETCH(bool, joined);
        CoreFixture core;
        QVERIFY(bringUp(core));
        if (joined)
            QVERIFY(core.fake(Nurse)->waitForAck(
                core.fake(Nurse)->sendCommand("Requests", "ConnectWard w1\nConnectWard w2")));
        // Joining the wards sends ward lists and buzzer volumes first.
        QVERIFY(core.settle());
        QSignalSpy changes(core.core().callQueue(), &CallQueue::callChanged);
        clearAll(core);
        core.fake(Patient)->sendCommand("CallChange", "VS:1");
        QVERIFY(core.fake(Nurse)->waitForCommand("DisplayCalls") && core.fake(Colleague)->waitForCommand("Buzz"));
        QTest::qWait(100);
        QCOMPARE(core.fake(Nurse)->payloads("DisplayCalls"), QStringList{"Icon:P\nWard:W1\nRoomNo:1\nRoom:r1\n"});
        QCOMPARE(core.fake(Nurse)->payloads("Buzz"), QStringList{Ringing});
        QCOMPARE(core.fake(OtherWard)->payloads("Buzz"), joined ? QStringList{Ringing} : QStringList{});

        // Both answer; the first one wins.
        clearAll(core);
        core.fake(Nurse)->sendCommand("Requests", "CallAnswerBase");
        core.fake(Colleague)->sendCommand("Requests", "CallAnswerBase");
        QVERIFY(core.fake(Patient)->waitForCommand("VoIP") && core.fake(Nurse)->waitForCommand("VoIP"));
        QTRY_VERIFY(core.log().contains("Warning CallAnswer request withouth incoming ringing call"));
        QCOMPARE(core.fake(Patient)->payloads("VoIP"),
                 QStringList{"ImmediateTalk 127.0.0.3 10002 10004\nSetAudioMode LINE_LEVEL\n"
                             "SetAudioLevel IN 20\nSetAudioLevel OUT 250\n"});
        QCOMPARE(core.fake(Nurse)->payloads("VoIP"),
                 QStringList{"ImmediateTalk 127.0.0.2 10004 10002\nSetAudioMode MIC_SPKR\n"
                             "SetAudioLevel IN 57\nSetAudioLevel OUT 30\n"});
        QCOMPARE(core.fake(Colleague)->payloads("VoIP"), QStringList{});
        QVERIFY(core.fake(Colleague)->payloads("Buzz").contains("ToneType:None\n"));

        clearAll(core);
        core.fake(Nurse)->sendCommand("Requests", "TalkCancelRqst");
        QVERIFY(core.fake(Patient)->waitForCommand("VoIP") && core.fake(Nurse)->waitForCommand("VoIP"));
        QCOMPARE(core.fake(Patient)->payloads("VoIP"), QStringList{"EndCall\n"});
        QCOMPARE(core.fake(Nurse)->payloads("VoIP"), QStringList{"EndCall\n"});
        QVERIFY(core.core().callQueue()->isEmpty());
        QCOMPARE(lastEnd(changes), EndType::HangUp);
    }

    void callsOfAUnitThatGoes_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<EndType>("end");
        QTest::newRow("stops answering") << "silent" << EndType::LostCommunication;
        QTest::newRow("deleted on reload") << "deleted" << EndType::UnitDeleted;
        QTest::newRow("restarted on reload") << "moved" << EndType::ConfigChanged;
    }
    void callsOfAUnitThatGoes()
    {
        QFETCH(QString, how);
        QFETCH(EndType, end);
        CoreFixture core;
        QVERIFY(bringUp(core));
        QSignalSpy changes(core.core().callQueue(), &CallQueue::callChanged);
        core.fake(Patient)->sendCommand("CallChange", "VS:1");
        QVERIFY(core.fake(Nurse)->waitForCommand("DisplayCalls"));
        clearAll(core);
        if (how == "silent") {
            core.fake(Patient)->setSilent(true);
        } else {
            core.writeConfig(CoreFixture::config(installation(how == "moved", "r2")));
            core.core().configLoader()->reload();
        }
        QVERIFY(core.fake(Nurse)->waitForCommand("DisplayCalls", 3000));
        QCOMPARE(core.fake(Nurse)->payloads("DisplayCalls"), QStringList{"Clear\n"});
        QCOMPARE(lastEnd(changes), end);
        QVERIFY(core.core().callQueue()->isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCallFlow)
#include "tst_callflow.moc"
