#pragma once

#include "simlink.h"
#include "simmodels.h"

#include <QDateTime>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QObject>
#include <QStringList>

class QUdpSocket;
class SimUnit;

// The "Key:Value" lines of one command or list element.
using SimFields = QMap<QString, QString>;

// Where a unit is, as the installation's configuration places it.
struct SimPlace
{
    QString ward;   // ward name
    QString room;   // room name
    int roomNo = 0;
    int bed = 0;
    QString client;
};

// Lets a unit name the unit behind a call its screen shows.
class SimDirectory
{
public:
    virtual ~SimDirectory() = default;
    // The simulated unit that a display entry (ward, room, bed) points at,
    // or null when none or several fit.
    virtual const SimUnit* unitShownBy(const SimFields& entry) const = 0;
};

// One simulated field unit: it answers the core's status requests as its
// model does, remembers everything the core drives (screen, lights, buzzer,
// voice, door, settings) and reports each change as one readable line.
// User actions (a call button, a presence, a request) become the commands a
// unit's firmware would send.
class SimUnit : public QObject
{
    Q_OBJECT
public:
    enum class Voice { None, Talk, TransmitPA, ReceivePA };

    SimUnit(const QHostAddress& ip, const SimModel& model, const SimPlace& place,
            QObject* parent = nullptr);

    QHostAddress ip() const { return m_ip; }
    const SimModel& model() const { return m_model; }
    const SimPlace& place() const { return m_place; }
    // "127.0.0.14 Brisa (Room 12)", the head of every line about the unit.
    QString label() const;
    SimLink* link() { return &m_link; }
    void setDirectory(const SimDirectory* directory) { m_directory = directory; }

    // Binds the unit's own address on port and talks to the core at
    // core:port. Without it the unit talks only through its link.
    bool bind(const QHostAddress& core, quint16 port, QString* error);

    // What a user does at the unit.
    void raiseCall(const QString& code, const QString& number = QString());
    // Cancels the call of code, or every call of the unit when code is
    // empty; false when there is nothing to cancel.
    bool cancelCall(const QString& code = QString());
    void answer();
    void hangUp();
    void setPresence(const QString& kind, bool on);
    // Starts a public address, or ends the one running; true when it starts.
    bool togglePA();
    void openDoor();
    // Switches the unit's ward (and the wards joined with it) to day or night.
    void requestMode(bool night);
    void unplug() { m_link.setPlugged(false); }
    void plug() { m_link.setPlugged(true); }
    void restart();

    // The state the unit holds.
    bool isPlugged() const { return m_link.isPlugged(); }
    QMap<QString, int> ownCalls() const { return m_ownCalls; }
    QList<SimFields> shownCalls() const { return m_calls; }
    SimFields shownTalk() const { return m_talk; }
    QList<SimFields> shownPresences() const { return m_presences; }
    QList<SimFields> shownWards() const { return m_wards; }
    QString language() const { return m_language; }
    int backlight() const { return m_backlight; }
    QStringList lights() const { return m_lights; }
    QString buzzer() const { return m_buzzer; }
    Voice voice() const { return m_voice; }
    QString voicePeer() const { return m_voicePeer; }
    int doorOpenSeconds() const { return m_doorSeconds; }

    // One line for a list of all units; several for a look at one unit.
    QString summary() const;
    QStringList details() const;

    // How an entry of the unit's screen reads, e.g. "VS from 127.0.0.11, bed 1".
    QString describe(const SimFields& entry) const;
    // Whether the unit has an own call whose screen letter is letter.
    QString ownCallShownAs(const QString& letter) const;

    static SimFields fields(const QString& part);

signals:
    void changed(const QString& line);

private:
    using Handler = void (SimUnit::*)(const QStringList& parts);
    static const QMap<QString, Handler>& handlers();

    void say(const QString& what);
    void onCommand(const QString& name, const QStringList& parts);
    void forgetDrivenState();

    void getStatus(const QStringList& parts);
    void getPmbStatus(const QStringList& parts);
    void displayCalls(const QStringList& parts);
    void displayTalk(const QStringList& parts);
    void displayPresences(const QStringList& parts);
    void displayWards(const QStringList& parts);
    void displayDateTime(const QStringList& parts);
    void displayLanguage(const QStringList& parts);
    void setLights(const QStringList& parts);
    void buzz(const QStringList& parts);
    void voip(const QStringList& parts);
    void callHandle(const QStringList& parts);
    void dialProgress(const QStringList& parts);
    void doorLock(const QStringList& parts);
    void setMode(const QStringList& parts);
    void setConfig(const QStringList& parts);
    void fm1Control(const QStringList& parts) { tune(1, parts); }
    void fm2Control(const QStringList& parts) { tune(2, parts); }
    void tune(int tuner, const QStringList& parts);
    void pmbSetConfigBT(const QStringList& parts);
    void variousControl(const QStringList& parts);

    void sendBasicInfo();
    void sendPresenceStatus();
    QString callStatus() const;
    QString connectionStatus() const;
    QString fmStatus(int tuner) const;
    QString listText(const QList<SimFields>& list, bool presences) const;

    QHostAddress m_ip;
    SimModel m_model;
    SimPlace m_place;
    SimLink m_link;
    QUdpSocket* m_socket = nullptr;
    const SimDirectory* m_directory = nullptr;

    // What the unit itself holds: its calls and presences.
    QMap<QString, int> m_ownCalls; // code -> 1 active, 2 held
    QString m_dialled;
    bool m_ps = false;
    bool m_pp = false;
    bool m_paRequested = false;

    // What the core drives.
    QList<SimFields> m_calls;
    SimFields m_talk;
    QList<SimFields> m_presences;
    QList<SimFields> m_wards;
    QString m_date;
    QString m_time;
    int m_backlight = -1;
    QString m_nameDay;
    QString m_language;
    QStringList m_lights;
    QString m_buzzer;
    QString m_volume;
    Voice m_voice = Voice::None;
    QString m_voicePeer;
    int m_doorSeconds = 0;
    QDateTime m_doorOpened;
    QString m_mode;
    QString m_config;
    QString m_fm[2];
    QStringList m_paired;
};
