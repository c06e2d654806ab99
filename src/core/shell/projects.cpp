#include "core/shell/projects.h"

#include "core/common/path_text.h"
#include "core/platform/paths.h"
#include "core/shell/startup.h"

#include <system_error>

namespace sw {

namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

std::optional<int> createNewProject(ProgramState& state, const std::string& name) {
    if (name.empty()) {
        return kTextNameEmpty;
    }
    if (!isProjectFolderName(name)) {
        return kTextNameNotCreatable;
    }
    const auto folder = state.session.projectsFolder / pathFromUtf8(name);
    std::error_code error;
    if (std::filesystem::exists(folder, error)) {
        return kTextNameExists;
    }
    switch (platform::createFolderExclusively(folder)) {
    case platform::FolderCreation::Created:
        break;
    case platform::FolderCreation::Exists:
        return kTextNameExists;
    case platform::FolderCreation::Failed:
        return kTextNameNotCreatable;
    }
    std::filesystem::create_directories(ProjectPaths(folder).binFolder(), error);
    state.session.activeProjectName = name;
    state.session.activeProjectFolder = folder;
    return std::nullopt;
}

std::vector<std::string> projectNames(const std::filesystem::path& projectsFolder) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(projectsFolder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = utf8Of(it->path().filename());
        std::error_code kindError;
        if (name.empty() || name.front() == '.' || !it->is_directory(kindError)) {
            continue;
        }
        names.push_back(name);
    }
    return names;
}

int findProjectName(const std::vector<std::string>& names, const std::string& wanted) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        if (name.size() != wanted.size()) {
            continue;
        }
        bool same = true;
        for (std::size_t k = 0; k < name.size() && same; ++k) {
            same = lowerAscii(name[k]) == lowerAscii(wanted[k]);
        }
        if (same) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string activeProjectFolderName(const ProgramState& state) {
    if (!state.session.projectActive()) {
        return {};
    }
    return utf8Of(state.session.activeProjectFolder.lexically_relative(state.session.projectsFolder));
}

void openProject(ProgramState& state, const std::string& name) {
    state.session.activeProjectName = name;
    if (!isProjectFolderName(name)) {
        state.session.activeProjectFolder.clear();
    } else {
        state.session.activeProjectFolder = state.session.projectsFolder / pathFromUtf8(name);
    }
}

} // namespace sw
