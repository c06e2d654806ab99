#include "core/mms/mms_client.h"
#include "core/mms/mms_listener.h"
#include "core/mms/mms_server.h"
#include "core/mms/osi_stack.h"
#include "peer_transcript.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The server's answers: byte for byte against an independent server's where the model is the same, to
// our own client over TCP, and to requests that break the rules.
namespace {

namespace mms = sw::mms;
using mms::Bytes;
using mms::DataType;

const std::filesystem::path kPeerDir = sw::test::peerTranscriptFolder();
using sw::test::fromHex;

std::string hex(const Bytes& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const std::uint8_t byte : bytes) {
        out += digits[byte >> 4];
        out += digits[byte & 0xF];
    }
    return out;
}

using Exchange = sw::test::PeerExchange;
using sw::test::peerExchanges;

mms::ByteView tpdu(const Bytes& tpkt) {
    return mms::ByteView(tpkt).subspan(mms::osi::kTpktHeaderSize);
}

Bytes dataTpkt(const Bytes& spdu) {
    Bytes unit = mms::osi::dataTpduHeader(true);
    unit.insert(unit.end(), spdu.begin(), spdu.end());
    return mms::osi::tpkt(unit);
}

// Places a leaf, making the structures above it.
void put(mms::ServedModel& model, const std::string& domain, const std::string& item, DataType type,
         std::int32_t size, Bytes value) {
    mms::ServedDomain* holder = nullptr;
    for (mms::ServedDomain& existing : model.domains) {
        holder = existing.name == domain ? &existing : holder;
    }
    if (holder == nullptr) {
        holder = &model.domains.emplace_back();
        holder->name = domain;
    }
    std::vector<mms::ServedNode>* level = &holder->variables;
    mms::ServedNode* node = nullptr;
    for (std::size_t start = 0;;) {
        const std::size_t cut = item.find('$', start);
        const std::string name = item.substr(start, cut - start);
        node = nullptr;
        for (mms::ServedNode& existing : *level) {
            node = existing.name == name ? &existing : node;
        }
        if (node == nullptr) {
            node = &level->emplace_back();
            node->name = name;
        }
        if (cut == std::string::npos) {
            break;
        }
        level = &node->components;
        start = cut + 1;
    }
    node->type = type;
    node->size = size;
    node->value = std::move(value);
}

mms::ServedModel peerModel() {
    mms::ServedModel model;
    // The test server of basic types (TYPLD0).
    put(model, "TYPLD0", "GGIO1$ST$Mid$b", DataType::Boolean, 0, mms::booleanData(true));
    put(model, "TYPLD0", "GGIO1$ST$Mid$i32", DataType::Integer, 32, mms::integerData(128));
    put(model, "TYPLD0", "GGIO1$ST$Mid$f32", DataType::FloatingPoint, 32, mms::float32Data(0.1F));
    put(model, "TYPLD0", "GGIO1$ST$Mid$q", DataType::BitString, 13,
        mms::bitStringData(1u << 1 | 1u << 12, 13));
    put(model, "TYPLD0", "GGIO1$ST$Mid$t", DataType::UtcTime, 0, mms::utcTimeData(0x80000000, 0x800000));
    put(model, "TYPLD0", "XCBR1$ST$Pos$stVal", DataType::BitString, 2, mms::bitStringData(1, 2));
    // The GOOSE control block and data sets of the example device.
    const std::string io = "simpleIOGenericIO";
    put(model, io, "LLN0$GO$gcbEvents$DatSet", DataType::VisibleString, -129,
        mms::visibleStringData(io + "/LLN0$Events3"));
    put(model, io, "LLN0$GO$gcbEvents$GoEna", DataType::Boolean, 0, mms::booleanData(true));
    put(model, io, "LLN0$GO$gcbEvents$GoID", DataType::VisibleString, -129, mms::visibleStringData("events"));
    const std::uint8_t address[] = {0x01, 0x0C, 0xCD, 0x01, 0x00, 0x01};
    put(model, io, "LLN0$GO$gcbEvents$DstAddress$Addr", DataType::OctetString, 6,
        mms::octetStringData(address));
    put(model, io, "LLN0$GO$gcbEvents$DstAddress$PRIORITY", DataType::Unsigned, 8, mms::unsignedData(4, 8));
    put(model, io, "LLN0$GO$gcbEvents$DstAddress$VID", DataType::Unsigned, 16, mms::unsignedData(1, 16));
    put(model, io, "LLN0$GO$gcbEvents$DstAddress$APPID", DataType::Unsigned, 16,
        mms::unsignedData(0x1000, 16));
    mms::ServedDomain& ioDomain = *std::find_if(model.domains.begin(), model.domains.end(),
                                                [&](const mms::ServedDomain& d) { return d.name == io; });
    for (const char* list : {"LLN0$Events2", "LLN0$Measurements"}) {
        ioDomain.lists[list] = {};
    }
    for (int i = 1; i <= 4; ++i) {
        ioDomain.lists["LLN0$Events"].push_back({{io, "GGIO1$ST$SPCSO" + std::to_string(i) + "$stVal"}, {}});
    }
    mms::ServedDomain& array = model.domains.emplace_back();
    array.name = "testComplexArray";
    std::vector<mms::ListMember>& members = array.lists["MHAI1$TestMHAI"];
    const std::vector<std::vector<std::string>> parts = {
        {}, {}, {"cVal"}, {"cVal", "mag"}, {"cVal", "mag", "f"}};
    for (std::uint32_t i = 0; i < parts.size(); ++i) {
        mms::ListMember member{{array.name, "MHAI1$MX$HA$phsAHar"}, {{true, 7 + i, {}}}};
        for (const std::string& component : parts[i]) {
            member.access.push_back({false, 0, component});
        }
        members.push_back(member);
    }
    return model;
}

// The services the server offers in its initiate response: getNameList, read, write,
// getVariableAccessAttributes, getNamedVariableListAttributes and conclude.
const Bytes kOurServices = fromHex("4e080000000000000000"
                                   "10");

TEST(MmsServer, AnswersAsAnIndependentServerDoesWhereTheModelIsTheSame) {
    if (!std::filesystem::is_directory(kPeerDir)) {
        GTEST_SKIP() << "no captured answers at " << kPeerDir.string();
    }
    mms::MmsServer server(peerModel());

    // The whole association; the initiate response differs only in the services each server offers.
    const std::vector<Exchange> association = peerExchanges("01-association.txt").front();
    ASSERT_EQ(association.size(), 4u);
    const mms::osi::ConnectionRequest request =
        mms::osi::parseConnectionRequest(tpdu(association[0].request));
    EXPECT_EQ(hex(mms::osi::tpkt(mms::osi::connectionConfirm(request))), hex(association[0].answer));
    const mms::osi::DataTpdu connectUnit = mms::osi::parseDataTpdu(tpdu(association[1].request));
    const mms::osi::ConnectIndication connect = mms::osi::parseConnectSpdu(connectUnit.data);
    mms::MmsServer::Association state;
    const Bytes accept =
        dataTpkt(mms::osi::acceptSpdu(connect, server.initiate(connect.mmsInitiateRequest, state)));
    Bytes expected = association[1].answer;
    std::copy(kOurServices.begin(), kOurServices.end(),
              expected.end() - static_cast<std::ptrdiff_t>(kOurServices.size()));
    EXPECT_EQ(hex(accept), hex(expected));
    EXPECT_EQ(state.maxPduSize, 65000u);
    for (std::size_t i = 2; i < 4; ++i) {
        const mms::ByteView spdu = mms::osi::parseDataTpdu(tpdu(association[i].request)).data;
        const Bytes answer = mms::osi::isFinishSpdu(spdu)
                                 ? mms::osi::disconnectSpdu()
                                 : mms::osi::dataSpdu(server.answer(mms::osi::requestMmsPdu(spdu), state));
        EXPECT_EQ(hex(dataTpkt(answer)), hex(association[i].answer)) << "exchange " << i;
    }
    EXPECT_TRUE(state.concluded);

    // Data-phase exchanges (file, association, exchange numbers from 0) whose model ours repeats; left
    // out: a page of names filled to another server's sizes, a result another server leaves out, controls.
    const struct {
        const char* file;
        std::size_t association;
        std::vector<std::size_t> exchanges;
    } cases[] = {
        {"02-getnamelist.txt", 0, {3}},        // named variable lists
        {"03-read-mixed.txt", 0, {0}},         // values of every basic type
        {"06-phycomaddr.txt", 0, {0, 1}},      // a structure's type and value
        {"07-gocb-datset.txt", 0, {0}},        // control block attributes, one missing
        {"08-nvl-attributes.txt", 0, {0}},     // list members with array indexes and components
        {"08-nvl-attributes.txt", 1, {0}},     // plain list members
        {"12-errors.txt", 0, {0, 1, 2, 3, 4}}, // access errors, service errors, a reject
    };
    for (const auto& c : cases) {
        const std::vector<Exchange> all = peerExchanges(c.file).at(c.association);
        mms::MmsServer::Association data{65000, false};
        for (const std::size_t i : c.exchanges) {
            const mms::ByteView spdu = mms::osi::parseDataTpdu(tpdu(all.at(i).request)).data;
            const Bytes answer =
                dataTpkt(mms::osi::dataSpdu(server.answer(mms::osi::requestMmsPdu(spdu), data)));
            EXPECT_EQ(hex(answer), hex(all.at(i).answer)) << c.file << " exchange " << i;
        }
    }
}

mms::ServedModel smallModel() {
    mms::ServedModel model;
    put(model, "IEDLD0", "GGIO1$ST$Ind1$stVal", DataType::Boolean, 0, mms::booleanData(false));
    put(model, "IEDLD0", "GGIO1$ST$Ind1$q", DataType::BitString, 13, mms::bitStringData(0, 13));
    put(model, "IEDLD0", "GGIO1$MX$AnIn1$mag$f", DataType::FloatingPoint, 32, mms::float32Data(50.0F));
    put(model, "IEDLD0", "LLN0$ST$Mod$stVal", DataType::Integer, 8, mms::integerData(1));
    model.domains.front().lists["LLN0$DataSet1"] = {{{"IEDLD0", "GGIO1$ST$Ind1$stVal"}, {}},
                                                    {{"IEDLD0", "LLN0$ST$Mod$stVal"}, {}}};
    return model;
}

Bytes confirmedRequest(std::uint32_t invokeId, const std::function<void(mms::BerWriter&)>& service) {
    mms::BerWriter out;
    out.begin(mms::context(0, true));
    out.unsignedInteger(mms::kInteger, invokeId);
    service(out);
    out.end();
    return out.take();
}

Bytes writeRequest(const std::string& item, const Bytes& data) {
    return confirmedRequest(7, [&](mms::BerWriter& out) {
        out.begin(mms::context(5, true));
        out.begin(mms::context(0, true));
        out.begin(mms::kSequence);
        out.begin(mms::context(0, true));
        mms::encodeObjectName(out, {"IEDLD0", item});
        out.end();
        out.end();
        out.end();
        out.begin(mms::context(0, true));
        out.raw(data);
        out.end();
        out.end();
    });
}

TEST(MmsServer, ServesOurClientOverTcp) {
    auto server = std::make_shared<mms::MmsServer>(smallModel());
    server->setClock([] { return std::chrono::milliseconds(0); });
    mms::MmsListener listener(server, 0x7F000001, 0);
    mms::MmsClient client;
    client.connect("127.0.0.1", listener.port(), {});
    EXPECT_EQ(client.maxPduSize(), mms::kProposedMaxPduSize);

    const auto domains = client.getNameList(mms::ObjectClass::Domain, "");
    ASSERT_TRUE(domains.value);
    EXPECT_EQ(*domains.value, std::vector<std::string>{"IEDLD0"});
    const auto variables = client.getNameList(mms::ObjectClass::NamedVariable, "IEDLD0");
    ASSERT_TRUE(variables.value);
    EXPECT_EQ(variables.value->size(), 13u); // every structure and component below the nodes
    EXPECT_EQ(variables.value->front(), "GGIO1");
    EXPECT_EQ(client.getNameList(mms::ObjectClass::NamedVariableList, "IEDLD0").value,
              std::vector<std::string>{"LLN0$DataSet1"});

    const auto read = client.read(
        {{"IEDLD0", "GGIO1$ST$Ind1"}, {"IEDLD0", "GGIO1$MX$AnIn1$mag$f"}, {"IEDLD0", "GGIO1$ST$NoSuch"}});
    ASSERT_TRUE(read.value);
    ASSERT_EQ(read.value->size(), 3u);
    EXPECT_EQ((*read.value)[0].value->text, "{false,0000000000000}");
    EXPECT_EQ((*read.value)[1].value->text, "50");
    EXPECT_TRUE((*read.value)[2].objectMissing());

    const auto type = client.getVariableAccessAttributes({"IEDLD0", "LLN0$ST$Mod$stVal"});
    ASSERT_TRUE(type.value);
    EXPECT_EQ(type.value->type, DataType::Integer);
    EXPECT_TRUE(client.getVariableAccessAttributes({"IEDLD0", "LLN0$ST$Nope"}).error.objectMissing());
    const auto list = client.getNamedVariableListAttributes({"IEDLD0", "LLN0$DataSet1"});
    ASSERT_TRUE(list.value);
    ASSERT_EQ(list.value->members.size(), 2u);
    EXPECT_EQ(list.value->members[1].name.item, "LLN0$ST$Mod$stVal");
    client.conclude();
    EXPECT_FALSE(client.connected());
}

TEST(MmsServer, WritesOnlyValuesOfTheVariablesType) {
    mms::MmsServer server(smallModel());
    mms::MmsServer::Association association{65000, false};
    const struct {
        const char* item;
        Bytes data;
        const char* answer; // the Write response's result
    } cases[] = {
        {"GGIO1$ST$Ind1$stVal", mms::booleanData(true), "8100"},   // success
        {"GGIO1$ST$Ind1$stVal", mms::integerData(1), "800107"},    // type-inconsistent
        {"GGIO1$ST$Ind1$q", mms::bitStringData(0, 12), "800107"},  // 12 bits for 13
        {"GGIO1$ST$Ind1", mms::booleanData(true), "800107"},       // a leaf for a structure
        {"GGIO1$ST$Gone$stVal", mms::booleanData(true), "80010a"}, // object-non-existent
    };
    for (const auto& c : cases) {
        const Bytes answer = server.answer(writeRequest(c.item, c.data), association);
        EXPECT_EQ(hex(answer),
                  "a1" + hex({static_cast<std::uint8_t>(5 + std::string(c.answer).size() / 2)}) + "020107a5" +
                      hex({static_cast<std::uint8_t>(std::string(c.answer).size() / 2)}) + c.answer)
            << c.item;
    }
    EXPECT_EQ(server.value({"IEDLD0", "GGIO1$ST$Ind1$stVal"}), mms::booleanData(true));
}

Bytes readRequest(const std::string& item) {
    return confirmedRequest(9, [&](mms::BerWriter& out) {
        out.begin(mms::context(4, true));
        out.begin(mms::context(1, true));
        out.begin(mms::context(0, true));
        out.begin(mms::kSequence);
        out.begin(mms::context(0, true));
        mms::encodeObjectName(out, {"IEDLD0", item});
        out.end();
        out.end();
        out.end();
        out.end();
        out.end();
    });
}

// Controls under their control models: direct (SPCSO1), status only (SPCSO2) and select before
// operate (Pos, its selection lasting one second).
mms::ServedModel controlModel() {
    mms::ServedModel model;
    for (const std::string object : {"GGIO1$%$SPCSO1", "GGIO1$%$SPCSO2", "CSWI1$%$Pos"}) {
        const auto at = [&](const std::string& fc, const std::string& rest) {
            std::string item = object;
            return item.replace(item.find('%'), 1, fc) + "$" + rest;
        };
        const bool position = object.starts_with("CSWI1");
        put(model, "IEDLD0", at("ST", "stVal"), position ? DataType::BitString : DataType::Boolean,
            position ? 2 : 0, position ? mms::bitStringData(0, 2) : mms::booleanData(false));
        put(model, "IEDLD0", at("CF", "ctlModel"), DataType::Integer, 8,
            mms::integerData(position                ? 2
                             : object.ends_with("1") ? 1
                                                     : 0));
        for (const char* attribute : {"Oper", "Cancel"}) {
            put(model, "IEDLD0", at("CO", attribute) + "$ctlVal", DataType::Boolean, 0,
                mms::booleanData(false));
            put(model, "IEDLD0", at("CO", attribute) + "$ctlNum", DataType::Unsigned, 8,
                mms::unsignedData(0, 8));
        }
        put(model, "IEDLD0", at("CO", "SBO"), DataType::VisibleString, -129, mms::visibleStringData(""));
    }
    put(model, "IEDLD0", "CSWI1$CF$Pos$sboTimeout", DataType::Unsigned, 32, mms::unsignedData(1000));
    return model;
}

Bytes operate(bool value) {
    mms::BerWriter out;
    out.begin(mms::context(2, true));
    out.raw(mms::booleanData(value));
    out.raw(mms::unsignedData(1, 8));
    out.end();
    return out.take();
}

TEST(MmsServer, OperatesControlsUnderTheirControlModel) {
    mms::MmsServer server(controlModel());
    std::chrono::milliseconds now{0};
    server.setClock([&now] { return now; });
    mms::MmsServer::Association first{65000, false};
    mms::MmsServer::Association second{65000, false};
    const std::string done = "8100";
    const std::string denied = "800103"; // object-access-denied
    // The Write response's one result.
    const auto write = [&](mms::MmsServer::Association& by, const std::string& item, const Bytes& data) {
        return hex(server.answer(writeRequest(item, data), by)).substr(14);
    };
    // The selected object's name, or empty when it could not be selected.
    const auto select = [&](mms::MmsServer::Association& by) -> std::string {
        const Bytes answer = server.answer(readRequest("CSWI1$CO$Pos$SBO"), by);
        const Bytes empty = mms::visibleStringData("");
        const Bytes name = mms::visibleStringData("IEDLD0/CSWI1$CO$Pos");
        return std::equal(name.rbegin(), name.rend(), answer.rbegin())     ? "IEDLD0/CSWI1$CO$Pos"
               : std::equal(empty.rbegin(), empty.rend(), answer.rbegin()) ? ""
                                                                           : "?";
    };
    const auto position = [&] { return server.value({"IEDLD0", "CSWI1$ST$Pos$stVal"}); };

    // Direct: the operate is done and stVal follows ctlVal; status only: refused, stVal stays.
    EXPECT_EQ(write(first, "GGIO1$CO$SPCSO1$Oper", operate(true)), done);
    EXPECT_EQ(server.value({"IEDLD0", "GGIO1$ST$SPCSO1$stVal"}), mms::booleanData(true));
    EXPECT_EQ(write(first, "GGIO1$CO$SPCSO2$Oper", operate(true)), denied);
    EXPECT_EQ(server.value({"IEDLD0", "GGIO1$ST$SPCSO2$stVal"}), mms::booleanData(false));

    // Select before operate: no operate without a selection, none by another association, and one
    // operate per selection.
    EXPECT_EQ(write(first, "CSWI1$CO$Pos$Oper", operate(true)), denied);
    EXPECT_EQ(select(first), "IEDLD0/CSWI1$CO$Pos");
    EXPECT_EQ(select(second), "");
    EXPECT_EQ(write(second, "CSWI1$CO$Pos$Oper", operate(true)), denied);
    EXPECT_EQ(position(), mms::bitStringData(0, 2));
    EXPECT_EQ(write(first, "CSWI1$CO$Pos$Oper", operate(true)), done);
    EXPECT_EQ(position(), mms::bitStringData(1, 2)); // on: "10"
    EXPECT_EQ(write(first, "CSWI1$CO$Pos$Oper", operate(false)), denied);

    // A selection not operated within sboTimeout expires; Cancel ends one.
    EXPECT_EQ(select(first), "IEDLD0/CSWI1$CO$Pos");
    now = std::chrono::milliseconds(1000);
    EXPECT_EQ(write(first, "CSWI1$CO$Pos$Oper", operate(false)), denied);
    EXPECT_EQ(select(second), "IEDLD0/CSWI1$CO$Pos");
    EXPECT_EQ(write(second, "CSWI1$CO$Pos$Cancel", operate(false)), done);
    EXPECT_EQ(write(second, "CSWI1$CO$Pos$Oper", operate(false)), denied);
    EXPECT_EQ(position(), mms::bitStringData(1, 2));
    EXPECT_EQ(select(second), "IEDLD0/CSWI1$CO$Pos");
    EXPECT_EQ(write(second, "CSWI1$CO$Pos$Oper", operate(false)), done);
    EXPECT_EQ(position(), mms::bitStringData(2, 2)); // off: "01"

    // A control's attributes are not written as plain values.
    EXPECT_EQ(write(first, "GGIO1$CO$SPCSO1$SBO", mms::visibleStringData("x")), denied);
    EXPECT_EQ(write(first, "GGIO1$CO$SPCSO1$Oper$ctlVal", mms::booleanData(false)), denied);
    EXPECT_EQ(server.value({"IEDLD0", "GGIO1$ST$SPCSO1$stVal"}), mms::booleanData(true));
}

TEST(MmsServer, RefusesMalformedAndOversizedRequestsWithoutFailing) {
    mms::ServerLimits limits;
    limits.maxVariables = 2;
    mms::MmsServer server(smallModel(), limits);
    mms::MmsServer::Association association{65000, false};
    const auto readOf = [](std::size_t count, const std::string& item) {
        return confirmedRequest(3, [&](mms::BerWriter& out) {
            out.begin(mms::context(4, true));
            out.begin(mms::context(1, true));
            out.begin(mms::context(0, true));
            for (std::size_t i = 0; i < count; ++i) {
                out.begin(mms::kSequence);
                out.begin(mms::context(0, true));
                mms::encodeObjectName(out, {"IEDLD0", item});
                out.end();
                out.end();
            }
            out.end();
            out.end();
            out.end();
        });
    };
    const struct {
        const char* what;
        Bytes request;
        const char* answer;
    } cases[] = {
        {"cut off", fromHex("a005020103"),
         "a40385"
         "0101"},
        {"not a PDU of the data phase", fromHex("a8020500"), "a403850100"},
        {"an invoke ID beyond 32 bits", fromHex("a00902050100000000a400"), "a403850101"},
        {"bytes after the PDU", fromHex("8b000000"), "a403850101"},
        {"an unknown service", fromHex("a0070201098b020000"),
         "a40680010981"
         "0101"},
        {"more variables than allowed", readOf(3, "GGIO1"), "a406800103810104"},
        {"a name beyond the limit", readOf(1, std::string(300, 'A')), "a406800103810104"},
        {"a Read without its list", fromHex("a007020103a4028000"), "a406800103810104"},
    };
    for (const auto& c : cases) {
        std::string want = c.answer;
        want.erase(std::remove(want.begin(), want.end(), ' '), want.end());
        EXPECT_EQ(hex(server.answer(c.request, association)), want) << c.what;
    }
    // An answer beyond the negotiated size is a resource error, not a cut message.
    mms::MmsServer::Association small{40, false};
    const Bytes big = server.answer(readOf(2, "GGIO1"), small);
    EXPECT_LE(big.size(), 40u);
    EXPECT_EQ(hex(big).substr(0, 4), "a20a") << hex(big);
}

} // namespace
