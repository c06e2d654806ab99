#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

// The converter's 2048-byte general parameter block (bank1.bin).
namespace sw::image {

struct TIEC61850_Client;

inline constexpr std::size_t kParameterBlockSize = 2048;
inline constexpr std::size_t kImageAddressOffset = 0x5EC;
inline constexpr std::size_t kChecksumOffset = 0x7FC;

using ParameterBytes = std::array<std::uint8_t, kParameterBlockSize>;

// The fixed default block; every byte the project does not set keeps its value from here.
const ParameterBytes& defaultParameterBlock();

// Sum of the bytes before the checksum field, each unsigned.
std::uint32_t parameterChecksum(const std::uint8_t* block);

class ParameterBlock {
public:
    ParameterBlock() { Set_Default_Parameters(); }

    void Set_Default_Parameters();

    // Fills the block's fields and the client header's vLan and appID from the parameter file; a
    // missing file changes nothing, a missing or unreadable key takes its own fallback. Throws
    // ConfigError when the file exists but is not well-formed XML.
    void Load_ParGen(const std::filesystem::path& parGenFile, TIEC61850_Client& client);

    void storeImageAddress(std::uint32_t address);

    // Stores the checksum, copies the block into `buffer` at `position` (growing it as needed) and
    // returns the position after it.
    std::size_t Write_Parameter_Block(std::size_t position, std::vector<std::uint8_t>& buffer);

    const ParameterBytes& bytes() const { return m_bytes; }

private:
    ParameterBytes m_bytes{};
};

} // namespace sw::image
