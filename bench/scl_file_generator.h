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

// An SCD whose first IED ("First") is small and whose other IEDs ("Ied1", "Ied2", ...), all of the given
// total size, are only parsed unless named; each IED is connected with an IP address.
std::string generateScd(std::size_t targetBytes);

// An SCD of `count` small IEDs ("Ied1", "Ied2", ...), each connected with an IP address in the
// Communication section in front of them: what grows is the number of IEDs, not their size.
std::string generateManyIeds(int count);

// Hostile shapes, refused by the loader. DOTypes that double at every level (each holds two SDOs of
// the next), under as many logical nodes as fill targetBytes.
std::string generateDoublingTypes(int levels, std::size_t targetBytes);

// One chain of DOTypes levels deep, each SDO named with nameLength bytes, under as many logical nodes
// as fill targetBytes.
std::string generateNameChain(int levels, std::size_t nameLength, std::size_t targetBytes);

} // namespace sw::bench
