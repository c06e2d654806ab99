#include "core/mms/mms_pdu.h"
#include "core/mms/osi_stack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

namespace {

namespace mms = sw::mms;
namespace osi = sw::mms::osi;
using mms::Bytes;

bool contains(const Bytes& bytes, const Bytes& part) {
    return std::search(bytes.begin(), bytes.end(), part.begin(), part.end()) != bytes.end();
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// The byte layouts an independent server expects: the class 0 connection request with its TPDU size and
// transport selectors, the session CONNECT with its parameters, the presentation contexts and ACSE
// application context, the MMS initiate, and the data phase envelopes.
TEST(MmsStack, WritesTheStandardLayouts) {
    EXPECT_EQ(osi::connectionRequest(), (Bytes{0x11, 0xE0, 0x00, 0x00, 0x00, 0x01, 0x00, 0xC0, 0x01, 0x0B,
                                               0xC1, 0x02, 0x00, 0x01, 0xC2, 0x02, 0x00, 0x01}));
    EXPECT_EQ(osi::tpkt(Bytes{0x02, 0xF0, 0x80}), (Bytes{0x03, 0x00, 0x00, 0x07, 0x02, 0xF0, 0x80}));

    const Bytes initiate = mms::initiateRequest(65000);
    EXPECT_EQ(initiate,
              (Bytes{0xA8, 0x26, 0x80, 0x03, 0x00, 0xFD, 0xE8, 0x81, 0x01, 0x05, 0x82, 0x01, 0x05, 0x83,
                     0x01, 0x0A, 0xA4, 0x16, 0x80, 0x01, 0x01, 0x81, 0x03, 0x05, 0xF1, 0x00, 0x82, 0x0C,
                     0x03, 0xEE, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x10}));

    const Bytes connect = osi::connectSpdu(initiate);
    EXPECT_EQ(connect[0], 0x0D); // CONNECT
    EXPECT_EQ(std::size_t{connect[1]}, connect.size() - 2);
    // Connect/accept item (protocol options, version 2), duplex, session selectors, then user data.
    const Bytes sessionHead = {0x05, 0x06, 0x13, 0x01, 0x00, 0x16, 0x01, 0x02, 0x14, 0x02, 0x00,
                               0x02, 0x33, 0x02, 0x00, 0x01, 0x34, 0x02, 0x00, 0x01, 0xC1};
    EXPECT_EQ(Bytes(connect.begin() + 2, connect.begin() + 23), sessionHead);
    EXPECT_EQ(std::size_t{connect[23]}, connect.size() - 24);
    // The CP is a SET whose length takes the long form.
    EXPECT_EQ(Bytes(connect.begin() + 24, connect.begin() + 27),
              (Bytes{0x31, 0x81, static_cast<std::uint8_t>(connect.size() - 27)}));
    // Normal mode, the ACSE and MMS contexts in BER, the AARQ with the MMS application context, the
    // initiate as the EXTERNAL of context 3.
    EXPECT_TRUE(contains(connect, {0xA0, 0x03, 0x80, 0x01, 0x01}));
    EXPECT_TRUE(contains(connect, {0x30, 0x0F, 0x02, 0x01, 0x01, 0x06, 0x04, 0x52, 0x01, 0x00, 0x01, 0x30,
                                   0x04, 0x06, 0x02, 0x51, 0x01}));
    EXPECT_TRUE(contains(connect, {0x30, 0x10, 0x02, 0x01, 0x03, 0x06, 0x05, 0x28, 0xCA, 0x22, 0x02, 0x01,
                                   0x30, 0x04, 0x06, 0x02, 0x51, 0x01}));
    EXPECT_TRUE(contains(connect, concat({{0x60, 0x3A, 0xA1, 0x07, 0x06, 0x05, 0x28, 0xCA, 0x22, 0x02,
                                           0x03, 0xBE, 0x2F, 0x28, 0x2D, 0x02, 0x01, 0x03, 0xA0, 0x28},
                                          initiate})));

    EXPECT_EQ(osi::dataSpdu(Bytes{0x8B, 0x00}), (Bytes{0x01, 0x00, 0x01, 0x00, 0x61, 0x09, 0x30, 0x07, 0x02,
                                                       0x01, 0x03, 0xA0, 0x02, 0x8B, 0x00}));
    EXPECT_EQ(osi::finishSpdu(), (Bytes{0x09, 0x10, 0xC1, 0x0E, 0x61, 0x0C, 0x30, 0x0A, 0x02, 0x01, 0x01,
                                        0xA0, 0x05, 0x62, 0x03, 0x80, 0x01, 0x00}));

    // Read of one domain-specific variable with invoke ID 1.
    const Bytes item = text("GGIO1$ST$Ind1$stVal");
    EXPECT_EQ(mms::readRequest(1, {{"LD", "GGIO1$ST$Ind1$stVal"}}),
              concat({{0xA0, 0x28, 0x02, 0x01, 0x01, 0xA4, 0x23, 0xA1, 0x21, 0xA0, 0x1F, 0x30,
                       0x1D, 0xA0, 0x1B, 0xA1, 0x19, 0x1A, 0x02, 'L',  'D',  0x1A, 0x13},
                      item}));
    EXPECT_EQ(mms::getNameListRequest(7, mms::ObjectClass::Domain, "", ""),
              (Bytes{0xA0, 0x0E, 0x02, 0x01, 0x07, 0xA1, 0x09, 0xA0, 0x03, 0x80, 0x01, 0x09, 0xA1, 0x02, 0x80,
                     0x00}));
    EXPECT_EQ(mms::getNamedVariableListAttributesRequest(2, {"LD", "LLN0$DS"}),
              (Bytes{0xA0, 0x14, 0x02, 0x01, 0x02, 0xAC, 0x0F, 0xA1, 0x0D, 0x1A, 0x02,
                     'L',  'D',  0x1A, 0x07, 'L',  'L',  'N',  '0',  '$',  'D',  'S'}));
    EXPECT_EQ(mms::getVariableAccessAttributesRequest(3, {"LD", "X"}),
              (Bytes{0xA0, 0x10, 0x02, 0x01, 0x03, 0xA6, 0x0B, 0xA0, 0x09, 0xA1, 0x07, 0x1A, 0x02, 'L', 'D',
                     0x1A, 0x01, 'X'}));
}

TEST(MmsStack, ReadsTheTransportAndSessionReplies) {
    // Connection confirm granting 1024-octet TPDUs; without the parameter, 128.
    EXPECT_EQ(osi::parseConnectionConfirm(Bytes{0x09, 0xD0, 0x00, 0x01, 0x00, 0x02, 0x00, 0xC0, 0x01, 0x0A}),
              1024u);
    EXPECT_EQ(osi::parseConnectionConfirm(Bytes{0x06, 0xD0, 0x00, 0x01, 0x00, 0x02, 0x00}), 128u);
    const Bytes tpdu = {0x02, 0xF0, 0x00, 0xAA};
    const osi::DataTpdu data = osi::parseDataTpdu(tpdu);
    EXPECT_FALSE(data.last);
    EXPECT_EQ(Bytes(data.data.begin(), data.data.end()), Bytes{0xAA});
    const Bytes spdu = osi::dataSpdu(Bytes{0x8C, 0x00});
    const mms::ByteView pdu = osi::dataMmsPdu(spdu);
    EXPECT_EQ(Bytes(pdu.begin(), pdu.end()), (Bytes{0x8C, 0x00}));
}

TEST(MmsStack, RefusesBrokenAndHostileReplies) {
    const struct {
        const char* what;
        std::function<void()> read;
        const char* message;
    } cases[] = {
        {"not a TPKT", [] { osi::tpktLength(text("HTTP")); }, "does not carry TPKT"},
        {"TPKT too short",
         [] {
             osi::tpktLength(Bytes{3, 0, 0, 5});
         },
         "too short"},
        {"disconnect for confirm",
         [] {
             osi::parseConnectionConfirm(Bytes{0x06, 0x80, 0, 1, 0, 2, 0});
         },
         "refused the transport connection"},
        {"confirm of class 2",
         [] {
             osi::parseConnectionConfirm(Bytes{0x06, 0xD0, 0, 1, 0, 2, 0x20});
         },
         "class 2"},
        {"confirm cut off",
         [] {
             osi::parseConnectionConfirm(Bytes{0x09, 0xD0, 0, 1});
         },
         "cut off"},
        {"TPDU size too large",
         [] {
             osi::parseConnectionConfirm(Bytes{0x09, 0xD0, 0, 1, 0, 2, 0, 0xC0, 1, 0x0D});
         },
         "TPDU size"},
        {"parameter past the header",
         [] {
             osi::parseConnectionConfirm(Bytes{0x09, 0xD0, 0, 1, 0, 2, 0, 0xC0, 5, 0});
         },
         "cut off"},
        {"error TPDU",
         [] {
             osi::parseDataTpdu(Bytes{0x02, 0x70, 0x00});
         },
         "transport protocol error"},
        {"session refused",
         [] {
             osi::acceptedMmsPdu(Bytes{0x0C, 0x00});
         },
         "refused the session"},
        {"session abort",
         [] {
             osi::dataMmsPdu(Bytes{0x19, 0x00});
         },
         "aborted"},
        {"session length past the end",
         [] {
             osi::acceptedMmsPdu(Bytes{0x0E, 0x09, 0xC1, 0x01});
         },
         "runs past"},
        {"accept without user data",
         [] {
             osi::acceptedMmsPdu(Bytes{0x0E, 0x03, 0x14, 0x01, 0x02});
         },
         "no user data"},
        {"presentation refused",
         [] {
             osi::acceptedMmsPdu(Bytes{0x0E, 0x04, 0xC1, 0x02, 0x30, 0x00});
         },
         "refused the presentation"},
        {"data without presentation",
         [] {
             osi::dataMmsPdu(Bytes{0x01, 0x00, 0x01, 0x00, 0x30, 0x00});
         },
         "fully encoded"},
        {"data cut off",
         [] {
             osi::dataMmsPdu(Bytes{0x01, 0x00, 0x01, 0x00, 0x61, 0x09, 0x30});
         },
         "runs past"},
        {"data with trailing bytes",
         [] {
             Bytes spdu = osi::dataSpdu(Bytes{0x8C, 0x00});
             spdu.push_back(0);
             osi::dataMmsPdu(spdu);
         },
         "bytes follow"},
    };
    for (const auto& c : cases) {
        try {
            c.read();
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const mms::ProtocolError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos)
                << c.what << ": " << error.what();
        }
    }
}

TEST(MmsPdu, DecodesResponsesAndTheirValues) {
    // Read response: boolean, integer, float 1.5, 13-bit quality, visible string, UTC time, failure 10,
    // a structure.
    const Bytes read = {0xA1, 0x41, 0x02, 0x01, 0x05, 0xA4, 0x3C, 0xA1, 0x3A, 0x83, 0x01, 0xFF, 0x85, 0x01,
                        0xFE, 0x87, 0x05, 0x08, 0x3F, 0xC0, 0x00, 0x00, 0x84, 0x03, 0x03, 0x40, 0x08, 0x8A,
                        0x03, 'a',  '"',  'b',  0x91, 0x08, 0x00, 0x00, 0x00, 0x3C, 0x80, 0x00, 0x00, 0x0A,
                        0x80, 0x01, 0x0A, 0xA2, 0x06, 0x83, 0x01, 0x00, 0x86, 0x01, 0x07, 0x89, 0x02, 0xAB,
                        0x01, 0x90, 0x02, 0xC3, 0xA9, 0x8C, 0x04, 0x00, 0x00, 0x03, 0xE8};
    const mms::MmsPdu pdu = mms::decodePdu(read);
    ASSERT_EQ(pdu.kind, mms::PduKind::ConfirmedResponse);
    EXPECT_EQ(pdu.invokeId, 5u);
    const std::vector<mms::AccessResult> results = mms::decodeReadResponse(pdu.service);
    const std::vector<std::pair<mms::DataType, std::string>> expected = {
        {mms::DataType::Boolean, "true"},
        {mms::DataType::Integer, "-2"},
        {mms::DataType::FloatingPoint, "1.5"},
        {mms::DataType::BitString, "0100000000001"},
        {mms::DataType::VisibleString, "\"a\\\"b\""},
        {mms::DataType::UtcTime, "1970-01-01T00:01:00.500Z"},
        {mms::DataType::Unknown, ""},
        {mms::DataType::Structure, "{false,7}"},
        {mms::DataType::OctetString, "ab01"},
        {mms::DataType::MmsString, "\"\xC3\xA9\""},
        {mms::DataType::BinaryTime, "1970-01-01T00:00:01.000Z"},
    };
    ASSERT_EQ(results.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (expected[i].first == mms::DataType::Unknown) {
            EXPECT_FALSE(results[i].value);
            EXPECT_TRUE(results[i].objectMissing());
            EXPECT_EQ(results[i].errorText(), "object-non-existent");
            continue;
        }
        ASSERT_TRUE(results[i].value) << i;
        EXPECT_EQ(results[i].value->type, expected[i].first) << i;
        EXPECT_EQ(results[i].value->text, expected[i].second) << i;
    }

    // Confirmed error: definition / object-undefined.
    const mms::MmsPdu error =
        mms::decodePdu(Bytes{0xA2, 0x0A, 0x80, 0x01, 0x09, 0xA2, 0x05, 0xA0, 0x03, 0x82, 0x01, 0x01});
    ASSERT_EQ(error.kind, mms::PduKind::ConfirmedError);
    EXPECT_EQ(error.invokeId, 9u);
    EXPECT_TRUE(error.error.objectMissing());

    // GetNameList response without moreFollows: the default, more follow.
    const Bytes names = {0xA1, 0x0C, 0x02, 0x01, 0x01, 0xA1, 0x07, 0xA0, 0x05, 0x1A, 0x03, 'L', 'D', '1'};
    const mms::MmsPdu namePdu = mms::decodePdu(names);
    const mms::NameList list = mms::decodeGetNameListResponse(namePdu.service);
    EXPECT_EQ(list.names, std::vector<std::string>{"LD1"});
    EXPECT_TRUE(list.moreFollows);
}

TEST(MmsPdu, RefusesMalformedResponses) {
    const struct {
        const char* what;
        Bytes bytes;
        const char* message;
    } cases[] = {
        {"float of three octets",
         {0xA1, 0x0B, 0x02, 0x01, 0x01, 0xA4, 0x06, 0xA1, 0x04, 0x87, 0x02, 0x08, 0x00},
         "not single or double"},
        {"UTC time of four octets",
         {0xA1, 0x0D, 0x02, 0x01, 0x01, 0xA4, 0x08, 0xA1, 0x06, 0x91, 0x04, 0, 0, 0, 0},
         "8 octets"},
        {"data of an unknown alternative",
         {0xA1, 0x0A, 0x02, 0x01, 0x01, 0xA4, 0x05, 0xA1, 0x03, 0x9F, 0x20, 0x00},
         "MMS data was expected"},
        {"read response without results",
         {0xA1, 0x05, 0x02, 0x01, 0x01, 0xA4, 0x00},
         "list of access results is missing"},
        {"response of another service",
         {0xA1, 0x07, 0x02, 0x01, 0x01, 0xA6, 0x02, 0x80, 0x00},
         "a Read response was expected"},
        {"unsigned beyond 64 bits",
         {0xA1, 0x12, 0x02, 0x01, 0x01, 0xA4, 0x0D, 0xA1, 0x0B, 0x86, 0x09, 0x01, 0, 0, 0, 0, 0, 0, 0, 0},
         "too large"},
        {"trailing bytes", {0xA1, 0x05, 0x02, 0x01, 0x01, 0xA4, 0x00, 0x00}, "bytes follow"},
        {"no invoke ID", {0xA1, 0x02, 0xA4, 0x00}, "the invoke ID was expected"},
    };
    for (const auto& c : cases) {
        try {
            const Bytes bytes = c.bytes;
            const mms::MmsPdu pdu = mms::decodePdu(bytes);
            mms::decodeReadResponse(pdu.service);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const mms::ProtocolError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos)
                << c.what << ": " << error.what();
        }
    }
}

// A GetNamedVariableListAttributes response of one member "LD/X" with `access` as its alternate access.
Bytes listWithAccess(const std::function<void(mms::BerWriter&)>& access) {
    mms::BerWriter out;
    out.begin(mms::context(1, true));
    out.unsignedInteger(mms::kInteger, 1);
    out.begin(mms::context(12, true));
    out.boolean(mms::context(0), false);
    out.begin(mms::context(1, true));
    out.begin(mms::kSequence);
    out.begin(mms::context(0, true));
    out.begin(mms::context(1, true));
    out.text(mms::kVisibleString, "LD");
    out.text(mms::kVisibleString, "X");
    out.end();
    out.end();
    out.begin(mms::context(5, true));
    access(out);
    out.end();
    out.end();
    out.end();
    out.end();
    out.end();
    return out.take();
}

// Steps of an alternate access nested `depth` times: element 0, then the access that follows, ending in
// component "f".
void nestedAccess(mms::BerWriter& out, std::size_t depth) {
    if (depth == 0) {
        out.text(mms::context(1), "f");
        return;
    }
    out.begin(mms::context(0, true));
    out.unsignedInteger(mms::context(1), 0);
    out.begin(mms::kSequence);
    nestedAccess(out, depth - 1);
    out.end();
    out.end();
}

// The peer's own answer is decoded in the peer answers' test; these are the alternate accesses no
// server at hand sent.
TEST(MmsPdu, FollowsAnAlternateAccessAsOnePathOnly) {
    using W = mms::BerWriter;
    const auto decode = [](const Bytes& bytes) {
        try {
            const mms::MmsPdu pdu = mms::decodePdu(bytes);
            const mms::NamedVariableList list =
                mms::decodeGetNamedVariableListAttributesResponse(pdu.service);
            return list.members.at(0).name.text() + list.members.at(0).accessText();
        } catch (const mms::ProtocolError& error) {
            return std::string("refused: ") + error.what();
        }
    };
    const struct {
        const char* what;
        std::function<void(W&)> access;
        const char* expected; // the member, or a part of the refusal
    } cases[] = {
        {"component after a component",
         [](W& out) {
             out.begin(mms::context(0, true));
             out.text(mms::context(0), "cVal");
             out.begin(mms::kSequence);
             out.text(mms::context(1), "mag");
             out.end();
             out.end();
         },
         "LD/X.cVal.mag"},
        {"as deep as followed", [](W& out) { nestedAccess(out, mms::kMaxAccessSteps - 1); },
         "LD/X(0)(0)(0)(0)(0)(0)(0)(0)(0).f"},
        {"deeper than followed", [](W& out) { nestedAccess(out, mms::kMaxAccessSteps); }, "steps deep"},
        {"nothing selected", [](W&) {}, "selects nothing"},
        {"two components",
         [](W& out) {
             out.text(mms::context(1), "a");
             out.text(mms::context(1), "b");
         },
         "selects several parts"},
        {"a range of elements",
         [](W& out) {
             out.begin(mms::context(3, true));
             out.unsignedInteger(mms::context(0), 7);
             out.unsignedInteger(mms::context(1), 5);
             out.end();
         },
         "a range or all elements"},
        {"all elements", [](W& out) { out.null(mms::context(4)); }, "a range or all elements"},
        {"an index beyond 32 bits", [](W& out) { out.unsignedInteger(mms::context(2), 0x100000000); },
         "out of range"},
        {"a selection without the access after it",
         [](W& out) {
             out.begin(mms::context(0, true));
             out.unsignedInteger(mms::context(1), 9);
             out.end();
         },
         "the alternate access after a selection"},
        {"an empty component", [](W& out) { out.text(mms::context(1), ""); }, "empty component"},
    };
    for (const auto& c : cases) {
        const std::string got = decode(listWithAccess(c.access));
        EXPECT_NE(got.find(c.expected), std::string::npos) << c.what << ": " << got;
    }
}

} // namespace
