#include "commands.h"

#include "core/access/access_file.h"
#include "core/common/escaped_text.h"
#include "core/common/numbers.h"
#include "core/common/path_text.h"
#include "core/live/live_check.h"
#include "core/live/simulation.h"
#include "core/platform/console.h"
#include "core/project/project_paths.h"

#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

namespace sw::cli {

namespace {

constexpr const char* kUsage =
    "Usage: sw40512-cli live PROJECT_FOLDER [--timeout SECONDS] [--simulated]\n"
    "Checks the project's access list against its IEC 61850 servers over MMS, one association per\n"
    "address and port of the list (nothing else is contacted). Nothing on a server is changed: a\n"
    "control (fc CO) is looked up, never read or written. One line per row, in row order:\n"
    "  var ROW ok VALUE | missing | type EXPECTED FOUND | unreachable REASON | error REASON | invalid "
    "REASON\n"
    "  ds ROW ok MEMBERS | missing | differs without REFERENCES | unreachable REASON | error REASON\n"
    "  goose ROW ok ATTRIBUTES | missing | differs publishes DATASET, not EXPECTED | error REASON\n"
    "                            (for data sets whose En. Goose is Y)\n"
    "unreachable: no association with the server; error: the server answered of no use, or refused.\n"
    "SECONDS (default 5) bounds the wait for a connection and for each answer; a server's whole\n"
    "exchange is cut off after 20 times that. Exit 0 when every row is ok, 1 otherwise.\n"
    "--simulated: checks against the devices of the project's catalog simulated from their SCL on\n"
    "127.0.0.1 instead of the real servers: a row goes to the device whose SCL gives its address, else\n"
    "to the device of its logical device.\n";

constexpr double kDefaultTimeout = 5.0;
constexpr double kMaxTimeout = 3600.0;
constexpr int kTotalPerRequest = 20;

} // namespace

int runLive(const std::vector<std::string>& args) {
    std::optional<std::filesystem::path> folder;
    double timeout = kDefaultTimeout;
    bool simulated = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--simulated") {
            simulated = true;
        } else if (arg == "--timeout" || arg.rfind("--timeout=", 0) == 0) {
            const std::string value = arg == "--timeout" ? (i + 1 < args.size() ? args[++i] : std::string())
                                                         : arg.substr(arg.find('=') + 1);
            const std::optional<double> seconds = parseFloat(value, '.');
            if (!seconds || !(*seconds > 0) || *seconds > kMaxTimeout) {
                std::cerr << "The time-out must be a number of seconds above 0 and up to 3600, not \""
                          << escapeControlCharacters(value) << "\".\n"
                          << kUsage;
                return 2;
            }
            timeout = *seconds;
        } else if (!folder && arg.rfind("--", 0) != 0) {
            folder = pathFromUtf8(arg);
        } else {
            std::cerr << "Unexpected argument \"" << escapeControlCharacters(arg) << "\".\n" << kUsage;
            return 2;
        }
    }
    if (!folder) {
        std::cerr << kUsage;
        return 2;
    }
    std::error_code error;
    if (!std::filesystem::is_directory(*folder, error)) {
        std::cerr << "The project folder \"" << escapeControlCharacters(utf8Of(*folder))
                  << "\" does not exist.\n";
        return 2;
    }
    const ProjectPaths paths(*folder);
    if (!std::filesystem::exists(paths.accessFile(), error)) {
        std::cerr << "The project has no access list (" << escapeControlCharacters(utf8Of(paths.accessFile()))
                  << ").\n";
        return 1;
    }

    std::vector<live::LiveRow> rows;
    live::LiveCheckOptions options;
    std::unique_ptr<live::SimulatedCatalog> simulation;
    if (simulated) {
        const access::AccessFile file = access::readAccessFile(paths.accessFile());
        rows = live::liveRows(file);
        simulation = std::make_unique<live::SimulatedCatalog>(paths.icdCatalog(), file.catalog);
        for (const std::string& skipped : simulation->skipped()) {
            std::cerr << escapeControlCharacters(skipped) << " It is not simulated.\n";
        }
        options.simulatedPort = [&simulation](const live::LiveRow& row) { return simulation->portFor(row); };
    } else {
        rows = live::liveRows(paths.accessFile());
    }
    const auto wait = std::chrono::milliseconds(static_cast<std::int64_t>(timeout * 1000.0 + 0.5));
    options.timeouts.connect = wait;
    options.timeouts.request = wait;
    options.timeouts.total = wait * kTotalPerRequest;
    // On a terminal one line on standard error, rewritten in place, tells how far the check has come;
    // elsewhere (a file, a pipe, a test) nothing.
    live::LiveProgress progress;
    bool progressShown = false;
    if (platform::standardErrorIsTerminal()) {
        progress = [&progressShown](const live::LiveCount& count) {
            std::cerr << "\rchecked " << count.rowsDone << " of " << count.rows << " rows, "
                      << count.serversDone << " of " << count.servers << " servers" << std::flush;
            progressShown = true;
        };
    }
    const std::vector<live::LiveResult> results = live::runLiveCheck(rows, options, progress);
    if (progressShown) {
        std::cerr << '\n' << std::flush;
    }
    bool allOk = true;
    for (const live::LiveResult& result : results) {
        std::cout << escapeControlCharacters(live::resultLine(result)) << '\n';
        allOk = allOk && result.status == live::LiveStatus::Ok;
    }
    return allOk ? 0 : 1;
}

} // namespace sw::cli
