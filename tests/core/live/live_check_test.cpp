#include "core/access/access_file.h"
#include "core/live/live_check.h"
#include "core/mms/mms_client.h"
#include "core/mms/osi_stack.h"

#include "mms_server_double.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace mms = sw::mms;
namespace live = sw::live;
using live::LiveRow;
using live::RowKind;
using sw::test::MmsServerDouble;

// One logical device "IED1LD0" with a GGIO node, an LLN0 with a data set and its GOOSE control block.
MmsServerDouble::Model smallModel() {
    MmsServerDouble::Model model;
    model.add("IED1LD0", "GGIO1$ST$Ind1$stVal", MmsServerDouble::boolean(true));
    model.add("IED1LD0", "GGIO1$ST$Ind1$q", MmsServerDouble::bitString("0000000000000"));
    model.add("IED1LD0", "GGIO1$ST$Ind1$t", MmsServerDouble::utcTime(1700000000));
    model.add("IED1LD0", "GGIO1$MX$AnIn1$mag$f", MmsServerDouble::float32(2.5f));
    model.add("IED1LD0", "LLN0$ST$Mod$stVal", MmsServerDouble::integer(1));
    model.add("IED1LD0", "LLN0$GO$gcb01$GoEna", MmsServerDouble::boolean(false));
    model.add("IED1LD0", "LLN0$GO$gcb01$DatSet", MmsServerDouble::visibleString("IED1LD0/LLN0$DataSet1"));
    model.dataSets["IED1LD0"]["LLN0$DataSet1"] = {{{"IED1LD0", "GGIO1$ST$Ind1"}, {}},
                                                  {{"IED1LD0", "GGIO1$MX$AnIn1$mag$f"}, {}}};
    return model;
}

LiveRow variable(std::size_t row, unsigned short port, std::string reference, std::string fc,
                 std::string bType) {
    LiveRow r;
    r.kind = RowKind::Variable;
    r.row = row;
    r.address = "127.0.0.1";
    r.port = std::to_string(port);
    r.reference = std::move(reference);
    r.fc = std::move(fc);
    r.bType = std::move(bType);
    return r;
}

LiveRow dataSet(std::size_t row, unsigned short port, std::string reference,
                std::vector<std::string> members) {
    LiveRow r;
    r.kind = RowKind::DataSet;
    r.row = row;
    r.address = "127.0.0.1";
    r.port = std::to_string(port);
    r.reference = std::move(reference);
    r.memberReferences = std::move(members);
    return r;
}

LiveRow goose(std::size_t row, unsigned short port, std::string reference, std::string name) {
    LiveRow r = dataSet(row, port, std::move(reference), {});
    r.kind = RowKind::Goose;
    r.gooseName = std::move(name);
    return r;
}

std::vector<std::string> lines(const std::vector<live::LiveResult>& results) {
    std::vector<std::string> out;
    for (const auto& result : results) {
        out.push_back(live::resultLine(result));
    }
    return out;
}

live::LiveCheckOptions quick() {
    live::LiveCheckOptions options;
    options.timeouts.connect = std::chrono::milliseconds(1000);
    options.timeouts.request = std::chrono::milliseconds(1000);
    options.timeouts.total = std::chrono::milliseconds(10000);
    return options;
}

TEST(LiveCheck, ReportsEachRowAgainstTheServerItNames) {
    MmsServerDouble server(smallModel());
    const unsigned short port = server.port();
    const unsigned short nobody = MmsServerDouble::unusedPort();
    const std::vector<LiveRow> rows = {
        variable(1, port, "IED1LD0/GGIO1.Ind1.stVal", "ST", "BOOLEAN"),
        variable(2, port, "IED1LD0/GGIO1.Ind2.stVal", "ST", "BOOLEAN"),
        variable(3, port, "IED1LD0/GGIO1.Ind1.stVal", "ST", "INT32"),
        variable(4, nobody, "IED1LD0/GGIO1.Ind1.stVal", "ST", "BOOLEAN"),
        variable(5, port, "IED1LD0/GGIO1.Ind1.q", "ST", "Quality"),
        variable(6, port, "IED1LD0/GGIO1.AnIn1.mag.f", "MX", "FLOAT32"),
        variable(7, port, "IED1LD0/GGIO1.Ind1.t", "ST", "Timestamp"),
        variable(8, port, "IED1LD0/LLN0.Mod.stVal", "ST", "Enum"),
        variable(9, port, "no slash", "ST", "BOOLEAN"),
        dataSet(1, port, "IED1LD0/LLN0.DataSet1", {"IED1LD0/GGIO1.Ind1.stVal", "IED1LD0/GGIO1.AnIn1.mag.f"}),
        goose(1, port, "IED1LD0/LLN0.DataSet1", "gcb01"),
        dataSet(2, port, "IED1LD0/LLN0.DataSet2", {}),
        goose(2, port, "IED1LD0/LLN0.DataSet2", "gcb02"),
        dataSet(3, port, "IED1LD0/LLN0.DataSet1", {"IED1LD0/GGIO1.Ind1.q", "IED1LD0/GGIO1.Ind3.stVal"}),
        dataSet(4, nobody, "IED1LD0/LLN0.DataSet1", {}),
    };
    std::vector<live::LiveCount> progress;
    const auto results =
        live::runLiveCheck(rows, quick(), [&](const live::LiveCount& count) { progress.push_back(count); });
    const std::string refused = "unreachable connecting to 127.0.0.1:" + std::to_string(nobody) + " failed: ";
    const std::vector<std::string> got = lines(results);
    const std::vector<std::string> expected = {
        "var 1 ok true",
        "var 2 missing",
        "var 3 type integer boolean",
        "var 4 " + refused,
        "var 5 ok 0000000000000",
        "var 6 ok 2.5",
        "var 7 ok 2023-11-14T22:13:20.500Z",
        "var 8 ok 1",
        "var 9 invalid reference \"no slash\" with fc \"ST\" names no MMS variable",
        "ds 1 ok 2",
        "goose 1 ok GoEna=false",
        "ds 2 missing",
        "goose 2 missing",
        "ds 3 differs without IED1LD0/GGIO1.Ind3.stVal",
        "ds 4 " + refused,
    };
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        if (expected[i].ends_with(refused)) { // the system words the reason
            EXPECT_EQ(got[i].rfind(expected[i], 0), 0u) << got[i];
        } else {
            EXPECT_EQ(got[i], expected[i]);
        }
    }
    // One association for the one server, read in one request, concluded.
    EXPECT_EQ(server.associations(), 1u);
    EXPECT_EQ(server.readRequests(), 2u); // the variables, then the control blocks
    EXPECT_EQ(server.concludes(), 1u);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), (live::LiveCount{rows.size(), rows.size(), 2, 2}));
}

// A data set of a node with prefix and instance whose members are elements of an array, and parts of
// them, as servers send them: each through its alternate access.
TEST(LiveCheck, ComparesArrayElementsOfADataSetOneByOneAndInOrder) {
    const auto element = [](std::uint32_t index, const std::vector<std::string>& components) {
        return MmsServerDouble::arrayElement("LD", "myMHAI3$MX$HA$phsAHar", index, components);
    };
    MmsServerDouble::Model model;
    model.dataSets["LD"]["myMHAI3$TestMHAI"] = {element(7, {}), element(8, {}), element(9, {"cVal"}),
                                                element(10, {"cVal", "mag"}),
                                                element(11, {"cVal", "mag", "f"})};
    model.dataSets["LD"]["myMHAI3$Part"] = {element(7, {}), element(8, {}), element(9, {"cVal"})};
    MmsServerDouble server(model);
    const unsigned short port = server.port();
    const std::string array = "LD/myMHAI3.HA.phsAHar";
    // What the access list holds for elements 7 to 11: a whole element by its first leaf.
    const std::vector<std::string> elements = {array + "(7).cVal.mag.f", array + "(8).cVal.mag.f",
                                               array + "(9).cVal", array + "(10).cVal.mag",
                                               array + "(11).cVal.mag.f"};
    const auto got = lines(live::runLiveCheck(
        {
            dataSet(1, port, "LD/myMHAI3.TestMHAI", elements),
            dataSet(2, port, "LD/myMHAI3.Part", elements),
            dataSet(3, port, "LD/myMHAI3.TestMHAI",
                    {array + "(1).cVal.mag.f", array + ".cVal.mag.f", array + "(10).cVal.ang"}),
            dataSet(4, port, "LD/myMHAI3.TestMHAI", {elements[1], elements[0]}),
            dataSet(5, port, "LD/MHAI.TestMHAI", elements),
        },
        quick()));
    EXPECT_EQ(got, (std::vector<std::string>{
                       "ds 1 ok 5",
                       "ds 2 differs without " + elements[3] + " " + elements[4],
                       "ds 3 differs without " + array + "(1).cVal.mag.f " + array + ".cVal.mag.f " + array +
                           "(10).cVal.ang",
                       "ds 4 differs order: " + elements[0] + " comes before " + elements[1],
                       "ds 5 missing",
                   }));
    // The lists are asked for by the node's whole name in the logical device's domain.
    std::vector<std::string> asked;
    for (const MmsServerDouble::Request& request : server.requests()) {
        if (request.service == 12) {
            asked.push_back(request.names.at(0).text());
        }
    }
    EXPECT_EQ(asked,
              (std::vector<std::string>{"LD/myMHAI3$TestMHAI", "LD/myMHAI3$Part", "LD/myMHAI3$TestMHAI",
                                        "LD/myMHAI3$TestMHAI", "LD/MHAI$TestMHAI"}));
}

TEST(LiveCheck, RowsWithoutAUsableAddressContactNobody) {
    MmsServerDouble server(smallModel());
    LiveRow badAddress = variable(1, server.port(), "IED1LD0/GGIO1.Ind1.stVal", "ST", "BOOLEAN");
    badAddress.address = "127.0.0";
    LiveRow badPort = variable(2, server.port(), "IED1LD0/GGIO1.Ind1.stVal", "ST", "BOOLEAN");
    badPort.port = "70000";
    const auto got = lines(live::runLiveCheck({badAddress, badPort}, quick()));
    EXPECT_EQ(got,
              (std::vector<std::string>{"var 1 unreachable \"127.0.0\" is not an IPv4 address",
                                        "var 2 unreachable port \"70000\" is not a number from 1 to 65535"}));
    EXPECT_EQ(server.associations(), 0u);
}

TEST(LiveCheck, EndsWithinTheTimeOutWhenTheServerNeverAnswers) {
    MmsServerDouble::Options options;
    options.behaviour = MmsServerDouble::Behaviour::Silent;
    MmsServerDouble server(smallModel(), options);
    live::LiveCheckOptions check = quick();
    check.timeouts.request = std::chrono::milliseconds(300);
    const auto start = std::chrono::steady_clock::now();
    const auto results =
        live::runLiveCheck({variable(1, server.port(), "IED1LD0/GGIO1.Ind1.stVal", "ST", "BOOLEAN")}, check);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(live::resultLine(results[0]), "var 1 unreachable no answer from 127.0.0.1:" +
                                                std::to_string(server.port()) + " within 0.3 s");
}

// Servers that take the connection and never answer, two rows each, the rows of one server apart.
struct SilentServers {
    explicit SilentServers(std::size_t count) {
        MmsServerDouble::Options options;
        options.behaviour = MmsServerDouble::Behaviour::Silent;
        for (std::size_t i = 0; i < count; ++i) {
            servers.push_back(std::make_unique<MmsServerDouble>(smallModel(), options));
        }
        for (std::size_t round = 0; round < 2; ++round) {
            for (const auto& server : servers) {
                rows.push_back(
                    variable(rows.size() + 1, server->port(), "IED1LD0/GGIO1.Ind1.stVal", "ST", "BOOLEAN"));
            }
        }
    }
    std::vector<std::unique_ptr<MmsServerDouble>> servers;
    std::vector<LiveRow> rows;
};

// Twenty silent servers cost a few time-outs, not twenty; the results keep the rows' order, and the
// progress comes one call at a time with counts that only grow.
TEST(LiveCheck, ChecksServersAtOnce) {
    constexpr std::size_t kServers = 20;
    const SilentServers silent(kServers);
    live::LiveCheckOptions check = quick();
    check.timeouts.request = std::chrono::milliseconds(500);
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::vector<live::LiveCount> progress;
    const auto start = std::chrono::steady_clock::now();
    const auto results = live::runLiveCheck(silent.rows, check, [&](const live::LiveCount& count) {
        if (inside.fetch_add(1) != 0) {
            overlapped = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1)); // widens any overlap
        progress.push_back(count);
        inside.fetch_sub(1);
    });
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // One after the other would take 20 x 0.5 s; at eight at a time it takes three time-outs.
    EXPECT_LT(elapsed, std::chrono::seconds(5));
    ASSERT_EQ(results.size(), 2 * kServers);
    for (std::size_t i = 0; i < results.size(); ++i) {
        EXPECT_EQ(live::resultLine(results[i]),
                  "var " + std::to_string(i + 1) + " unreachable no answer from 127.0.0.1:" +
                      std::to_string(silent.servers[i % kServers]->port()) + " within 0.5 s");
    }
    EXPECT_FALSE(overlapped);
    ASSERT_EQ(progress.size(), kServers + 1);
    EXPECT_EQ(progress.front(), (live::LiveCount{0, 2 * kServers, 0, kServers}));
    EXPECT_EQ(progress.back(), (live::LiveCount{2 * kServers, 2 * kServers, kServers, kServers}));
    for (std::size_t k = 1; k < progress.size(); ++k) {
        EXPECT_GT(progress[k].rowsDone, progress[k - 1].rowsDone);
        EXPECT_EQ(progress[k].serversDone, k);
    }
}

// A stop ends every server being checked, not only the next one to start.
TEST(LiveCheck, AStopEndsAllServersAtOnce) {
    const SilentServers silent(12);
    live::LiveCheckOptions check = quick();
    check.timeouts.request = std::chrono::seconds(20);
    check.timeouts.total = std::chrono::seconds(60);
    std::stop_source stop;
    const auto start = std::chrono::steady_clock::now();
    std::jthread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop.request_stop();
    });
    const auto results = live::runLiveCheck(silent.rows, check, {}, stop.get_token());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    for (const auto& result : results) {
        EXPECT_EQ(live::resultLine(result), "var " + std::to_string(result.row) + " stopped");
    }
}

TEST(LiveCheck, StopsWhenAsked) {
    MmsServerDouble server(smallModel());
    std::stop_source stop;
    stop.request_stop();
    const auto results =
        live::runLiveCheck({variable(1, server.port(), "IED1LD0/GGIO1.Ind1.stVal", "ST", "BOOLEAN")}, quick(),
                           {}, stop.get_token());
    EXPECT_EQ(live::resultLine(results[0]), "var 1 stopped");
    EXPECT_EQ(server.associations(), 0u);
}

// Many variables go in as few reads as the agreed size allows; a read whose answer would not fit is
// split until the answers do.
TEST(LiveCheck, BatchesReadsWithinTheAgreedSizeAndSplitsRefusedOnes) {
    MmsServerDouble::Model model;
    std::vector<LiveRow> rows;
    for (std::size_t i = 0; i < 300; ++i) {
        const std::string n = std::to_string(i);
        model.add("LD", "GGIO1$ST$Ind" + n + "$d", MmsServerDouble::visibleString(std::string(60, 'x')));
        rows.push_back(variable(i + 1, 0, "LD/GGIO1.Ind" + n + ".d", "ST", "VisString64"));
    }
    MmsServerDouble::Options options;
    options.maxPduSize = 2000;
    MmsServerDouble server(model, options);
    for (LiveRow& row : rows) {
        row.port = std::to_string(server.port());
    }
    const auto results = live::runLiveCheck(rows, quick());
    for (const auto& result : results) {
        ASSERT_EQ(result.status, live::LiveStatus::Ok) << live::resultLine(result);
    }
    EXPECT_EQ(server.associations(), 1u);
    // About 45 variables fit a 2000-byte request, but their answers need three times the room.
    EXPECT_GT(server.readRequests(), 300u / 45);
    EXPECT_LT(server.readRequests(), 300u / 10);
}

// Values as real servers send them: INT8U kept in 8 bits as one octet (255 as ff), a time whose fraction
// was cut down from the stored milliseconds, a full VisString255 and a GOOSE destination address as the
// structure of address, priority, VLAN and APPID. An integer beyond its declared type's range says that the
// server's type is wider than the list's.
TEST(LiveCheck, ReadsValuesAsRealServersSendThem) {
    MmsServerDouble::Model model;
    model.add("LD", "GGIO1$ST$Max$u8", MmsServerDouble::unsigned8(255));
    model.add("LD", "GGIO1$ST$Mid$u8", MmsServerDouble::unsigned8(128));
    model.add("LD", "GGIO1$ST$Spec$t", MmsServerDouble::utcTime(946684799, 999));
    model.add("LD", "GGIO1$ST$Max$vs", MmsServerDouble::visibleString(std::string(255, 'v')));
    model.add("LD", "LLN0$GO$gcb01$DstAddress",
              MmsServerDouble::structure({MmsServerDouble::octetString({0x01, 0x0C, 0xCD, 0x01, 0x00, 0x01}),
                                          MmsServerDouble::unsigned8(4), MmsServerDouble::unsignedValue(1),
                                          MmsServerDouble::unsignedValue(0x1000)}));
    model.add("LD", "GGIO1$ST$Wide$u8", MmsServerDouble::unsignedValue(300));
    model.add("LD", "GGIO1$ST$Wide$i8", MmsServerDouble::integer(-200));
    MmsServerDouble server(model);
    const unsigned short port = server.port();
    const auto got =
        lines(live::runLiveCheck({variable(1, port, "LD/GGIO1.Max.u8", "ST", "INT8U"),
                                  variable(2, port, "LD/GGIO1.Mid.u8", "ST", "INT8U"),
                                  variable(3, port, "LD/GGIO1.Spec.t", "ST", "Timestamp"),
                                  variable(4, port, "LD/GGIO1.Max.vs", "ST", "VisString255"),
                                  variable(5, port, "LD/LLN0.gcb01.DstAddress", "GO", "PhyComAddr"),
                                  variable(6, port, "LD/GGIO1.Wide.u8", "ST", "INT8U"),
                                  variable(7, port, "LD/GGIO1.Wide.i8", "ST", "INT8")},
                                 quick()));
    EXPECT_EQ(got, (std::vector<std::string>{
                       "var 1 ok 255", "var 2 ok 128", "var 3 ok 1999-12-31T23:59:59.999Z",
                       "var 4 ok \"" + std::string(255, 'v') + "\"", "var 5 ok {010ccd010001,4,1,4096}",
                       "var 6 type INT8U 300", "var 7 type INT8 -200"}));
}

bool isControlPart(std::string_view part) {
    return part == "SBO" || part == "SBOw" || part == "Oper" || part == "Cancel";
}

// Reading a select-before-operate control's SBO selects it; the check must leave every control alone
// and still tell whether it is there and of the row's type.
TEST(LiveCheck, LooksUpControlsWithoutReadingOrWritingThem) {
    MmsServerDouble::Model model = smallModel();
    // What such a server gives a Read of SBO: the control's reference, after selecting it.
    model.add("IED1LD0", "GGIO1$CO$SPCSO2$SBO", MmsServerDouble::visibleString("IED1LD0/GGIO1$CO$SPCSO2"));
    model.add("IED1LD0", "GGIO1$CO$SPCSO2$Oper$ctlVal", MmsServerDouble::boolean(false));
    model.add("IED1LD0", "GGIO1$CO$SPCSO2$Cancel$ctlVal", MmsServerDouble::boolean(false));
    model.add("IED1LD0", "GGIO1$ST$SPCSO2$stVal", MmsServerDouble::boolean(false));
    MmsServerDouble server(model);
    const unsigned short port = server.port();
    const std::vector<LiveRow> rows = {
        variable(1, port, "IED1LD0/GGIO1.SPCSO2.SBO", "CO", "VisString129"),
        variable(2, port, "IED1LD0/GGIO1.SPCSO2.Oper.ctlVal", "CO", "BOOLEAN"),
        variable(3, port, "IED1LD0/GGIO1.SPCSO2.Oper.ctlVal", "CO", "INT32"),
        variable(4, port, "IED1LD0/GGIO1.SPCSO3.SBO", "CO", "VisString129"),
        variable(5, port, "IED1LD0/GGIO1.SPCSO2", "CO", "Struct"),
        variable(6, port, "IED1LD0/GGIO1.SPCSO2.stVal", "ST", "BOOLEAN"),
        variable(7, port, "IED1LD0/GGIO1.SPCSO2.Cancel.ctlVal", "co",
                 "BOOLEAN"), // looked up all the same
        variable(8, port, "IED1LD0/GGIO1.SPCSO2.SBOw", "ST",
                 "Struct"), // a control attribute under any fc
        dataSet(1, port, "IED1LD0/LLN0.DataSet1", {}),
        goose(1, port, "IED1LD0/LLN0.DataSet1", "gcb01"),
    };
    EXPECT_EQ(lines(live::runLiveCheck(rows, quick())), (std::vector<std::string>{
                                                            "var 1 ok (a control: not read)",
                                                            "var 2 ok (a control: not read)",
                                                            "var 3 type integer boolean",
                                                            "var 4 missing",
                                                            "var 5 ok (a control: not read)",
                                                            "var 6 ok false",
                                                            "var 7 missing", // its name has "co", not "CO"
                                                            "var 8 missing",
                                                            "ds 1 ok 2",
                                                            "goose 1 ok GoEna=false",
                                                        }));
    bool readStatus = false;
    for (const MmsServerDouble::Request& request : server.requests()) {
        // GetVariableAccessAttributes, GetNamedVariableListAttributes and Read only: no Write, no other
        // service.
        EXPECT_TRUE(request.service == 4 || request.service == 6 || request.service == 12)
            << "service " << request.service;
        if (request.service != 4) {
            continue;
        }
        for (const mms::ObjectName& name : request.names) {
            readStatus = readStatus || name.item == "GGIO1$ST$SPCSO2$stVal";
            EXPECT_EQ(name.item.find("$CO$"), std::string::npos) << name.text();
            std::size_t start = 0;
            for (std::size_t cut = 0; cut != std::string::npos; start = cut + 1) {
                cut = name.item.find('$', start);
                EXPECT_FALSE(isControlPart(name.item.substr(start, cut - start))) << name.text();
            }
        }
    }
    EXPECT_TRUE(readStatus);
    EXPECT_EQ(server.associations(), 1u);
}

// A server that leaves one result out of a Read, or sends one value the client cannot decode, answered
// all the others: only that variable fails, the rest of its server is checked as usual.
TEST(LiveCheck, OneUnusableAnswerFailsOnlyItsRow) {
    const struct {
        const char* what;
        bool leftOut;
        std::string reason;
    } cases[] = {
        {"result left out", true, "error the server answered a read of this variable alone with no result"},
        {"undecodable value", false, "error Malformed message from the server: "},
    };
    for (const auto& c : cases) {
        MmsServerDouble::Model model = smallModel();
        std::vector<LiveRow> rows;
        const std::size_t bad = 121;
        for (std::size_t i = 1; i <= 198; ++i) {
            const std::string item = "GGIO2$ST$Ind" + std::to_string(i) + "$stVal";
            model.add("IED1LD0", item,
                      i == bad && !c.leftOut ? mms::Bytes{0x9E, 0x01, 0x00} // no MMS data at all
                                             : MmsServerDouble::integer(static_cast<std::int64_t>(i)));
            rows.push_back(variable(i, 0, "IED1LD0/GGIO2.Ind" + std::to_string(i) + ".stVal", "ST", "INT32"));
        }
        rows.push_back(dataSet(1, 0, "IED1LD0/LLN0.DataSet1", {"IED1LD0/GGIO1.Ind1.stVal"}));
        rows.push_back(goose(1, 0, "IED1LD0/LLN0.DataSet1", "gcb01"));
        MmsServerDouble::Options options;
        if (c.leftOut) {
            options.leftOutOfReads = {"GGIO2$ST$Ind" + std::to_string(bad) + "$stVal"};
        }
        MmsServerDouble server(model, options);
        for (LiveRow& row : rows) {
            row.port = std::to_string(server.port());
        }
        const std::vector<std::string> got = lines(live::runLiveCheck(rows, quick()));
        ASSERT_EQ(got.size(), rows.size());
        for (std::size_t i = 1; i <= 198; ++i) {
            if (i == bad) {
                EXPECT_EQ(got[i - 1].rfind("var " + std::to_string(i) + " " + c.reason, 0), 0u)
                    << c.what << ": " << got[i - 1];
            } else {
                EXPECT_EQ(got[i - 1], "var " + std::to_string(i) + " ok " + std::to_string(i)) << c.what;
            }
        }
        EXPECT_EQ(got[198], "ds 1 ok 2") << c.what;
        EXPECT_EQ(got[199], "goose 1 ok GoEna=false") << c.what;
        EXPECT_EQ(server.associations(), 1u) << c.what;
        // Halving finds the one variable in a few reads, not one read per variable.
        EXPECT_LT(server.readRequests(), 30u) << c.what;
    }
}

// A server that took the association was reached: when it goes away in the middle, what it answered
// stands and the rest is an error, not unreachability.
TEST(LiveCheck, AServerThatGoesAwayAfterAssociatingIsAnErrorNotUnreachable) {
    MmsServerDouble::Options options;
    options.hangUpAfter = 1; // answers the Read of the variables, then closes
    MmsServerDouble server(smallModel(), options);
    const unsigned short port = server.port();
    const auto got = lines(live::runLiveCheck({variable(1, port, "IED1LD0/GGIO1.Ind1.stVal", "ST", "BOOLEAN"),
                                               dataSet(1, port, "IED1LD0/LLN0.DataSet1", {})},
                                              quick()));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], "var 1 ok true");
    EXPECT_EQ(got[1], "ds 1 error the association broke off: 127.0.0.1:" + std::to_string(port) +
                          " closed the connection");
}

// The GOOSE row holds only when the control block publishes the row's data set; the server names it in
// MMS form. The first block answers with the bytes a real server sent (a block without AppID).
TEST(LiveCheck, GooseControlBlockMustPublishTheRowsDataSet) {
    MmsServerDouble::Model model;
    auto bytes = [](std::string_view hex) {
        mms::Bytes out;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
            out.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
        }
        return out;
    };
    const std::string ld = "simpleIOGenericIO";
    model.add(ld, "LLN0$GO$gcbEvents$DatSet",
              bytes("8a1e73696d706c65494f47656e65726963494f2f4c4c4e30244576656e747333"));
    model.add(ld, "LLN0$GO$gcbEvents$GoEna", bytes("830101"));
    model.add(ld, "LLN0$GO$gcbEvents$GoID", bytes("8a066576656e7473"));
    model.add(ld, "LLN0$GO$gcbEmpty$DatSet", MmsServerDouble::visibleString(""));
    model.add(ld, "LLN0$GO$gcbNoSet$GoEna", MmsServerDouble::boolean(true));
    model.add(ld, "LLN0$GO$gcbInt$DatSet", MmsServerDouble::integer(3));
    MmsServerDouble server(model);
    const unsigned short port = server.port();
    const std::vector<LiveRow> rows = {
        goose(1, port, ld + "/LLN0.Events3", "gcbEvents"), goose(2, port, ld + "/LLN0.Events", "gcbEvents"),
        goose(3, port, ld + "/LLN0.Events", "gcbEmpty"),   goose(4, port, ld + "/LLN0.Events", "gcbNoSet"),
        goose(5, port, ld + "/LLN0.Events", "gcbInt"),     goose(6, port, ld + "/LLN0.Events", "gcbNone"),
    };
    EXPECT_EQ(lines(live::runLiveCheck(rows, quick())),
              (std::vector<std::string>{
                  "goose 1 ok GoEna=true GoID=\"events\"",
                  "goose 2 differs publishes \"simpleIOGenericIO/LLN0$Events3\", not "
                  "\"simpleIOGenericIO/LLN0$Events\"",
                  "goose 3 differs publishes no data set, not \"simpleIOGenericIO/LLN0$Events\"",
                  "goose 4 differs without DatSet",
                  "goose 5 differs publishes 3, not \"simpleIOGenericIO/LLN0$Events\"",
                  "goose 6 missing",
              }));
    EXPECT_EQ(server.readRequests(), 1u);
}

TEST(MmsClient, ListsNamesAcrossPagesAndReadsStructures) {
    MmsServerDouble::Options options;
    options.namesPerPage = 3;
    MmsServerDouble server(smallModel(), options);
    mms::MmsClient client;
    client.connect("127.0.0.1", server.port(), mms::Timeouts{});
    EXPECT_EQ(client.maxPduSize(), 65000u);
    const auto domains = client.getNameList(mms::ObjectClass::Domain, "");
    ASSERT_TRUE(domains.value);
    EXPECT_EQ(*domains.value, std::vector<std::string>{"IED1LD0"});
    const auto variables = client.getNameList(mms::ObjectClass::NamedVariable, "IED1LD0");
    ASSERT_TRUE(variables.value);
    EXPECT_EQ(variables.value->size(), 18u); // the leaves and every item above them
    EXPECT_EQ(variables.value->front(), "GGIO1");
    const auto lists = client.getNameList(mms::ObjectClass::NamedVariableList, "IED1LD0");
    ASSERT_TRUE(lists.value);
    EXPECT_EQ(*lists.value, std::vector<std::string>{"LLN0$DataSet1"});
    EXPECT_TRUE(client.getNameList(mms::ObjectClass::NamedVariable, "NOLD").error.objectMissing());

    const auto read = client.read({{"IED1LD0", "LLN0$GO$gcb01"}});
    ASSERT_TRUE(read.value);
    ASSERT_TRUE((*read.value)[0].value);
    EXPECT_EQ((*read.value)[0].value->text, "{\"IED1LD0/LLN0$DataSet1\",false}");
    const auto attributes = client.getVariableAccessAttributes({"IED1LD0", "GGIO1$MX$AnIn1$mag$f"});
    ASSERT_TRUE(attributes.value);
    EXPECT_EQ(attributes.value->type, mms::DataType::FloatingPoint);
    EXPECT_TRUE(client.getVariableAccessAttributes({"IED1LD0", "GGIO9"}).error.objectMissing());
    client.conclude();
    EXPECT_FALSE(client.connected());
    EXPECT_EQ(server.concludes(), 1u);
}

TEST(MmsClient, RefusesBrokenAssociationAnswers) {
    auto packet = [](mms::Bytes tpdu) { return mms::osi::tpkt(tpdu); };
    const mms::Bytes confirm = packet({0x06, 0xD0, 0x00, 0x01, 0x00, 0x02, 0x00});
    // Data TPDUs that never say "last", beyond the largest message the client takes.
    mms::Bytes endless = confirm;
    for (int i = 0; i < 300; ++i) {
        mms::Bytes tpdu = {0x02, 0xF0, 0x00};
        tpdu.resize(1024, 0x55);
        const mms::Bytes p = packet(tpdu);
        endless.insert(endless.end(), p.begin(), p.end());
    }
    mms::Bytes acceptWithGarbage = confirm;
    const mms::Bytes garbage = packet({0x02, 0xF0, 0x80, 0x0E, 0x05, 0xC1, 0x03, 0x31, 0x09, 0x00});
    acceptWithGarbage.insert(acceptWithGarbage.end(), garbage.begin(), garbage.end());
    const struct {
        const char* what;
        mms::Bytes answer;
        const char* message;
    } cases[] = {
        {"not TPKT", {'H', 'T', 'T', 'P', '/', '1', '.', '0', ' ', '2'}, "does not carry TPKT"},
        {"packet shorter than its header", {0x03, 0x00, 0x00, 0x02}, "too short"},
        {"disconnect", packet({0x06, 0x80, 0x00, 0x01, 0x00, 0x02, 0x00}),
         "refused the transport connection"},
        {"confirm cut off", {0x03, 0x00, 0x00, 0x16, 0x06, 0xD0}, "no answer"},
        {"oversized message", endless, "larger than"},
        {"malformed accept", acceptWithGarbage, "runs past"},
    };
    for (const auto& c : cases) {
        MmsServerDouble::Options options;
        options.behaviour = MmsServerDouble::Behaviour::RawAnswer;
        options.rawAnswer = c.answer;
        MmsServerDouble server({}, options);
        mms::MmsClient client;
        mms::Timeouts timeouts;
        // Only the cut-off confirm waits out its limit. The others end on what they read, the oversized
        // message after a quarter megabyte, which the Windows build under Wine on a busy machine may take
        // longer than the short limit to read.
        timeouts.request = std::string(c.message) == "no answer" ? std::chrono::milliseconds(300)
                                                                 : std::chrono::milliseconds(10000);
        try {
            client.connect("127.0.0.1", server.port(), timeouts);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const sw::ConfigError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos)
                << c.what << ": " << error.what();
        }
        EXPECT_FALSE(client.connected());
    }
}

TEST(LiveCheckMapping, TakesTheRowsOfTheAccessFileInOutputOrder) {
    using sw::access::DataSetColumn;
    using sw::access::VariableColumn;
    sw::access::AccessFile file;
    file.variables.resize(2);
    for (std::size_t i = 0; i < 2; ++i) {
        file.variables[i].cells[VariableColumn::Index] = "0";
        file.variables[i].cells[VariableColumn::Reference] =
            "LD/GGIO1.Ind" + std::to_string(i + 1) + ".stVal";
        file.variables[i].cells[VariableColumn::fc] = "ST";
        file.variables[i].cells[VariableColumn::bType] = "BOOLEAN";
        file.variables[i].cells[VariableColumn::IPAddress] = "127.0.0.1";
        file.variables[i].cells[VariableColumn::Port] = "102";
    }
    file.dataSets.resize(2);
    for (std::size_t i = 0; i < 2; ++i) {
        file.dataSets[i].cells[DataSetColumn::Index] = "0";
        file.dataSets[i].cells[DataSetColumn::Reference] = "LD/LLN0.DataSet" + std::to_string(i + 1);
        file.dataSets[i].cells[DataSetColumn::GooseName] = "gcb0" + std::to_string(i + 1);
        file.dataSets[i].cells[DataSetColumn::EnGoose] = i == 0 ? "Y" : "N";
    }
    file.dataSets[0].members.resize(1);
    file.dataSets[0].members[0].cells[sw::access::MemberColumn::Reference] = "LD/GGIO1.Ind1.stVal";

    // The same rows from the list in memory and from its file, whose reader keeps no copy of the list.
    sw::test::TempDir folder;
    sw::access::writeAccessFile(folder / "access.xml", file);
    for (const bool fromFile : {false, true}) {
        SCOPED_TRACE(fromFile ? "from the file" : "from the list");
        const std::vector<LiveRow> rows =
            fromFile ? live::liveRows(folder / "access.xml") : live::liveRows(file);
        ASSERT_EQ(rows.size(), 5u);
        const std::pair<RowKind, std::size_t> order[] = {{RowKind::Variable, 1},
                                                         {RowKind::Variable, 2},
                                                         {RowKind::DataSet, 1},
                                                         {RowKind::Goose, 1},
                                                         {RowKind::DataSet, 2}};
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].kind, order[i].first) << i;
            EXPECT_EQ(rows[i].row, order[i].second) << i;
        }
        EXPECT_EQ(rows[1].reference, "LD/GGIO1.Ind2.stVal");
        EXPECT_EQ(rows[1].port, "102");
        EXPECT_EQ(rows[2].memberReferences, std::vector<std::string>{"LD/GGIO1.Ind1.stVal"});
        EXPECT_EQ(rows[3].gooseName, "gcb01");
        EXPECT_TRUE(rows[3].memberReferences.empty());
        EXPECT_EQ(rows[4].reference, "LD/LLN0.DataSet2");
    }

    // The editor's empty tables: one row each, without "Index".
    sw::access::AccessFile empty;
    empty.variables.resize(1);
    empty.dataSets.resize(1);
    empty.dataSets[0].members.resize(1);
    empty.dataSets[0].members[0].cells[sw::access::MemberColumn::Reference] = "LD/GGIO1.Ind1.stVal";
    EXPECT_TRUE(live::liveRows(empty).empty());
    sw::access::writeAccessFile(folder / "empty.xml", empty);
    EXPECT_TRUE(live::liveRows(folder / "empty.xml").empty());
}

TEST(LiveCheckMapping, NamesTheMmsObjectsOfTheAccessList) {
    EXPECT_EQ(live::variableName("IED1LD0/GGIO1.Ind1.stVal", "ST"),
              (mms::ObjectName{"IED1LD0", "GGIO1$ST$Ind1$stVal"}));
    EXPECT_EQ(live::variableName("IED1LD0/MMXU1.PhV.phsA.cVal.mag.f", "MX"),
              (mms::ObjectName{"IED1LD0", "MMXU1$MX$PhV$phsA$cVal$mag$f"}));
    for (const auto& [reference, fc] :
         std::vector<std::pair<std::string, std::string>>{{"GGIO1.Ind1.stVal", "ST"},
                                                          {"LD/GGIO1", "ST"},
                                                          {"LD/GGIO1.Ind1..stVal", "ST"},
                                                          {"/GGIO1.Ind1", "ST"},
                                                          {"LD/GGIO1.Ind1", ""},
                                                          {"LD/GGIO$1.Ind1", "ST"},
                                                          {"LD/a/b.c", "ST"}}) {
        EXPECT_FALSE(live::variableName(reference, fc)) << reference << " " << fc;
    }
    EXPECT_EQ(live::dataSetName("IED1LD0/LLN0.DataSet1"), (mms::ObjectName{"IED1LD0", "LLN0$DataSet1"}));
    EXPECT_FALSE(live::dataSetName("IED1LD0/LLN0.DataSet1.x"));
    EXPECT_EQ(live::gooseControlName("IED1LD0/LLN0.DataSet1", "gcb01"),
              (mms::ObjectName{"IED1LD0", "LLN0$GO$gcb01"}));
    EXPECT_FALSE(live::gooseControlName("IED1LD0/LLN0.DataSet1", ""));
    EXPECT_EQ(live::memberReference({{"LD", "GGIO1$ST$Ind1$stVal"}, {}}), "LD/GGIO1.Ind1.stVal");
    EXPECT_EQ(live::memberReference({{"LD", "GGIO1$ST"}, {}}), "LD/GGIO1");
    EXPECT_EQ(live::memberReference({{"LD", "MHAI1$MX$HA$phsAHar"}, {{true, 9, {}}, {false, 0, "cVal"}}}),
              "LD/MHAI1.HA.phsAHar(9).cVal");

    // The pairs a slip would get wrong: Enum is signed, the U types are not, the two time types differ,
    // bit strings hide behind their own names, a GOOSE destination address is a structure of address,
    // priority, VLAN and APPID (not the octet string its name suggests), and whole families are found by
    // their name's start.
    const std::pair<const char*, mms::DataType> types[] = {
        {"Enum", mms::DataType::Integer},
        {"INT8U", mms::DataType::Unsigned},
        {"Dbpos", mms::DataType::BitString},
        {"Quality", mms::DataType::BitString},
        {"Timestamp", mms::DataType::UtcTime},
        {"EntryTime", mms::DataType::BinaryTime},
        {"VisString255", mms::DataType::VisibleString},
        {"Unicode255", mms::DataType::MmsString},
        {"Octet64", mms::DataType::OctetString},
        {"Struct", mms::DataType::Structure},
        {"PhyComAddr", mms::DataType::Structure},
        {"EntryID", mms::DataType::OctetString},
    };
    for (const auto& [bType, type] : types) {
        EXPECT_EQ(live::expectedType(bType), type) << bType;
    }
    EXPECT_FALSE(live::expectedType("SomethingElse"));
}

} // namespace
