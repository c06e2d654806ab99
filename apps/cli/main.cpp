#include "commands.h"

#include "core/common/config_error.h"
#include "core/common/escaped_text.h"
#include "core/platform/console.h"
#include "core/shell/program_state.h"

#include <cstring>
#include <functional>
#include <iostream>
#include <new>
#include <string>
#include <vector>

namespace {

struct Command {
    const char* name;
    const char* usage;
    int (*run)(const std::vector<std::string>&);
};

const Command kCommands[] = {
    {"parameters",
     "parameters PROJECT_FOLDER [NAME=VALUE ...]   show or set the communication parameters\n"
     "                                              (control characters in values are shown escaped)",
     sw::cli::runParameters},
    {"tree",
     "tree [--count] [--ied NAME [--ied-position N]] FILE\n"
     "                                              print the model of an SCL file (its first IED, or NAME;\n"
     "                                              the N-th of the IEDs that share NAME)",
     sw::cli::runTree},
    {"ieds",
     "ieds FILE                                   list the IEDs of an SCL file: NAME IP|- DESCRIPTION\n"
     "                                              [name shared: K of N] for a name several IEDs share",
     sw::cli::runIeds},
    {"build", "build PROJECT_FOLDER [--decimal-separator , | .]   build bank1.bin and bank2.bin",
     sw::cli::runBuild},
    {"dump", "dump FILE [FILE]                            decode and check bank1.bin, bank2.bin or the pair",
     sw::cli::runDump},
    {"check",
     "check PROJECT_FOLDER [--decimal-separator , | .]   check a project as the dialogs' OK buttons would:\n"
     "                                              the catalog, then OK or the first failing message",
     sw::cli::runCheck},
    {"lint",
     "lint PROJECT_FOLDER                         warnings about the signal list, one a line (exit 1 when "
     "any)",
     sw::cli::runLint},
    {"export",
     "export PROJECT_FOLDER --csv FILE            the variables to FILE, the data sets to FILE.datasets.csv",
     sw::cli::runExport},
    {"import",
     "import PROJECT_FOLDER --csv FILE [--decimal-separator , | .]\n"
     "                                              the variables table from FILE, only when every row "
     "passes",
     sw::cli::runImport},
    {"report",
     "report PROJECT_FOLDER [-o FILE] [--decimal-separator , | .]\n"
     "                                              write the commissioning report (one HTML page)",
     sw::cli::runReport},
    {"update",
     "update PROJECT_FOLDER --ip A.B.C.D [--option firmware+configuration|firmware|configuration]\n"
     "       [--no-read-back] [--program-folder DIR]\n"
     "                                              build, check the device answers, write the job file\n"
     "                                              and run the updater",
     sw::cli::runUpdate},
    {"check-version",
     "check-version [--url BASE]                  ask the version service (or BASE, e.g. "
     "http://127.0.0.1:8080)\n"
     "                                              whether a newer version exists: newer (exit code 0),\n"
     "                                              not newer (3) or could not check (REASON) (1)",
     sw::cli::runCheckVersion},
    {"live",
     "live PROJECT_FOLDER [--timeout SECONDS]     check the access list against its servers over MMS:\n"
     "                                              one line per row, exit 0 when every row is ok",
     sw::cli::runLive},
    {"simulate",
     "simulate PROJECT_FOLDER | FILE --ied NAME --port PORT [--bind ADDRESS]\n"
     "                                              serve the catalog's devices (or one IED) simulated from\n"
     "                                              their SCL on 127.0.0.1 until interrupted",
     sw::cli::runSimulate},
};

void printHelp(std::ostream& out) {
    out << "sw40512-cli " << sw::kSoftwareVersion << " - headless companion of the " << sw::kSoftwareCode
        << " configurator (" << sw::kSoftwareDescription << ")\n\n"
        << "Usage: sw40512-cli COMMAND [ARGUMENTS]\n\nCommands:\n";
    for (const auto& command : kCommands) {
        out << "  " << command.usage << "\n";
    }
    out << "\n  --help      show this text\n  --version   show the version\n"
        << "\nNames and texts taken from files are printed with control characters escaped (\\n, \\r, \\t,\n"
        << "\\\\, \\xNN, \\u00NN), so that each printed line is one entry.\n";
}

} // namespace

int main(int argc, char** argv) {
    sw::platform::prepareConsoleOutput();
    const std::vector<std::string> arguments = sw::platform::utf8Arguments(argc, argv);
    argc = static_cast<int>(arguments.size());
    if (argc < 2) {
        printHelp(std::cerr);
        return 2;
    }
    const std::string first = arguments[1];
    if (first == "--help" || first == "-h") {
        printHelp(std::cout);
        return 0;
    }
    if (first == "--version") {
        std::cout << "sw40512-cli " << sw::kSoftwareVersion << "\n";
        return 0;
    }
    for (const auto& command : kCommands) {
        if (first == command.name) {
            try {
                return command.run(std::vector<std::string>(arguments.begin() + 2, arguments.end()));
            } catch (const std::bad_alloc&) {
                std::cerr << "Not enough memory to finish the command \"" << command.name << "\".\n";
                return 1;
            } catch (const std::exception& error) {
                std::cerr << sw::escapeControlCharacters(error.what()) << "\n";
                return 1;
            }
        }
    }
    std::cerr << "Unknown command \"" << sw::escapeControlCharacters(first)
              << "\". Try sw40512-cli --help.\n";
    return 2;
}
