#pragma once

#include "calls/location.h"

#include <QHostAddress>
#include <QString>

class Call;
class CallReceiveMode;
class Calls;
struct CallDisplayInfo;

// Anything that owns calls and talks. Calls refer to their source, receivers
// and targets through this interface; the pointers stay valid while the unit
// exists.
class CallCapable
{
public:
    virtual ~CallCapable() = default;

    virtual QHostAddress ip() const = 0;
    virtual Location location() const = 0;
    virtual QString phone() const = 0;
    virtual bool hasNoPresence() const { return !hasPresence(); }
    virtual bool hasPresence() const = 0;
    virtual bool hasDoorLock() const = 0;
    // Opens the unit's door lock; nothing for a unit without one.
    virtual void openDoor() {}
    // Audio type used to look up talk volumes; mode 2 is the MTF handset.
    virtual QString audioType(int mode) const = 0;
    virtual Calls* calls() const = 0;
    virtual CallReceiveMode* callReceiveMode() const = 0;
    // The source mode of a call this unit raises with the given code.
    virtual int sourceMode(const QString& code) const = 0;
    virtual CallDisplayInfo displayInfo(const Call& call) const = 0;

    // What the receive modes ask of a unit before it may receive a call.
    virtual bool isPPRegistered() const = 0;
    virtual bool isPSRegistered() const = 0;
    virtual bool isPLConfigured() const = 0;
    // Asked for a dial call addressed to this unit's phone number.
    virtual bool acceptsDialCalls() const { return true; }
    // Asked before a PA is delivered to this unit.
    virtual bool acceptsCalls(const Call& call) const = 0;
    // Whether the unit answers now. One that does not is offered no calls
    // until it is back.
    virtual bool isReachable() const { return true; }
};
