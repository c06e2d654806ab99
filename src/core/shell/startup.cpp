#include "core/shell/startup.h"

#include "core/language/language_file.h"

#include <system_error>
#include <unistd.h>

namespace sw {

namespace {

void createFolder(const std::filesystem::path& folder) {
    std::error_code ignored; // a folder that cannot be created shows up later, where it is used
    std::filesystem::create_directory(folder, ignored);
}

} // namespace

void Set_Files(ProgramState& state) {
    const ProjectPaths paths = state.project();
    state.ParGenFile = paths.parGenFile();
    state.AccessFile = paths.accessFile();
}

std::filesystem::path executableFolder() {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return std::filesystem::current_path();
    }
    return executable.parent_path();
}

SettingsSource startProgramState(ProgramState& state, const std::filesystem::path& programFolder) {
    state.LangTable.clear();
    state.ProgramFolder = programFolder;
    state.MasterFolder = programFolder / "MASTER";
    createFolder(state.MasterFolder);
    state.ProjectsFolder = programFolder / "PROJECTS";
    createFolder(state.ProjectsFolder);
    state.LanguageFolder = programFolder / "LANGUAGE";
    createFolder(state.LanguageFolder);
    state.ActiveProjectName.clear();
    state.UpdateReadBack = true;
    state.UpdateOptionIndex = 0;

    const SettingsSource source = readSettings(state);

    state.WindowTitle = kWindowTitle;
    state.SoftwareCode = kSoftwareCode;
    state.SoftwareDescription = kSoftwareDescription;

    LoadLanguage(state.LangTable, state.LanguageFolder, state.LanguageName);

    // A stored name that is not one folder below the projects folder (a hand-edited absolute path, "..")
    // is treated like a project that no longer exists, so no other folder is ever opened as the project.
    std::error_code error;
    if (isProjectFolderName(state.ActiveProjectName) &&
        std::filesystem::is_directory(state.ProjectsFolder / state.ActiveProjectName, error)) {
        state.ActiveProjectFolder = state.ProjectsFolder / state.ActiveProjectName;
    } else {
        state.ActiveProjectFolder.clear();
    }
    Set_Files(state);
    return source;
}

} // namespace sw
