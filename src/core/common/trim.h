#pragma once

#include <string_view>

namespace sw {

// The text without the characters `isBlank` accepts at either end.
template <class IsBlank> std::string_view trimmedBy(std::string_view text, IsBlank isBlank) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The text without blanks and control characters (every byte up to the space) at either end: what a
// typed or imported cell, a language file's line or a server's answer may carry around its value.
inline std::string_view trimmedOfControls(std::string_view text) {
    return trimmedBy(text, [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

} // namespace sw
