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
    // Judged, an answer is newer, not newer or no version; the part shown of it is short and printable.
    const sw::VersionCheckResult judged = sw::judgeVersionAnswer(answer, "1.000");
    if (judged.newer() != sw::isNewerVersion(answer, "1.000") || judged.detail.size() > 48) {
        __builtin_trap();
    }
    return 0;
}
