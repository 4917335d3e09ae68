#pragma once

#include <QString>
#include <QStringList>

// What distinguishes the eight unit models on the bus: how they introduce
// themselves and which devices they carry. Every model answers every status
// request it is given; the core decides which it asks.
struct SimModel
{
    QString name;        // "Tolva", ... as in the configuration and in "AcronymPU"
    QString product;     // "NamePU"
    QString productCode; // "ProductCodePU"
    QString firmware;    // "FWVersionPU", major.minor
    QString display;     // "TypeGT": the kind of screen
    int mtf = 0;         // code of the handset plugged in, 0 for none
    bool fmTuners = false;

    bool isValid() const { return !name.isEmpty(); }

    // The model of that name, letter case ignored; an invalid model for
    // any other text.
    static SimModel byName(const QString& name);
    static QStringList names();
};
