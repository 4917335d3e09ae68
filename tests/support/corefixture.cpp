#include "support/corefixture.h"

#include "core/runtimeoptions.h"
#include "rondel/rondelserver.h"
#include "units/registry/units.h"
#include "units/registry/unitsinitializer.h"

#include <QJsonDocument>

CoreFixture::CoreFixture()
    : m_port(FakeUnit::freePort())
{
    RuntimeOptions options = runtimeOptions();
    options.rondelAddress = FakeUnit::CoreAddress;
    options.rondelPort = m_port;
    options.brokerHost = QStringLiteral("127.0.0.1");
    options.brokerPort = 1;
    setRuntimeOptions(options);
}

CoreFixture::~CoreFixture()
{
    m_core.reset();
    m_units.clear();
}

QVariantMap CoreFixture::unit(const QString& ip, const QString& type, const QString& room)
{
    return {{"_id", ip}, {"type", type}, {"room", room}};
}

void CoreFixture::writeConfig(const QVariantList& units)
{
    const auto ward = [](const QString& id) {
        return QVariantMap{{"_id", id}, {"name", id.toUpper()}, {"group", "g"}};
    };
    const auto room = [](const QString& id, int number, const QString& ward) {
        return QVariantMap{{"_id", id}, {"name", id}, {"number", number}, {"ward", ward}};
    };
    const QVariantMap config{
        {"settings", QVariantMap{{"language", QVariantMap{}},
                                 {"synthesizer", QVariantMap{}},
                                 {"volumes", QVariantMap{}},
                                 {"callQueue", QVariantMap{}},
                                 {"backlight", QVariantMap{}}}},
        {"wards", QVariantList{ward("w1"), ward("w2")}},
        {"rooms", QVariantList{room("r1", 1, "w1"), room("r2", 2, "w1"), room("r3", 3, "w2")}},
        {"units", units},
        {"buttons", QVariantList{}},
        {"radios", QVariantList{}}};
    m_root.write(QStringLiteral("/opt/adminapp/etc/config.json"),
                 QJsonDocument::fromVariant(config).toJson());
}

RespondingUnit* CoreFixture::addUnit(const QString& ip, const QString& model)
{
    m_units.push_back(std::make_unique<RespondingUnit>(QHostAddress(ip), m_port, model));
    return m_units.back().get();
}

RespondingUnit* CoreFixture::fake(const QString& ip) const
{
    for (const auto& unit : m_units) {
        if (unit->address() == QHostAddress(ip))
            return unit.get();
    }
    return nullptr;
}

void CoreFixture::initialize()
{
    m_core = std::make_unique<Orvanta>();
    m_core->initialize();
    // Timings apply to the bus protocols created from now on: none exists
    // before start() sends the first request.
    RondelTimings timings;
    timings.retryInterval = 100;
    timings.keepAliveInterval = KeepAlive;
    timings.keepAliveStartSpread = 0;
    m_core->rondelServer()->setTimings(timings);
    m_core->units()->setRequestRepeatInterval(RequestRepeat);
    m_core->unitsInitializer()->setTimeLimit(TimeLimit);
}
