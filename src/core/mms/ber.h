#pragma once

#include "core/common/config_error.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Basic Encoding Rules (X.690) for the MMS stack: an encoder that closes constructed elements with
// definite lengths, and a decoder that reads only definite lengths within the bytes it holds, up to a
// fixed nesting depth. Everything a server sends passes through the decoder, so it refuses rather than
// guesses: a length that runs past its container, an indefinite length, a tag or length too long to be
// meant, or content that does not fit its type gives a ProtocolError naming the byte.
namespace sw::mms {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// A message from the other side that breaks the protocol's rules.
class ProtocolError : public ConfigError {
public:
    using ConfigError::ConfigError;
};

// A tag as class, form and number in one value, so that cases compare as one integer.
enum class TagClass : std::uint8_t { Universal = 0, Application = 1, Context = 2, Private = 3 };

struct Tag {
    TagClass tagClass = TagClass::Universal;
    bool constructed = false;
    std::uint32_t number = 0;

    friend bool operator==(const Tag&, const Tag&) = default;
};

constexpr Tag universal(std::uint32_t number, bool constructed = false) {
    return {TagClass::Universal, constructed, number};
}
constexpr Tag application(std::uint32_t number, bool constructed = true) {
    return {TagClass::Application, constructed, number};
}
constexpr Tag context(std::uint32_t number, bool constructed = false) {
    return {TagClass::Context, constructed, number};
}

inline constexpr Tag kBoolean = universal(1);
inline constexpr Tag kInteger = universal(2);
inline constexpr Tag kBitString = universal(3);
inline constexpr Tag kOctetString = universal(4);
inline constexpr Tag kNull = universal(5);
inline constexpr Tag kObjectIdentifier = universal(6);
inline constexpr Tag kExternal = universal(8, true);
inline constexpr Tag kVisibleString = universal(26);
inline constexpr Tag kSequence = universal(16, true);
inline constexpr Tag kSet = universal(17, true);

// Writes elements one after the other; begin() opens a constructed element that end() closes.
class BerWriter {
public:
    void begin(Tag tag);
    void end();
    void primitive(Tag tag, ByteView content);
    void raw(ByteView bytes) { m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end()); }

    void integer(Tag tag, std::int64_t value);
    void unsignedInteger(Tag tag, std::uint64_t value);
    void boolean(Tag tag, bool value);
    void null(Tag tag) { primitive(tag, {}); }
    void text(Tag tag, std::string_view value);
    // An object identifier from its arcs; the first two combine as X.690 asks.
    void objectIdentifier(Tag tag, std::span<const std::uint32_t> arcs);
    // A bit string of `bitCount` bits taken from the front of `bits`, the unused bits of the last octet
    // cleared.
    void bitString(Tag tag, ByteView bits, std::size_t bitCount);

    // The finished bytes; every begin() must have had its end().
    const Bytes& bytes() const;
    Bytes take();

private:
    Bytes m_bytes;
    std::vector<std::size_t> m_open;
};

void appendTag(Bytes& out, Tag tag);
void appendLength(Bytes& out, std::size_t length);

// The depth the decoder follows nested constructed elements to; MMS data nests far less.
inline constexpr std::size_t kMaxBerDepth = 32;

struct BerElement {
    Tag tag;
    ByteView content;
    std::size_t offset = 0; // of the identifier octet, from the start of the outermost bytes
    std::size_t contentOffset = 0;
    std::size_t depth = 0; // of this element: 0 for the outermost
};

// Reads the elements of one level: the outermost bytes, or the content of a constructed element.
class BerReader {
public:
    explicit BerReader(ByteView bytes) : m_bytes(bytes) {}
    // The elements inside a constructed element; refuses a primitive one and nesting beyond the limit.
    static BerReader inside(const BerElement& element);

    bool atEnd() const { return m_position >= m_bytes.size(); }
    // The next element; throws ProtocolError when none is left or it is malformed.
    BerElement next();
    // The next element, which must carry `tag`; `what` names it in the error.
    BerElement expect(Tag tag, std::string_view what);
    // The next element when it carries `tag`, else nothing consumed and an empty result.
    bool nextIf(Tag tag, BerElement& element);
    // The position of the next element within the outermost bytes.
    std::size_t offset() const { return m_base + m_position; }

private:
    BerReader(ByteView bytes, std::size_t base, std::size_t depth)
        : m_bytes(bytes), m_base(base), m_depth(depth) {}

    ByteView m_bytes;
    std::size_t m_position = 0;
    std::size_t m_base = 0;
    std::size_t m_depth = 0;
};

// Contents of primitive elements. Each throws ProtocolError naming the element's offset.
std::int64_t decodeInteger(const BerElement& element);
std::uint64_t decodeUnsigned(const BerElement& element);
bool decodeBoolean(const BerElement& element);
// A visible string: printable ASCII only.
std::string decodeVisibleString(const BerElement& element);
// A bit string: the bits from the first, most significant, and their count.
struct BitString {
    Bytes bits;
    std::size_t bitCount = 0;
    bool bit(std::size_t index) const {
        return index < bitCount && (bits[index / 8] & (0x80u >> (index % 8))) != 0;
    }
};
BitString decodeBitString(const BerElement& element);
std::vector<std::uint32_t> decodeObjectIdentifier(const BerElement& element);
// The element must be primitive: throws otherwise, naming `what`.
void requirePrimitive(const BerElement& element, std::string_view what);

// "[2]", "[APPLICATION 1]", "UNIVERSAL 16" as a message shows a tag.
std::string describeTag(Tag tag);

} // namespace sw::mms
