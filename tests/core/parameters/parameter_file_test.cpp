#include "core/common/atomic_file.h"
#include "core/common/config_error.h"
#include "core/parameters/parameter_file.h"
#include "core/parameters/parameter_set.h"
#include "test_support.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <string>
#include <system_error>

namespace {

const std::string kDefaultFile = "<Par_Gen>"
                                 "<IEC61850_Client_IP1>192</IEC61850_Client_IP1>"
                                 "<IEC61850_Client_IP2>168</IEC61850_Client_IP2>"
                                 "<IEC61850_Client_IP3>0</IEC61850_Client_IP3>"
                                 "<IEC61850_Client_IP4>10</IEC61850_Client_IP4>"
                                 "<IEC61850_Client_SM1>255</IEC61850_Client_SM1>"
                                 "<IEC61850_Client_SM2>255</IEC61850_Client_SM2>"
                                 "<IEC61850_Client_SM3>255</IEC61850_Client_SM3>"
                                 "<IEC61850_Client_SM4>0</IEC61850_Client_SM4>"
                                 "<IEC61850_Client_GAT1>192</IEC61850_Client_GAT1>"
                                 "<IEC61850_Client_GAT2>168</IEC61850_Client_GAT2>"
                                 "<IEC61850_Client_GAT3>0</IEC61850_Client_GAT3>"
                                 "<IEC61850_Client_GAT4>1</IEC61850_Client_GAT4>"
                                 "<IEC61850_Client_En_GAT>0</IEC61850_Client_En_GAT>"
                                 "<IEC61850_Client_VLAN>0</IEC61850_Client_VLAN>"
                                 "<IEC61850_Client_Application_ID>0</IEC61850_Client_Application_ID>"
                                 "<SERIAL_SERIAL>0</SERIAL_SERIAL>"
                                 "<SERIAL_BAUDRATE>7</SERIAL_BAUDRATE>"
                                 "<SERIAL_PARITY>0</SERIAL_PARITY>"
                                 "<SERIAL_STOPBITS>0</SERIAL_STOPBITS>"
                                 "</Par_Gen>"
                                 "<!--SW_VERSION = 1.000-->";

sw::ParameterSet readText(const std::string& bytes) {
    return sw::readParameterBytes(bytes, "ParGen.xml");
}

// A file holding only the given elements under the root.
std::string fileWith(const std::string& children) {
    return "<Par_Gen>" + children + "</Par_Gen>";
}

TEST(ParameterFile, DefaultSetIsWrittenByteForByte) {
    EXPECT_EQ(sw::parameterFileBytes(sw::ParameterSet{}), kDefaultFile);

    sw::test::TempDir dir;
    const auto file = dir.path() / "ParGen.xml";
    sw::writeParameterFile(file, sw::ParameterSet{});
    EXPECT_EQ(sw::test::readFile(file), kDefaultFile);
}

TEST(ParameterFile, WriteThenReadGivesBackEveryValueExactly) {
    sw::ParameterSet set;
    set.IEC61850_Client_IP1 = "010";
    set.IEC61850_Client_IP2 = "";
    set.IEC61850_Client_IP3 = "a<b&c";
    set.IEC61850_Client_IP4 = "  ";
    set.IEC61850_Client_SM1 = "1";
    set.IEC61850_Client_SM2 = "2";
    set.IEC61850_Client_SM3 = "3";
    set.IEC61850_Client_SM4 = "4";
    set.IEC61850_Client_GAT1 = "abc";
    set.IEC61850_Client_GAT2 = "5";
    set.IEC61850_Client_GAT3 = "6";
    set.IEC61850_Client_GAT4 = "\xc3\xa8";
    set.IEC61850_Client_En_GAT = true;
    set.IEC61850_Client_VLAN = "12345678";
    set.IEC61850_Client_Application_ID = " 7";
    set.SERIAL_SERIAL = 1;
    set.SERIAL_BAUDRATE = -1;
    set.SERIAL_PARITY = 2;
    set.SERIAL_STOPBITS = 1;

    sw::test::TempDir dir;
    const auto file = dir.path() / "ParGen.xml";
    sw::writeParameterFile(file, set);
    EXPECT_EQ(sw::readParameterFile(file), set);
}

TEST(ParameterFile, MissingFileGivesDefaultsAndCreatesNothing) {
    sw::test::TempDir dir;
    const auto file = dir.path() / "ParGen.xml";
    EXPECT_EQ(sw::readParameterFile(file), sw::ParameterSet{});
    EXPECT_FALSE(std::filesystem::exists(file));
}

// A declaration or comment in front of the root, as hand-edited and tool-written files have, must not
// make the stored values read as defaults: the next save would destroy them.
TEST(ParameterFile, ParameterNodeIsTheFirstElementWhateverComesBeforeIt) {
    const std::string children = "<IEC61850_Client_IP1>10</IEC61850_Client_IP1>";
    EXPECT_EQ(readText("<?xml version=\"1.0\"?>\n" + fileWith(children)).IEC61850_Client_IP1, "10");
    EXPECT_EQ(readText("<!--x--><?pi?>" + fileWith(children)).IEC61850_Client_IP1, "10");
    // Any root name will do, since the node is not looked up by name.
    EXPECT_EQ(readText("<Other>" + children + "</Other>").IEC61850_Client_IP1, "10");
}

TEST(ParameterFile, EachValueFallsBackToItsOwnDefault) {
    const sw::ParameterSet set = readText(fileWith("<IEC61850_Client_IP1><b>1</b></IEC61850_Client_IP1>"
                                                   "<IEC61850_Client_IP2>7</IEC61850_Client_IP2>"
                                                   "<IEC61850_Client_IP2>8</IEC61850_Client_IP2>"
                                                   "<Unknown>9</Unknown>"
                                                   "<SERIAL_PARITY>2</SERIAL_PARITY>"));
    sw::ParameterSet expected;
    expected.IEC61850_Client_IP2 = "7";
    expected.SERIAL_PARITY = 2;
    EXPECT_EQ(set, expected);
}

TEST(ParameterFile, GatewayIsUsedOnlyForExactlyOne) {
    for (const char* text : {"true", " 1", "01", "1 ", "", "Y"}) {
        const auto element = std::string("<IEC61850_Client_En_GAT>") + text + "</IEC61850_Client_En_GAT>";
        EXPECT_FALSE(readText(fileWith(element)).IEC61850_Client_En_GAT) << '"' << text << '"';
    }
    EXPECT_TRUE(
        readText(fileWith("<IEC61850_Client_En_GAT>1</IEC61850_Client_En_GAT>")).IEC61850_Client_En_GAT);
}

TEST(ParameterFile, SerialIndexesReadAsIntegersWithTheirDefaults) {
    struct Case {
        const char* text;
        int baudrate;
        int shownBaudrate;
    };
    for (const Case& c : {Case{"abc", 7, 7}, Case{"", 7, 7}, Case{"0x3", 7, 7}, Case{"3", 3, 3},
                          Case{" 2", 2, 2}, Case{"9", 9, -1}, Case{"-4", -4, -1}}) {
        const auto set = readText(fileWith(std::string("<SERIAL_BAUDRATE>") + c.text + "</SERIAL_BAUDRATE>"));
        EXPECT_EQ(set.SERIAL_BAUDRATE, c.baudrate) << c.text;
        EXPECT_EQ(sw::asShownInDialog(set).SERIAL_BAUDRATE, c.shownBaudrate) << c.text;
    }
    const auto set = readText(fileWith("<SERIAL_SERIAL>x</SERIAL_SERIAL><SERIAL_PARITY>x</SERIAL_PARITY>"
                                       "<SERIAL_STOPBITS>x</SERIAL_STOPBITS>"));
    EXPECT_EQ(set, sw::ParameterSet{});
}

TEST(ParameterFile, FileThatDoesNotParseIsReported) {
    sw::test::TempDir dir;
    const auto file = dir.path() / "ParGen.xml";
    sw::test::writeFile(file, "<Par_Gen><IEC61850_Client_IP1>1</Par_Gen>");
    try {
        sw::readParameterFile(file);
        FAIL() << "no error";
    } catch (const sw::ConfigError& error) {
        EXPECT_NE(std::string(error.what()).find("ParGen.xml"), std::string::npos) << error.what();
    }
}

TEST(ParameterFile, FailedSaveIsReportedAndLeavesNoFile) {
    sw::test::TempDir dir;
    const auto file = dir.path() / "missing folder" / "ParGen.xml";
    try {
        sw::writeParameterFile(file, sw::ParameterSet{});
        FAIL() << "no error";
    } catch (const sw::ConfigError& error) {
        // The user reads which file and why.
        const std::string text = error.what();
        EXPECT_NE(text.find("ParGen.xml"), std::string::npos) << text;
#ifdef _WIN32
        EXPECT_NE(text.find(sw::platform::windowsReason(ERROR_PATH_NOT_FOUND)), std::string::npos) << text;
#else
        EXPECT_NE(text.find(std::make_error_code(std::errc::no_such_file_or_directory).message()),
                  std::string::npos)
            << text;
#endif
    }
    EXPECT_FALSE(std::filesystem::exists(file));
}

} // namespace
