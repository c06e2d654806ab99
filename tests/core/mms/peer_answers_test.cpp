#include "core/mms/ber.h"
#include "core/mms/mms_pdu.h"
#include "core/mms/osi_stack.h"
#include "peer_transcript.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// Answers of an independent server, captured on the wire, through our decoder: our own server double
// shares the client's encoder, so only bytes written by someone else show where the two read the
// standard alike by accident.
namespace {

namespace mms = sw::mms;
using mms::Bytes;

const std::filesystem::path kPeerDir = sw::test::peerTranscriptFolder();
using sw::test::fromHex;

// The server's TPKTs of each association of a transcript.
std::vector<std::vector<Bytes>> serverAnswers(const std::string& file) {
    std::vector<std::vector<Bytes>> associations;
    for (const auto& exchanges : sw::test::peerExchanges(file)) {
        auto& answers = associations.emplace_back();
        for (const auto& exchange : exchanges) {
            answers.push_back(exchange.answer);
        }
    }
    return associations;
}

// The MMS PDU inside one TPKT of the data phase, through our own transport and session layers.
Bytes mmsPdu(const Bytes& tpkt) {
    EXPECT_EQ(mms::osi::tpktLength(mms::ByteView(tpkt).first(mms::osi::kTpktHeaderSize)), tpkt.size());
    const mms::osi::DataTpdu tpdu =
        mms::osi::parseDataTpdu(mms::ByteView(tpkt).subspan(mms::osi::kTpktHeaderSize));
    EXPECT_TRUE(tpdu.last);
    const mms::ByteView pdu = mms::osi::dataMmsPdu(tpdu.data);
    return Bytes(pdu.begin(), pdu.end());
}

// What the decoder makes of one answer, a line per result: "unsigned 255", "error object-non-existent
// missing", "type structure", "invoke 2 service error access 2 missing".
std::vector<std::string> decodedOrThrow(const Bytes& bytes) {
    const mms::MmsPdu pdu = mms::decodePdu(bytes);
    const std::string invoke = "invoke " + (pdu.invokeId ? std::to_string(*pdu.invokeId) : "none") + " ";
    std::vector<std::string> out;
    switch (pdu.kind) {
    case mms::PduKind::ConfirmedResponse:
        if (pdu.service.tag == mms::context(4, true)) {
            for (const mms::AccessResult& result : mms::decodeReadResponse(pdu.service)) {
                out.push_back(
                    result.value
                        ? std::string(mms::dataTypeName(result.value->type)) + " " + result.value->text
                        : "error " + result.errorText() + (result.objectMissing() ? " missing" : ""));
            }
        } else if (pdu.service.tag == mms::context(6, true)) {
            const mms::VariableAttributes attributes =
                mms::decodeGetVariableAccessAttributesResponse(pdu.service);
            out.push_back("type " + std::string(mms::dataTypeName(attributes.type)));
        } else if (pdu.service.tag == mms::context(12, true)) {
            const mms::NamedVariableList list =
                mms::decodeGetNamedVariableListAttributesResponse(pdu.service);
            out.push_back(list.deletable ? "deletable" : "fixed");
            for (const mms::ListMember& member : list.members) {
                out.push_back(member.name.text() + member.accessText());
            }
        } else {
            out.push_back("service " + mms::describeTag(pdu.service.tag));
        }
        break;
    case mms::PduKind::ConfirmedError:
    case mms::PduKind::Reject:
        out.push_back(invoke + pdu.error.text() + (pdu.error.objectMissing() ? " missing" : ""));
        break;
    default:
        out.push_back("kind " + std::to_string(static_cast<int>(pdu.kind)));
        break;
    }
    return out;
}

std::vector<std::string> decoded(const Bytes& bytes) {
    try {
        return decodedOrThrow(bytes);
    } catch (const mms::ProtocolError& error) {
        return {std::string("refused: ") + error.what()};
    }
}

// The 255 characters of the peer's VisString255: '!' to '~' twice, then '!' to 'c', quoted as we show
// strings.
std::string visString255Text() {
    std::string text = "\"";
    for (int round = 0; round < 3; ++round) {
        for (char c = '!'; c <= (round < 2 ? '~' : 'c'); ++c) {
            if (c == '"' || c == '\\') {
                text += '\\';
            }
            text += c;
        }
    }
    return text + "\"";
}

TEST(MmsPeer, DecodesTheAnswersOfAnIndependentServer) {
    if (!std::filesystem::is_directory(kPeerDir)) {
        GTEST_SKIP() << "no captured answers at " << kPeerDir.string();
    }
    const std::vector<std::string> edgeNumbers = {"unsigned 255", "unsigned 128",
                                                  "integer -9223372036854775808",
                                                  "integer 9223372036854775807", "unsigned 4294967295"};
    const struct {
        const char* file;
        std::size_t association;
        std::size_t answer; // the n-th "S:" line of that association, from 0
        std::vector<std::string> expected;
    } cases[] = {
        // INT8U 255 and 128 as the one octet ff / 80 from a server keeping 8 bits, then with a leading zero.
        {"05-int8u-int64-int32u.txt", 0, 0, edgeNumbers},
        {"05-int8u-int64-int32u.txt", 1, 0, edgeNumbers},
        {"06-phycomaddr.txt", 0, 0, {"type structure"}},
        {"06-phycomaddr.txt", 0, 1, {"structure {010ccd010001,4,1,4096}"}},
        // Fractions of 2^24 written cut down: only rounding gives back .123 and .999.
        {"09-timestamps.txt",
         0,
         0,
         {"utc-time 2023-11-14T22:13:20.123Z", "utc-time 1999-12-31T23:59:59.999Z",
          "utc-time 2106-02-07T06:28:15.999Z", "utc-time 1970-01-01T00:00:00.000Z"}},
        {"10-visstring255.txt", 0, 0, {"type visible-string"}},
        {"10-visstring255.txt", 0, 1, {"visible-string " + visString255Text()}},
        {"03-read-mixed.txt",
         0,
         0,
         {"boolean true", "integer 128", "floating-point 0.1", "bit-string 0100000000001",
          "utc-time 2038-01-19T03:14:08.500Z", "bit-string 10"}},
        // Four names asked, three results: the decoder gives what came; the caller must see the shortfall.
        {"04-read-one-short.txt", 0, 0, {"unsigned 16", "bit-string 0000000000000", "boolean false"}},
        {"04-read-one-short.txt", 0, 1, {}},
        // Array elements and their components through the members' alternate access.
        {"08-nvl-attributes.txt",
         0,
         0,
         {"fixed", "testComplexArray/MHAI1$MX$HA$phsAHar(7)", "testComplexArray/MHAI1$MX$HA$phsAHar(8)",
          "testComplexArray/MHAI1$MX$HA$phsAHar(9).cVal", "testComplexArray/MHAI1$MX$HA$phsAHar(10).cVal.mag",
          "testComplexArray/MHAI1$MX$HA$phsAHar(11).cVal.mag.f"}},
        {"08-nvl-attributes.txt",
         1,
         0,
         {"fixed", "simpleIOGenericIO/GGIO1$ST$SPCSO1$stVal", "simpleIOGenericIO/GGIO1$ST$SPCSO2$stVal",
          "simpleIOGenericIO/GGIO1$ST$SPCSO3$stVal", "simpleIOGenericIO/GGIO1$ST$SPCSO4$stVal"}},
        {"12-errors.txt", 0, 0, {"error object-non-existent missing"}},
        {"12-errors.txt", 0, 1, {"invoke 2 service error access 2 missing"}},
        {"12-errors.txt", 0, 2, {"invoke 3 service error access 2 missing"}},
        {"12-errors.txt", 0, 3, {"invoke 4 service error access 2 missing"}},
        {"12-errors.txt", 0, 4, {"invoke 5 request rejected (reason 1/1)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " association " + std::to_string(c.association) + " answer " +
                     std::to_string(c.answer));
        const std::vector<std::vector<Bytes>> associations = serverAnswers(c.file);
        ASSERT_LT(c.association, associations.size());
        ASSERT_LT(c.answer, associations[c.association].size());
        EXPECT_EQ(decoded(mmsPdu(associations[c.association][c.answer])), c.expected);
    }
}

// The edges next to the captured ones, which no server at hand sent.
TEST(MmsPeer, DecodesValuesAtTheEdgesOfTheirTypes) {
    const auto text = [](const Bytes& data) {
        try {
            mms::BerReader reader(data);
            return mms::decodeData(reader.next()).text;
        } catch (const mms::ProtocolError& error) {
            return std::string("refused: ") + error.what();
        }
    };
    const auto element = [](std::uint8_t tag, const Bytes& content) {
        Bytes out = {tag};
        mms::appendLength(out, content.size());
        out.insert(out.end(), content.begin(), content.end());
        return out;
    };
    const auto repeated = [](const std::string& part, std::size_t count) {
        std::string out;
        for (std::size_t i = 0; i < count; ++i) {
            out += part;
        }
        return out;
    };
    const auto repeatedBytes = [](const Bytes& part, std::size_t count) {
        Bytes out;
        for (std::size_t i = 0; i < count; ++i) {
            out.insert(out.end(), part.begin(), part.end());
        }
        return out;
    };
    const std::string ellipsis = "\xE2\x80\xA6";
    const Bytes nineOctets = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const std::string string256(256, 'x');
    const std::string unicode256 = std::string(255, 'a') + "\xC3\xA9";
    const struct {
        const char* what;
        Bytes data;
        std::string expected;
    } cases[] = {
        {"INT64U max with the leading zero", element(0x86, nineOctets), "18446744073709551615"},
        {"INT64U max in 8 octets", element(0x86, Bytes(8, 0xFF)), "18446744073709551615"},
        {"unsigned zero", element(0x86, {0x00}), "0"},
        {"INT32U max without the leading zero", element(0x86, {0xFF, 0xFF, 0xFF, 0xFF}), "4294967295"},
        {"fraction rounding up into the next second",
         {0x91, 0x08, 0, 0, 0, 59, 0xFF, 0xFF, 0xFF, 0x0A},
         "1970-01-01T00:01:00.000Z"},
        {"fraction just below half a millisecond",
         {0x91, 0x08, 0, 0, 0, 0, 0x00, 0x20, 0xC4, 0x0A},
         "1970-01-01T00:00:00.000Z"},
        {"a string beyond 255 characters is cut visibly",
         element(0x8A, Bytes(string256.begin(), string256.end())),
         "\"" + std::string(255, 'x') + "\"" + ellipsis},
        {"an MMS string is cut on characters, not octets",
         element(0x90, Bytes(unicode256.begin(), unicode256.end())),
         "\"" + std::string(255, 'a') + "\"" + ellipsis},
        {"a long octet string", element(0x89, Bytes(101, 0xAB)), repeated("ab", 100) + ellipsis},
        {"a structure beyond the line", element(0xA2, repeatedBytes({0x86, 0x01, 0x07}, 101)),
         "{" + repeated("7,", 100).substr(0, 199) + ellipsis},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text(c.data), c.expected) << c.what;
    }
}

} // namespace
