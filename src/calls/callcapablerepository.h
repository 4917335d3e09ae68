#pragma once

#include <QVector>

class Call;
class CallCapable;

// The lookup of the units that receive a call, kept by the unit registry.
// Call delivery sees the installation's units only through this.
class CallCapableRepository
{
public:
    virtual ~CallCapableRepository() = default;

    // The active units whose receive mode accepts the call, in the order the
    // registry keeps them.
    virtual QVector<CallCapable*> receiversOf(const Call& call) const = 0;
};
