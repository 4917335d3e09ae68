#pragma once

#include "rondel/command.h"

// Receives the commands the bus delivers for one unit address.
class RondelCmdListener
{
public:
    virtual ~RondelCmdListener() = default;
    virtual void receivedCommand(const Command& command) = 0;
};

// Told when the unit at one address stops answering and when it answers
// again.
class RondelStatusListener
{
public:
    virtual ~RondelStatusListener() = default;
    virtual void unitNotResponding() = 0;
    virtual void unitStartResponding() = 0;
};
