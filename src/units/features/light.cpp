#include "units/features/light.h"

#include "rondel/rondel.h"
#include "units/unit.h"

Light::Light(QObject* parent)
    : QObject(parent)
{
}

int Light::firmwareModeOf(int type, const FirmwareVersion& version)
{
    if (type != Unit::TolvaType)
        return NoVP;
    if (version >= FirmwareVersion(2, 17))
        return Mode2;
    if (version > FirmwareVersion(2, 6))
        return Mode1;
    return NoVP;
}

void Light::initialise(int type, const FirmwareVersion& version)
{
    m_firmwareMode = firmwareModeOf(type, version);
}

void Light::refresh(int type, const FirmwareVersion& version)
{
    const int mode = firmwareModeOf(type, version);
    if (mode == m_firmwareMode)
        return;
    m_firmwareMode = mode;
    send();
}

void Light::setLights(const LightState& lights)
{
    if (lights == m_lights)
        return;
    m_lights = lights;
    send();
}

void Light::svConnected()
{
    if (m_active)
        return;
    m_active = true;
    send();
}

void Light::svDisconnected()
{
    m_active = false;
}

void Light::send()
{
    if (!m_active || !m_sender)
        return;
    LightState sent = m_lights;
    if (m_firmwareMode == NoVP) {
        if (sent.vp)
            sent.vs = true;
        sent.vp = false;
    }
    m_sender->lights(sent);
}
