#pragma once

#include "app/orvanta.h"
#include "support/logcapture.h"
#include "support/respondingunit.h"
#include "support/temproot.h"

#include <QVariantList>

#include <functional>
#include <memory>
#include <vector>

class Unit;

// The whole core in the test process, on a temporary root, its bus bound to 127.0.0.1
// on a free port shared with the fake units, with timings short enough for tests and a
// broker that cannot be reached. The configuration has wards "w1" and "w2" (one group),
// rooms "r1", "r2" in w1 and "r3" in w2. A unit is written "address Model [room
// [key=text ...]]", room r1 by default; without a model the entry has no "type".
class CoreFixture
{
public:
    static constexpr int TimeLimit = 1500;     // the units' start-up window
    static constexpr int RequestRepeat = 300;  // units repeat unanswered requests
    static constexpr int KeepAlive = 300;      // so that silence shows quickly

    CoreFixture();

    static QVariantList config(const QStringList& units);
    // Rooms other than the three above when rooms is not empty.
    void writeConfig(const QVariantList& units, const QVariantList& rooms = {});
    // An answering fake unit of the model on ip; owned by the fixture.
    RespondingUnit* addUnit(const QString& unit);
    RespondingUnit* fake(const QString& ip) const;

    // Builds the core and shortens its timings; start() is queued.
    void initialize();
    // Configures the units, gives each an answering fake (after prepare, if
    // any), starts the core and waits for the end of the start-up.
    bool bringUp(const QStringList& units,
                 const std::function<void(RespondingUnit*)>& prepare = {});

    // Waits until no fake unit has received anything for quietMs (at most
    // timeoutMs), so that what the core still sends spills into no later step.
    bool settle(int quietMs = 200, int timeoutMs = 5000);

    Orvanta& core() { return *m_core; }
    Unit* configured(const QString& ip) const;
    LogCapture& log() { return m_log; }
    const TempRoot& root() const { return m_root; }

private:
    TempRoot m_root;
    LogCapture m_log;
    quint16 m_port = 0;
    std::vector<std::unique_ptr<RespondingUnit>> m_units;
    std::unique_ptr<Orvanta> m_core; // goes first, while the units still listen
};
