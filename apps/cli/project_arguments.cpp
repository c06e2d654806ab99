#include "project_arguments.h"

#include "core/common/escaped_text.h"
#include "core/common/path_text.h"

#include <iostream>

namespace sw::cli {

std::variant<ProjectArguments, int> parseProjectArguments(const std::vector<std::string>& args,
                                                          const char* usage) {
    std::optional<std::filesystem::path> folder;
    ProjectArguments parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << usage;
            return 0;
        }
        if (arg == "--decimal-separator" || arg.rfind("--decimal-separator=", 0) == 0) {
            const std::string value = arg == "--decimal-separator"
                                          ? (i + 1 < args.size() ? args[++i] : std::string())
                                          : arg.substr(arg.find('=') + 1);
            if (value != "," && value != ".") {
                std::cerr << "The decimal separator must be \",\" or \".\", not \""
                          << escapeControlCharacters(value) << "\".\n"
                          << usage;
                return 2;
            }
            parsed.separator = value[0];
        } else if (!folder && arg.rfind("--", 0) != 0) {
            folder = pathFromUtf8(arg);
        } else {
            std::cerr << "Unexpected argument \"" << escapeControlCharacters(arg) << "\".\n" << usage;
            return 2;
        }
    }
    if (!folder) {
        std::cerr << usage;
        return 2;
    }
    std::error_code error;
    if (!std::filesystem::is_directory(*folder, error)) {
        std::cerr << "The project folder \"" << escapeControlCharacters(utf8Of(*folder))
                  << "\" does not exist.\n";
        return 2;
    }
    parsed.folder = *folder;
    return parsed;
}

} // namespace sw::cli
