#pragma once

class LanguageSettings;
class Synthesizer;
class Wards;

// The files besides the configuration that the core reads or keeps: the
// wards' connection and day/night mode, which survive a restart, and the
// message assembly service's configuration.

// Restores the wards' state from the persistent settings file; a missing or
// invalid file leaves the configured state and logs a warning.
void loadPersistentSettings(Wards* wards);

// Replaces the persistent settings file with the wards' current state.
// A file that cannot be written is skipped silently: the state stays in
// memory and is written again at the next change.
void savePersistentSettings(const Wards* wards);

// Hands the message assembly configuration (an empty one when the file is
// missing or invalid) and the configured language to the synthesizer.
void loadAssemblemsgConfig(Synthesizer* synthesizer, const LanguageSettings* language);
