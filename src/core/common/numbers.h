#pragma once

#include <cstddef>
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

// The same two conversions for zero-terminated texts, as a reader of a big parsed file holds them. The
// plain forms that make up nearly all such files ("102", "0,5") are converted in the one pass that finds
// their end; anything else is measured and handed to the functions above, so the answer is always theirs.
std::optional<std::int32_t> parseTerminatedInteger(const char* text);
std::optional<double> parseTerminatedFloat(const char* text, char decimalSeparator);

// Accepts either decimal mark: the other one is replaced by the separator first. On failure the
// output is 1.0.
bool checkFloat(std::string_view text, char decimalSeparator, float& value);

// The user's regional decimal separator, "," or "."; "," when it cannot be read or is anything else.
char userDecimalSeparator();

// The rule applied to a raw regional setting, apart so that it can be checked on its own.
char decimalSeparatorFrom(std::string_view regionalSetting);

namespace detail {
inline bool isDigit(char c) {
    return static_cast<unsigned char>(c - '0') < 10;
}
} // namespace detail

inline std::optional<std::int32_t> parseTerminatedInteger(const char* text) {
    // Nine digits cannot leave the 32-bit range.
    std::uint32_t value = 0;
    std::size_t n = 0;
    while (n < 9 && detail::isDigit(text[n])) {
        value = value * 10 + static_cast<std::uint32_t>(text[n] - '0');
        ++n;
    }
    if (n > 0 && text[n] == 0) {
        return static_cast<std::int32_t>(value);
    }
    return parseInteger(std::string_view(text));
}

inline std::optional<double> parseTerminatedFloat(const char* text, char decimalSeparator) {
    // Up to 15 digits the digits form an exact double and so does the power of ten, and one division
    // of exact operands is correctly rounded: the same double that the full conversion gives.
    static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    constexpr std::size_t kMaxDigits = 15;
    if (decimalSeparator == ',' || decimalSeparator == '.') {
        std::uint64_t mantissa = 0;
        std::size_t i = 0;
        while (i <= kMaxDigits && detail::isDigit(text[i])) {
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[i] - '0');
            ++i;
        }
        std::size_t digits = i;
        std::size_t fraction = 0;
        if (digits > 0 && text[i] == decimalSeparator) {
            ++i;
            while (digits + fraction <= kMaxDigits && detail::isDigit(text[i])) {
                mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[i] - '0');
                ++i;
                ++fraction;
            }
            if (fraction == 0) {
                digits = 0; // a mark without digits after it is not a plain form
            }
        }
        if (digits > 0 && digits + fraction <= kMaxDigits && text[i] == 0) {
            return static_cast<double>(mantissa) / kPowersOfTen[fraction];
        }
    }
    return parseFloat(std::string_view(text), decimalSeparator);
}

} // namespace sw
