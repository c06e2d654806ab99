#include "commands.h"

#include "core/image/image_decoder.h"

#include <iostream>

namespace sw::cli {

// Prints a device image in readable form; exits 1 when it holds an inconsistency the device would trip on.
int runDump(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::cerr << "Usage: sw40512-cli dump FILE\n";
        return 2;
    }
    const image::ImageReport report = image::decodeImageFile(args[0]);
    std::cout << report.dump;
    if (report.consistent()) {
        std::cout << "consistent\n";
        return 0;
    }
    std::cout << report.problems.size() << " inconsistenc" << (report.problems.size() == 1 ? "y" : "ies")
              << ":\n";
    for (const std::string& problem : report.problems) {
        std::cout << "  " << problem << '\n';
    }
    return 1;
}

} // namespace sw::cli
