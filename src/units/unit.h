#pragma once

#include "rondel/calldisplayinfo.h"
#include "rondel/records.h"
#include "calls/callcapable.h"
#include "units/unitinfo.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>

class Call;
class CallReceiveMode;
class Calls;
class ConnectedDevices;
class Display;
class LanguageSettings;
class NamedaysSettings;
class NVSettings;
class Presences;
class RadiosSettings;
class UnitSettings;

// The core's picture of one field unit: where it is, its calls, which calls
// it receives, what it shows and who is present at it. The models reached
// over the bus derive from RondelUnit; a bare Unit is never configured.
class Unit : public QObject, public CallCapable
{
    Q_OBJECT
public:
    enum Type {
        NoType = 0,
        FennoType = 1,
        TolvaType = 2,
        BrisaType = 3,
        MeldeType = 4,
        PardoType = 5,
        DeskaType = 6,
        LumoType = 7,
        CorviType = 8
    };

    explicit Unit(const QHostAddress& ip, QObject* parent = nullptr);
    ~Unit() override;

    // The type number of a configuration type text ("Tolva" ...), 0 for
    // any other text, and back.
    static int typeFromText(const QString& text);
    static QString typeText(int type);

    // CallCapable
    QHostAddress ip() const override { return m_ip; }
    Location location() const override { return m_location; }
    QString phone() const override { return m_phone; }
    bool hasPresence() const override;
    bool hasDoorLock() const override { return false; }
    QString audioType(int mode) const override;
    Calls* calls() const override { return m_calls; }
    CallReceiveMode* callReceiveMode() const override { return m_callReceiveMode; }
    int sourceMode(const QString& code) const override;
    CallDisplayInfo displayInfo(const Call& call) const override;
    bool isPPRegistered() const override;
    bool isPSRegistered() const override;
    bool isPLConfigured() const override;
    bool acceptsDialCalls() const override { return true; }
    bool acceptsCalls(const Call& call) const override;
    bool isReachable() const override { return !hasRondelError(); }

    virtual bool isRondelUnit() const { return false; }
    virtual bool hasRondelError() const { return false; }
    void openDoor() override {}
    virtual int type() const { return NoType; }
    virtual bool usesPresenceMode() const { return false; }
    virtual bool reportsPresenceStatus() const { return true; }

    // The installation-wide settings, not owned; set right after creation.
    void setInstallationSettings(LanguageSettings* language, NamedaysSettings* namedays,
                                 NVSettings* nv, RadiosSettings* radios);
    LanguageSettings* languageSettings() const { return m_languageSettings; }
    NamedaysSettings* namedaysSettings() const { return m_namedaysSettings; }
    NVSettings* nvSettings() const { return m_nvSettings; }
    RadiosSettings* radiosSettings() const { return m_radiosSettings; }

    // The unit's own setting objects (not owned through this list).
    const QList<UnitSettings*>& settings() const { return m_settings; }

    // Replacing either deletes the old object later: pointers to it held up
    // the call chain stay valid until control returns to the event loop.
    void setCallReceiveMode(CallReceiveMode* mode);
    void setDisplay(Display* display);
    Display* display() const { return m_display; }

    Presences* presences() const { return m_presences; }
    ConnectedDevices* connectedDevices() const { return m_connectedDevices; }

    QString clientName() const { return m_clientName; }
    void setClientName(const QString& name) { m_clientName = name; }
    void setLocation(const Location& location) { m_location = location; }

    // Reads "clientName", "phone", "bed", every setting object's key and the
    // unit's "nv" list.
    void loadSettings(const QVariantMap& config);
    // As loadSettings; returns the ChangeLevel of what changed.
    int reloadSettings(const QVariantMap& config, const Location& location);

    UnitInfo unitInfo() const;

signals:
    void requestAnswareCall(const Call& call);
    void requestEndOutgoingTalk(const Call& call);
    void requestEndIncomingTalk(const Call& call);
    void requestOpenEZ();
    void requestModeDay();
    void requestModeNight();
    void requestConnectWard(const QString& wardId);
    void requestDisconnectWard(const QString& wardId);
    void basicInfoUpdated(const BasicInfo& basicInfo);
    void btUpdated(const BT& bt);

protected:
    void addSettings(UnitSettings* settings) { m_settings.append(settings); }

private:
    QList<UnitSettings*> m_settings;
    LanguageSettings* m_languageSettings = nullptr;
    NamedaysSettings* m_namedaysSettings = nullptr;
    NVSettings* m_nvSettings = nullptr;
    RadiosSettings* m_radiosSettings = nullptr;
    QHostAddress m_ip;
    Location m_location;
    QString m_clientName;
    QString m_phone;
    Calls* m_calls;
    CallReceiveMode* m_callReceiveMode;
    ConnectedDevices* m_connectedDevices;
    Display* m_display;
    Presences* m_presences;
};
