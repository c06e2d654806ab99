#include "commands.h"

#include <iostream>

namespace sw::cli {

int runTree(const std::vector<std::string>&) {
    std::cerr << "The tree command is not available yet.\n";
    return 2;
}

} // namespace sw::cli
