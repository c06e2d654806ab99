#include "mms_server_double.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

using sw::test::MmsServerDouble;

std::string variableItem(const std::string& bType, const std::string& fc, const std::string& reference,
                         unsigned short port, const std::string& address = "127.0.0.1") {
    return "<DA_Item Index=\"0\" bType=\"" + bType + "\" fc=\"" + fc + "\" Reference=\"" + reference +
           "\" IPAddress=\"" + address + "\" Port=\"" + std::to_string(port) +
           "\" OnChange=\"Y\" OnCMD=\"N\" OnTimer=\"N\" Time=\"\" Position=\"1\" StartBit=\"0\" "
           "ReadWrite=\"Read\" "
           "Convertion=\"None\" MoltFact=\"None\" Mnemonic=\"\"/>";
}

std::string dataSetItem(const std::string& reference, const std::string& goose, unsigned short port,
                        const std::string& members, const std::string& address = "127.0.0.1") {
    return "<DataSet_Item Index=\"0\" Reference=\"" + reference + "\" GooseName=\"" + goose +
           "\" EnGoose=\"Y\" IPAddress=\"" + address + "\" Port=\"" + std::to_string(port) +
           "\" Time=\"\" Mnemonic=\"\"><DataSet_List_DAs>" + members + "</DataSet_List_DAs></DataSet_Item>";
}

std::string accessFile(const std::string& variables, const std::string& dataSets,
                       const std::string& catalog = "") {
    return "<IEC_68850_Client><List_ICD_Files>" + catalog + "</List_ICD_Files><List_DA_Selected>" +
           variables + "</List_DA_Selected><List_DataSet_Selected>" + dataSets +
           "</List_DataSet_Selected></IEC_68850_Client><!--SW_VERSION = 1.000-->";
}

MmsServerDouble::Model model() {
    MmsServerDouble::Model m;
    m.add("IED1LD0", "GGIO1$ST$Ind1$stVal", MmsServerDouble::boolean(true));
    m.add("IED1LD0", "GGIO1$MX$AnIn1$mag$f", MmsServerDouble::float32(0.25f));
    m.add("IED1LD0", "LLN0$GO$gcb01$GoEna", MmsServerDouble::boolean(true));
    m.add("IED1LD0", "LLN0$GO$gcb01$DatSet", MmsServerDouble::visibleString("IED1LD0/LLN0$DataSet1"));
    m.dataSets["IED1LD0"]["LLN0$DataSet1"] = {{{"IED1LD0", "GGIO1$ST$Ind1"}, {}}};
    return m;
}

TEST(LiveCommand, PrintsOneLinePerRowAndFailsUnlessAllAreOk) {
    MmsServerDouble server(model());
    const unsigned short port = server.port();
    const unsigned short nobody = MmsServerDouble::unusedPort();
    sw::test::TempDir project;
    sw::test::writeFile(
        project / "IEC_61850_Client.xml",
        accessFile(
            variableItem("BOOLEAN", "ST", "IED1LD0/GGIO1.Ind1.stVal", port) +
                variableItem("BOOLEAN", "ST", "IED1LD0/GGIO1.Ind9.stVal", port) +
                variableItem("INT32U", "MX", "IED1LD0/GGIO1.AnIn1.mag.f", port) +
                variableItem("BOOLEAN", "ST", "IED1LD0/GGIO1.Ind1.stVal", nobody),
            dataSetItem("IED1LD0/LLN0.DataSet1", "gcb01", port,
                        "<DataSet_DA_Item bType=\"BOOLEAN\" Reference=\"IED1LD0/GGIO1.Ind1.stVal\"/>") +
                dataSetItem("IED1LD0/LLN0.DataSet2", "gcb02", port, "")));

    const auto start = std::chrono::steady_clock::now();
    const auto result =
        sw::test::runProcess({SW_CLI_PATH, "live", project.path().string(), "--timeout", "2"});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(result.exitCode, 1) << result.stderrText;
    const std::string refused =
        "var 4 unreachable connecting to 127.0.0.1:" + std::to_string(nobody) + " failed: ";
    const std::string expectedHead =
        "var 1 ok true\nvar 2 missing\nvar 3 type unsigned floating-point\n" + refused;
    EXPECT_EQ(result.stdoutText.rfind(expectedHead, 0), 0u) << result.stdoutText;
    const std::string expectedTail = "\nds 1 ok 1\ngoose 1 ok GoEna=true\nds 2 missing\ngoose 2 missing\n";
    EXPECT_TRUE(result.stdoutText.ends_with(expectedTail)) << result.stdoutText;
    EXPECT_EQ(server.associations(), 1u);
    // Progress goes to a terminal only; the test's standard error is a pipe.
    EXPECT_EQ(result.stderrText.find("checked"), std::string::npos) << result.stderrText;

    sw::test::writeFile(project / "IEC_61850_Client.xml",
                        accessFile(variableItem("BOOLEAN", "ST", "IED1LD0/GGIO1.Ind1.stVal", port) +
                                       variableItem("FLOAT32", "MX", "IED1LD0/GGIO1.AnIn1.mag.f", port),
                                   ""));
    const auto ok = sw::test::runProcess({SW_CLI_PATH, "live", project.path().string()});
    EXPECT_EQ(ok.exitCode, 0) << ok.stderrText;
    EXPECT_EQ(ok.stdoutText, "var 1 ok true\nvar 2 ok 0.25\n");
}

// A data set of a node with prefix and instance whose members are elements of an array, as the editor
// writes it from the SCL file: lint finds every member in the model, the image holds the references as
// written, and the live check asks for the list by the node's whole name and finds each element.
TEST(LiveCommand, ArrayElementMembersPassLintImageAndLiveCheck) {
    const std::string array = "ILD/myMHAI3.HA.phsAHar";
    const std::vector<std::pair<std::string, std::string>> members = {{"FLOAT32", array + "(7).cVal.mag.f"},
                                                                      {"FLOAT32", array + "(8).cVal.mag.f"},
                                                                      {"Struct", array + "(9).cVal"},
                                                                      {"Struct", array + "(10).cVal.mag"},
                                                                      {"FLOAT32", array + "(11).cVal.mag.f"}};
    const auto element = [](std::uint32_t index, const std::vector<std::string>& components) {
        return MmsServerDouble::arrayElement("ILD", "myMHAI3$MX$HA$phsAHar", index, components);
    };
    MmsServerDouble::Model model;
    model.dataSets["ILD"]["myMHAI3$TestMHAI"] = {element(7, {}), element(8, {}), element(9, {"cVal"}),
                                                 element(10, {"cVal", "mag"}),
                                                 element(11, {"cVal", "mag", "f"})};
    MmsServerDouble server(model);

    sw::test::TempDir project;
    const std::filesystem::path fixtures = SW_FIXTURES_DIR;
    std::filesystem::create_directories(project / "ICD_Catalog");
    std::filesystem::copy_file(fixtures / "scl" / "arrays.icd", project / "ICD_Catalog" / "arrays.icd");
    std::filesystem::copy_file(fixtures / "image" / "ParGen.xml", project / "ParGen.xml");
    std::string items;
    for (std::size_t k = 0; k < members.size(); ++k) {
        items += "<DataSet_DA_Item bType=\"" + members[k].first + "\" Reference=\"" + members[k].second +
                 "\" Position=\"" + std::to_string(k + 1) +
                 "\" StartBit=\"0\" Convertion=\"None\" MoltFact=\"1\" Mnemonic=\"\"/>";
    }
    sw::test::writeFile(project / "IEC_61850_Client.xml",
                        accessFile("", dataSetItem("ILD/myMHAI3.TestMHAI", "", server.port(), items),
                                   "<ICD_File Name=\"I\" FileName=\"arrays.icd\"/>"));

    const auto lint = sw::test::runProcess({SW_CLI_PATH, "lint", project.path().string()});
    EXPECT_EQ(lint.stdoutText.find("is not a member"), std::string::npos) << lint.stdoutText;

    const auto built = sw::test::runProcess({SW_CLI_PATH, "build", project.path().string()});
    ASSERT_EQ(built.exitCode, 0) << built.stderrText;
    const auto dump = sw::test::runProcess({SW_CLI_PATH, "dump", (project / "bin" / "bank2.bin").string()});
    EXPECT_EQ(dump.exitCode, 0) << dump.stdoutText;
    EXPECT_NE(dump.stdoutText.find("\"ILD/myMHAI3.TestMHAI\""), std::string::npos) << dump.stdoutText;
    for (const auto& member : members) {
        EXPECT_NE(dump.stdoutText.find("\"" + member.second + "\""), std::string::npos) << member.second;
    }

    const auto live = sw::test::runProcess({SW_CLI_PATH, "live", project.path().string()});
    EXPECT_EQ(live.exitCode, 0) << live.stdoutText << live.stderrText;
    EXPECT_EQ(live.stdoutText, "ds 1 ok 5\n");
}

// Every catalog device simulated from its SCL: rows go to the device whose SCL gives their address, else
// to the device of their logical device (bay1.icd gives no address); what the SCL lacks is missing as on
// a real server, and an address no device stands for is never contacted.
TEST(LiveCommand, SimulatedChecksTheRowsAgainstTheCatalogDevices) {
    sw::test::TempDir project;
    const std::filesystem::path catalog = project / "ICD_Catalog";
    std::filesystem::create_directories(catalog);
    std::filesystem::copy_file(std::filesystem::path(SW_FIXTURES_DIR) / ".." / ".." / "assets" / "demo" /
                                   "PROJECTS" / "Demo" / "ICD_Catalog" / "DemoBay.icd",
                               catalog / "DemoBay.icd");
    std::filesystem::copy_file(std::filesystem::path(SW_FIXTURES_DIR) / "scl" / "bay1.icd",
                               catalog / "bay1.icd");
    const std::string demo = "192.168.0.20";
    sw::test::writeFile(
        project / "IEC_61850_Client.xml",
        accessFile(
            variableItem("Dbpos", "ST", "DemoBayCTRL/Q0XCBR1.Pos.stVal", 102, demo) +
                variableItem("FLOAT32", "MX", "DemoBayMEAS/MMXU1.TotW.mag.f", 102, demo) +
                variableItem("Dbpos", "ST", "Bay1CTRL/Q0XCBR1.Pos.stVal", 102, "10.0.0.5") +
                variableItem("BOOLEAN", "ST", "DemoBayCTRL/Q0XCBR1.Pos.stSeld", 102, demo) +
                variableItem("BOOLEAN", "ST", "OtherLD/GGIO1.Ind1.stVal", 102, "10.0.0.9"),
            dataSetItem("DemoBayCTRL/LLN0.GooseSt", "GoCB_Status", 102,
                        "<DataSet_DA_Item bType=\"Dbpos\" Reference=\"DemoBayCTRL/Q0XCBR1.Pos.stVal\"/>"
                        "<DataSet_DA_Item bType=\"Quality\" Reference=\"DemoBayCTRL/Q0XCBR1.Pos.q\"/>"
                        "<DataSet_DA_Item bType=\"Dbpos\" Reference=\"DemoBayCTRL/CSWI1.Pos.stVal\"/>"
                        "<DataSet_DA_Item bType=\"FLOAT32\" Reference=\"DemoBayMEAS/MMXU1.TotW.mag.f\"/>",
                        demo),
            "<ICD_File Name=\"DemoBay\" FileName=\"DemoBay.icd\"/>"
            "<ICD_File Name=\"Bay1\" FileName=\"bay1.icd\" IEDName=\"Bay1\"/>"));

    const auto result = sw::test::runProcess({SW_CLI_PATH, "live", project.path().string(), "--simulated"});
    EXPECT_EQ(result.exitCode, 1) << result.stderrText;
    // The measured value moves with time: only its status is compared.
    const std::size_t measured = result.stdoutText.find("var 2 ok ");
    ASSERT_NE(measured, std::string::npos) << result.stdoutText;
    std::string lines = result.stdoutText;
    lines.erase(measured + 9, lines.find('\n', measured) - measured - 9);
    const std::string expected =
        "var 1 ok 00\nvar 2 ok \nvar 3 ok 00\nvar 4 missing\n"
        "var 5 unreachable no simulated device stands for 10.0.0.9\nds 1 ok 4\n"
        "goose 1 ok GoEna=false GoID=\"GoCB_Status\" DstAddress={010ccd010000,4,0,0}\n";
    EXPECT_EQ(lines, expected) << result.stderrText;
}

TEST(LiveCommand, RefusesUsageErrors) {
    sw::test::TempDir project;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{SW_CLI_PATH, "live"},
          std::vector<std::string>{SW_CLI_PATH, "live", project.path().string(), "--timeout"},
          std::vector<std::string>{SW_CLI_PATH, "live", project.path().string(), "--timeout", "0"},
          std::vector<std::string>{SW_CLI_PATH, "live", project.path().string(), "--timeout", "nan"},
          std::vector<std::string>{SW_CLI_PATH, "live", project.path().string(), "--bogus"},
          std::vector<std::string>{SW_CLI_PATH, "live", (project / "absent").string()}}) {
        const auto result = sw::test::runProcess(args);
        EXPECT_EQ(result.exitCode, 2) << args.back();
        EXPECT_TRUE(result.stdoutText.empty());
    }
    const auto noList = sw::test::runProcess({SW_CLI_PATH, "live", project.path().string()});
    EXPECT_EQ(noList.exitCode, 1);
    EXPECT_NE(noList.stderrText.find("no access list"), std::string::npos);
}

} // namespace
