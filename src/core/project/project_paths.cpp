#include "core/project/project_paths.h"

#include "core/common/path_text.h"
#include "core/platform/paths.h"

namespace sw {

std::string ProjectPaths::name() const {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::absolute(m_folder, error);
    if (error) {
        folder = m_folder;
    }
    // The normal form ends in a separator where the path did ("Demo/"): the name is then the parent's.
    folder = folder.lexically_normal();
    if (!folder.has_filename()) {
        folder = folder.parent_path();
    }
    return utf8Of(folder.filename());
}

bool isProjectFolderName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    if (name.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos) {
        return false;
    }
    if (!platform::folderNameAllowed(name)) {
        return false;
    }
    // A drive name on Windows ("C:x") would leave the projects folder without any separator.
    return !pathFromUtf8(name).has_root_path();
}

} // namespace sw
