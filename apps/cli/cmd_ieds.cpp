#include "commands.h"

#include "core/scl/scl_model.h"

#include <filesystem>
#include <iostream>
#include <string>

namespace sw::cli {

// Lists the IEDs of an SCL file, one a line: name, IP address (or "-") and description.
int runIeds(const std::vector<std::string>& args) {
    if (args.size() != 1 || args.front().empty()) {
        std::cerr << "Usage: sw40512-cli ieds FILE\n";
        return 2;
    }
    const std::filesystem::path file(args.front());
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        std::cerr << "The file \"" << args.front() << "\" does not exist.\n";
        return 1;
    }
    try {
        std::string out;
        for (const SclIedSummary& ied : listIeds(file)) {
            out +=
                ied.name + ' ' + (ied.ipAddress.empty() ? std::string("-") : ied.ipAddress) + ' ' + ied.desc;
            out += '\n';
        }
        std::cout << out;
    } catch (const std::exception& failure) {
        std::cerr << failure.what() << "\n";
        return 1;
    }
    return 0;
}

} // namespace sw::cli
