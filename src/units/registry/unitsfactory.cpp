#include "units/registry/unitsfactory.h"

#include "units/models/unitmodels.h"
#include "units/unconfiguredunit.h"

UnitsFactory::UnitsFactory(LanguageSettings* language, NamedaysSettings* namedays, NVSettings* nv,
                           RadiosSettings* radios, QObject* parent)
    : QObject(parent)
    , m_language(language)
    , m_namedays(namedays)
    , m_nv(nv)
    , m_radios(radios)
{
}

int UnitsFactory::typeFromText(const QString& text)
{
    for (int type = Unit::FennoType; type <= Unit::CorviType; ++type) {
        if (Unit::typeText(type).compare(text, Qt::CaseInsensitive) == 0)
            return type;
    }
    return Unit::NoType;
}

Unit* UnitsFactory::create(int type, const QHostAddress& ip, const Location& location) const
{
    Unit* unit = nullptr;
    switch (type) {
    case Unit::FennoType: unit = new Fenno(ip); break;
    case Unit::TolvaType: unit = new Tolva(ip); break;
    case Unit::BrisaType: unit = new Brisa(ip); break;
    case Unit::MeldeType: unit = new Melde(ip); break;
    case Unit::PardoType: unit = new Pardo(ip); break;
    case Unit::DeskaType: unit = new Deska(ip); break;
    case Unit::LumoType: unit = new Lumo(ip); break;
    case Unit::CorviType: unit = new Corvi(ip); break;
    default: return nullptr;
    }
    unit->setInstallationSettings(m_language, m_namedays, m_nv, m_radios);
    unit->setLocation(location);
    return unit;
}

UnconfiguredUnit* UnitsFactory::createUnconfigured(const QHostAddress& ip) const
{
    auto* unit = new UnconfiguredUnit(ip);
    unit->setInstallationSettings(m_language, m_namedays, m_nv, m_radios);
    return unit;
}
