#include "commands.h"

#include <iostream>

namespace sw::cli {

int runDump(const std::vector<std::string>&) {
    std::cerr << "The dump command is not available yet.\n";
    return 2;
}

} // namespace sw::cli
