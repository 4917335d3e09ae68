// The installation's configuration file through ConfigLoader: a first load
// and a reload, with the objects the application hands it and the part of
// the reload reaction that replaces wards and rooms.
//
// Input: the first configuration, optionally followed by a zero byte and
// the configuration of the reload.

#include "fuzzsupport.h"

#include "calls/talkvolumes.h"
#include "config/configloader.h"
#include "core/constants.h"
#include "synthesizer/synthesizer.h"
#include "units/settings/backlightsettings.h"
#include "units/settings/calllimitssettings.h"
#include "units/settings/languagesettings.h"
#include "units/settings/namedayssettings.h"
#include "units/settings/nvsettings.h"
#include "units/settings/radiossettings.h"
#include "wards/rooms.h"
#include "wards/wards.h"

namespace {

// The receivers of the configuration, wired as the application wires them.
// The unit registry joins here once the loader hands it the "units" section.
struct Installation
{
    Installation()
    {
        loader.setBacklight(&backlight);
        loader.setCallLimits(&callLimits);
        loader.setLanguage(&language);
        loader.setNamedays(&namedays);
        loader.setNV(&nv);
        loader.setRadios(&radios);
        loader.setRooms(&rooms);
        loader.setSynthesizer(&synthesizer);
        loader.setTalkVolumes(&talkVolumes);
        loader.setWards(&wards);
        QObject::connect(&loader, &ConfigLoader::reloadDone, &loader, [this] {
            rooms.deleteOldRooms();
            wards.deleteOldWards();
        });
    }

    BacklightSettings backlight;
    CallLimitsSettings callLimits;
    LanguageSettings language;
    NamedaysSettings namedays;
    NVSettings nv;
    RadiosSettings radios;
    Wards wards;
    Rooms rooms{&wards};
    Synthesizer synthesizer;
    TalkVolumes talkVolumes;
    ConfigLoader loader;
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
