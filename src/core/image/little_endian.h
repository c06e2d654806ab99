#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// The device reads every multi-byte field little-endian, whatever the host's byte order.
namespace sw::image {

inline void putU16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void putU32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

inline void putF32(std::uint8_t* at, float value) {
    std::uint32_t bits = 0;
    static_assert(sizeof bits == sizeof value);
    std::memcpy(&bits, &value, sizeof bits);
    putU32(at, bits);
}

inline std::uint16_t getU16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

inline std::uint32_t getU32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
           (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

inline float getF32(const std::uint8_t* at) {
    const std::uint32_t bits = getU32(at);
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace sw::image
