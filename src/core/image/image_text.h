#pragma once

#include <string>
#include <string_view>

namespace sw::image {

// The device counts string lengths in UTF-16 code units and stores one byte per unit, so the core's UTF-8
// text is converted explicitly before it is laid out. A byte that does not belong to a valid UTF-8
// sequence becomes U+FFFD, one unit, so a damaged file still gives a well-formed image.
std::u16string toUtf16(std::string_view utf8);

// The image form of a text: the low 8 bits of each code unit (U+0000..U+00FF come out as ISO 8859-1).
std::string toImageBytes(std::u16string_view text);

// Image bytes shown as readable UTF-8 (each byte taken as ISO 8859-1), for dumps.
std::string imageBytesToUtf8(std::string_view bytes);

} // namespace sw::image
