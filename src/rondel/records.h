#pragma once

#include "rondel/command.h"

#include <QHash>
#include <QHostAddress>
#include <QMap>
#include <QMetaType>
#include <QString>
#include <QVector>

// Value records carried by the field-bus commands, and the parameter
// records taken by the outgoing command builder. All of them are copyable
// and registered as meta-types, so they travel in QVariant and in signals.

// A battery-powered device paired with the unit's PMB module.
struct BT
{
    QString id;
    QString type;
    QString fwVersion;
    QString vBat;
};

// Identification of a unit.
struct BasicInfo
{
    QString acronymPU;
    QString namePU;
    QString productCodePU;
    QString typePU;
    QString fwVersionPU;
    QString typeGT;
    QString fwVersionGT;
    QString macAddress; // without colons
};

// Call source text (e.g. "NV1") to the status 0, 1 or 2 the unit reported;
// used for both "CallStatus" and "CallChange".
class CallChange : public QHash<QString, int>
{
public:
    using QHash<QString, int>::QHash;
};

// Radio configuration of a unit.
struct Config
{
    enum Inputs { InputsNotSet = 0, FM1_FM2 = 1, FM1_EXT1 = 2 };

    int radioChannels = 0;
    QVector<QHostAddress> channelAddresses;
    QVector<int> channelPorts;
    int volumeCH1 = 0;
    int volumeCH2 = 0;
    bool switchOnCH1 = false;
    bool switchOnCH2 = false;
    int inputs = FM1_FM2;

    // Every announced channel has an address, and every address a port.
    bool isComplete() const;
};

// What is plugged into a unit. Each connection state is 1 connected,
// 0 disconnected, -1 anything else.
struct ConnectionStatus
{
    enum State { NotSet = -1, Disconnect = 0, Connect = 1 };

    int mtf = -1; // identifier of the connected handset, -1 none
    int sv = Disconnect;
    int oez = Disconnect;
    QHash<QString, int> nv;
    QHash<QString, int> vs;

    ConnectionStatus();
};

// A dialled call.
struct DialCall
{
    enum Destination { DestinationNotSet = 0, Base = 1, Mtf = 2, Synthesizer = 3 };

    QString number;
    bool cancelled = false;
    int destination = DestinationNotSet;
};

// State of one FM tuner.
struct FMStatus
{
    enum Input { InputNotSet = 0, FM = 1, EXT1 = 2 };

    int tuner = 0;
    int input = InputNotSet;
    QString freq;
    QString pi;
    QString ps;
    QString tuning;
    QString notFound;
    QString valid;
    QString poor;
    QString stereo;
    QString rail;
    QString rds;
    QString errors;
    QString rssi;
    QString snr;
    QString mp;
    QString cap;
    QString freqOffs;
};

// State of the unit's voice connection.
struct Notifications
{
    enum VoipState {
        Unknown = 0,
        NotConnected = 1,
        Connected = 2,
        CancelledIncoming = 3,
        CallIsInProgress = 4,
        ReceivingPA = 5,
        TransmittingPA = 6,
        ImmediateTalk = 7
    };

    int voipState = Unknown;
};

// Devices paired with the unit's PMB module: "BT" + device id to value.
class PMBConfigBT : public QMap<QString, QString>
{
public:
    using QMap<QString, QString>::QMap;
};

// The unit's PMB module.
struct PMBInfo
{
    QString id;
    QString type;
    QString fwVersion;
    QString err;
};

// The two presence indications of the room.
struct PresenceStatus
{
    bool pp = false;
    bool ps = false;
};

struct Request
{
    enum Type {
        None = 0,
        TalkCancelRqst = 1,
        CallAnswerBase = 2,
        CallAnswerMtf = 3,
        OpenEZ = 4,
        StartPA = 5,
        StopPA = 6,
        ModeDay = 7,
        ModeNight = 8,
        ConnectWard = 9,    // the line goes on with the ward
        DisconnectWard = 10 // the line goes on with the ward
    };

    int type = None;
    QString text; // the whole request line as received
};

// The requests of one command, in the order received.
class Requests : public QVector<Request>
{
public:
    using QVector<Request>::QVector;
};

// Voice-connection parameters handed from the talk logic to the voice
// commands. Not parsed from the bus.
struct VoIP
{
    int type = 0; // 2: line level, otherwise microphone and speaker
    int levelIn = 0;
    int levelOut = 0;
    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    int portA = 10002;
    int portB = 10004;
};

// --- Parameters of outgoing commands -------------------------------------

struct BuzzParams
{
    int invite = 0;
    int volume = 0;
    int target = 0;
    int toneType = -1; // -1: no tone line

    BuzzParams() = default;
    static BuzzParams withVolume(int volume);
    static BuzzParams withToneType(int toneType);
    BuzzParams(int target, int toneType, int volume, int invite = 0);
};

struct PresenceDisplayInfo
{
    QChar icon = QLatin1Char(' ');
    QString ward;
    QString roomNo;
    QString bedNo;
    QString room;
    QString client;
    QString tlfNo;
};

struct WardDisplayInfo
{
    QString id;
    QString name;
    bool connected = false;
};

// The lights of a unit or a room; two states combine flag by flag.
struct LightState
{
    bool ps = false;
    bool pp = false;
    bool pl = false;
    bool al = false;
    bool vp = false;
    bool vs = false;
    bool vk = false;
    bool nv = false;

    LightState operator|(const LightState& other) const;
    LightState& operator|=(const LightState& other);
    bool operator==(const LightState& other) const;
    bool operator!=(const LightState& other) const { return !(*this == other); }
};

// Presence indications kept on permanently (1) or following the room (0).
struct PresenceMode
{
    int ps = 0;
    int pp = 0;
};

// --- Text forms of the small enumerations ---------------------------------
// Text-to-value conversions ignore case.
namespace RondelText {
enum Language { LanguageNone = 0, CZE = 1, ENG = 2, RUS = 3, SLO = 4 };
enum WardMode { WardModeNotSet = 0, Night = 1, Day = 2 };

QString language(int language);              // "CZE" ... or "NONE"
int languageFromText(const QString& text);   // 0 for other texts
QString tunerInput(int input);                // "FM", "EXT1", otherwise "NotSet"
int tunerInputFromText(const QString& text);  // 0 for other texts
QString radioInputs(int inputs);              // "FM1_FM2", "FM1_EXT1", otherwise "NotSet"
int radioInputsFromText(const QString& text); // 0 for other texts
QString wardMode(int mode);                   // "Day", "Night", otherwise "NotSet"
int wardModeFromText(const QString& text);    // 0 for other texts
QString connectionState(int state);           // "Connect", "Disconnect", otherwise "NotSet"
int connectionStateFromText(const QString& text); // -1 for other texts
QString dialDestination(int destination);     // "Base", "Mtf", "Synthesizer", otherwise "NotSet"
int dialDestinationFromText(const QString& text); // 0 for other texts
int voipStateFromText(const QString& text);   // 0 for other texts
int requestTypeFromText(const QString& line); // 0 for other lines
} // namespace RondelText

// Registers every record (and Command) by name with the meta-type system.
// Idempotent; runs at start-up of any program that links the records.
void registerRondelMetaTypes();

Q_DECLARE_METATYPE(BT)
Q_DECLARE_METATYPE(BasicInfo)
Q_DECLARE_METATYPE(CallChange)
Q_DECLARE_METATYPE(Config)
Q_DECLARE_METATYPE(ConnectionStatus)
Q_DECLARE_METATYPE(DialCall)
Q_DECLARE_METATYPE(FMStatus)
Q_DECLARE_METATYPE(Notifications)
Q_DECLARE_METATYPE(PMBConfigBT)
Q_DECLARE_METATYPE(PMBInfo)
Q_DECLARE_METATYPE(PresenceStatus)
Q_DECLARE_METATYPE(Request)
Q_DECLARE_METATYPE(Requests)
Q_DECLARE_METATYPE(VoIP)
Q_DECLARE_METATYPE(BuzzParams)
Q_DECLARE_METATYPE(PresenceDisplayInfo)
Q_DECLARE_METATYPE(WardDisplayInfo)
Q_DECLARE_METATYPE(LightState)
Q_DECLARE_METATYPE(PresenceMode)
