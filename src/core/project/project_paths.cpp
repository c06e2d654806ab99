#include "core/project/project_paths.h"

#include "core/common/path_text.h"
#include "core/platform/paths.h"

namespace sw {

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
