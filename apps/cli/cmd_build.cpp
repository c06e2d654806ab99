#include "commands.h"

#include <iostream>

namespace sw::cli {

int runBuild(const std::vector<std::string>&) {
    std::cerr << "The build command is not available yet.\n";
    return 2;
}

} // namespace sw::cli
