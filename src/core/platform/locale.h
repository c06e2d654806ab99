#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sw::platform {

// The decimal symbol of the user's regional settings (Windows) or numeric locale (POSIX, from LC_ALL,
// LC_NUMERIC, LANG in that order, read without touching the process-wide C locale); empty when none is
// set or the system does not tell.
std::string userDecimalSymbol();

// A text without a byte-order mark decoded as every program of the system reads one: in the system's
// ANSI code page, as UTF-8. Empty (no value) where the system has no such code page (POSIX), which
// leaves the choice to the caller.
std::optional<std::string> decodeAnsiCodePage(std::string_view bytes);

} // namespace sw::platform
