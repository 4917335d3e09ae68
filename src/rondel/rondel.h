#pragma once

#include "rondel/calldisplayinfo.h"
#include "rondel/records.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QVector>

class RondelServer;

// The commands the core sends to one unit. Each operation formats the
// payload, queues the command on the server for the unit's address and logs
// "<address> <operation>" at debug level. Numbering, checksums,
// acknowledgements and retransmission are the transport's business.
class Rondel : public QObject
{
    Q_OBJECT
public:
    enum CallHandleAction { Kill = 0, KillHard = 1, Mute = 2, Unmute = 3 };

    Rondel(RondelServer* server, const QHostAddress& ip, QObject* parent = nullptr);

    QHostAddress ip() const { return m_ip; }

    void buzz(const BuzzParams& params);
    void callHandle(const QString& source, int action);
    void dialProgressBusy();
    void dialProgressFailed();
    void dialProgressRinging();
    void displayCalls(const QVector<CallDisplayInfo>& calls);
    void displayCallsClear();
    void displayTalk(const CallDisplayInfo& call);
    void displayTalkClear();
    void displayPresences(const QVector<PresenceDisplayInfo>& presences);
    void displayPresencesClear();
    void displayWards(const QVector<WardDisplayInfo>& wards);
    void displayWardsClear();
    void displayDateTime(int brightness, const QString& name);
    void displayLanguage(int language);
    void doorLockOpen(int seconds);
    void fmControl(int tuner, const QString& frequency);
    void lights(const LightState& state);
    void pmbConfigBT(const PMBConfigBT& devices);
    void requestAll();
    void requestBasicInfo();
    void requestCallStatus();
    void requestConfig();
    void requestConnectionStatus();
    void requestFMStatus(int tuner);
    void requestNotifications();
    void requestPresenceStatus();
    void requestPMBConfigBT();
    void requestPMBInfo();
    void setConfigCorvi(const Config& config);
    void setConfigRadioChannels(const QVector<QHostAddress>& addresses, const QVector<int>& ports);
    void setMode(const PresenceMode& mode);
    void variousControlPARejected();
    void voipImmediateTalk(const VoIP& voip);
    void voipTransmitPA(const VoIP& voip);
    void voipReceivePA(const VoIP& voip);
    void voipEndCall();

    // Texts of the buzz and call-handle values.
    static QString buzzTargetText(int target);
    static QString buzzToneTypeText(int toneType);
    static QString buzzVolumeText(int volume);
    static QString buzzInviteText(int invite);
    static QString callHandleActionText(int action);

private:
    void log(const char* operation) const;
    void sendCommand(const QString& name, const QString& payload);
    // One command per element; every element but the first starts with
    // "Continue", every element but the last ends with "NotFinished".
    void sendList(const QString& name, const QStringList& payloads);

    QHostAddress m_ip;
    QString m_logStart; // the quote and the address every line of log() starts with
    RondelServer* m_server;
};
