#pragma once

#include "core/image/image_builder.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

// Reads the device images back and checks them the way the converter would rely on them: the parameter
// block's checksum and fixed bytes, the variable image's header, tables and every string address.
namespace sw::image {

enum class ImageKind { Parameter, Variable };

struct ImageReport {
    ImageKind kind = ImageKind::Parameter;
    std::vector<std::string> problems; // one sentence per inconsistency; empty for a sound image
    std::string dump;                  // the decoded fields, one per line

    bool consistent() const { return problems.empty(); }
};

ImageReport decodeParameterImage(std::span<const std::uint8_t> bytes);
ImageReport decodeVariableImage(std::span<const std::uint8_t> bytes, std::uint32_t imageBase = Image_Base);

// What the two images share must agree: the variable image is built for the address the parameter
// block sends it to. One sentence per mismatch; images too short to hold the fields are left to their
// own reports.
std::vector<std::string> checkImagePair(std::span<const std::uint8_t> bank1,
                                        std::span<const std::uint8_t> bank2);

// Decodes a file as the parameter block when it is named bank1*, as the variable image when it is named
// bank2*, otherwise by its size (2048 bytes: the parameter block). Throws ConfigError when it cannot
// be read.
ImageReport decodeImageFile(const std::filesystem::path& file);

} // namespace sw::image
