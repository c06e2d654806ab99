#include "core/platform/console.h"
#include "core/platform/paths.h"
#include "core/shell/program_state.h"
#include "core/shell/startup.h"
#include "core/update/updater_job.h"

#include <iostream>
#include <string>

// Stand-in for the maker's updater: started without arguments beside the configurator, it reads the
// job file there, checks it and the images it names, and tells what a transfer would do.
int main(int argc, char** argv) {
    sw::platform::prepareConsoleOutput();
    if (argc > 1) {
        const std::string option = argv[1];
        if (option == "--help" || option == "-h") {
            std::cout << "Ethernet_Update " << sw::kSoftwareVersion
                      << " - stand-in updater: reads Ethernet_Update.xml beside this program, checks the\n"
                         "firmware and images it names and prints the transfer it would make.\n"
                         "Usage: Ethernet_Update [--help | --version]\n";
            return 0;
        }
        if (option == "--version") {
            std::cout << "Ethernet_Update " << sw::kSoftwareVersion << "\n";
            return 0;
        }
        std::cerr << "Ethernet_Update takes no arguments. Try --help.\n";
        return 2;
    }
    const sw::UpdaterRun run = sw::runUpdaterJob(sw::platform::executableFolder());
    for (const std::string& line : run.transfer) {
        std::cout << line << "\n";
    }
    if (!run.sound()) {
        std::cerr << "Ethernet_Update: the update job cannot be carried out:\n";
        for (const std::string& problem : run.problems) {
            std::cerr << "  " << problem << "\n";
        }
        return 1;
    }
    std::cout << "The job is sound. Nothing was sent: this program only stands in for the updater.\n";
    return 0;
}
