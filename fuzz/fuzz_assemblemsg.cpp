// The message assembly service's configuration file, read as at start-up
// and after a change of language, with the synthesizer in fragmented mode.

#include "fuzzsupport.h"

#include "app/systemfiles.h"
#include "core/constants.h"
#include "synthesizer/synthesizer.h"
#include "units/settings/languagesettings.h"

#include <QVariantMap>

void fuzzOne(const uint8_t* data, size_t size)
{
    Fuzz::writeSystemFile(Constants::AssemblemsgConfigFile, Fuzz::bytes(data, size));
    LanguageSettings language;
    for (const int choice : {int(LanguageSettings::Czech), int(LanguageSettings::English)}) {
        language.setLanguage(choice);
        Synthesizer synthesizer;
        synthesizer.loadSettings(QVariantMap{{QStringLiteral("type"), QStringLiteral("Fragments")}});
        loadAssemblemsgConfig(&synthesizer, &language);
        Fuzz::check(synthesizer.type() == Synthesizer::Fixed
                        || synthesizer.type() == Synthesizer::Fragmented,
                    "the synthesizer left in an unknown mode");
    }
}
