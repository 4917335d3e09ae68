#pragma once

#include "app/orvanta.h"
#include "support/logcapture.h"
#include "support/respondingunit.h"
#include "support/temproot.h"

#include <QVariantList>
#include <QVariantMap>

#include <memory>
#include <vector>

// The whole core in the test process, on a temporary root, its bus bound to
// 127.0.0.1 on a free port shared with the fake units, with timings short
// enough for tests and a broker that cannot be reached. The configuration
// has wards "w1" and "w2" (one group) and rooms "r1", "r2" in w1, "r3" in w2.
//
//   CoreFixture core;
//   core.writeConfig({CoreFixture::unit("127.0.0.2", "Tolva")});
//   RespondingUnit* tolva = core.addUnit("127.0.0.2", "Tolva");
//   core.initialize();                   // start() runs from the event loop
class CoreFixture
{
public:
    static constexpr int TimeLimit = 1500;     // the units' start-up window
    static constexpr int RequestRepeat = 300;  // units repeat unanswered requests
    static constexpr int KeepAlive = 300;      // so that silence shows quickly

    CoreFixture();
    ~CoreFixture();
    CoreFixture(const CoreFixture&) = delete;
    CoreFixture& operator=(const CoreFixture&) = delete;

    // One element of the "units" list.
    static QVariantMap unit(const QString& ip, const QString& type,
                            const QString& room = QStringLiteral("r1"));
    void writeConfig(const QVariantList& units);

    // A responding fake unit on ip; owned by the fixture.
    RespondingUnit* addUnit(const QString& ip, const QString& model);
    // The fake unit added on ip, or null.
    RespondingUnit* fake(const QString& ip) const;

    // Builds the core and shortens its timings; start() is queued.
    void initialize();

    Orvanta& core() { return *m_core; }
    LogCapture& log() { return m_log; }
    const TempRoot& root() const { return m_root; }
    quint16 port() const { return m_port; }

private:
    TempRoot m_root;
    LogCapture m_log;
    quint16 m_port = 0;
    std::vector<std::unique_ptr<RespondingUnit>> m_units;
    std::unique_ptr<Orvanta> m_core;
};
