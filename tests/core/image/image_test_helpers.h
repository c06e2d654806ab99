#pragma once

#include "core/image/image_builder.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace sw::test::image {

using Bytes = std::vector<std::uint8_t>;

inline std::filesystem::path fixture(const std::string& name) {
    return std::filesystem::path(SW_FIXTURES_DIR) / "image" / name;
}

// A path that exists nowhere: the builder reads it as "no such project file".
inline std::filesystem::path absentFile() {
    return std::filesystem::path(SW_FIXTURES_DIR) / "image" / "absent.xml";
}

inline Bytes slice(const Bytes& bytes, std::size_t offset, std::size_t count) {
    if (offset + count > bytes.size()) {
        return {};
    }
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                 bytes.begin() + static_cast<std::ptrdiff_t>(offset + count));
}

inline std::uint32_t u32At(const Bytes& bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes.at(offset)) |
           (static_cast<std::uint32_t>(bytes.at(offset + 1)) << 8) |
           (static_cast<std::uint32_t>(bytes.at(offset + 2)) << 16) |
           (static_cast<std::uint32_t>(bytes.at(offset + 3)) << 24);
}

inline Bytes latin1(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

} // namespace sw::test::image
