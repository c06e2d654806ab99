#pragma once

#include "core/shell/program_state.h"

#include <filesystem>
#include <string>

namespace sw {

enum class SettingsSource {
    Missing,    // no settings file: every value took its fallback
    Read,       // read value by value, each missing one took its fallback
    Unreadable, // not well-formed: fallbacks everywhere, a copy kept beside it as Mendral.xml.bad
};

std::filesystem::path settingsFile(const ProgramState& state);

// Reads the settings file of the program folder into the state, value by value with fallbacks.
SettingsSource readSettings(ProgramState& state);

// The settings document as it is written.
std::string settingsBytes(const ProgramState& state);

// Writes the settings file, replacing it atomically; throws ConfigError with the path and the reason.
void saveSettings(const ProgramState& state);

} // namespace sw
