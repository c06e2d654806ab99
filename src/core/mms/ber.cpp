#include "core/mms/ber.h"

#include <algorithm>

namespace sw::mms {

namespace {

// Lengths beyond four octets or tag numbers beyond four octets are nothing a peer of ours means.
constexpr std::size_t kMaxLengthOctets = 4;
constexpr std::size_t kMaxTagOctets = 4;

[[noreturn]] void fail(std::size_t offset, const std::string& what) {
    // The client and the server read BER alike: the text names no side.
    throw ProtocolError("Malformed message received: " + what + " (at byte " + std::to_string(offset) + ").");
}

} // namespace

void appendTag(Bytes& out, Tag tag) {
    const auto head =
        static_cast<std::uint8_t>(static_cast<unsigned>(tag.tagClass) << 6 | (tag.constructed ? 0x20u : 0u));
    if (tag.number < 31) {
        out.push_back(static_cast<std::uint8_t>(head | tag.number));
        return;
    }
    out.push_back(static_cast<std::uint8_t>(head | 0x1F));
    std::uint8_t groups[5];
    std::size_t count = 0;
    std::uint32_t number = tag.number;
    do {
        groups[count++] = static_cast<std::uint8_t>(number & 0x7F);
        number >>= 7;
    } while (number != 0);
    while (count > 1) {
        out.push_back(static_cast<std::uint8_t>(groups[--count] | 0x80));
    }
    out.push_back(groups[0]);
}

void appendLength(Bytes& out, std::size_t length) {
    if (length < 0x80) {
        out.push_back(static_cast<std::uint8_t>(length));
        return;
    }
    std::uint8_t octets[sizeof(std::size_t)];
    std::size_t count = 0;
    while (length != 0) {
        octets[count++] = static_cast<std::uint8_t>(length & 0xFF);
        length >>= 8;
    }
    out.push_back(static_cast<std::uint8_t>(0x80 | count));
    while (count > 0) {
        out.push_back(octets[--count]);
    }
}

// --- BerWriter ---

void BerWriter::begin(Tag tag) {
    tag.constructed = true;
    appendTag(m_bytes, tag);
    m_open.push_back(m_bytes.size());
}

void BerWriter::end() {
    const std::size_t start = m_open.back();
    m_open.pop_back();
    Bytes length;
    appendLength(length, m_bytes.size() - start);
    m_bytes.insert(m_bytes.begin() + static_cast<std::ptrdiff_t>(start), length.begin(), length.end());
}

void BerWriter::primitive(Tag tag, ByteView content) {
    appendTag(m_bytes, tag);
    appendLength(m_bytes, content.size());
    m_bytes.insert(m_bytes.end(), content.begin(), content.end());
}

void BerWriter::integer(Tag tag, std::int64_t value) {
    // Two's complement in the fewest octets: drop a leading octet while it only repeats the sign.
    std::uint8_t octets[8];
    auto bits = static_cast<std::uint64_t>(value);
    for (std::size_t i = 0; i < 8; ++i) {
        octets[7 - i] = static_cast<std::uint8_t>(bits & 0xFF);
        bits >>= 8;
    }
    std::size_t first = 0;
    while (first < 7 && ((octets[first] == 0x00 && (octets[first + 1] & 0x80) == 0) ||
                         (octets[first] == 0xFF && (octets[first + 1] & 0x80) != 0))) {
        ++first;
    }
    primitive(tag, ByteView(octets + first, 8 - first));
}

void BerWriter::unsignedInteger(Tag tag, std::uint64_t value) {
    std::uint8_t octets[9] = {};
    for (std::size_t i = 0; i < 8; ++i) {
        octets[8 - i] = static_cast<std::uint8_t>(value & 0xFF);
        value >>= 8;
    }
    std::size_t first = 0;
    while (first < 8 && octets[first] == 0 && (octets[first + 1] & 0x80) == 0) {
        ++first;
    }
    primitive(tag, ByteView(octets + first, 9 - first));
}

void BerWriter::boolean(Tag tag, bool value) {
    const std::uint8_t octet = value ? 0xFF : 0x00;
    primitive(tag, ByteView(&octet, 1));
}

void BerWriter::text(Tag tag, std::string_view value) {
    primitive(tag, ByteView(reinterpret_cast<const std::uint8_t*>(value.data()), value.size()));
}

void BerWriter::objectIdentifier(Tag tag, std::span<const std::uint32_t> arcs) {
    Bytes content;
    auto appendArc = [&content](std::uint64_t arc) {
        std::uint8_t groups[10];
        std::size_t count = 0;
        do {
            groups[count++] = static_cast<std::uint8_t>(arc & 0x7F);
            arc >>= 7;
        } while (arc != 0);
        while (count > 1) {
            content.push_back(static_cast<std::uint8_t>(groups[--count] | 0x80));
        }
        content.push_back(groups[0]);
    };
    if (arcs.size() >= 2) {
        appendArc(std::uint64_t{arcs[0]} * 40 + arcs[1]);
        for (std::size_t i = 2; i < arcs.size(); ++i) {
            appendArc(arcs[i]);
        }
    }
    primitive(tag, content);
}

void BerWriter::bitString(Tag tag, ByteView bits, std::size_t bitCount) {
    const std::size_t octets = (bitCount + 7) / 8;
    Bytes content(1 + octets, 0);
    content[0] = static_cast<std::uint8_t>(octets * 8 - bitCount);
    std::copy_n(bits.begin(), std::min(octets, bits.size()), content.begin() + 1);
    if (octets > 0) {
        content[octets] = static_cast<std::uint8_t>(content[octets] & (0xFF << content[0]));
    }
    primitive(tag, content);
}

const Bytes& BerWriter::bytes() const {
    return m_bytes;
}

Bytes BerWriter::take() {
    m_open.clear();
    return std::move(m_bytes);
}

// --- BerReader ---

BerReader BerReader::inside(const BerElement& element) {
    if (!element.tag.constructed) {
        fail(element.offset, describeTag(element.tag) + " must be constructed");
    }
    if (element.depth + 1 >= kMaxBerDepth) {
        fail(element.offset, "elements nested deeper than " + std::to_string(kMaxBerDepth) + " levels");
    }
    return BerReader(element.content, element.contentOffset, element.depth + 1);
}

BerElement BerReader::next() {
    const std::size_t start = m_position;
    const std::size_t where = m_base + start;
    if (start >= m_bytes.size()) {
        fail(where, "an element is missing at the end of its container");
    }
    const std::uint8_t head = m_bytes[m_position++];
    BerElement element;
    element.offset = where;
    element.depth = m_depth;
    element.tag.tagClass = static_cast<TagClass>(head >> 6);
    element.tag.constructed = (head & 0x20) != 0;
    element.tag.number = head & 0x1Fu;
    if (element.tag.number == 0x1F) {
        std::uint32_t number = 0;
        std::size_t count = 0;
        for (;;) {
            if (m_position >= m_bytes.size()) {
                fail(where, "the tag is cut off");
            }
            const std::uint8_t octet = m_bytes[m_position++];
            if (count == 0 && octet == 0x80) {
                fail(where, "the tag number has a leading zero group");
            }
            if (++count > kMaxTagOctets) {
                fail(where, "the tag number is too long");
            }
            number = number << 7 | (octet & 0x7Fu);
            if ((octet & 0x80) == 0) {
                break;
            }
        }
        element.tag.number = number;
    }
    if (m_position >= m_bytes.size()) {
        fail(where, "the length is cut off");
    }
    const std::uint8_t first = m_bytes[m_position++];
    std::size_t length = first;
    if (first == 0x80) {
        fail(where, "indefinite lengths are not accepted");
    }
    if (first > 0x80) {
        const std::size_t count = first & 0x7Fu;
        if (count > kMaxLengthOctets) {
            fail(where, "the length has " + std::to_string(count) + " octets");
        }
        if (m_bytes.size() - m_position < count) {
            fail(where, "the length is cut off");
        }
        length = 0;
        for (std::size_t i = 0; i < count; ++i) {
            length = length << 8 | m_bytes[m_position++];
        }
    }
    if (length > m_bytes.size() - m_position) {
        fail(where, "a length of " + std::to_string(length) + " runs past the end of the " +
                        std::to_string(m_bytes.size() - m_position) + " bytes left");
    }
    element.content = m_bytes.subspan(m_position, length);
    element.contentOffset = m_base + m_position;
    m_position += length;
    return element;
}

BerElement BerReader::expect(Tag tag, std::string_view what) {
    if (atEnd()) {
        fail(offset(), std::string(what) + " is missing");
    }
    const std::size_t before = m_position;
    BerElement element = next();
    if (element.tag != tag) {
        m_position = before;
        fail(element.offset, std::string(what) + " was expected as " + describeTag(tag) + ", not " +
                                 describeTag(element.tag));
    }
    return element;
}

bool BerReader::nextIf(Tag tag, BerElement& element) {
    if (atEnd()) {
        return false;
    }
    const std::size_t before = m_position;
    BerElement candidate = next();
    if (candidate.tag != tag) {
        m_position = before;
        return false;
    }
    element = candidate;
    return true;
}

// --- Primitive contents ---

void requirePrimitive(const BerElement& element, std::string_view what) {
    if (element.tag.constructed) {
        fail(element.offset, std::string(what) + " must be primitive");
    }
}

std::int64_t decodeInteger(const BerElement& element) {
    requirePrimitive(element, "an integer");
    const ByteView c = element.content;
    if (c.empty()) {
        fail(element.offset, "an integer has no content");
    }
    if (c.size() > 8) {
        fail(element.offset, "an integer of " + std::to_string(c.size()) + " octets is too large");
    }
    std::uint64_t bits = (c[0] & 0x80) != 0 ? ~std::uint64_t{0} : 0;
    for (const std::uint8_t octet : c) {
        bits = bits << 8 | octet;
    }
    return static_cast<std::int64_t>(bits);
}

std::uint64_t decodeUnsigned(const BerElement& element) {
    requirePrimitive(element, "an unsigned integer");
    ByteView c = element.content;
    if (c.empty()) {
        fail(element.offset, "an integer has no content");
    }
    if ((c[0] & 0x80) != 0) {
        fail(element.offset, "an unsigned integer is negative");
    }
    if (c.size() == 9 && c[0] == 0) {
        c = c.subspan(1);
    }
    if (c.size() > 8) {
        fail(element.offset, "an integer of " + std::to_string(c.size()) + " octets is too large");
    }
    std::uint64_t value = 0;
    for (const std::uint8_t octet : c) {
        value = value << 8 | octet;
    }
    return value;
}

bool decodeBoolean(const BerElement& element) {
    requirePrimitive(element, "a boolean");
    if (element.content.size() != 1) {
        fail(element.offset, "a boolean must have one octet");
    }
    return element.content[0] != 0;
}

std::string decodeVisibleString(const BerElement& element) {
    requirePrimitive(element, "a visible string");
    std::string text;
    text.reserve(element.content.size());
    for (const std::uint8_t octet : element.content) {
        if (octet < 0x20 || octet > 0x7E) {
            fail(element.offset, "a visible string holds the byte " + std::to_string(octet));
        }
        text += static_cast<char>(octet);
    }
    return text;
}

BitString decodeBitString(const BerElement& element) {
    requirePrimitive(element, "a bit string");
    const ByteView c = element.content;
    if (c.empty()) {
        fail(element.offset, "a bit string has no content");
    }
    const std::uint8_t unused = c[0];
    if (unused > 7 || (c.size() == 1 && unused != 0)) {
        fail(element.offset, "a bit string declares " + std::to_string(unused) + " unused bits");
    }
    BitString result;
    result.bits.assign(c.begin() + 1, c.end());
    result.bitCount = (c.size() - 1) * 8 - unused;
    return result;
}

std::vector<std::uint32_t> decodeObjectIdentifier(const BerElement& element) {
    requirePrimitive(element, "an object identifier");
    std::vector<std::uint32_t> arcs;
    std::uint64_t arc = 0;
    bool inArc = false;
    for (const std::uint8_t octet : element.content) {
        if (!inArc && octet == 0x80) {
            fail(element.offset, "an object identifier arc has a leading zero group");
        }
        arc = arc << 7 | (octet & 0x7Fu);
        if (arc > 0xFFFFFFFFu) {
            fail(element.offset, "an object identifier arc is too large");
        }
        inArc = (octet & 0x80) != 0;
        if (!inArc) {
            if (arcs.empty()) {
                const std::uint32_t first = arc < 40 ? 0 : arc < 80 ? 1 : 2;
                arcs.push_back(first);
                arcs.push_back(static_cast<std::uint32_t>(arc - first * 40u));
            } else {
                arcs.push_back(static_cast<std::uint32_t>(arc));
            }
            arc = 0;
        }
    }
    if (inArc || arcs.empty()) {
        fail(element.offset, "an object identifier is cut off");
    }
    return arcs;
}

std::string describeTag(Tag tag) {
    switch (tag.tagClass) {
    case TagClass::Universal:
        return "UNIVERSAL " + std::to_string(tag.number);
    case TagClass::Application:
        return "[APPLICATION " + std::to_string(tag.number) + "]";
    case TagClass::Context:
        return "[" + std::to_string(tag.number) + "]";
    case TagClass::Private:
        return "[PRIVATE " + std::to_string(tag.number) + "]";
    }
    return "?";
}

} // namespace sw::mms
