#include "core/project/project_paths.h"

#include "core/common/path_text.h"

namespace sw {

bool isProjectFolderName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    if (name.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos) {
        return false;
    }
#ifdef _WIN32
    // Windows would make another folder of the name than the one asked for: it drops trailing blanks
    // and dots, takes a colon for a stream or a drive, and reads a device's name (NUL, COM1, ...) as the
    // device wherever it stands.
    if (name.find_first_of("<>:\"|?*") != std::string_view::npos || name.back() == ' ' ||
        name.back() == '.') {
        return false;
    }
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) {
            return false;
        }
    }
    std::string stem(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ') {
        stem.pop_back();
    }
    for (char& c : stem) {
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    static constexpr std::string_view kDevices[] = {
        "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
        "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
    for (const std::string_view device : kDevices) {
        if (stem == device) {
            return false;
        }
    }
#endif
    // A drive name on Windows ("C:x") would leave the projects folder without any separator.
    return !pathFromUtf8(name).has_root_path();
}

} // namespace sw
