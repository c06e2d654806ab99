#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// UTF-8 as the whole core handles it: the one encoder, the one validity rule and the one conversion to
// UTF-16 code units.
namespace sw::utf8 {

inline constexpr char32_t kReplacement = 0xFFFD;

// Appends the code point's UTF-8 form; the caller passes a Unicode scalar value.
void append(std::string& out, char32_t codePoint);

// Length of the well-formed UTF-8 sequence at `pos`, or 0 when the bytes there are not one (overlong
// forms, surrogates, values past U+10FFFF and sequences cut short by the end all count as not one).
std::size_t sequenceLength(std::string_view text, std::size_t pos);

bool isValid(std::string_view text);

// Every byte that does not belong to a well-formed sequence becomes U+FFFD.
std::string repair(std::string_view text);

// UTF-16 code units of the text; a byte that does not belong to a well-formed sequence becomes one
// U+FFFD unit, so damaged input still gives a well-formed result.
std::u16string toUtf16(std::string_view text);

} // namespace sw::utf8
