#include "commands.h"

#include "core/common/config_error.h"
#include "core/common/numbers.h"
#include "core/common/path_text.h"
#include "core/image/image_builder.h"
#include "core/shell/project_paths.h"

#include <filesystem>
#include <iostream>
#include <optional>

namespace sw::cli {

namespace {

constexpr const char* kUsage = "Usage: sw40512-cli build PROJECT_FOLDER [--decimal-separator , | .]\n";

std::optional<char> separatorFrom(const std::string& text) {
    if (text == "," || text == ".") {
        return text[0];
    }
    return std::nullopt;
}

} // namespace

// Builds the two device images of a project exactly as Update Device does, into the project's bin folder.
// The decimal separator can be fixed so that a build does not depend on the user's regional settings.
int runBuild(const std::vector<std::string>& args) {
    std::optional<std::filesystem::path> folder;
    std::optional<char> separator;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--decimal-separator" || arg.rfind("--decimal-separator=", 0) == 0) {
            const std::string value = arg == "--decimal-separator"
                                          ? (i + 1 < args.size() ? args[++i] : std::string())
                                          : arg.substr(arg.find('=') + 1);
            separator = separatorFrom(value);
            if (!separator) {
                std::cerr << "The decimal separator must be \",\" or \".\", not \"" << value << "\".\n"
                          << kUsage;
                return 2;
            }
        } else if (!folder && arg.rfind("--", 0) != 0) {
            folder = pathFromUtf8(arg);
        } else {
            std::cerr << "Unexpected argument \"" << arg << "\".\n" << kUsage;
            return 2;
        }
    }
    if (!folder) {
        std::cerr << kUsage;
        return 2;
    }
    std::error_code error;
    if (!std::filesystem::is_directory(*folder, error)) {
        std::cerr << "The project folder \"" << utf8Of(*folder) << "\" does not exist.\n";
        return 2;
    }

    const ProjectPaths paths(*folder);
    const BuildResult images =
        Build_Images(paths.parGenFile(), paths.accessFile(), separator.value_or(Get_Decimal_Separator()));
    const std::filesystem::path bin = paths.binFolder();
    std::filesystem::create_directories(bin, error);
    if (error) {
        throw ConfigError("Cannot create the folder \"" + utf8Of(bin) + "\": " + error.message());
    }
    Save_Bin_Files(images, bin);
    std::cout << utf8Of(paths.parameterImage()) << ": " << images.bank1.size() << " bytes\n"
              << utf8Of(paths.variableImage()) << ": " << images.bank2.size() << " bytes\n";
    return 0;
}

} // namespace sw::cli
