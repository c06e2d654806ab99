#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace sw {

// Longest VLAN index the user may type.
inline constexpr std::size_t kVlanMaxLength = 8;

// Whether an edit of the VLAN field from `before` to `after` may happen: whatever it inserts must be digits,
// and it may not grow the text beyond kVlanMaxLength. Deleting is always allowed, so a value loaded from a
// file that breaks the rule can still be corrected; loading itself is not held to the rule, so such values
// round-trip unchanged.
bool acceptsVlanEdit(std::string_view before, std::string_view after);

// Whether `text` may be typed into an empty VLAN field: digits only, at most kVlanMaxLength of them.
bool acceptsVlanInput(std::string_view text);

// The twelve address byte fields form one chain (IP1..IP4, SM1..SM4, GAT1..GAT4) through which "." moves
// the cursor, so an address can be typed in one go.
inline constexpr std::size_t kByteFieldCount = 12;

// The chain position that "." typed at `position` moves to; none at the last field, where it is swallowed.
std::optional<std::size_t> nextByteField(std::size_t position);

} // namespace sw
