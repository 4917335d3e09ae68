#pragma once

#include "calls/location.h"

#include <QHostAddress>
#include <QObject>

class LanguageSettings;
class NamedaysSettings;
class NVSettings;
class RadiosSettings;
class UnconfiguredUnit;
class Unit;

// Creates unit objects by model and hands each the installation-wide
// settings every unit reads.
class UnitsFactory : public QObject
{
    Q_OBJECT
public:
    UnitsFactory(LanguageSettings* language, NamedaysSettings* namedays, NVSettings* nv,
                 RadiosSettings* radios, QObject* parent = nullptr);

    // The type number of a configuration type text, whatever its letter
    // case; 0 for a text that names no model.
    static int typeFromText(const QString& text);

    // A unit of the model with that type number, without parent; null for a
    // number that names no model.
    Unit* create(int type, const QHostAddress& ip, const Location& location) const;
    UnconfiguredUnit* createUnconfigured(const QHostAddress& ip) const;

private:
    LanguageSettings* m_language;
    NamedaysSettings* m_namedays;
    NVSettings* m_nv;
    RadiosSettings* m_radios;
};
