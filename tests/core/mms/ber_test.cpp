#include "core/mms/ber.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using sw::mms::BerReader;
using sw::mms::BerWriter;
using sw::mms::Bytes;
using sw::mms::ProtocolError;
namespace mms = sw::mms;

Bytes filled(std::size_t size, std::uint8_t value) {
    return Bytes(size, value);
}

Bytes concat(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

// Encodings worked out by hand from the X.690 rules: identifier octets, short and long length forms,
// two's complement integers in their fewest octets, bit strings with their unused-bit count.
TEST(Ber, EncodesAsX690Prescribes) {
    static constexpr std::uint32_t kMmsSyntax[] = {1, 0, 9506, 2, 1};
    static constexpr std::uint32_t kAcseSyntax[] = {2, 2, 1, 0, 1};
    static constexpr std::uint8_t kBits[] = {0x0A, 0x3B, 0x5F, 0x29, 0x1C, 0xDF};
    const struct {
        const char* what;
        std::function<void(BerWriter&)> write;
        Bytes expected;
    } cases[] = {
        {"integer 0", [](BerWriter& w) { w.integer(mms::kInteger, 0); }, {0x02, 0x01, 0x00}},
        {"integer 127", [](BerWriter& w) { w.integer(mms::kInteger, 127); }, {0x02, 0x01, 0x7F}},
        {"integer 128", [](BerWriter& w) { w.integer(mms::kInteger, 128); }, {0x02, 0x02, 0x00, 0x80}},
        {"integer 256", [](BerWriter& w) { w.integer(mms::kInteger, 256); }, {0x02, 0x02, 0x01, 0x00}},
        {"integer -1", [](BerWriter& w) { w.integer(mms::kInteger, -1); }, {0x02, 0x01, 0xFF}},
        {"integer -128", [](BerWriter& w) { w.integer(mms::kInteger, -128); }, {0x02, 0x01, 0x80}},
        {"integer -129", [](BerWriter& w) { w.integer(mms::kInteger, -129); }, {0x02, 0x02, 0xFF, 0x7F}},
        {"unsigned 65000",
         [](BerWriter& w) { w.unsignedInteger(mms::kInteger, 65000); },
         {0x02, 0x03, 0x00, 0xFD, 0xE8}},
        {"unsigned max",
         [](BerWriter& w) { w.unsignedInteger(mms::context(6), ~std::uint64_t{0}); },
         {0x86, 0x09, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"boolean true", [](BerWriter& w) { w.boolean(mms::kBoolean, true); }, {0x01, 0x01, 0xFF}},
        {"boolean false", [](BerWriter& w) { w.boolean(mms::kBoolean, false); }, {0x01, 0x01, 0x00}},
        {"bit string '0A3B5F291CD'H",
         [](BerWriter& w) { w.bitString(mms::kBitString, kBits, 44); },
         {0x03, 0x07, 0x04, 0x0A, 0x3B, 0x5F, 0x29, 0x1C, 0xD0}},
        {"empty bit string", [](BerWriter& w) { w.bitString(mms::kBitString, {}, 0); }, {0x03, 0x01, 0x00}},
        {"visible string",
         [](BerWriter& w) { w.text(mms::kVisibleString, "Jones"); },
         {0x1A, 0x05, 0x4A, 0x6F, 0x6E, 0x65, 0x73}},
        {"null in a context tag", [](BerWriter& w) { w.null(mms::context(11)); }, {0x8B, 0x00}},
        {"constructed sequence",
         [](BerWriter& w) {
             w.begin(mms::kSequence);
             w.integer(mms::kInteger, 5);
             w.boolean(mms::kBoolean, true);
             w.end();
         },
         {0x30, 0x06, 0x02, 0x01, 0x05, 0x01, 0x01, 0xFF}},
        {"constructed context and application tags",
         [](BerWriter& w) {
             w.begin(mms::application(1));
             w.begin(mms::context(30, true));
             w.integer(mms::context(0), 3);
             w.end();
             w.end();
         },
         {0x61, 0x05, 0xBE, 0x03, 0x80, 0x01, 0x03}},
        {"high tag number", [](BerWriter& w) { w.null(mms::context(200)); }, {0x9F, 0x81, 0x48, 0x00}},
        {"object identifier 1.0.9506.2.1",
         [](BerWriter& w) { w.objectIdentifier(mms::kObjectIdentifier, kMmsSyntax); },
         {0x06, 0x05, 0x28, 0xCA, 0x22, 0x02, 0x01}},
        {"object identifier 2.2.1.0.1",
         [](BerWriter& w) { w.objectIdentifier(mms::kObjectIdentifier, kAcseSyntax); },
         {0x06, 0x04, 0x52, 0x01, 0x00, 0x01}},
        {"long form, one length octet",
         [](BerWriter& w) { w.primitive(mms::kOctetString, filled(200, 0xAB)); },
         concat({0x04, 0x81, 0xC8}, filled(200, 0xAB))},
        {"long form, two length octets",
         [](BerWriter& w) { w.primitive(mms::kOctetString, filled(300, 0x01)); },
         concat({0x04, 0x82, 0x01, 0x2C}, filled(300, 0x01))},
        {"constructed with a long length",
         [](BerWriter& w) {
             w.begin(mms::kSequence);
             w.primitive(mms::kOctetString, filled(130, 0x00));
             w.end();
         },
         concat({0x30, 0x81, 0x85, 0x04, 0x81, 0x82}, filled(130, 0x00))},
    };
    for (const auto& c : cases) {
        BerWriter writer;
        c.write(writer);
        EXPECT_EQ(writer.bytes(), c.expected) << c.what;
    }
}

TEST(Ber, DecodesWhatTheRulesDefine) {
    const struct {
        Bytes bytes;
        std::int64_t integer;
    } integers[] = {
        {{0x02, 0x01, 0x00}, 0},
        {{0x02, 0x01, 0x7F}, 127},
        {{0x02, 0x02, 0x00, 0x80}, 128},
        {{0x02, 0x01, 0x80}, -128},
        {{0x02, 0x02, 0xFF, 0x7F}, -129},
        {{0x02, 0x01, 0xFF}, -1},
        {{0x85, 0x04, 0x80, 0x00, 0x00, 0x00}, -2147483648LL},
    };
    for (const auto& c : integers) {
        BerReader reader(c.bytes);
        EXPECT_EQ(mms::decodeInteger(reader.next()), c.integer);
    }

    const Bytes unsignedMax = {0x86, 0x09, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(mms::decodeUnsigned(BerReader(unsignedMax).next()), ~std::uint64_t{0});

    const Bytes bits = {0x03, 0x07, 0x04, 0x0A, 0x3B, 0x5F, 0x29, 0x1C, 0xD0};
    const mms::BitString decoded = mms::decodeBitString(BerReader(bits).next());
    EXPECT_EQ(decoded.bitCount, 44u);
    EXPECT_TRUE(decoded.bit(4));
    EXPECT_FALSE(decoded.bit(0));
    EXPECT_FALSE(decoded.bit(44));

    const Bytes oid = {0x06, 0x05, 0x28, 0xCA, 0x22, 0x02, 0x01};
    EXPECT_EQ(mms::decodeObjectIdentifier(BerReader(oid).next()),
              (std::vector<std::uint32_t>{1, 0, 9506, 2, 1}));

    // A constructed element in long form holding a high-tag-number element and a visible string.
    Bytes nested = {0x30, 0x81, 0x0B, 0x9F, 0x81, 0x48, 0x01, 0xFF, 0x1A, 0x05, 'J', 'o', 'n', 'e', 's'};
    nested[2] = static_cast<std::uint8_t>(nested.size() - 3);
    BerReader top(nested);
    const mms::BerElement sequence = top.expect(mms::kSequence, "the sequence");
    EXPECT_TRUE(top.atEnd());
    BerReader inner = BerReader::inside(sequence);
    const mms::BerElement tagged = inner.next();
    EXPECT_EQ(tagged.tag, mms::context(200));
    EXPECT_TRUE(mms::decodeBoolean(tagged));
    EXPECT_EQ(mms::decodeVisibleString(inner.expect(mms::kVisibleString, "the name")), "Jones");
    EXPECT_TRUE(inner.atEnd());
}

Bytes nestedSequences(std::size_t depth) {
    Bytes bytes;
    for (std::size_t i = 0; i < depth; ++i) {
        bytes.insert(bytes.begin(), {0x30, static_cast<std::uint8_t>(2 * i)});
    }
    return bytes;
}

// Reads everything, as the decoders of a message do, going into every constructed element.
void walk(BerReader reader) {
    while (!reader.atEnd()) {
        const mms::BerElement element = reader.next();
        if (element.tag.constructed) {
            walk(BerReader::inside(element));
        }
    }
}

TEST(Ber, RefusesMalformedTruncatedAndOversizedElements) {
    const struct {
        const char* what;
        Bytes bytes;
        std::function<void(const Bytes&)> read;
        const char* message;
    } cases[] = {
        {"content cut off",
         {0x02, 0x02, 0x00},
         [](const Bytes& b) { walk(BerReader(b)); },
         "runs past the end"},
        {"length cut off",
         {0x04, 0x82, 0x01},
         [](const Bytes& b) { walk(BerReader(b)); },
         "length is cut off"},
        {"tag cut off", {0x9F, 0x81}, [](const Bytes& b) { walk(BerReader(b)); }, "tag is cut off"},
        {"no length", {0x30}, [](const Bytes& b) { walk(BerReader(b)); }, "length is cut off"},
        {"inner length past the outer",
         {0x30, 0x03, 0x04, 0x05, 0x00},
         [](const Bytes& b) { walk(BerReader(b)); },
         "(at byte 2)"},
        {"indefinite length",
         {0x30, 0x80, 0x02, 0x01, 0x05, 0x00, 0x00},
         [](const Bytes& b) { walk(BerReader(b)); },
         "indefinite"},
        {"five length octets",
         {0x04, 0x85, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00},
         [](const Bytes& b) { walk(BerReader(b)); },
         "5 octets"},
        {"tag number of five octets",
         {0x9F, 0x81, 0x81, 0x81, 0x81, 0x01, 0x00},
         [](const Bytes& b) { walk(BerReader(b)); },
         "tag number is too long"},
        {"nesting beyond the limit", nestedSequences(40), [](const Bytes& b) { walk(BerReader(b)); },
         "nested deeper"},
        {"integer of nine octets",
         {0x02, 0x09, 0x01, 0, 0, 0, 0, 0, 0, 0, 0},
         [](const Bytes& b) { mms::decodeInteger(BerReader(b).next()); },
         "too large"},
        {"empty integer",
         {0x02, 0x00},
         [](const Bytes& b) { mms::decodeInteger(BerReader(b).next()); },
         "no content"},
        {"negative unsigned",
         {0x86, 0x01, 0x80},
         [](const Bytes& b) { mms::decodeUnsigned(BerReader(b).next()); },
         "negative"},
        {"boolean of two octets",
         {0x01, 0x02, 0xFF, 0xFF},
         [](const Bytes& b) { mms::decodeBoolean(BerReader(b).next()); },
         "one octet"},
        {"eight unused bits",
         {0x03, 0x02, 0x08, 0x00},
         [](const Bytes& b) { mms::decodeBitString(BerReader(b).next()); },
         "unused bits"},
        {"unused bits without octets",
         {0x03, 0x01, 0x03},
         [](const Bytes& b) { mms::decodeBitString(BerReader(b).next()); },
         "unused bits"},
        {"control character in a visible string",
         {0x1A, 0x02, 'A', 0x07},
         [](const Bytes& b) { mms::decodeVisibleString(BerReader(b).next()); },
         "byte 7"},
        {"primitive read as constructed",
         {0x04, 0x01, 0x00},
         [](const Bytes& b) { BerReader::inside(BerReader(b).next()); },
         "must be constructed"},
        {"constructed integer",
         {0x22, 0x03, 0x02, 0x01, 0x00},
         [](const Bytes& b) { mms::decodeInteger(BerReader(b).next()); },
         "must be primitive"},
        {"object identifier cut off",
         {0x06, 0x02, 0x28, 0xCA},
         [](const Bytes& b) { mms::decodeObjectIdentifier(BerReader(b).next()); },
         "cut off"},
        {"wrong tag",
         {0x04, 0x00},
         [](const Bytes& b) { BerReader(b).expect(mms::kInteger, "the count"); },
         "the count was expected as UNIVERSAL 2, not UNIVERSAL 4"},
        {"nothing left",
         {},
         [](const Bytes& b) { BerReader(b).expect(mms::kInteger, "the count"); },
         "the count is missing"},
    };
    for (const auto& c : cases) {
        try {
            c.read(c.bytes);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const ProtocolError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos)
                << c.what << ": " << error.what();
        }
    }
    // The limit leaves room for what MMS nests.
    EXPECT_NO_THROW(walk(BerReader(nestedSequences(30))));
}

} // namespace
