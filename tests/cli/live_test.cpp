#include "mms_server_double.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

using sw::test::MmsServerDouble;

std::string variableItem(const std::string& bType, const std::string& fc, const std::string& reference,
                         unsigned short port) {
    return "<DA_Item Index=\"0\" bType=\"" + bType + "\" fc=\"" + fc + "\" Reference=\"" + reference +
           "\" IPAddress=\"127.0.0.1\" Port=\"" + std::to_string(port) +
           "\" OnChange=\"Y\" OnCMD=\"N\" OnTimer=\"N\" Time=\"\" Position=\"1\" StartBit=\"0\" "
           "ReadWrite=\"Read\" "
           "Convertion=\"None\" MoltFact=\"None\" Mnemonic=\"\"/>";
}

std::string dataSetItem(const std::string& reference, const std::string& goose, unsigned short port,
                        const std::string& members) {
    return "<DataSet_Item Index=\"0\" Reference=\"" + reference + "\" GooseName=\"" + goose +
           "\" EnGoose=\"Y\" IPAddress=\"127.0.0.1\" Port=\"" + std::to_string(port) +
           "\" Time=\"\" Mnemonic=\"\"><DataSet_List_DAs>" + members + "</DataSet_List_DAs></DataSet_Item>";
}

std::string accessFile(const std::string& variables, const std::string& dataSets) {
    return "<IEC_68850_Client><List_ICD_Files/><List_DA_Selected>" + variables +
           "</List_DA_Selected><List_DataSet_Selected>" + dataSets +
           "</List_DataSet_Selected></IEC_68850_Client><!--SW_VERSION = 1.000-->";
}

MmsServerDouble::Model model() {
    MmsServerDouble::Model m;
    m.add("IED1LD0", "GGIO1$ST$Ind1$stVal", MmsServerDouble::boolean(true));
    m.add("IED1LD0", "GGIO1$MX$AnIn1$mag$f", MmsServerDouble::float32(0.25f));
    m.add("IED1LD0", "LLN0$GO$gcb01$GoEna", MmsServerDouble::boolean(true));
    m.add("IED1LD0", "LLN0$GO$gcb01$DatSet", MmsServerDouble::visibleString("IED1LD0/LLN0$DataSet1"));
    m.dataSets["IED1LD0"]["DataSet1"] = {{"IED1LD0", "GGIO1$ST$Ind1"}};
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
