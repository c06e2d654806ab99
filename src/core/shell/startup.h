#pragma once

#include "core/shell/program_state.h"
#include "core/shell/settings.h"

#include <filesystem>

namespace sw {

// The start-up sequence without its window: folders beside the program, settings, product texts,
// language, the restored project and its file paths. The settings, projects, language files and update
// job live in the work folder (see prepareWorkFolder); the firmware stays in the program's MASTER.
SettingsSource startProgramState(ProgramState& state, const std::filesystem::path& programFolder,
                                 const std::filesystem::path& workFolder);

// The start-up of the running program: its work folder is the program folder when that is writable,
// else the user's data folder.
SettingsSource startProgramState(ProgramState& state, const std::filesystem::path& programFolder);

// The user's own folder for the program's files: $XDG_DATA_HOME/sw40512 when that names an absolute
// path, else $HOME/.local/share/sw40512; empty when neither is known.
std::filesystem::path userDataFolder(const char* xdgDataHome, const char* home);

// Where the settings, the projects, the language files and the update job are kept. A program folder
// the user can write to is its own work folder. An installed program folder usually is not: then the
// user's data folder takes its place, and each start copies into it what it lacks of the program
// folder's defaults (never replacing a file the user has): the settings file that opens the demo, the
// demo project on the first start only (a demo the user deleted stays deleted), the language files
// (a newer shipped one replaces the older copy) and the updater, which reads its job file beside
// itself. Falls back to the program folder when the data folder cannot be made.
std::filesystem::path prepareWorkFolder(const std::filesystem::path& programFolder,
                                        bool programFolderWritable, const std::filesystem::path& userData);

} // namespace sw
