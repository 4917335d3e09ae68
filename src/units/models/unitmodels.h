#pragma once

#include "units/rondelunit.h"

class CorviSettings;
class FMControler;

// The eight unit models. All protocol handling is in RondelUnit; a model
// only says what the unit can do.

// Bedside unit with a handset socket.
class Tolva : public RondelUnit
{
    Q_OBJECT
public:
    explicit Tolva(const QHostAddress& ip, QObject* parent = nullptr);

    QString audioType(int mode) const override;
    int type() const override { return TolvaType; }
    bool usesPresenceMode() const override;
    bool acceptsCalls(const Call& call) const override;
};

// Room unit with a door lock.
class Brisa : public RondelUnit
{
    Q_OBJECT
public:
    static constexpr int DoorOpenSeconds = 4;

    explicit Brisa(const QHostAddress& ip, QObject* parent = nullptr);

    bool hasDoorLock() const override { return true; }
    QString audioType(int mode) const override;
    void openDoor() override;
    int type() const override { return BrisaType; }
    bool hasRadioChannels() const override { return false; }

protected:
    int m_doorOpenTime = DoorOpenSeconds;
};

// A Brisa with its own audio.
class Melde : public Brisa
{
    Q_OBJECT
public:
    explicit Melde(const QHostAddress& ip, QObject* parent = nullptr);

    QString audioType(int mode) const override;
    int type() const override { return MeldeType; }
};

// Staff unit whose voice path follows the MTF handset plugged into it.
class Pardo : public RondelUnit
{
    Q_OBJECT
public:
    explicit Pardo(const QHostAddress& ip, QObject* parent = nullptr);

    QString audioType(int mode) const override;
    int sourceMode(const QString& code) const override;
    int type() const override { return PardoType; }
    bool acceptsDialCalls() const override;
    int buzzTarget(const Call& call) const override;
};

// Corridor display: reports only its identity and its connections.
class Lumo : public RondelUnit
{
    Q_OBJECT
public:
    explicit Lumo(const QHostAddress& ip, QObject* parent = nullptr);

    int type() const override { return LumoType; }
    bool usesPresenceMode() const override { return true; }
    bool reportsPresenceStatus() const override { return false; }
    void createDisplay(const QString& displayType) override;
    bool reportsCallStatus() const override { return false; }
    bool reportsNotifications() const override { return false; }
    bool reportsConfig() const override { return false; }
};

// Radio unit: two FM tuners streaming to the installation.
class Corvi : public RondelUnit
{
    Q_OBJECT
public:
    explicit Corvi(const QHostAddress& ip, QObject* parent = nullptr);

    int type() const override { return CorviType; }
    bool usesPresenceMode() const override { return false; }
    bool reportsPresenceStatus() const override { return false; }
    bool acceptsDialCalls() const override { return false; }
    bool hasBuzzer() const override { return false; }
    bool reportsCallStatus() const override { return false; }
    bool reportsConnectionStatus() const override { return false; }
    bool hasRadioChannels() const override { return false; }

    void setRequestRepeatInterval(int ms) override;

    CorviSettings* corviSettings() const { return m_corviSettings; }
    FMControler* fmControler() const { return m_fmControler; }

protected:
    void senderAttached(Rondel* sender) override;
    void otherCommand(const Command& command) override;
    void applyRetrievedCalls() override;

private:
    CorviSettings* m_corviSettings;
    FMControler* m_fmControler;
};

// Bedside unit whose calls are spoken by the synthesizer.
class Deska : public RondelUnit
{
    Q_OBJECT
public:
    explicit Deska(const QHostAddress& ip, QObject* parent = nullptr);

    int sourceMode(const QString& code) const override;
    int type() const override { return DeskaType; }
    bool usesPresenceMode() const override;
    bool reportsNotifications() const override { return false; }
    bool hasRadioChannels() const override { return false; }
    bool persistsAfterTalk(const QString& code) const override;
};

// Staff terminal with its own screen.
class Fenno : public RondelUnit
{
    Q_OBJECT
public:
    explicit Fenno(const QHostAddress& ip, QObject* parent = nullptr);

    QString audioType(int mode) const override;
    int sourceMode(const QString& code) const override;
    int type() const override { return FennoType; }
    bool usesPresenceMode() const override { return true; }
    void createDisplay(const QString& displayType) override;
    bool reportsConfig() const override { return false; }
    bool reportsConnectionStatus() const override { return false; }
    bool hasRadioChannels() const override { return false; }
};
