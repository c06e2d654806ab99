#include "commands.h"
#include "project_arguments.h"

#include "core/common/config_error.h"
#include "core/common/escaped_text.h"
#include "core/common/numbers.h"
#include "core/common/path_text.h"
#include "core/image/image_builder.h"
#include "core/project/project_paths.h"

#include <filesystem>
#include <iostream>
#include <optional>

namespace sw::cli {

namespace {

constexpr const char* kUsage = "Usage: sw40512-cli build PROJECT_FOLDER [--decimal-separator , | .]\n";

} // namespace

// Builds the two device images of a project exactly as Update Device does, into the project's bin folder.
// The decimal separator can be fixed so that a build does not depend on the user's regional settings.
int runBuild(const std::vector<std::string>& args) {
    const auto arguments = parseProjectArguments(args, kUsage);
    if (const int* exitCode = std::get_if<int>(&arguments)) {
        return *exitCode;
    }
    const auto& [folder, separator] = std::get<ProjectArguments>(arguments);
    const ProjectPaths paths(folder);
    const BuildResult images =
        buildImages(paths.parGenFile(), paths.accessFile(), separator.value_or(userDecimalSeparator()));
    const std::filesystem::path bin = paths.binFolder();
    std::error_code error;
    std::filesystem::create_directories(bin, error);
    if (error) {
        throw ConfigError("Cannot create the folder \"" + utf8Of(bin) + "\": " + error.message());
    }
    saveImageFiles(images, bin);
    std::cout << escapeControlCharacters(utf8Of(paths.parameterImage())) << ": " << images.bank1.size()
              << " bytes\n"
              << escapeControlCharacters(utf8Of(paths.variableImage())) << ": " << images.bank2.size()
              << " bytes\n";
    return 0;
}

} // namespace sw::cli
