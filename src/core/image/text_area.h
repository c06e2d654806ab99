#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace sw::image {

// A text in its image form (one byte per UTF-16 code unit, then a zero byte), kept in a text area rather
// than in the record: the area is then written in one piece, and a list of tens of thousands of entries
// costs no allocation per text.
struct ImageString {
    std::size_t offset = 0; // within its text area
    std::size_t length = 0; // in UTF-16 code units, the zero byte not counted
};

// Texts in image form, one after the other, each followed by its zero byte. Texts are copied straight
// from the parsed document: one pass finds the end, copies and notices non-ASCII bytes, and the storage
// is never zero-filled first.
class TextArea {
public:
    // Appends a UTF-8 text of `size` bytes (`text[size]` is its terminating zero) in image form. Throws
    // ConfigError ("holds the character ...") for a character whose image byte would be zero; nothing is
    // appended then.
    ImageString append(const char* text, std::size_t size);

    void clear() { m_size = 0; }
    std::size_t size() const { return m_size; }
    const char* data() const { return m_bytes.get(); }
    std::string_view view() const { return {m_bytes.get(), m_size}; }

private:
    void grow(std::size_t needed);
    ImageString appendConverted(std::size_t start, std::string_view text);

    std::unique_ptr<char[]> m_bytes;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

} // namespace sw::image
