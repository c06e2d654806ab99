#include "core/shell/project_paths.h"

namespace sw {

bool isProjectFolderName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    if (name.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos) {
        return false;
    }
    // A drive name on Windows ("C:x") would leave the projects folder without any separator.
    return !std::filesystem::path(name).has_root_path();
}

} // namespace sw
