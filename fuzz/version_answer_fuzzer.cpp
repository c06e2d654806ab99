#include "core/options/version_check.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// Any bytes as the version service's answer: reading it must never fail, and a version is four digits.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view answer(reinterpret_cast<const char*>(data), size);
    const int version = sw::versionNumber(answer);
    if (version < -1 || version > 9999) {
        __builtin_trap();
    }
    if (sw::isNewerVersion(answer, "9.999")) {
        __builtin_trap();
    }
    return 0;
}
