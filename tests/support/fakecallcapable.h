#pragma once

#include "calls/call.h"
#include "calls/callcapable.h"
#include "calls/calls.h"
#include "rondel/calldisplayinfo.h"

#include <QHostAddress>

// A stand-in unit for call logic: answers from plain fields, keeps its own
// calls, counts the display descriptions asked of it and its door openings.
class FakeCallCapable : public CallCapable
{
public:
    explicit FakeCallCapable(const QString& address = QStringLiteral("127.0.0.2")) : address(address) {}

    QHostAddress ip() const override { return address; }
    Location location() const override { return place; }
    QString phone() const override { return QString(); }
    bool hasPresence() const override { return presence; }
    bool hasDoorLock() const override { return doorLock; }
    QString audioType(int) const override { return audio; }
    Calls* calls() const override { return &registry; }
    CallReceiveMode* callReceiveMode() const override { return receiveMode; }
    int sourceMode(const QString& code) const override { return code.startsWith("NV") ? 3 : 1; }
    CallDisplayInfo displayInfo(const Call& call) const override
    {
        ++displayInfoRequests;
        CallDisplayInfo info;
        info.icon = doorLock ? QLatin1Char('V') : callTypeDisplayLetter(call.type());
        info.client = clientName;
        return info;
    }

    bool isPPRegistered() const override { return false; }
    bool isPSRegistered() const override { return false; }
    bool isPLConfigured() const override { return false; }
    bool acceptsCalls(const Call&) const override { return true; }
    bool isReachable() const override { return reachable; }
    void openDoor() override { ++doorOpened; }

    QHostAddress address;
    Location place;
    QString clientName = QStringLiteral("Bed 1");
    QString audio = QStringLiteral("Tolva/Brisa");
    bool presence = false;
    bool doorLock = false;
    mutable Calls registry;
    CallReceiveMode* receiveMode = nullptr;
    bool reachable = true;
    mutable int displayInfoRequests = 0;
    int doorOpened = 0;
};
