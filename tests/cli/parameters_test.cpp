#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kDefaultListing = "IEC61850_Client_IP1=192\n"
                                    "IEC61850_Client_IP2=168\n"
                                    "IEC61850_Client_IP3=0\n"
                                    "IEC61850_Client_IP4=10\n"
                                    "IEC61850_Client_SM1=255\n"
                                    "IEC61850_Client_SM2=255\n"
                                    "IEC61850_Client_SM3=255\n"
                                    "IEC61850_Client_SM4=0\n"
                                    "IEC61850_Client_GAT1=192\n"
                                    "IEC61850_Client_GAT2=168\n"
                                    "IEC61850_Client_GAT3=0\n"
                                    "IEC61850_Client_GAT4=1\n"
                                    "IEC61850_Client_En_GAT=0\n"
                                    "IEC61850_Client_VLAN=0\n"
                                    "IEC61850_Client_Application_ID=0\n"
                                    "SERIAL_SERIAL=0\n"
                                    "SERIAL_BAUDRATE=7\n"
                                    "SERIAL_PARITY=0\n"
                                    "SERIAL_STOPBITS=0\n";

// The default listing with some lines' values replaced.
std::string withValues(const std::vector<std::pair<std::string, std::string>>& values) {
    std::string listing = kDefaultListing;
    for (const auto& [name, value] : values) {
        const std::size_t start = listing.find(name + "=") + name.size() + 1;
        listing.replace(start, listing.find('\n', start) - start, value);
    }
    return listing;
}

// A hand-written file that the dialog would show with the baud rate list unselected.
const std::string kHandWritten = "<Par_Gen><IEC61850_Client_IP1>010</IEC61850_Client_IP1>"
                                 "<IEC61850_Client_En_GAT>1</IEC61850_Client_En_GAT>"
                                 "<SERIAL_BAUDRATE>9</SERIAL_BAUDRATE></Par_Gen>";

sw::test::ProcessResult runParameters(const sw::test::TempDir& project,
                                      std::vector<std::string> assignments) {
    std::vector<std::string> argv{SW_CLI_PATH, "parameters", project.path().string()};
    argv.insert(argv.end(), assignments.begin(), assignments.end());
    return sw::test::runProcess(argv);
}

struct CliParametersCase {
    const char* name;
    std::string fileBefore; // empty: no parameter file
    std::vector<std::string> assignments;
    int exitCode;
    std::string stdoutText;
    std::string stderrContains;
    std::string fileContains; // empty: the file must be as before
};

class CliParameters : public testing::TestWithParam<CliParametersCase> {};

TEST_P(CliParameters, ShowsChecksAndWrites) {
    const CliParametersCase& c = GetParam();
    sw::test::TempDir project;
    const auto file = project.path() / "ParGen.xml";
    if (!c.fileBefore.empty()) {
        sw::test::writeFile(file, c.fileBefore);
    }

    const sw::test::ProcessResult result = runParameters(project, c.assignments);

    EXPECT_EQ(result.exitCode, c.exitCode) << result.stderrText;
    EXPECT_EQ(result.stdoutText, c.stdoutText);
    EXPECT_NE(result.stderrText.find(c.stderrContains), std::string::npos) << result.stderrText;
    if (c.fileContains.empty()) {
        if (c.fileBefore.empty()) {
            EXPECT_FALSE(std::filesystem::exists(file));
        } else {
            EXPECT_EQ(sw::test::readFile(file), c.fileBefore);
        }
    } else {
        EXPECT_NE(sw::test::readFile(file).find(c.fileContains), std::string::npos)
            << sw::test::readFile(file);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliParameters,
    testing::Values(
        CliParametersCase{"PrintsDefaultsWithoutFile", "", {}, 0, kDefaultListing, "", ""},
        CliParametersCase{"PrintsValuesAsTheDialogShowsThem",
                          kHandWritten,
                          {},
                          0,
                          withValues({{"IEC61850_Client_IP1", "010"},
                                      {"IEC61850_Client_En_GAT", "1"},
                                      {"SERIAL_BAUDRATE", "-1"}}),
                          "",
                          ""},
        CliParametersCase{
            "PassingAssignmentWritesLikeTheDialog",
            kHandWritten,
            {"IEC61850_Client_IP4=20", "IEC61850_Client_Application_ID= 7", "SERIAL_PARITY=2"},
            0,
            "",
            "",
            "<IEC61850_Client_IP1>010</IEC61850_Client_IP1><IEC61850_Client_IP2>168</"
            "IEC61850_Client_IP2><IEC61850_Client_IP3>0</IEC61850_Client_IP3><IEC61850_Client_IP4>20<"
            "/IEC61850_Client_IP4>"},
        CliParametersCase{
            "UnselectedListIsStoredAsMinusOne",
            kHandWritten,
            {"IEC61850_Client_VLAN=12345678"},
            0,
            "",
            "",
            "<IEC61850_Client_VLAN>12345678</IEC61850_Client_VLAN><IEC61850_Client_Application_ID>0</"
            "IEC61850_Client_Application_ID><SERIAL_SERIAL>0</SERIAL_SERIAL><SERIAL_BAUDRATE>-1</"
            "SERIAL_BAUDRATE>"},
        CliParametersCase{"UnusedGatewayIsStoredUnchecked",
                          "",
                          {"IEC61850_Client_GAT1=abc"},
                          0,
                          "",
                          "",
                          "<IEC61850_Client_GAT1>abc</IEC61850_Client_GAT1>"},
        CliParametersCase{"FailingCheckShowsFirstMessageAndWritesNothing",
                          kHandWritten,
                          {"IEC61850_Client_IP2=", "IEC61850_Client_SM1=256"},
                          1,
                          "",
                          "Error IEC61850 Client!! IP Address 2 must be between 0 and 255\n",
                          ""},
        CliParametersCase{"FailingCheckLeavesMissingFileMissing",
                          "",
                          {"SERIAL_PARITY=2", "SERIAL_STOPBITS=1"},
                          1,
                          "",
                          "Two Stop Bits can be selected only with None Parity",
                          ""},
        CliParametersCase{"UnknownNameIsAnError",
                          kHandWritten,
                          {"IEC61850_Client_IP9=1"},
                          2,
                          "",
                          "IEC61850_Client_IP9",
                          ""},
        CliParametersCase{"ValueTheDialogCannotHoldIsAnError",
                          kHandWritten,
                          {"IEC61850_Client_IP1=1", "SERIAL_BAUDRATE=8"},
                          2,
                          "",
                          "SERIAL_BAUDRATE",
                          ""},
        CliParametersCase{
            "AssignmentWithoutEqualsIsAnError", "", {"IEC61850_Client_IP1"}, 2, "", "NAME=VALUE", ""}),
    [](const testing::TestParamInfo<CliParametersCase>& testCase) {
        return std::string(testCase.param.name);
    });

TEST(CliParametersListing, StoredControlCharactersArePrintedEscapedOneValuePerLine) {
    sw::test::TempDir project;
    sw::test::writeFile(project.path() / "ParGen.xml",
                        "<Par_Gen><IEC61850_Client_IP1>1&#10;SERIAL_SERIAL=3</IEC61850_Client_IP1>"
                        "<IEC61850_Client_IP2>a&#9;b&#13;c</IEC61850_Client_IP2>"
                        "<IEC61850_Client_IP3>\\n&#27;&#127;\xC3\xA4</IEC61850_Client_IP3></Par_Gen>");
    const auto result = runParameters(project, {});
    EXPECT_EQ(result.exitCode, 0) << result.stderrText;
    EXPECT_EQ(result.stdoutText, withValues({{"IEC61850_Client_IP1", "1\\nSERIAL_SERIAL=3"},
                                             {"IEC61850_Client_IP2", "a\\tb\\rc"},
                                             {"IEC61850_Client_IP3", "\\\\n\\x1B\\x7F\xC3\xA4"}}));

    const auto help = sw::test::runProcess({SW_CLI_PATH, "parameters", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.stdoutText.find("escaped"), std::string::npos) << help.stdoutText;
}

TEST(CliParametersErrors, MissingProjectFolderIsAnError) {
    sw::test::TempDir dir;
    const auto result = sw::test::runProcess({SW_CLI_PATH, "parameters", (dir.path() / "nope").string()});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.stderrText.find("nope"), std::string::npos) << result.stderrText;
}

TEST(CliParametersErrors, UnreadableFileIsReportedAndKept) {
    sw::test::TempDir project;
    const auto file = project.path() / "ParGen.xml";
    sw::test::writeFile(file, "<Par_Gen>");
    const auto result = runParameters(project, {"IEC61850_Client_IP1=1"});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.stderrText.find("ParGen.xml"), std::string::npos) << result.stderrText;
    EXPECT_EQ(sw::test::readFile(file), "<Par_Gen>");
}

} // namespace
