#include "core/shell/startup.h"

#include "core/common/path_text.h"
#include "core/language/language_file.h"
#include "core/platform/paths.h"
#include "core/update/job_file.h"

#include <cstdlib>
#include <system_error>

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
    const platform::UserDataRoots roots = platform::userDataRoots();
    const std::filesystem::path userFolder = userDataFolder(roots.dataHome, roots.home);
    const auto workFolder =
        prepareWorkFolder(programFolder, platform::folderWritable(programFolder), userFolder);
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
