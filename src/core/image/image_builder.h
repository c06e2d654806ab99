#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace sw {

// The device address of the variable image: the update sends bank2.bin there and every address inside
// it is built for it.
inline constexpr std::uint32_t Image_Base = 0x80000;

// The two device images as they go to the device.
struct BuildResult {
    std::vector<std::uint8_t> bank1; // the parameter block, always 2048 bytes
    std::vector<std::uint8_t> bank2; // the variable image, at least 24 bytes
};

// Builds both images from the project's parameter file and access file as they are on disk; a missing
// file is not an error and gives the defaults. `decimalSeparator` is the one mark accepted in the
// multiplication factors. Throws ConfigError, saying what is wrong and where, when a file does not parse,
// lacks what the image needs, or the image would not fit the device.
BuildResult buildImages(const std::filesystem::path& parGenFile, const std::filesystem::path& accessFile,
                        char decimalSeparator);

// Replaces bank1.bin and bank2.bin in `binFolder` as a pair: afterwards both are new, or, when one
// cannot be written, both are as they were. Throws ConfigError naming the file and the system's reason;
// the folder is not created here.
void saveImageFiles(const BuildResult& images, const std::filesystem::path& binFolder);

} // namespace sw
