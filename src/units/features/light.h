#pragma once

#include "rondel/records.h"
#include "units/firmwareversion.h"

#include <QObject>

class Rondel;

// The indicator lights of the light module (SV) plugged into a unit. The
// lights are only sent while a module is connected; older firmware knows
// no separate "VP" light and shows it as "VS".
class Light : public QObject
{
    Q_OBJECT
public:
    enum FirmwareMode { NoVP = 0, Mode1 = 1, Mode2 = 2 };

    explicit Light(QObject* parent = nullptr);

    void setSender(Rondel* sender) { m_sender = sender; }

    void initialise(int type, const FirmwareVersion& version);
    // As initialise; sends the lights again when the mode changed.
    void refresh(int type, const FirmwareVersion& version);
    // Sends the state when it differs from the last one.
    void setLights(const LightState& lights);
    void svConnected();
    void svDisconnected();

    LightState lights() const { return m_lights; }
    bool isActive() const { return m_active; }
    int firmwareMode() const { return m_firmwareMode; }

    static int firmwareModeOf(int type, const FirmwareVersion& version);

private:
    void send();

    LightState m_lights;
    bool m_active = false;
    int m_firmwareMode = NoVP;
    Rondel* m_sender = nullptr;
};
