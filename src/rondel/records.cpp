#include "rondel/records.h"

#include <QCoreApplication>

bool Config::isComplete() const
{
    return radioChannels <= channelAddresses.size()
        && channelAddresses.size() == channelPorts.size();
}

ConnectionStatus::ConnectionStatus()
{
    for (int i = 1; i <= 8; ++i)
        nv.insert(QStringLiteral("NV%1").arg(i), Disconnect);
}

BuzzParams BuzzParams::withVolume(int volume)
{
    BuzzParams params;
    params.volume = volume;
    return params;
}

BuzzParams BuzzParams::withToneType(int toneType)
{
    BuzzParams params;
    params.toneType = toneType;
    return params;
}

BuzzParams::BuzzParams(int target_, int toneType_, int volume_, int invite_)
    : invite(invite_)
    , volume(volume_)
    , target(target_)
    , toneType(toneType_)
{
}

LightState LightState::operator|(const LightState& other) const
{
    LightState result = *this;
    result |= other;
    return result;
}

LightState& LightState::operator|=(const LightState& other)
{
    ps = ps || other.ps;
    pp = pp || other.pp;
    pl = pl || other.pl;
    al = al || other.al;
    vp = vp || other.vp;
    vs = vs || other.vs;
    vk = vk || other.vk;
    nv = nv || other.nv;
    return *this;
}

bool LightState::operator==(const LightState& other) const
{
    return ps == other.ps && pp == other.pp && pl == other.pl && al == other.al
        && vp == other.vp && vs == other.vs && vk == other.vk && nv == other.nv;
}

namespace {

// Index i of the list is the text of value first + i.
QString textOf(int value, int first, const QStringList& texts, const QString& otherwise)
{
    const int index = value - first;
    return index >= 0 && index < texts.size() ? texts.at(index) : otherwise;
}

int valueOf(const QString& text, int first, const QStringList& texts, int otherwise)
{
    for (int i = 0; i < texts.size(); ++i) {
        if (text.compare(texts.at(i), Qt::CaseInsensitive) == 0)
            return first + i;
    }
    return otherwise;
}

const QStringList& languages()
{
    static const QStringList texts{QStringLiteral("CZE"), QStringLiteral("ENG"),
                                   QStringLiteral("RUS"), QStringLiteral("SLO")};
    return texts;
}

const QStringList& tunerInputs()
{
    static const QStringList texts{QStringLiteral("FM"), QStringLiteral("EXT1")};
    return texts;
}

const QStringList& radioInputTexts()
{
    static const QStringList texts{QStringLiteral("FM1_FM2"), QStringLiteral("FM1_EXT1")};
    return texts;
}

const QStringList& wardModes()
{
    static const QStringList texts{QStringLiteral("Night"), QStringLiteral("Day")};
    return texts;
}

const QStringList& connectionStates()
{
    static const QStringList texts{QStringLiteral("Disconnect"), QStringLiteral("Connect")};
    return texts;
}

const QStringList& dialDestinations()
{
    static const QStringList texts{QStringLiteral("Base"), QStringLiteral("Mtf"),
                                   QStringLiteral("Synthesizer")};
    return texts;
}

const QStringList& voipStates()
{
    static const QStringList texts{
        QStringLiteral("NOT_CONNECTED"),       QStringLiteral("CONNECTED"),
        QStringLiteral("CANCELLED_INCOMING"),  QStringLiteral("CALL_IS_IN_PROGRESS"),
        QStringLiteral("RECEIVING_PA"),        QStringLiteral("TRANSMITTING_PA"),
        QStringLiteral("IMMEDIATE_TALK")};
    return texts;
}

const QStringList& requestTypes()
{
    static const QStringList texts{
        QStringLiteral("TalkCancelRqst"), QStringLiteral("CallAnswerBase"),
        QStringLiteral("CallAnswerMtf"),  QStringLiteral("OpenEZ"),
        QStringLiteral("StartPA"),        QStringLiteral("StopPA"),
        QStringLiteral("ModeDay"),        QStringLiteral("ModeNight")};
    return texts;
}

const QString NotSetText = QStringLiteral("NotSet");

} // namespace

namespace RondelText {

QString language(int value)
{
    return textOf(value, CZE, languages(), QStringLiteral("NONE"));
}

int languageFromText(const QString& text)
{
    return valueOf(text, CZE, languages(), LanguageNone);
}

QString tunerInput(int input)
{
    return textOf(input, FMStatus::FM, tunerInputs(), NotSetText);
}

int tunerInputFromText(const QString& text)
{
    return valueOf(text, FMStatus::FM, tunerInputs(), FMStatus::InputNotSet);
}

QString radioInputs(int inputs)
{
    return textOf(inputs, Config::FM1_FM2, radioInputTexts(), NotSetText);
}

int radioInputsFromText(const QString& text)
{
    return valueOf(text, Config::FM1_FM2, radioInputTexts(), Config::InputsNotSet);
}

QString wardMode(int mode)
{
    return textOf(mode, Night, wardModes(), NotSetText);
}

int wardModeFromText(const QString& text)
{
    return valueOf(text, Night, wardModes(), WardModeNotSet);
}

QString connectionState(int state)
{
    return textOf(state, ConnectionStatus::Disconnect, connectionStates(), NotSetText);
}

int connectionStateFromText(const QString& text)
{
    return valueOf(text, ConnectionStatus::Disconnect, connectionStates(),
                   ConnectionStatus::NotSet);
}

QString dialDestination(int destination)
{
    return textOf(destination, DialCall::Base, dialDestinations(), NotSetText);
}

int dialDestinationFromText(const QString& text)
{
    return valueOf(text, DialCall::Base, dialDestinations(), DialCall::DestinationNotSet);
}

int voipStateFromText(const QString& text)
{
    return valueOf(text, Notifications::NotConnected, voipStates(), Notifications::Unknown);
}

int requestTypeFromText(const QString& line)
{
    const int exact = valueOf(line, Request::TalkCancelRqst, requestTypes(), Request::None);
    if (exact != Request::None)
        return exact;
    // The ward requests carry the ward after the word.
    if (line.startsWith(QLatin1String("ConnectWard"), Qt::CaseInsensitive))
        return Request::ConnectWard;
    if (line.startsWith(QLatin1String("DisconnectWard"), Qt::CaseInsensitive))
        return Request::DisconnectWard;
    return Request::None;
}

} // namespace RondelText

void registerRondelMetaTypes()
{
    // Every bus server calls this, and registering by name costs a lookup
    // per type: only the first call does the work.
    static const bool registered = [] {
        qRegisterMetaType<Command>("Command");
        qRegisterMetaType<BT>("BT");
        qRegisterMetaType<BasicInfo>("BasicInfo");
        qRegisterMetaType<CallChange>("CallChange");
        qRegisterMetaType<Config>("Config");
        qRegisterMetaType<ConnectionStatus>("ConnectionStatus");
        qRegisterMetaType<DialCall>("DialCall");
        qRegisterMetaType<FMStatus>("FMStatus");
        qRegisterMetaType<Notifications>("Notifications");
        qRegisterMetaType<PMBConfigBT>("PMBConfigBT");
        qRegisterMetaType<PMBInfo>("PMBInfo");
        qRegisterMetaType<PresenceStatus>("PresenceStatus");
        qRegisterMetaType<Request>("Request");
        qRegisterMetaType<Requests>("Requests");
        qRegisterMetaType<VoIP>("VoIP");
        qRegisterMetaType<BuzzParams>("BuzzParams");
        qRegisterMetaType<PresenceDisplayInfo>("PresenceDisplayInfo");
        qRegisterMetaType<WardDisplayInfo>("WardDisplayInfo");
        qRegisterMetaType<LightState>("LightState");
        qRegisterMetaType<PresenceMode>("PresenceMode");
        return true;
    }();
    Q_UNUSED(registered)
}

Q_COREAPP_STARTUP_FUNCTION(registerRondelMetaTypes)
