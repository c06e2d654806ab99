#include "core/shell/startup.h"

#include "core/common/path_text.h"
#include "core/language/language_file.h"

#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

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
#ifdef _WIN32
    // The module name may be longer than MAX_PATH: grow the buffer until it fits.
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) {
            return std::filesystem::current_path();
        }
        if (length < name.size()) {
            name.resize(length);
            return std::filesystem::path(name).parent_path();
        }
        name.resize(name.size() * 2);
    }
#else
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return std::filesystem::current_path();
    }
    return executable.parent_path();
#endif
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
        std::filesystem::is_directory(state.ProjectsFolder / pathFromUtf8(state.ActiveProjectName), error)) {
        state.ActiveProjectFolder = state.ProjectsFolder / pathFromUtf8(state.ActiveProjectName);
    } else {
        state.ActiveProjectFolder.clear();
    }
    Set_Files(state);
    return source;
}

} // namespace sw
