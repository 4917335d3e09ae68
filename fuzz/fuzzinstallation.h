#pragma once

#include "calls/talkvolumes.h"
#include "config/configloader.h"
#include "synthesizer/synthesizer.h"
#include "units/settings/backlightsettings.h"
#include "units/settings/calllimitssettings.h"
#include "units/settings/languagesettings.h"
#include "units/settings/namedayssettings.h"
#include "units/settings/nvsettings.h"
#include "units/settings/radiossettings.h"
#include "wards/rooms.h"
#include "wards/wards.h"

// What the configuration file feeds, handed to the loader as the application
// hands it. A target with a unit registry gives the loader that too, and
// each target reacts to a reload as far as its objects go.
struct ConfiguredInstallation
{
    ConfiguredInstallation()
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
