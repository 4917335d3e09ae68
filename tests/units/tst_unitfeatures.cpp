#include "calls/calls.h"
#include "support/unitbus.h"
#include "units/features/buzzer.h"
#include "units/features/configcontrol.h"
#include "units/features/connecteddevices.h"
#include "units/features/fmcontroler.h"
#include "units/features/light.h"
#include "units/settings/nvsettings.h"
#include "units/features/pmb.h"
#include "units/features/presences.h"
#include "units/settings/radiossettings.h"
#include "units/models/unitmodels.h"

#include <QtTest>

#include <memory>
#include <utility>

namespace {

const QHostAddress Ip(QStringLiteral("127.0.0.2"));
const QHostAddress OtherIp(QStringLiteral("127.0.0.3"));
constexpr int Repeat = 150; // ms; the units' own value is 10 s

Call ringingCall(CallType type, const QString& code, CallCapable* source)
{
    Call call(type, code, source);
    call.setRinging();
    return call;
}

// The connection record a unit's report carries.
ConnectionStatus connection(const QString& name, const QString& payload)
{
    return parsedCommand(name, payload).record<ConnectionStatus>();
}

} // namespace

class TestUnitFeatures : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_server = std::make_unique<RecordingServer>();
        m_source = std::make_unique<Tolva>(OtherIp);
    }

    void buzzerForReceivedCalls()
    {
        // The tone of each model for a received call is checked over loopback.
        Pardo pardo(Ip);
        pardo.attach(m_server.get());
        const Call vs = ringingCall(CallType::VS, "VS", m_source.get());
        pardo.calls()->addReceivedCall(vs);
        QCOMPARE(m_server->take(Ip), QStringList({"Buzz|Target:Mtf\nToneType:PV\nVolume:Day\nInvite:BlinkVSM"}));

        // The same call again does not ring again; a more urgent one does.
        pardo.calls()->setReceivedCall(vs);
        QCOMPARE(m_server->take(Ip), QStringList());
        const Call al = ringingCall(CallType::AL, "AL", m_source.get());
        pardo.calls()->addReceivedCall(al);
        QCOMPARE(m_server->take(Ip), QStringList({"Buzz|Target:Mtf\nToneType:AL\nVolume:Day\nInvite:BlinkVSM"}));
        QCOMPARE(pardo.buzzer()->buzzedCall(), al);

        // Nothing left ringing: off, then the volume.
        pardo.calls()->removeReceivedCall(al);
        pardo.calls()->removeReceivedCall(vs);
        QCOMPARE(m_server->take(Ip).mid(1), QStringList({"Buzz|ToneType:None", "Buzz|Volume:Day"}));
        QVERIFY(!pardo.buzzer()->buzzedCall().isValid());
    }

    void buzzerForOwnCalls()
    {
        Tolva unit(Ip);
        unit.attach(m_server.get());
        Calls* calls = unit.calls();

        Call own(CallType::VS, "VS", &unit);
        own.setSourceMode(3);
        calls->setCall(own);
        QCOMPARE(m_server->take(Ip), QStringList({"Buzz|Target:Base\nToneType:Ringing\nVolume:Day"}));

        // A muted own call is silent; a waiting device call then rings as own.
        Call muted = own;
        muted.mute();
        calls->updateOwnCall(muted);
        QCOMPARE(m_server->take(Ip).filter("Buzz"), QStringList({"Buzz|ToneType:None", "Buzz|Volume:Day"}));
        Call nv(CallType::NV, "NV2", &unit);
        nv.setSourceMode(2);
        calls->setNVCall(nv);
        QCOMPARE(m_server->take(Ip), QStringList({"Buzz|Target:Mtf\nToneType:NV\nVolume:Day"}));

        // A waiting device call outranks a ringing received call.
        calls->addReceivedCall(ringingCall(CallType::AL, "AL", m_source.get()));
        QCOMPARE(m_server->take(Ip), QStringList());
        QCOMPARE(unit.buzzer()->buzzedCall(), nv);

        // A talk stops everything.
        calls->setTalk(nv);
        QCOMPARE(m_server->take(Ip), QStringList({"Buzz|ToneType:None", "Buzz|Volume:Day"}));
    }

    void buzzerVolume()
    {
        Tolva unit(Ip);
        unit.attach(m_server.get());
        unit.buzzer()->setVolume(1);
        QCOMPARE(m_server->take(Ip), QStringList({"Buzz|Volume:Night"}));
        unit.calls()->addReceivedCall(ringingCall(CallType::DC, "DC", m_source.get()));
        QCOMPARE(m_server->take(Ip),
                 QStringList({"Buzz|Target:Base\nToneType:Ringing\nVolume:Night\nInvite:BlinkVS"}));
        // While a call rings the volume waits for the next tone.
        unit.buzzer()->setVolume(2);
        QCOMPARE(m_server->take(Ip), QStringList());

        Corvi corvi(OtherIp);
        corvi.attach(m_server.get());
        corvi.buzzer()->setVolume(1);
        QCOMPARE(m_server->take(OtherIp), QStringList());
    }

    void lightByFirmware()
    {
        const QList<QPair<FirmwareVersion, int>> cases{{{2, 6}, 0}, {{2, 7}, 1}, {{2, 16}, 1},
                                                       {{2, 17}, 2}, {{3, 0}, 2}};
        for (const auto& c : cases)
            QCOMPARE(Light::firmwareModeOf(Unit::TolvaType, c.first), c.second);
        QCOMPARE(Light::firmwareModeOf(Unit::BrisaType, FirmwareVersion(3, 0)), 0);

        Tolva unit(Ip);
        unit.attach(m_server.get());
        Light* light = unit.light();
        light->initialise(Unit::TolvaType, FirmwareVersion(2, 6));

        LightState state;
        state.vp = true;
        state.pp = true;
        // No light module yet: stored, not sent.
        light->setLights(state);
        QCOMPARE(m_server->take(Ip), QStringList());

        unit.connectedDevices()->statusReceived(connection("ConnectionStatus", "SV:Connect"));
        QVERIFY(light->isActive());
        QCOMPARE(m_server->take(Ip), QStringList({"Lights|PP:1\nVS:1"}));
        light->setLights(state);
        QCOMPARE(m_server->take(Ip), QStringList());

        // New firmware knows VP: sent again at once, as it is.
        light->refresh(Unit::TolvaType, FirmwareVersion(2, 17));
        QCOMPARE(m_server->take(Ip), QStringList({"Lights|PP:1\nVP:1"}));
        light->refresh(Unit::TolvaType, FirmwareVersion(2, 18));
        QCOMPARE(m_server->take(Ip), QStringList());

        // An NV plug event leaves the light module connected.
        unit.connectedDevices()->changeReceived(connection("ConnectionChange", "NV3:Connect"));
        QVERIFY(light->isActive());
        unit.connectedDevices()->changeReceived(connection("ConnectionChange", "SV:Disconnect"));
        QVERIFY(!light->isActive());
        state.al = true;
        light->setLights(state);
        QCOMPARE(m_server->take(Ip), QStringList());
    }

    void connectedDevicesSignals()
    {
        ConnectedDevices devices;
        QStringList events;
        connect(&devices, &ConnectedDevices::mtfConnected, this, [&] { events << "mtf+"; });
        connect(&devices, &ConnectedDevices::mtfDisconnected, this, [&] { events << "mtf-"; });
        connect(&devices, &ConnectedDevices::mtfChanged, this, [&] { events << "mtf~"; });
        connect(&devices, &ConnectedDevices::svConnected, this, [&] { events << "sv+"; });
        connect(&devices, &ConnectedDevices::svDisconnected, this, [&] { events << "sv-"; });
        connect(&devices, &ConnectedDevices::oezConnected, this, [&] { events << "oez+"; });
        connect(&devices, &ConnectedDevices::oezDisconnected, this, [&] { events << "oez-"; });
        connect(&devices, &ConnectedDevices::nvxConnected, this, [&](const QString& nv) { events << nv + "+"; });
        connect(&devices, &ConnectedDevices::nvxDisconnected, this, [&](const QString& nv) { events << nv + "-"; });
        connect(&devices, &ConnectedDevices::connectionChanged, this, [&] { events << "changed"; });
        connect(&devices, &ConnectedDevices::requestConnectionStatus, this, [&] { events << "ask"; });

        // After a reset even a full status does not end the wait: the first
        // change asks again and signals nothing; the next full status does.
        devices.reset();
        devices.statusReceived(connection("ConnectionStatus", "SV:Connect"));
        devices.changeReceived(connection("ConnectionChange", "MTF:0010"));
        QCOMPARE(std::exchange(events, {}), QStringList({"sv+", "changed", "ask"}));
        devices.statusReceived(connection("ConnectionStatus", "SV:Connect\nNV8:Connect VS:Disconnect\nMTF:0010"));
        QCOMPARE(std::exchange(events, {}), QStringList({"mtf+", "NV8+", "changed"}));
        devices.changeReceived(connection("ConnectionChange", "MTF:0011\nOEZ:Connect\nNV8:Disconnect"));
        QCOMPARE(std::exchange(events, {}), QStringList({"mtf~", "oez+", "NV8-", "changed"}));
        QVERIFY(devices.isSVConnected());
        // A full status without a line for something means it is gone.
        devices.statusReceived(connection("ConnectionStatus", "OEZ:Connect"));
        QCOMPARE(std::exchange(events, {}), QStringList({"mtf-", "sv-", "changed"}));
        devices.statusReceived(connection("ConnectionStatus", "OEZ:Connect"));
        QCOMPARE(events, QStringList());
    }

    void radioChannels()
    {
        RadiosSettings radios;
        radios.load({QVariantMap{{"ip", "10.0.0.7"}, {"port", 5012}},
                     QVariantMap{{"port", 5013}}});
        const QString local = radios.channels().at(0).unitAddress.toString();
        Tolva unit(Ip);
        unit.setInstallationSettings(nullptr, nullptr, nullptr, &radios);
        unit.setRequestRepeatInterval(Repeat);
        unit.attach(m_server.get());
        unit.configControl()->setRadiosSettings(&radios);

        unit.configControl()->refresh();
        QCOMPARE(m_server->take(Ip), QStringList({"GetStatus|Config"}));
        QTest::qWait(Repeat + 100);
        QCOMPARE(m_server->take(Ip), QStringList({"GetStatus|Config"}));

        // The unit holds what it should: nothing to send, no more asking.
        unit.configControl()->configReceived(parsedCommand(
            "Config", QString("RadioChannels:2\nCH1:%1 5012\nCH2:%1 5013").arg(local)));
        QVERIFY(!unit.configControl()->isAwaiting());
        QTest::qWait(Repeat + 100);
        QCOMPARE(m_server->take(Ip), QStringList());

        // One port off: the whole list is sent with the controller's address.
        unit.configControl()->configReceived(parsedCommand(
            "Config", QString("RadioChannels:2\nCH1:%1 5012\nCH2:%1 5014").arg(local)));
        const QString expected = QString("SetConfig|RadioChannels:2\nCH1:%1 5012\nCH2:%1 5013").arg(local);
        QCOMPARE(m_server->take(Ip), QStringList({expected}));
        unit.configControl()->configReceived(parsedCommand("Config", "RadioChannels:0"));
        QCOMPARE(m_server->take(Ip), QStringList({expected}));

        // A Brisa plays no radio.
        Brisa brisa(OtherIp);
        brisa.attach(m_server.get());
        brisa.configControl()->setRadiosSettings(&radios);
        brisa.configControl()->configReceived(parsedCommand("Config", "RadioChannels:0"));
        QCOMPARE(m_server->take(OtherIp), QStringList());
    }

    void corviConfigurationAndTuners()
    {
        Corvi corvi(Ip);
        corvi.setRequestRepeatInterval(Repeat);
        corvi.loadSettings({{"fmRadio",
                             QVariantList{QVariantMap{{"active", true}, {"port", 5012}, {"volume", 8},
                                                      {"input", "FM"}, {"freq", "98.5"}},
                                          QVariantMap{{"active", false}, {"port", 5013}, {"volume", 5},
                                                      {"input", "FM"}, {"freq", "101.1"}}}}});
        corvi.attach(m_server.get());

        const QString held = "RadioChannels:2\nCH1:239.254.65.12 5012\nCH2:239.254.65.13 5013\n"
                             "VolumeCH1:8\nVolumeCH2:5\nSwitchOnCH1:1\nSwitchOnCH2:0\nInputs:FM1_FM2";
        corvi.configControl()->configReceived(parsedCommand("Config", held));
        QCOMPARE(m_server->take(Ip), QStringList());
        corvi.configControl()->configReceived(parsedCommand("Config", QString(held).replace("VolumeCH2:5", "VolumeCH2:6")));
        QCOMPARE(m_server->take(Ip),
                 QStringList({"SetConfig|VolumeCH1:8\nVolumeCH2:5\nSwitchOnCH1:1\nSwitchOnCH2:0\n"
                              "Inputs:FM1_FM2\nCH1:239.254.65.12 5012\nCH2:239.254.65.13 5013"}));

        // After a retrieval the tuners are asked for instead of the calls.
        FMControler* fm = corvi.fmControler();
        corvi.startStatusRetrieval();
        corvi.receivedCommand(parsedCommand("BasicInfo", "AcronymPU:Corvi"));
        // Having read no calls, its last step drops late answers instead of replaying them.
        corvi.receivedCommand(parsedCommand("FM1Status", "Input:FM\nFreq:90.0"));
        corvi.receivedCommand(parsedCommand("Config", "RadioChannels:0"));
        corvi.receivedCommand(parsedCommand("PresenceStatus", "PS:1"));
        QCOMPARE(corvi.pendingCommandCount(), 0);
        corvi.receivedCommand(parsedCommand("Notifications", "CallStatus NOT_CONNECTED"));
        corvi.applyRetrievedState(); // asks the tuners, as the every-model bus test shows
        m_server->clear();

        corvi.receivedCommand(parsedCommand("FM1Status", "Input:FM\nFreq:98.50"));
        QCOMPARE(m_server->take(Ip), QStringList());
        QTest::qWait(Repeat + 100);
        QCOMPARE(m_server->take(Ip).filter("FM"), QStringList({"GetStatus|FM1Status", "GetStatus|FM2Status"}));
        corvi.receivedCommand(parsedCommand("FM1Status", "Input:FM\nFreq:98.7"));
        corvi.receivedCommand(parsedCommand("FM2Status", "Input:FM\nFreq:101.10"));
        QCOMPARE(fm->reported(), 3);
        QCOMPARE(m_server->take(Ip), QStringList({"FM1Control|Perform:Tune\nFreq:98.5"}));
        QTest::qWait(Repeat + 100);
        QCOMPARE(m_server->take(Ip).filter("FM"), QStringList());

        QVERIFY(!FMControler::frequenciesDiffer("98.50", "98.5"));
        QVERIFY(!FMControler::frequenciesDiffer("98.505", "98.5"));
        QVERIFY(FMControler::frequenciesDiffer("98.51", "98.5"));
        QVERIFY(FMControler::frequenciesDiffer("", "98.5"));
        QVERIFY(!FMControler::frequenciesDiffer("", "")); // neither tuner set: nothing to tune
    }

    void pmbPairingTable()
    {
        NVSettings nv;
        nv.loadButtons({QVariantMap{{"id", "BT00A1B2"}, {"bed", 1}, {"unit", "127.0.0.2"}},
                        QVariantMap{{"id", "00C3D4"}, {"bed", 2}, {"unit", "127.0.0.2"}},
                        QVariantMap{{"id", "BT00FFFF"}, {"bed", 1}, {"unit", "127.0.0.9"}}});
        Tolva unit(Ip);
        unit.attach(m_server.get());
        PMB* pmb = unit.pmb();
        pmb->setNVSettings(&nv);
        QSignalSpy cleared(pmb, &PMB::pmbInfoCleared);
        QSignalSpy updated(pmb, &PMB::pmbInfoUpdated);

        pmb->refresh();
        QCOMPARE(cleared.count(), 1);
        QCOMPARE(m_server->take(Ip), QStringList({"PMBGetStatus|Info"}));
        unit.receivedCommand(parsedCommand("PMBInfo", "ID:pmb7\nFWVersion:1.1"));
        // Not in step yet: the command waits for the retrieval.
        QCOMPARE(updated.count(), 0);

        pmb->commandReceived(parsedCommand("PMBInfo", "ID:pmb7\nFWVersion:1.1"));
        QCOMPARE(updated.count(), 1);
        QCOMPARE(updated.at(0).at(0).value<PMBInfo>().id, QStringLiteral("pmb7"));
        QCOMPARE(m_server->take(Ip), QStringList({"PMBGetStatus|ConfigBT"}));

        pmb->commandReceived(parsedCommand("PMBConfigBT", "BT0:00A1B2 1\nBT1:00C3D4 2"));
        QCOMPARE(m_server->take(Ip), QStringList());
        QCOMPARE(pmb->state(), int(PMB::Done));
        pmb->commandReceived(parsedCommand("PMBConfigBT", "BT0:00A1B2 1"));
        QCOMPARE(m_server->take(Ip), QStringList({"PMBSetConfigBT|BT0:00A1B2 1\nBT1:00C3D4 2"}));

        // Every later board report is passed on; only the first asks on.
        pmb->commandReceived(parsedCommand("PMBInfo", "ID:pmb8"));
        QCOMPARE(updated.count(), 2);
        QCOMPARE(m_server->take(Ip), QStringList());
    }

    void presences()
    {
        Tolva unit(Ip);
        Presences* presences = unit.presences();
        presences->load(QVariantMap{{"pp", true}, {"pl", true}});
        // Without presence mode (old firmware) only what the unit registers counts.
        QVERIFY(!unit.hasPresence());
        QCOMPARE(presences->presenceIcon(), QLatin1Char(' '));

        QSignalSpy ppOn(presences, &Presences::registeredPP);
        QSignalSpy psOn(presences, &Presences::registeredPS);
        QSignalSpy psOff(presences, &Presences::unregisteredPS);
        presences->statusReceived(parsedCommand("PresenceStatus", "PS:1\nPP:0"));
        QCOMPARE(presences->presenceIcon(), QLatin1Char('S'));
        QCOMPARE(ppOn.count(), 0);
        presences->statusReceived(parsedCommand("PresenceStatus", "PS:1\nPP:1"));
        presences->applyStatus(PresenceStatus());
        QCOMPARE(QList<int>({psOn.count(), ppOn.count(), psOff.count()}), QList<int>({1, 1, 0}));
        QVERIFY(!unit.hasPresence());

        // A Lumo keeps its configured presences permanently.
        Lumo lumo(OtherIp);
        lumo.presences()->load(QVariantMap{{"pp", true}});
        QVERIFY(lumo.presences()->isPPRegistered());
        QCOMPARE(lumo.presences()->presenceIcon(), QLatin1Char('X'));
        QVERIFY(lumo.presences()->modePP() && !lumo.presences()->modePS());
        QCOMPARE(lumo.presences()->reload(QVariantMap{{"pp", true}, {"pl", true}}), 2);
        QCOMPARE(lumo.presences()->presenceIcon(), QLatin1Char('L'));
        QCOMPARE(lumo.unitInfo().presenceIcon, QLatin1Char('L'));
        QCOMPARE(lumo.presences()->reload(QVariantMap{{"pp", true}, {"pl", true}}), 0);

        // Presences from the configuration only: a stray report registers nobody.
        QSignalSpy lumoPS(lumo.presences(), &Presences::registeredPS);
        lumo.presences()->statusReceived(parsedCommand("PresenceStatus", "PS:1\nPP:1"));
        QCOMPARE(lumoPS.count(), 0);
        QVERIFY(!lumo.presences()->isPSRegistered());
        QVERIFY(!lumo.presences()->registeredPPFlag());
    }

private:
    std::unique_ptr<RecordingServer> m_server;
    std::unique_ptr<Tolva> m_source;
};

QTEST_GUILESS_MAIN(TestUnitFeatures)
#include "tst_unitfeatures.moc"
