#include "core/image/image_text.h"

#include <cstdint>

namespace sw::image {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Length of the UTF-8 sequence led by `lead`, or 0 when it cannot lead one.
int sequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

} // namespace

std::u16string toUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int length = sequenceLength(lead);
        if (length == 1) {
            out += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        if (length == 0 || i + static_cast<std::size_t>(length) > utf8.size()) {
            out += kReplacement;
            ++i;
            continue;
        }
        std::uint32_t code = lead & (0xFFu >> (length + 1));
        bool valid = true;
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            code = (code << 6) | (next & 0x3Fu);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not characters.
        const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
        if (!valid || overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
            out += kReplacement;
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
        i += static_cast<std::size_t>(length);
    }
    return out;
}

std::string toImageBytes(std::u16string_view text) {
    std::string bytes(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        bytes[i] = static_cast<char>(text[i] & 0xFF);
    }
    return bytes;
}

std::string imageBytesToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto value = static_cast<unsigned char>(c);
        if (value < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (value >> 6));
            out += static_cast<char>(0x80 | (value & 0x3F));
        }
    }
    return out;
}

} // namespace sw::image
