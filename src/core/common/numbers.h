#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace sw {

// The system's one integer conversion: leading blanks, an optional sign, decimal digits and nothing
// after them, within 32 bits. The dialog checks and the image builders agree because both call it.
std::optional<std::int32_t> parseInteger(std::string_view text);

// A decimal number whose decimal mark is the given separator; blanks around it are allowed, an
// exponent too. The other mark, thousands separators, infinities and NaN are refused.
std::optional<double> parseFloat(std::string_view text, char decimalSeparator);

// Accepts either decimal mark: the other one is replaced by the separator first. On failure the
// output is 1.0.
bool Check_Float(std::string_view text, char decimalSeparator, float& value);

// The user's regional decimal separator, "," or "."; "," when it cannot be read or is anything else.
char Get_Decimal_Separator();

// The rule applied to a raw regional setting, apart so that it can be checked on its own.
char decimalSeparatorFrom(std::string_view regionalSetting);

} // namespace sw
