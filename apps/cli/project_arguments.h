#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace sw::cli {

// The arguments of the commands that work on one project: PROJECT_FOLDER [--decimal-separator , | .]
struct ProjectArguments {
    std::filesystem::path folder;
    std::optional<char> separator; // none: the user's regional setting
};

// Parses them. On --help prints `usage` and gives exit code 0; on a usage error, or a project folder that
// does not exist, says why with `usage` on standard error and gives exit code 2.
std::variant<ProjectArguments, int> parseProjectArguments(const std::vector<std::string>& args,
                                                          const char* usage);

} // namespace sw::cli
