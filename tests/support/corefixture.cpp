#include "support/corefixture.h"

#include <QtTest>

#include <algorithm>

#include "core/runtimeoptions.h"
#include "rondel/rondelserver.h"
#include "units/registry/units.h"
#include "units/registry/unitsinitializer.h"
#include "units/registry/unitsrepository.h"

CoreFixture::CoreFixture()
    : m_port(FakeUnit::freePort())
{
    RuntimeOptions options = runtimeOptions();
    options.rondelAddress = FakeUnit::CoreAddress;
    options.rondelPort = m_port;
    options.brokerPort = 1;
    setRuntimeOptions(options);
}

QVariantList CoreFixture::config(const QStringList& units)
{
    QVariantList list;
    for (const QString& unit : units) {
        const QStringList parts = unit.split(' ');
        QVariantMap entry{{"_id", parts.value(0)}, {"room", parts.value(2, QStringLiteral("r1"))}};
        if (parts.size() > 1)
            entry.insert("type", parts.at(1));
        for (const QString& extra : parts.mid(3))
            entry.insert(extra.section('=', 0, 0), extra.section('=', 1));
        list.append(entry);
    }
    return list;
}

void CoreFixture::writeConfig(const QVariantList& units, const QVariantList& rooms)
{
    QVariantMap config = QJsonDocument::fromJson(R"({
        "wards": [{"_id": "w1", "name": "W1", "group": "g"}, {"_id": "w2", "name": "W2", "group": "g"}],
        "rooms": [{"_id": "r1", "name": "r1", "number": 1, "ward": "w1"},
                  {"_id": "r2", "name": "r2", "number": 2, "ward": "w1"},
                  {"_id": "r3", "name": "r3", "number": 3, "ward": "w2"}]})").toVariant().toMap();
    config.insert("units", units);
    if (!rooms.isEmpty())
        config.insert("rooms", rooms);
    m_root.write(QStringLiteral("/opt/adminapp/etc/config.json"),
                 QJsonDocument::fromVariant(config).toJson());
}

RespondingUnit* CoreFixture::addUnit(const QString& unit)
{
    const QStringList parts = unit.split(' ');
    m_units.push_back(std::make_unique<RespondingUnit>(QHostAddress(parts.value(0)), m_port,
                                                       parts.value(1)));
    return m_units.back().get();
}

RespondingUnit* CoreFixture::fake(const QString& ip) const
{
    const auto it = std::find_if(m_units.begin(), m_units.end(),
                                 [&ip](const auto& unit) { return unit->address() == QHostAddress(ip); });
    return it == m_units.end() ? nullptr : it->get();
}

void CoreFixture::initialize()
{
    m_core = std::make_unique<Orvanta>();
    m_core->initialize();
    // Retry, keep-alive and no start spread. They apply to the bus protocols created
    // from now on: none exists before start() sends the first request.
    m_core->rondelServer()->setTimings(RondelTimings{100, KeepAlive, 0});
    m_core->units()->setRequestRepeatInterval(RequestRepeat);
    m_core->unitsInitializer()->setTimeLimit(TimeLimit);
}

bool CoreFixture::bringUp(const QStringList& units,
                          const std::function<void(RespondingUnit*)>& prepare)
{
    writeConfig(config(units));
    for (const QString& unit : units) {
        RespondingUnit* fake = addUnit(unit);
        if (prepare)
            prepare(fake);
    }
    initialize();
    QSignalSpy initialized(m_core->unitsInitializer(), &UnitsInitializer::unitsInitialized);
    return initialized.wait(TimeLimit + 1000);
}

Unit* CoreFixture::configured(const QString& ip) const
{
    return m_core->unitsRepository()->configuredUnit(QHostAddress(ip));
}

bool CoreFixture::settle(int quietMs, int timeoutMs)
{
    const auto total = [this] {
        int count = 0;
        for (const auto& unit : m_units)
            count += unit->commands().size() - unit->commands("Ping").size();
        return count;
    };
    const QDeadlineTimer deadline(timeoutMs);
    int before = total();
    while (!deadline.hasExpired()) {
        QTest::qWait(quietMs);
        const int now = total();
        if (now == before)
            return true;
        before = now;
    }
    return false;
}
