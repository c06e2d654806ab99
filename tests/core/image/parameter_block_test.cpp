#include "image_test_helpers.h"

#include "core/common/config_error.h"
#include "core/image/image_builder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace sw::test::image;

// The parameter file the communication dialog writes for the settings below.
const std::vector<std::pair<std::string, std::string>> kExampleKeys = {
    {"IEC61850_Client_IP1", "192"},  {"IEC61850_Client_IP2", "168"}, {"IEC61850_Client_IP3", "0"},
    {"IEC61850_Client_IP4", "10"},   {"IEC61850_Client_SM1", "255"}, {"IEC61850_Client_SM2", "255"},
    {"IEC61850_Client_SM3", "255"},  {"IEC61850_Client_SM4", "0"},   {"IEC61850_Client_GAT1", "192"},
    {"IEC61850_Client_GAT2", "168"}, {"IEC61850_Client_GAT3", "0"},  {"IEC61850_Client_GAT4", "1"},
    {"IEC61850_Client_En_GAT", "0"}, {"IEC61850_Client_VLAN", "0"},  {"IEC61850_Client_Application_ID", "0"},
    {"SERIAL_SERIAL", "1"},          {"SERIAL_BAUDRATE", "7"},       {"SERIAL_PARITY", "0"},
    {"SERIAL_STOPBITS", "0"}};

constexpr const char* kChildElements = "<child elements>";

// The example file with some keys changed: a text, kChildElements, or nothing to leave the key out.
std::string parGenWith(const std::map<std::string, std::optional<std::string>>& changes) {
    std::string xml = "<Par_Gen>";
    for (const auto& [key, text] : kExampleKeys) {
        std::optional<std::string> value = text;
        if (const auto change = changes.find(key); change != changes.end()) {
            value = change->second;
        }
        if (!value) {
            continue;
        }
        xml += "<" + key + ">" + (*value == kChildElements ? std::string("<v>1</v>") : *value) + "</" + key +
               ">";
    }
    return xml + "</Par_Gen><!--SW_VERSION = 1.000-->";
}

sw::BuildResult buildParGen(const std::string& xml) {
    sw::test::TempDir dir;
    sw::test::writeFile(dir / "ParGen.xml", xml);
    return sw::buildImages(dir / "ParGen.xml", absentFile(), '.');
}

std::uint32_t sumBeforeChecksum(const Bytes& bank1) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < 0x7FC; ++i) {
        sum += bank1[i];
    }
    return sum;
}

TEST(ParameterBlock, ProjectWithoutFilesGivesDefaultBlockAndEmptyVariableImage) {
    const sw::BuildResult images = sw::buildImages(absentFile(), absentFile(), ',');
    ASSERT_EQ(images.bank1.size(), 2048u);
    EXPECT_EQ(slice(images.bank1, 0x7FC, 4), (Bytes{0x8A, 0x0D, 0x00, 0x00}));
    EXPECT_EQ(slice(images.bank1, 0x5EC, 4), (Bytes{0x00, 0x00, 0x08, 0x00}));
    EXPECT_EQ(slice(images.bank1, 0x000, 16),
              (Bytes{0x90, 0xD0, 0x03, 0x00, 0x90, 0xD0, 0x03, 0x00, 0, 0, 0, 0, 0x80, 0x25, 0x00, 0x00}));
    EXPECT_EQ(slice(images.bank1, 0x028, 18), (Bytes{0xC0, 0xA8, 0x02, 0xCD, 0xFF, 0xFF, 0xFF, 0x00, 0xFF,
                                                     0xFF, 0xFF, 0xFF, 0x10, 0x27, 0x11, 0x27, 0x11, 0x27}));
    EXPECT_EQ(slice(images.bank1, 0x190, 4), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(slice(images.bank1, 0x1B4, 8), (Bytes(8, 0x08)));
    EXPECT_EQ(images.bank2,
              (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x18, 0, 0x08, 0, 0x18, 0, 0x08, 0}));
}

TEST(ParameterBlock, ExampleParameterFileGivesItsBaudRateAndChecksum) {
    const sw::BuildResult images = sw::buildImages(fixture("ParGen.xml"), absentFile(), ',');
    ASSERT_EQ(images.bank1.size(), 2048u);
    EXPECT_EQ(slice(images.bank1, 0x028, 12),
              (Bytes{192, 168, 0, 10, 255, 255, 255, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(images.bank1[0x061], 0);
    EXPECT_EQ(slice(images.bank1, 0x190, 4), (Bytes{0x00, 0xC2, 0x01, 0x00}));
    EXPECT_EQ(slice(images.bank1, 0x19C, 4), (Bytes{0x00, 0xC2, 0x01, 0x00}));
    EXPECT_EQ(slice(images.bank1, 0x7FC, 4), (Bytes{0x4B, 0x0E, 0x00, 0x00}));
}

// A declaration or comment in front of the root leaves every key missing; the missing-key fallbacks
// happen to give the example's bytes, whatever the file holds.
TEST(ParameterBlock, DeclarationOrCommentBeforeTheRootKeepsTheStoredValues) {
    const std::string changed = parGenWith({{"IEC61850_Client_IP1", "10"},
                                            {"SERIAL_BAUDRATE", "2"},
                                            {"IEC61850_Client_En_GAT", "1"},
                                            {"SERIAL_SERIAL", "0"}});
    for (const std::string& prefix :
         {std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"), std::string("<!--written by hand-->")}) {
        SCOPED_TRACE(prefix);
        EXPECT_EQ(buildParGen(prefix + changed).bank1, buildParGen(changed).bank1);
    }
}

TEST(ParameterBlock, MalformedParameterFileStopsTheBuildNamingTheFile) {
    sw::test::TempDir dir;
    sw::test::writeFile(dir / "ParGen.xml", "<Par_Gen><IEC61850_Client_IP1>1</Par_Gen>");
    try {
        sw::buildImages(dir / "ParGen.xml", absentFile(), '.');
        FAIL() << "no error";
    } catch (const sw::ConfigError& error) {
        EXPECT_NE(std::string(error.what()).find("ParGen.xml"), std::string::npos) << error.what();
    }
}

TEST(ParameterBlock, ProjectFileThatCannotBeLookedAtIsAnErrorNotADefault) {
#ifdef _WIN32
    GTEST_SKIP()
        << "a file that cannot be looked at is made of a loop of symbolic links, which need a privilege on "
           "Windows";
#endif
    sw::test::TempDir dir;
    std::filesystem::create_symlink("ParGen.xml", dir / "ParGen.xml"); // a loop: stat fails
    EXPECT_THROW(sw::buildImages(dir / "ParGen.xml", absentFile(), '.'), sw::ConfigError);
    EXPECT_THROW(sw::buildImages(absentFile(), dir / "ParGen.xml", '.'), sw::ConfigError);
}

struct KeyCase {
    const char* name;
    std::map<std::string, std::optional<std::string>> changes;
    bool inBank2; // the value lands in the variable image's header
    std::size_t offset;
    Bytes expected;
    std::size_t copyOffset = 0; // a second copy of the same bytes, when the block keeps one
};

// Every conversion and both fallbacks of every key.
const KeyCase kKeyCases[] = {
    {"IpByteTakesLow8Bits", {{"IEC61850_Client_IP1", "300"}}, false, 0x028, {44}},
    {"IpByteMinusOneIs255", {{"IEC61850_Client_IP1", "-1"}}, false, 0x028, {255}},
    {"IpByteWithLeadingBlanks", {{"IEC61850_Client_IP1", "  7"}}, false, 0x028, {7}},
    {"IpByteHexIsNotInteger", {{"IEC61850_Client_IP1", "0x10"}}, false, 0x028, {192}},
    {"Ip1NotInteger", {{"IEC61850_Client_IP1", "x"}}, false, 0x028, {192}},
    {"Ip1Missing", {{"IEC61850_Client_IP1", std::nullopt}}, false, 0x028, {192}},
    {"Ip1HoldsElements", {{"IEC61850_Client_IP1", kChildElements}}, false, 0x028, {192}},
    {"Ip2NotInteger", {{"IEC61850_Client_IP2", ""}}, false, 0x029, {168}},
    {"Ip2Missing", {{"IEC61850_Client_IP2", std::nullopt}}, false, 0x029, {168}},
    {"Ip3NotInteger", {{"IEC61850_Client_IP3", "x"}}, false, 0x02A, {0}},
    {"Ip3Missing", {{"IEC61850_Client_IP3", std::nullopt}}, false, 0x02A, {0}},
    {"Ip4NotInteger", {{"IEC61850_Client_IP4", "x"}}, false, 0x02B, {10}},
    {"Ip4Missing", {{"IEC61850_Client_IP4", std::nullopt}}, false, 0x02B, {10}},
    {"Sm1NotInteger", {{"IEC61850_Client_SM1", "x"}}, false, 0x02C, {255}},
    {"Sm1Missing", {{"IEC61850_Client_SM1", std::nullopt}}, false, 0x02C, {255}},
    {"Sm2NotInteger", {{"IEC61850_Client_SM2", "x"}}, false, 0x02D, {255}},
    {"Sm2Missing", {{"IEC61850_Client_SM2", std::nullopt}}, false, 0x02D, {255}},
    {"Sm3NotInteger", {{"IEC61850_Client_SM3", "x"}}, false, 0x02E, {255}},
    {"Sm3Missing", {{"IEC61850_Client_SM3", std::nullopt}}, false, 0x02E, {255}},
    {"Sm4NotInteger", {{"IEC61850_Client_SM4", "x"}}, false, 0x02F, {255}},
    {"Sm4Missing", {{"IEC61850_Client_SM4", std::nullopt}}, false, 0x02F, {0}},
    {"Sm4HoldsElements", {{"IEC61850_Client_SM4", kChildElements}}, false, 0x02F, {0}},
    {"GatewayUsed", {{"IEC61850_Client_En_GAT", "1"}}, false, 0x030, {0xC0, 0xA8, 0x00, 0x01}},
    {"GatewayFallbacks",
     {{"IEC61850_Client_En_GAT", "1"},
      {"IEC61850_Client_GAT1", "x"},
      {"IEC61850_Client_GAT2", std::nullopt},
      {"IEC61850_Client_GAT3", "x"},
      {"IEC61850_Client_GAT4", std::nullopt}},
     false,
     0x030,
     {192, 168, 0, 1}},
    {"GatewayNotIntegerBytes",
     {{"IEC61850_Client_En_GAT", "1"}, {"IEC61850_Client_GAT2", "x"}, {"IEC61850_Client_GAT4", "x"}},
     false,
     0x030,
     {192, 168, 0, 1}},
    {"GatewayFlagYes", {{"IEC61850_Client_En_GAT", "yes"}}, false, 0x030, {0xFF, 0xFF, 0xFF, 0xFF}},
    {"GatewayFlagTrue", {{"IEC61850_Client_En_GAT", "true"}}, false, 0x030, {0xFF, 0xFF, 0xFF, 0xFF}},
    {"GatewayFlagBlankOne", {{"IEC61850_Client_En_GAT", " 1"}}, false, 0x030, {0xFF, 0xFF, 0xFF, 0xFF}},
    {"GatewayFlagMissing",
     {{"IEC61850_Client_En_GAT", std::nullopt}},
     false,
     0x030,
     {0xFF, 0xFF, 0xFF, 0xFF}},
    {"Vlan", {{"IEC61850_Client_VLAN", "5"}}, true, 8, {5, 0, 0, 0}},
    {"VlanNotInteger", {{"IEC61850_Client_VLAN", "abc"}}, true, 8, {0, 0, 0, 0}},
    {"VlanMissing", {{"IEC61850_Client_VLAN", std::nullopt}}, true, 8, {0, 0, 0, 0}},
    {"ApplicationIdNegative", {{"IEC61850_Client_Application_ID", "-2"}}, true, 12, {0xFE, 0xFF, 0xFF, 0xFF}},
    {"ApplicationIdNotInteger", {{"IEC61850_Client_Application_ID", " 7x"}}, true, 12, {0, 0, 0, 0}},
    {"ApplicationIdMissing", {{"IEC61850_Client_Application_ID", std::nullopt}}, true, 12, {0, 0, 0, 0}},
    {"SerialRs232", {{"SERIAL_SERIAL", "0"}}, false, 0x061, {1}},
    {"SerialZeroZeroIsNotRs232", {{"SERIAL_SERIAL", "00"}}, false, 0x061, {0}},
    {"SerialMissing", {{"SERIAL_SERIAL", std::nullopt}}, false, 0x061, {0}},
    {"Baud1200", {{"SERIAL_BAUDRATE", "0"}}, false, 0x190, {0xB0, 0x04, 0, 0}, 0x19C},
    {"Baud2400", {{"SERIAL_BAUDRATE", "1"}}, false, 0x190, {0x60, 0x09, 0, 0}, 0x19C},
    {"Baud4800", {{"SERIAL_BAUDRATE", "2"}}, false, 0x190, {0xC0, 0x12, 0, 0}, 0x19C},
    {"Baud9600", {{"SERIAL_BAUDRATE", "3"}}, false, 0x190, {0x80, 0x25, 0, 0}, 0x19C},
    {"Baud19200", {{"SERIAL_BAUDRATE", "4"}}, false, 0x190, {0x00, 0x4B, 0, 0}, 0x19C},
    {"Baud38400", {{"SERIAL_BAUDRATE", "5"}}, false, 0x190, {0x00, 0x96, 0, 0}, 0x19C},
    {"Baud57600", {{"SERIAL_BAUDRATE", "6"}}, false, 0x190, {0x00, 0xE1, 0, 0}, 0x19C},
    {"BaudIndexPastTable", {{"SERIAL_BAUDRATE", "8"}}, false, 0x190, {0x80, 0x25, 0, 0}, 0x19C},
    {"BaudIndexNegative", {{"SERIAL_BAUDRATE", "-1"}}, false, 0x190, {0x80, 0x25, 0, 0}, 0x19C},
    {"BaudNotInteger", {{"SERIAL_BAUDRATE", "abc"}}, false, 0x190, {0x00, 0xC2, 0x01, 0}, 0x19C},
    {"BaudMissing", {{"SERIAL_BAUDRATE", std::nullopt}}, false, 0x190, {0x00, 0xC2, 0x01, 0}, 0x19C},
    {"ParityEven", {{"SERIAL_PARITY", "2"}}, false, 0x1A8, {2}, 0x1AB},
    {"ParityLow8Bits", {{"SERIAL_PARITY", "257"}}, false, 0x1A8, {1}, 0x1AB},
    {"ParityNotInteger", {{"SERIAL_PARITY", "x"}}, false, 0x1A8, {0}, 0x1AB},
    {"ParityMissing", {{"SERIAL_PARITY", std::nullopt}}, false, 0x1A8, {0}, 0x1AB},
    {"TwoStopBits", {{"SERIAL_STOPBITS", "1"}}, false, 0x1AE, {2}, 0x1B1},
    {"StopBitsOtherValueUnchanged", {{"SERIAL_STOPBITS", "3"}}, false, 0x1AE, {3}, 0x1B1},
    {"StopBitsNotInteger", {{"SERIAL_STOPBITS", "x"}}, false, 0x1AE, {0}, 0x1B1},
    {"StopBitsMissing", {{"SERIAL_STOPBITS", std::nullopt}}, false, 0x1AE, {0}, 0x1B1},
};

class ParameterKey : public testing::TestWithParam<KeyCase> {};

TEST_P(ParameterKey, LandsWithItsConversionOrFallback) {
    const KeyCase& c = GetParam();
    const sw::BuildResult images = buildParGen(parGenWith(c.changes));
    const Bytes& image = c.inBank2 ? images.bank2 : images.bank1;
    EXPECT_EQ(slice(image, c.offset, c.expected.size()), c.expected);
    if (c.copyOffset != 0) {
        EXPECT_EQ(slice(image, c.copyOffset, c.expected.size()), c.expected);
    }
    ASSERT_EQ(images.bank1.size(), 2048u);
    EXPECT_EQ(u32At(images.bank1, 0x7FC), sumBeforeChecksum(images.bank1));
}

INSTANTIATE_TEST_SUITE_P(AllKeys, ParameterKey, testing::ValuesIn(kKeyCases),
                         [](const testing::TestParamInfo<KeyCase>& testCase) {
                             return std::string(testCase.param.name);
                         });

} // namespace
