// The installation's configuration file through ConfigLoader: a first load
// and a reload, with the objects the application hands it and the part of
// the reload reaction that replaces wards and rooms.
//
// Input: the first configuration, optionally followed by a zero byte and
// the configuration of the reload.

#include "fuzzinstallation.h"
#include "fuzzsupport.h"

#include "core/constants.h"

namespace {

struct Installation : ConfiguredInstallation
{
    Installation()
    {
        QObject::connect(&loader, &ConfigLoader::reloadDone, &loader, [this] {
            rooms.deleteOldRooms();
            wards.deleteOldWards();
        });
    }
};

// Every room must point at a ward that is alive and registered (or the
// placeholder); after a reload the replaced wards are gone.
void checkRooms(const Installation& installation)
{
    for (const Room* room : installation.rooms.rooms()) {
        const Ward* ward = room->ward();
        Fuzz::check(ward == Ward::unknownWard() || installation.wards.ward(ward->id()) == ward,
                    "a room points at a ward that is not registered");
    }
}

} // namespace

void fuzzOne(const uint8_t* data, size_t size)
{
    const QByteArray input = Fuzz::bytes(data, size);
    const int split = input.indexOf('\0');

    Installation installation;
    Fuzz::writeSystemFile(Constants::ConfigFile, split < 0 ? input : input.left(split));
    installation.loader.load();
    checkRooms(installation);

    if (split >= 0) {
        Fuzz::writeSystemFile(Constants::ConfigFile, input.mid(split + 1));
        installation.loader.reload();
        Fuzz::flushDeferredDeletes();
        checkRooms(installation);
    }
}
