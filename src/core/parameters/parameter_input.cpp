#include "core/parameters/parameter_input.h"

#include <algorithm>

namespace sw {

bool acceptsVlanEdit(std::string_view before, std::string_view after) {
    // What the edit inserted is what lies between the parts it left alone at both ends.
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) {
        ++prefix;
    }
    std::size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
        ++suffix;
    }
    const std::string_view inserted = after.substr(prefix, after.size() - prefix - suffix);
    const bool digitsOnly =
        std::all_of(inserted.begin(), inserted.end(), [](char c) { return c >= '0' && c <= '9'; });
    return digitsOnly && (after.size() <= kVlanMaxLength || after.size() <= before.size());
}

bool acceptsVlanInput(std::string_view text) {
    return acceptsVlanEdit({}, text);
}

std::optional<std::size_t> nextByteField(std::size_t position) {
    if (position + 1 >= kByteFieldCount) {
        return std::nullopt;
    }
    return position + 1;
}

} // namespace sw
