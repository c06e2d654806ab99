#include "core/common/xml_stream.h"

#include "core/common/atomic_file.h"
#include "core/common/config_error.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sw::xml {

namespace {

enum CharClass : std::uint8_t {
    kSpace = 1,
    kNameStart = 2,
    kNameChar = 4,
    kStopInDouble = 8,  // ends a run of plain bytes in a "-quoted value
    kStopInSingle = 16, // ends a run of plain bytes in a '-quoted value
    kStopInText = 32,   // ends a run of text between tags
};

// Names are kept to ASCII: the full parser takes more, and then it reads the file.
constexpr std::array<std::uint8_t, 256> kClasses = [] {
    std::array<std::uint8_t, 256> table{};
    for (int c = 0; c < 256; ++c) {
        std::uint8_t bits = 0;
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            bits |= kSpace;
        }
        if (letter || c == '_' || c == ':') {
            bits |= kNameStart | kNameChar;
        }
        if ((c >= '0' && c <= '9') || c == '-' || c == '.') {
            bits |= kNameChar;
        }
        // The full parser turns tabs and line ends in values into spaces; such files take its path.
        if (c < 0x20 || c == '&' || c == '<') {
            bits |= kStopInDouble | kStopInSingle;
        }
        if (c == '"') {
            bits |= kStopInDouble;
        }
        if (c == '\'') {
            bits |= kStopInSingle;
        }
        if (c == 0 || c == '&' || c == '<') {
            bits |= kStopInText;
        }
        table[static_cast<std::size_t>(c)] = bits;
    }
    return table;
}();

inline bool is(char c, std::uint8_t bits) {
    return (kClasses[static_cast<unsigned char>(c)] & bits) != 0;
}

// Where a run of plain value bytes ends, and whether it ends at the closing quote (the usual case,
// told without reading the byte again, which would wait for the search).
struct ValueEnd {
    char* at;
    bool closed;
};

#if defined(__SSE2__)
// Sixteen bytes at a time: values are the bulk of an access file (names are short, and a byte loop,
// which the processor runs ahead on, does better there). Reading past the end is safe because the
// buffer carries kStreamPadding bytes after it, and every scan stops at the zero byte that ends the
// input.
inline ValueEnd skipValue(char* p, char quote) {
    const __m128i quotes = _mm_set1_epi8(quote);
    for (;;) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(0x1F)), v);
        const __m128i markup =
            _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('&')), _mm_cmpeq_epi8(v, _mm_set1_epi8('<')));
        const auto closing = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, quotes)));
        const unsigned stops =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(control, markup))) | closing;
        if (stops != 0) {
            return {p + __builtin_ctz(stops), (stops & -stops & closing) != 0};
        }
        p += 16;
    }
}
#else
inline ValueEnd skipValue(char* p, char quote) {
    const std::uint8_t stop = quote == '"' ? kStopInDouble : kStopInSingle;
    while (!is(*p, stop)) {
        ++p;
    }
    return {p, *p == quote};
}
#endif

inline char* spaceEnd(char* p) {
    while (is(*p, kSpace)) {
        ++p;
    }
    return p;
}

inline char* skipNameChars(char* p) {
    while (is(*p, kNameChar)) {
        ++p;
    }
    return p;
}

bool startsWith(const char* p, std::string_view text) {
    return std::memcmp(p, text.data(), text.size()) == 0;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

char* putUtf8(char* out, std::uint32_t code) {
    if (code < 0x80) {
        *out++ = static_cast<char>(code);
    } else if (code < 0x800) {
        *out++ = static_cast<char>(0xC0 | (code >> 6));
        *out++ = static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (code >> 12));
        *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (code & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (code >> 18));
        *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (code & 0x3F));
    }
    return out;
}

class Scanner {
public:
    Scanner(char* bytes, std::size_t size, StreamHandler& handler)
        : m_p(bytes), m_end(bytes + size), m_handler(handler) {}

    bool run() {
        if (m_end - m_p >= 3 && startsWith(m_p, "\xEF\xBB\xBF")) {
            m_p += 3;
        }
        if (startsWith(m_p, "<?xml") && is(m_p[5], kSpace)) {
            if (!declaration()) {
                return false;
            }
        }
        for (;;) {
            if (!text()) {
                return false;
            }
            if (m_p == m_end) {
                break;
            }
            ++m_p; // '<'
            bool ok = false;
            if (*m_p == '/') {
                ok = endTag();
            } else if (*m_p == '!') {
                ok = comment();
            } else {
                // Processing instructions and anything else the full parser sorts out.
                ok = startTag();
            }
            if (!ok) {
                return false;
            }
        }
        return m_open.empty() && m_rootDone;
    }

private:
    static constexpr std::size_t kDelivering = SIZE_MAX;

    void skipSpace() { m_p = spaceEnd(m_p); }

    // Only a name, a value without markup, and the UTF-8 encoding: other encodings are converted by the
    // full parser.
    bool declaration() {
        m_p += 5;
        for (;;) {
            const char* before = m_p;
            skipSpace();
            if (startsWith(m_p, "?>")) {
                m_p += 2;
                return true;
            }
            if (m_p == before) {
                return false;
            }
            const char* nameStart = m_p;
            while ((*m_p >= 'a' && *m_p <= 'z')) {
                ++m_p;
            }
            const std::string_view name(nameStart, static_cast<std::size_t>(m_p - nameStart));
            if (name != "version" && name != "encoding" && name != "standalone") {
                return false;
            }
            skipSpace();
            if (*m_p != '=') {
                return false;
            }
            ++m_p;
            skipSpace();
            const char quote = *m_p;
            if (quote != '"' && quote != '\'') {
                return false;
            }
            const char* valueStart = ++m_p;
            while (is(*m_p, kNameChar)) {
                ++m_p;
            }
            if (*m_p != quote) {
                return false;
            }
            const std::string_view value(valueStart, static_cast<std::size_t>(m_p - valueStart));
            ++m_p;
            if (name == "encoding") {
                if (value.size() != 5 || (value[0] | 0x20) != 'u' || (value[1] | 0x20) != 't' ||
                    (value[2] | 0x20) != 'f' || value[3] != '-' || value[4] != '8') {
                    return false;
                }
            }
        }
    }

    // Up to the next '<' or the end. Text inside elements is not read by anyone; at document level
    // only whitespace is plain.
    bool text() {
        const char* start = m_p;
        while (!is(*m_p, kStopInText)) {
            ++m_p;
        }
        if (*m_p == '&' || (*m_p == 0 && m_p != m_end)) {
            return false;
        }
        if (m_open.empty()) {
            for (const char* c = start; c != m_p; ++c) {
                if (!is(*c, kSpace)) {
                    return false;
                }
            }
        }
        return true;
    }

    bool comment() {
        if (m_p[1] != '-' || m_p[2] != '-') {
            return false; // CDATA, DOCTYPE
        }
        m_p += 3;
        while (m_p[0] != '-' || m_p[1] != '-') {
            if (*m_p == 0) {
                return false;
            }
            ++m_p;
        }
        if (m_p[2] != '>') {
            return false;
        }
        m_p += 3;
        return true;
    }

    bool name(std::string_view& out) {
        const char* start = m_p;
        if (!is(*m_p, kNameStart)) {
            return false;
        }
        m_p = skipNameChars(m_p + 1);
        out = {start, static_cast<std::size_t>(m_p - start)};
        return true;
    }

    bool entity(char*& out) {
        char* p = m_p + 1;
        static constexpr std::array<std::pair<std::string_view, char>, 5> kNamed = {
            {{"lt;", '<'}, {"gt;", '>'}, {"amp;", '&'}, {"quot;", '"'}, {"apos;", '\''}}};
        for (const auto& [text, c] : kNamed) {
            if (startsWith(p, text)) {
                *out++ = c;
                m_p = p + text.size();
                return true;
            }
        }
        if (*p != '#') {
            return false;
        }
        ++p;
        std::uint32_t code = 0;
        int digits = 0;
        if (*p == 'x') {
            ++p;
            for (int v = hexValue(*p); v >= 0 && digits < 6; v = hexValue(*++p), ++digits) {
                code = code * 16 + static_cast<std::uint32_t>(v);
            }
        } else {
            for (; *p >= '0' && *p <= '9' && digits < 7; ++p, ++digits) {
                code = code * 10 + static_cast<std::uint32_t>(*p - '0');
            }
        }
        if (digits == 0 || *p != ';' || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        // Never longer than the reference it replaces, so decoding in place stays behind the reading.
        out = putUtf8(out, code);
        m_p = p + 1;
        return true;
    }

    // From the opening quote at `p`: returns the position after the closing quote, or null when the
    // value is not plain; the value is left zero-terminated where it began.
    char* value(char* p, const char*& out, std::size_t& size) {
        const char quote = *p;
        if (quote != '"' && quote != '\'') {
            return nullptr;
        }
        char* start = p + 1;
        const ValueEnd end = skipValue(start, quote);
        p = end.at;
        if (!end.closed) {
            const std::uint8_t stop = quote == '"' ? kStopInDouble : kStopInSingle;
            char* w = p;
            while (*p != quote) {
                m_p = p;
                if (*p != '&' || !entity(w)) {
                    return nullptr;
                }
                p = m_p;
                while (!is(*p, stop)) {
                    *w++ = *p++;
                }
            }
            *w = 0;
            size = static_cast<std::size_t>(w - start);
        } else {
            *p = 0;
            size = static_cast<std::size_t>(p - start);
        }
        out = start;
        return p + 1;
    }

    // Works on a local copy of the position: the byte stores of decoding could otherwise alias every
    // member and force reloads in the loop that reads most of the file.
    bool startTag() {
        if (m_open.empty() && m_rootDone) {
            return false; // a second top-level element
        }
        char* p = m_p;
        if (!is(*p, kNameStart)) {
            return false;
        }
        p = skipNameChars(p + 1);
        const std::string_view element(m_p, static_cast<std::size_t>(p - m_p));
        StreamAttribute* attributes = m_attributes.data();
        std::size_t count = 0;
        for (;;) {
            char* nameStart = p + 1;
            // One blank before each name and none around '=' is how the editor writes; checking for
            // that first spares the general tests on most attributes.
            if (p[0] != ' ' || !is(p[1], kNameStart)) {
                if (*p == '/' || *p == '>') {
                    break;
                }
                if (!is(*p, kSpace)) {
                    return false;
                }
                p = spaceEnd(p + 1);
                if (*p == '/' || *p == '>') {
                    break;
                }
                if (!is(*p, kNameStart)) {
                    return false;
                }
                nameStart = p;
            }
            p = skipNameChars(nameStart + 1);
            const std::string_view name(nameStart, static_cast<std::size_t>(p - nameStart));
            if (*p != '=') {
                p = spaceEnd(p);
                if (*p != '=') {
                    return false;
                }
            }
            ++p;
            if (*p != '"' && *p != '\'') {
                p = spaceEnd(p);
            }
            const char* text = nullptr;
            std::size_t size = 0;
            p = value(p, text, size);
            if (p == nullptr) {
                return false;
            }
            if (count == m_attributes.size()) {
                m_attributes.resize(count * 2 + 16);
                attributes = m_attributes.data();
            }
            attributes[count++] = {name, text, size};
        }
        const bool empty = *p == '/';
        if (empty) {
            if (p[1] != '>') {
                return false;
            }
            ++p;
        }
        m_p = p + 1;
        const bool delivering = m_skipFrom == kDelivering;
        bool wanted = false;
        if (delivering) {
            wanted = m_handler.startElement(element, {attributes, count});
        }
        if (empty) {
            if (delivering) {
                m_handler.endElement();
            }
            m_rootDone = m_open.empty();
            return true;
        }
        m_open.push_back(element);
        if (delivering && !wanted) {
            m_skipFrom = m_open.size();
        }
        return true;
    }

    bool endTag() {
        ++m_p;
        std::string_view element;
        if (!name(element)) {
            return false;
        }
        skipSpace();
        if (*m_p != '>' || m_open.empty() || m_open.back() != element) {
            return false;
        }
        ++m_p;
        if (m_skipFrom == kDelivering || m_skipFrom == m_open.size()) {
            m_skipFrom = kDelivering;
            m_handler.endElement();
        }
        m_open.pop_back();
        m_rootDone = m_open.empty();
        return true;
    }

    char* m_p;
    const char* m_end;
    StreamHandler& m_handler;
    std::vector<std::string_view> m_open;
    std::vector<StreamAttribute> m_attributes;
    std::size_t m_skipFrom = kDelivering; // depth of the element whose subtree is not wanted
    bool m_rootDone = false;
};

pugi::xml_node firstElement(pugi::xml_node node) {
    while (node && node.type() != pugi::node_element) {
        node = node.next_sibling();
    }
    return node;
}

} // namespace

bool streamInPlace(char* bytes, std::size_t size, StreamHandler& handler) {
    return Scanner(bytes, size, handler).run();
}

bool streamFile(const std::filesystem::path& file, StreamHandler& handler) {
    try {
        checkReadableFile(file, limits::kAccessFile);
    } catch (const ConfigError&) {
        return false; // the full reader words the refusal
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::fopen(file.string().c_str(), "rb"),
                                                           &std::fclose);
    if (!stream) {
        return false;
    }
    std::error_code error;
    const auto size = static_cast<std::size_t>(std::filesystem::file_size(file, error));
    if (error) {
        return false;
    }
    auto bytes = std::make_unique_for_overwrite<char[]>(size + kStreamPadding);
    if (std::fread(bytes.get(), 1, size, stream.get()) != size || std::ferror(stream.get())) {
        return false;
    }
    std::memset(bytes.get() + size, 0, kStreamPadding);
    return streamInPlace(bytes.get(), size, handler);
}

void streamTree(const pugi::xml_node& parent, StreamHandler& handler) {
    std::vector<StreamAttribute> attributes;
    pugi::xml_node node = firstElement(parent.first_child());
    while (node) {
        attributes.clear();
        for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
            attributes.push_back({a.name(), a.value(), std::strlen(a.value())});
        }
        if (handler.startElement(node.name(), attributes)) {
            if (const pugi::xml_node child = firstElement(node.first_child())) {
                node = child;
                continue;
            }
        }
        // Without recursion, so that no nesting depth can exhaust the stack.
        for (;;) {
            handler.endElement();
            if (const pugi::xml_node next = firstElement(node.next_sibling())) {
                node = next;
                break;
            }
            node = node.parent();
            if (node == parent) {
                return;
            }
        }
    }
}

} // namespace sw::xml
