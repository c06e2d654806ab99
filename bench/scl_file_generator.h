#pragma once

#include <cstddef>
#include <string>

namespace sw::bench {

// Shape of a synthetic single-IED ICD: every logical node expands a few hundred objects from shared
// templates, and each node carries a data set whose members point into its logical device.
struct IcdShape {
    int lDevices = 200;
    int nodesPerDevice = 100;
    int membersPerDataSet = 26;
    int typeVariants = 500; // distinct copies of each template family: thousands of types in all
};

// A single-IED ICD of that shape, the templates after the IED as SCL orders them.
std::string generateIcd(const IcdShape& shape, const std::string& iedName = "Big");

// An SCD whose first IED is small and whose other IEDs, all of the given total size, are only parsed.
std::string generateScd(std::size_t targetBytes);

} // namespace sw::bench
