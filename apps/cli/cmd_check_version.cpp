#include "commands.h"

#include "core/language/builtin_texts.h"
#include "core/language/lang_table.h"
#include "core/language/window_texts.h"
#include "core/options/version_check.h"

#include <iostream>

namespace sw::cli {

namespace {

constexpr const char* kUsage = "Usage: sw40512-cli check-version [--url BASE]\n"
                               "Prints \"newer\" (exit code 0), \"not newer\" (exit code 3) or \"could not "
                               "check (REASON)\" (exit code 1);\n"
                               "wrong arguments end with exit code 2.\n";

// The exit codes, so that a script can tell a failed check from an answer.
constexpr int kExitNewer = 0;
constexpr int kExitCouldNotCheck = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNotNewer = 3;

std::string withArgument(std::string text, const std::string& argument) {
    if (const auto at = text.find("%1"); at != std::string::npos) {
        text.replace(at, 2, argument);
    }
    return text;
}

} // namespace

int runCheckVersion(const std::vector<std::string>& args) {
    VersionService service = makerVersionService();
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--url" && i + 1 < args.size()) {
            service.base = args[++i];
        } else {
            std::cerr << "Unexpected argument \"" << args[i] << "\".\n" << kUsage;
            return kExitUsage;
        }
    }
    const VersionCheckResult result = checkVersionOnline(service);
    switch (result.outcome) {
    case VersionCheckResult::Outcome::Newer:
        std::cout << "newer\n";
        return kExitNewer;
    case VersionCheckResult::Outcome::NotNewer:
        std::cout << "not newer\n";
        return kExitNotNewer;
    case VersionCheckResult::Outcome::Failed:
        break;
    }
    LangTable texts;
    fillBuiltinTexts(texts);
    std::cout << "could not check ("
              << withArgument(texts.Get(versionFailureText(result.failure)), result.detail) << ")\n";
    return kExitCouldNotCheck;
}

} // namespace sw::cli
