#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

// The converter's 2048-byte general parameter block (bank1.bin).
namespace sw::image {

struct VariableImage;

inline constexpr std::size_t kParameterBlockSize = 2048;

// Where the fields the project sets sit in the block; the builder writes them there and the decoder
// reads them back from there. Every other byte keeps its default.
inline constexpr std::size_t kIpAddressOffset = 0x028;
inline constexpr std::size_t kSubnetMaskOffset = 0x02C;
inline constexpr std::size_t kGatewayOffset = 0x030;
inline constexpr std::size_t kSerialTypeOffset = 0x061;
inline constexpr std::size_t kBaudRateOffset = 0x190;
inline constexpr std::size_t kBaudRateCopyOffset = 0x19C;
inline constexpr std::size_t kParityOffset = 0x1A8;
inline constexpr std::size_t kParityCopyOffset = 0x1AB;
inline constexpr std::size_t kStopBitsOffset = 0x1AE;
inline constexpr std::size_t kStopBitsCopyOffset = 0x1B1;
inline constexpr std::size_t kDataBitsOffset = 0x1B4;
inline constexpr std::size_t kDataBitsCopyOffset = 0x1B7;
inline constexpr std::size_t kImageAddressOffset = 0x5EC;
inline constexpr std::size_t kChecksumOffset = 0x7FC;
inline constexpr std::uint8_t kDataBits = 8;

struct ParameterField {
    std::size_t offset;
    std::size_t size;
};
// Every byte range the project sets, the checksum included.
inline constexpr ParameterField kParameterFields[] = {
    {kIpAddressOffset, 12}, {kSerialTypeOffset, 1},   {kBaudRateOffset, 4},     {kBaudRateCopyOffset, 4},
    {kParityOffset, 1},     {kParityCopyOffset, 1},   {kStopBitsOffset, 1},     {kStopBitsCopyOffset, 1},
    {kDataBitsOffset, 1},   {kDataBitsCopyOffset, 1}, {kImageAddressOffset, 4}, {kChecksumOffset, 4}};

using ParameterBytes = std::array<std::uint8_t, kParameterBlockSize>;

// The fixed default block; every byte the project does not set keeps its value from here.
const ParameterBytes& defaultParameterBlock();

// Sum of the bytes before the checksum field, each unsigned.
std::uint32_t parameterChecksum(const std::uint8_t* block);

class ParameterBlock {
public:
    ParameterBlock() { setDefaultParameters(); }

    void setDefaultParameters();

    // Fills the block's fields and the client header's vLan and appID from the parameter file; a
    // missing file changes nothing, a missing or unreadable key takes its own fallback. Throws
    // ConfigError when the file exists but is not well-formed XML.
    void loadParameterFile(const std::filesystem::path& parGenFile, VariableImage& client);

    void storeImageAddress(std::uint32_t address);

    // Stores the checksum, copies the block into `buffer` at `position` (growing it as needed) and
    // returns the position after it.
    std::size_t writeParameterBlock(std::size_t position, std::vector<std::uint8_t>& buffer);

    const ParameterBytes& bytes() const { return m_bytes; }

private:
    ParameterBytes m_bytes{};
};

} // namespace sw::image
