#include "core/common/utf8.h"

namespace sw::utf8 {

void append(std::string& out, char32_t codePoint) {
    const auto byte = [](char32_t value) { return static_cast<char>(static_cast<unsigned char>(value)); };
    if (codePoint < 0x80) {
        out += byte(codePoint);
    } else if (codePoint < 0x800) {
        out += byte(0xC0 | (codePoint >> 6));
        out += byte(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += byte(0xE0 | (codePoint >> 12));
        out += byte(0x80 | ((codePoint >> 6) & 0x3F));
        out += byte(0x80 | (codePoint & 0x3F));
    } else {
        out += byte(0xF0 | (codePoint >> 18));
        out += byte(0x80 | ((codePoint >> 12) & 0x3F));
        out += byte(0x80 | ((codePoint >> 6) & 0x3F));
        out += byte(0x80 | (codePoint & 0x3F));
    }
}

std::size_t sequenceLength(std::string_view text, std::size_t pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    // The second byte's range also rules out overlong forms, surrogates and values past U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) {
            low = 0xA0;
        } else if (lead == 0xED) {
            high = 0x9F;
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) {
            low = 0x90;
        } else if (lead == 0xF4) {
            high = 0x8F;
        }
    } else {
        return 0;
    }
    if (pos + length > text.size()) {
        return 0;
    }
    if (byte(pos + 1) < low || byte(pos + 1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(pos + i) < 0x80 || byte(pos + i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

bool isValid(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t length = sequenceLength(text, pos);
        if (length == 0) {
            return false;
        }
        pos += length;
    }
    return true;
}

std::string repair(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t length = sequenceLength(text, pos);
        if (length == 0) {
            append(out, kReplacement);
            ++pos;
        } else {
            out.append(text.substr(pos, length));
            pos += length;
        }
    }
    return out;
}

std::u16string toUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t length = sequenceLength(text, pos);
        if (length == 0) {
            out += static_cast<char16_t>(kReplacement);
            ++pos;
            continue;
        }
        const auto lead = static_cast<unsigned char>(text[pos]);
        char32_t code = length == 1 ? lead : lead & (0xFFu >> (length + 1));
        for (std::size_t k = 1; k < length; ++k) {
            code = (code << 6) | (static_cast<unsigned char>(text[pos + k]) & 0x3Fu);
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
        pos += length;
    }
    return out;
}

} // namespace sw::utf8
