#include "core/shell/startup.h"

#include "core/common/path_text.h"
#include "core/language/language_file.h"
#include "core/update/job_file.h"

#include <cstdlib>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace sw {

namespace {

void createFolder(const std::filesystem::path& folder) {
    std::error_code ignored; // a folder that cannot be created shows up later, where it is used
    std::filesystem::create_directory(folder, ignored);
}

// Copies a file the work folder lacks; with `refresh`, also one older than the shipped file.
void copyDefault(const std::filesystem::path& from, const std::filesystem::path& to, bool refresh) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(from, error)) {
        return;
    }
    const auto options = refresh ? std::filesystem::copy_options::update_existing
                                 : std::filesystem::copy_options::skip_existing;
    // The copy takes the shipped file's time, so that only a later shipped file counts as newer, not
    // every file shipped before the day of the copy.
    if (std::filesystem::copy_file(from, to, options, error)) {
        std::filesystem::last_write_time(to, std::filesystem::last_write_time(from, error), error);
    }
}

} // namespace

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

std::filesystem::path userDataFolder(const char* xdgDataHome, const char* home) {
    // A relative XDG_DATA_HOME is invalid and to be ignored.
    if (xdgDataHome != nullptr && std::filesystem::path(xdgDataHome).is_absolute()) {
        return std::filesystem::path(xdgDataHome) / "sw40512";
    }
    if (home != nullptr && std::filesystem::path(home).is_absolute()) {
        return std::filesystem::path(home) / ".local" / "share" / "sw40512";
    }
    return {};
}

bool folderWritable(const std::filesystem::path& folder) {
#ifdef _WIN32
    return ::_waccess(folder.c_str(), 2) == 0;
#else
    return ::access(folder.c_str(), W_OK) == 0;
#endif
}

std::filesystem::path prepareWorkFolder(const std::filesystem::path& programFolder,
                                        bool programFolderWritable, const std::filesystem::path& userData) {
    if (programFolderWritable || userData.empty()) {
        return programFolder;
    }
    std::error_code error;
    std::filesystem::create_directories(userData, error);
    if (!std::filesystem::is_directory(userData, error)) {
        return programFolder;
    }
    copyDefault(programFolder / "Mendral.xml", userData / "Mendral.xml", false);
    if (!std::filesystem::exists(userData / "PROJECTS", error)) {
        createFolder(userData / "PROJECTS");
        std::filesystem::copy(programFolder / "PROJECTS" / "Demo", userData / "PROJECTS" / "Demo",
                              std::filesystem::copy_options::recursive, error);
    }
    createFolder(userData / "LANGUAGE");
    for (std::filesystem::directory_iterator entry(programFolder / "LANGUAGE", error), end;
         !error && entry != end; entry.increment(error)) {
        copyDefault(entry->path(), userData / "LANGUAGE" / entry->path().filename(), true);
    }
    const auto updater = updaterProgram(programFolder);
    copyDefault(updater, userData / updater.filename(), true);
    return userData;
}

SettingsSource startProgramState(ProgramState& state, const std::filesystem::path& programFolder) {
#ifdef _WIN32
    // Windows keeps a user's program data in the local application data folder.
    const std::filesystem::path userFolder = userDataFolder(std::getenv("LOCALAPPDATA"), nullptr);
#else
    const std::filesystem::path userFolder =
        userDataFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
#endif
    const auto workFolder = prepareWorkFolder(programFolder, folderWritable(programFolder), userFolder);
    return startProgramState(state, programFolder, workFolder);
}

SettingsSource startProgramState(ProgramState& state, const std::filesystem::path& programFolder,
                                 const std::filesystem::path& workFolder) {
    state.texts.clear();
    // The settings file, the projects and the update job are all found through ProgramFolder.
    state.session.programFolder = workFolder;
    state.session.masterFolder = programFolder / "MASTER";
    createFolder(state.session.masterFolder);
    state.session.projectsFolder = workFolder / "PROJECTS";
    createFolder(state.session.projectsFolder);
    state.session.languageFolder = workFolder / "LANGUAGE";
    createFolder(state.session.languageFolder);
    state.session.activeProjectName.clear();
    state.settings.updateReadBack = true;
    state.settings.updateOptionIndex = 0;

    const SettingsSource source = readSettings(state);

    state.product.windowTitle = kWindowTitle;
    state.product.softwareCode = kSoftwareCode;
    state.product.softwareDescription = kSoftwareDescription;

    LoadLanguage(state.texts, state.session.languageFolder, state.settings.languageName);

    // A stored name that is not one folder below the projects folder (a hand-edited absolute path, "..")
    // is treated like a project that no longer exists, so no other folder is ever opened as the project.
    std::error_code error;
    if (isProjectFolderName(state.session.activeProjectName) &&
        std::filesystem::is_directory(
            state.session.projectsFolder / pathFromUtf8(state.session.activeProjectName), error)) {
        state.session.activeProjectFolder =
            state.session.projectsFolder / pathFromUtf8(state.session.activeProjectName);
    } else {
        state.session.activeProjectFolder.clear();
    }
    return source;
}

} // namespace sw
