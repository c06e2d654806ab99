#include "core/image/text_area.h"

#include "core/common/config_error.h"
#include "core/common/utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace sw::image {

ImageString TextArea::append(const char* text, std::size_t size) {
    if (m_capacity - m_size <= size) {
        grow(size + 1);
    }
    const std::size_t start = m_size;
    std::memcpy(m_bytes.get() + start, text, size);
    m_bytes[start + size] = 0;
    m_size = start + size + 1;
    // Whether any byte is outside ASCII, a word at a time.
    std::uint64_t seen = 0;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text + i, 8);
        seen |= word;
    }
    for (; i < size; ++i) {
        seen |= static_cast<unsigned char>(text[i]);
    }
    if ((seen & 0x8080808080808080ULL) != 0) {
        return appendConverted(start, {text, size});
    }
    return {start, size};
}

ImageString TextArea::appendConverted(std::size_t start, std::string_view text) {
    // One byte per UTF-16 unit never takes more room than the UTF-8 bytes already copied.
    const std::u16string units = utf8::toUtf16(text);
    for (char16_t unit : units) {
        // The device keeps the low byte of each unit; a zero there would end the text early and shift
        // every text after it.
        if ((unit & 0xFF) == 0) {
            m_size = start;
            char code[8];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(unit));
            throw ConfigError(std::string("holds the character ") + code + ", which the device cannot store");
        }
    }
    m_size = start;
    for (char16_t unit : units) {
        m_bytes[m_size++] = static_cast<char>(unit & 0xFF);
    }
    m_bytes[m_size++] = 0;
    return {start, units.size()};
}

void TextArea::grow(std::size_t needed) {
    const std::size_t capacity = std::max({m_capacity * 2, m_size + needed, std::size_t{64 * 1024}});
    auto bytes = std::make_unique_for_overwrite<char[]>(capacity);
    if (m_size > 0) {
        std::memcpy(bytes.get(), m_bytes.get(), m_size);
    }
    m_bytes = std::move(bytes);
    m_capacity = capacity;
}

} // namespace sw::image
