// Whole datagrams from one unit address into the bus: the header reader,
// every command parser, the acknowledgements, the gathering of
// "NotFinished" series, the sender's handling of answers, and the unit
// object that listens to the address.
//
// Input: the first byte chooses the listener (0: none, the public listener
// hears the commands; 1-8: one of the unit models); the rest is a sequence
// of datagrams separated by the byte 0xFF, of which the first 64 are read.
// A datagram that ends with "CRC:" gets its checksum appended, so that
// inputs reach the parsers.

#include "fuzzsupport.h"

#include "rondel/publicrondellistener.h"
#include "rondel/rondelformat.h"
#include "rondel/rondelprotocol.h"
#include "rondel/rondelserver.h"
#include "units/models/unitmodels.h"
#include "units/settings/languagesettings.h"
#include "units/settings/namedayssettings.h"
#include "units/settings/nvsettings.h"
#include "units/settings/radiossettings.h"
#include "wards/room.h"
#include "wards/ward.h"

#include <memory>

namespace {

const QHostAddress UnitIp(QStringLiteral("10.10.0.21"));
constexpr char Separator = '\xff';
// Enough to overrun a "NotFinished" series; more only repeats the same paths
// while every input costs more.
constexpr int MaxDatagrams = 64;

std::unique_ptr<RondelUnit> makeUnit(int model)
{
    switch (model) {
    case 1: return std::make_unique<Tolva>(UnitIp);
    case 2: return std::make_unique<Brisa>(UnitIp);
    case 3: return std::make_unique<Melde>(UnitIp);
    case 4: return std::make_unique<Pardo>(UnitIp);
    case 5: return std::make_unique<Lumo>(UnitIp);
    case 6: return std::make_unique<Corvi>(UnitIp);
    case 7: return std::make_unique<Deska>(UnitIp);
    case 8: return std::make_unique<Fenno>(UnitIp);
    default: return nullptr;
    }
}

QByteArray withChecksum(const QByteArray& datagram)
{
    if (!datagram.endsWith("CRC:"))
        return datagram;
    const QByteArray covered = datagram.left(datagram.indexOf("CRC:"));
    return datagram + QByteArray::number(RondelFormat::crc16(covered), 16);
}

// Everything the core sends must pass its own reader: an acknowledgement
// or command that a unit cannot read would be repeated forever.
void checkSent(const QByteArray& datagram)
{
    if (datagram == "Ping" || datagram == "OK")
        return;
    const DatagramHeader header = RondelFormat::readHeader(datagram);
    Fuzz::check(header.error == RondelNoError, "the core sent a datagram its own reader refuses");
}

// What the installation gives every unit.
struct Installation
{
    Installation()
    {
        room.setWard(&ward);
        room.setNumber(12);
        ward.setName(QStringLiteral("Interna"));
    }
    LanguageSettings language;
    NamedaysSettings namedays;
    NVSettings nv;
    RadiosSettings radios;
    Ward ward{QStringLiteral("w1")};
    Room room{QStringLiteral("r1")};
};

} // namespace

void fuzzOne(const uint8_t* data, size_t size)
{
    if (size == 0)
        return;
    static Installation installation;

    PublicRondelListener publicListener;
    RondelServer server(nullptr, &publicListener, nullptr);
    RondelTimings timings;
    timings.keepAliveStartSpread = 0; // no timer object per sender
    server.setTimings(timings);
    RondelProtocol* protocol = server.protocolFor(UnitIp);
    QObject::connect(protocol, &RondelProtocol::datagramToSend, &server,
                     [](const QByteArray& datagram) { checkSent(datagram); });

    std::unique_ptr<RondelUnit> unit = makeUnit(data[0] % 9);
    if (unit) {
        unit->setInstallationSettings(&installation.language, &installation.namedays,
                                      &installation.nv, &installation.radios);
        unit->setLocation(Location{&installation.room, 1});
        unit->attach(&server);
        unit->startStatusRetrieval();
    }
    // Commands in flight, so that acknowledgements have something to match.
    server.send({QStringLiteral("GetStatus"), QStringLiteral("All")}, UnitIp);
    server.send({QStringLiteral("Lights"), QStringLiteral("PS:1")}, UnitIp);

    const QByteArray input = Fuzz::bytes(data + 1, size - 1);
    const QList<QByteArray> datagrams = input.split(Separator);
    for (int i = 0; i < qMin(datagrams.size(), MaxDatagrams); ++i)
        protocol->receive(withChecksum(datagrams[i]));
}
