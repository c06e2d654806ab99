#include "commands.h"

#include "core/access/access_file.h"
#include "core/common/escaped_text.h"
#include "core/common/ip_address.h"
#include "core/common/numbers.h"
#include "core/common/path_text.h"
#include "core/live/simulation.h"
#include "core/platform/console.h"
#include "core/project/project_paths.h"
#include "core/scl/scl_model.h"

#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace sw::cli {

namespace {

constexpr const char* kUsage =
    "Usage: sw40512-cli simulate PROJECT_FOLDER [--bind ADDRESS]\n"
    "       sw40512-cli simulate FILE --ied NAME --port PORT [--bind ADDRESS]\n"
    "Serves IEC 61850 devices simulated from their SCL over MMS until interrupted: every device of the\n"
    "project's catalog, each at a port of its own, or one IED of any SCL file. One line per device:\n"
    "  IED_NAME ADDRESS_IN_THE_FILE|- ADDRESS:PORT\n"
    "Values are neutral, measured values (fc MX) move slowly, written values stay. No GOOSE is sent, no\n"
    "report, and there is no security. ADDRESS is 127.0.0.1 unless another local address is named.\n";

// Waits for SIGINT or SIGTERM; where the system has no such signals, until the process is ended.
void waitForTermination() {
    const int descriptor = platform::terminationDescriptor();
    if (descriptor >= 0) {
        platform::takeTermination(descriptor);
        return;
    }
    for (;;) {
        std::this_thread::sleep_for(std::chrono::hours(1));
    }
}

} // namespace

int runSimulate(const std::vector<std::string>& args) {
    std::optional<std::filesystem::path> source;
    std::string iedName;
    std::optional<std::uint16_t> port;
    std::string bind = "127.0.0.1";
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&]() -> std::string { return i + 1 < args.size() ? args[++i] : std::string(); };
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--ied") {
            iedName = value();
        } else if (arg == "--port") {
            const std::string text = value();
            const std::optional<std::int32_t> number = parseInteger(text);
            if (!number || *number < 1 || *number > 65535) {
                std::cerr << "The port must be a number from 1 to 65535, not \""
                          << escapeControlCharacters(text) << "\".\n";
                return 2;
            }
            port = static_cast<std::uint16_t>(*number);
        } else if (arg == "--bind") {
            const std::string text = value();
            const std::optional<std::string> canonical = canonicalIpAddress(text);
            if (!canonical) {
                std::cerr << "The address to bind must be an IPv4 address, not \""
                          << escapeControlCharacters(text) << "\".\n";
                return 2;
            }
            bind = *canonical;
        } else if (!source && arg.rfind("--", 0) != 0) {
            source = pathFromUtf8(arg);
        } else {
            std::cerr << "Unexpected argument \"" << escapeControlCharacters(arg) << "\".\n" << kUsage;
            return 2;
        }
    }
    std::error_code error;
    // A project's devices each get a port of their own: --ied and --port belong to a single file.
    const bool project = source && std::filesystem::is_directory(*source, error);
    if (!source || (project ? (!iedName.empty() || port) : (iedName.empty() || !port))) {
        std::cerr << kUsage;
        return 2;
    }
    const std::uint32_t address = ipv4Address(bind);

    const auto printDevice = [&bind](const SclIed& ied, std::uint16_t servedPort) {
        const std::string& standsFor = ied.ipAddress();
        std::cout << escapeControlCharacters(ied.fName()) << ' '
                  << (standsFor.empty() ? std::string("-") : escapeControlCharacters(standsFor)) << ' '
                  << bind << ':' << servedPort << '\n';
    };
    std::unique_ptr<live::SimulatedCatalog> catalog;
    std::unique_ptr<SclIed> ied;
    std::unique_ptr<live::SimulatedDevice> served;
    if (project) {
        const ProjectPaths paths(*source);
        const access::AccessFile file = access::readAccessFile(paths.accessFile());
        catalog = std::make_unique<live::SimulatedCatalog>(paths.icdCatalog(), file.catalog, address);
        for (const std::string& skipped : catalog->skipped()) {
            std::cerr << escapeControlCharacters(skipped) << " It is not simulated.\n";
        }
        for (const live::SimulatedCatalog::Device& device : catalog->devices()) {
            printDevice(*device.ied, device.served->port());
        }
    } else {
        std::size_t sameName = 0;
        ied = SclIed::loadIedAt(*source, iedName, 0, sameName);
        if (!ied) {
            std::cerr << "The file \"" << escapeControlCharacters(utf8Of(*source)) << "\" holds no IED \""
                      << escapeControlCharacters(iedName) << "\".\n";
            return 1;
        }
        served = std::make_unique<live::SimulatedDevice>(*ied, address, *port);
        printDevice(*ied, served->port());
    }
    std::cout << std::flush;
    waitForTermination();
    return 0;
}

} // namespace sw::cli
