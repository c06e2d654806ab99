#include "commands.h"

#include "core/options/version_check.h"

#include <iostream>

namespace sw::cli {

int runCheckVersion(const std::vector<std::string>& args) {
    VersionService service = makerVersionService();
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--url" && i + 1 < args.size()) {
            service.base = args[++i];
        } else {
            std::cerr << "Unexpected argument \"" << args[i]
                      << "\".\nUsage: sw40512-cli check-version [--url BASE]\n";
            return 2;
        }
    }
    if (!versionCheckAvailable()) {
        std::cerr << "The version check is not available in this build.\n";
        return 1;
    }
    // Any failure to reach the service counts as no newer version, as in the program.
    std::cout << (checkVersion(service) ? "newer" : "not newer") << "\n";
    return 0;
}

} // namespace sw::cli
