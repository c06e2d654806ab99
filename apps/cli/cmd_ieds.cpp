#include "commands.h"

#include "core/common/escaped_text.h"
#include "core/common/path_text.h"
#include "core/scl/scl_model.h"

#include <filesystem>
#include <iostream>
#include <string>

namespace sw::cli {

namespace {

constexpr const char* kUsage =
    "Usage: sw40512-cli ieds FILE\n"
    "Lists the IEDs of an SCL file, one a line: NAME IP|- DESCRIPTION. An IED whose name other IEDs of\n"
    "the file share ends with [name shared: K of N], K its place among them; \"tree --ied NAME\n"
    "--ied-position K\" shows that one. Control characters in the texts are shown escaped.\n";

} // namespace

// Lists the IEDs of an SCL file, one a line: name, IP address (or "-") and description.
int runIeds(const std::vector<std::string>& args) {
    if (args.size() == 1 && (args.front() == "--help" || args.front() == "-h")) {
        std::cout << kUsage;
        return 0;
    }
    if (args.size() != 1 || args.front().empty()) {
        std::cerr << kUsage;
        return 2;
    }
    const std::filesystem::path file = pathFromUtf8(args.front());
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        std::cerr << "The file \"" << escapeControlCharacters(args.front()) << "\" does not exist.\n";
        return 1;
    }
    try {
        std::string out;
        for (const SclIedSummary& ied : listIeds(file)) {
            appendEscaped(out, ied.name);
            out += ' ';
            appendEscaped(out, ied.ipAddress.empty() ? std::string("-") : ied.ipAddress);
            out += ' ';
            appendEscaped(out, ied.desc);
            if (ied.sameNameCount > 1) {
                out += " [name shared: " + std::to_string(ied.sameNamePosition) + " of " +
                       std::to_string(ied.sameNameCount) + "]";
            }
            out += '\n';
        }
        std::cout << out;
    } catch (const std::exception& failure) {
        std::cerr << escapeControlCharacters(failure.what()) << "\n";
        return 1;
    }
    return 0;
}

} // namespace sw::cli
