#pragma once

#include "core/shell/program_state.h"

#include <optional>
#include <string>
#include <vector>

namespace sw {

inline constexpr int kTextNameNotCreatable = 105;
inline constexpr int kTextNameExists = 106;
inline constexpr int kTextNameEmpty = 107;

// Creates the project folder and its bin folder and makes it the active project. Returns the index of
// the message to show when the name is refused; nothing is created then.
std::optional<int> createNewProject(ProgramState& state, const std::string& name);

// The project folder names, in the order the file system gives them; files and hidden folders are
// left out.
std::vector<std::string> projectNames(const std::filesystem::path& projectsFolder);

// Position of the first name equal to the wanted one, letters a to z compared without case; -1 if none.
int findProjectName(const std::vector<std::string>& names, const std::string& wanted);

// The active project's folder name below the projects folder, '' without a project.
std::string activeProjectFolderName(const ProgramState& state);

// Makes the chosen name the active project ('' leaves no project active).
void openProject(ProgramState& state, const std::string& name);

} // namespace sw
