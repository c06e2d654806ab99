#pragma once

#include "core/shell/program_state.h"
#include "core/shell/settings.h"

#include <filesystem>

namespace sw {

// The start-up sequence without its window: folders beside the program, settings, product texts,
// language, the restored project and its file paths.
SettingsSource startProgramState(ProgramState& state, const std::filesystem::path& programFolder);

// The project files' paths follow the active project folder.
void Set_Files(ProgramState& state);

// The folder of the running executable.
std::filesystem::path executableFolder();

} // namespace sw
