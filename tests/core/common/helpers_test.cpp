#include "core/common/atomic_file.h"
#include "core/common/config_error.h"
#include "core/common/ip_address.h"
#include "core/common/numbers.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(CheckIpAddress, SplitsAndValidates) {
    struct Case {
        const char* text;
        bool valid;
        std::array<std::string, 4> parts;
    };
    const Case cases[] = {
        {"192.168.0.1", true, {"192", "168", "0", "1"}},
        {" 192 . 168 . 0 . 1 ", true, {"192", "168", "0", "1"}},
        {"192.168.0", false, {}},
        {"192.168.0.1.5", false, {}},
        {"192.168..1", false, {}},
        {"192.168.0.256", false, {}},
        {"a.b.c.d", false, {}},
        {"-1.0.0.0", false, {}},
    };
    for (const auto& c : cases) {
        std::array<std::string, 4> parts;
        EXPECT_EQ(sw::Check_IP_Address(c.text, parts), c.valid) << c.text;
        if (c.valid) {
            EXPECT_EQ(parts, c.parts) << c.text;
        }
    }
}

TEST(IntegerParser, AcceptsOnlyPlainDecimalWholeNumbers) {
    struct Case {
        const char* text;
        std::optional<std::int32_t> value;
    };
    const Case cases[] = {{"0", 0},
                          {"010", 10},
                          {" 7", 7},
                          {"-5", -5},
                          {"+5", 5},
                          {"7 ", std::nullopt},
                          {"", std::nullopt},
                          {"-", std::nullopt},
                          {"0x10", std::nullopt},
                          {"$10", std::nullopt},
                          {"1.5", std::nullopt},
                          {"2147483647", 2147483647},
                          {"-2147483648", -2147483647 - 1},
                          {"2147483648", std::nullopt},
                          {"99999999999", std::nullopt}};
    for (const auto& c : cases) {
        EXPECT_EQ(sw::parseInteger(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(CheckFloat, AcceptsEitherDecimalMark) {
    struct Case {
        const char* text;
        char separator;
        bool ok;
        float value;
    };
    const Case cases[] = {{"1.5", ',', true, 1.5F},    {"1,5", ',', true, 1.5F},
                          {"1,5", '.', true, 1.5F},    {"-2.25", '.', true, -2.25F},
                          {"1e3", ',', true, 1000.0F}, {"abc", ',', false, 1.0F},
                          {"", ',', false, 1.0F},      {"1,000.5", ',', false, 1.0F},
                          {"inf", '.', false, 1.0F},   {"1e39", '.', false, 1.0F}};
    for (const auto& c : cases) {
        float value = 0;
        EXPECT_EQ(sw::Check_Float(c.text, c.separator, value), c.ok) << c.text;
        EXPECT_FLOAT_EQ(value, c.value) << c.text;
    }
    // Without the mark substitution only the given separator counts.
    EXPECT_EQ(sw::parseFloat("2,5", ','), 2.5);
    EXPECT_EQ(sw::parseFloat("2.5", ','), std::nullopt);
}

TEST(DecimalSeparator, AnythingButCommaOrPointGivesComma) {
    EXPECT_EQ(sw::decimalSeparatorFrom("."), '.');
    EXPECT_EQ(sw::decimalSeparatorFrom(","), ',');
    EXPECT_EQ(sw::decimalSeparatorFrom(";"), ',');
    EXPECT_EQ(sw::decimalSeparatorFrom(""), ',');
    const char separator = sw::Get_Decimal_Separator();
    EXPECT_TRUE(separator == ',' || separator == '.');
}

TEST(AtomicFile, ReplacesWholeFileAndLeavesOldOneOnFailure) {
    sw::test::TempDir dir;
    const auto file = dir / "data.bin";
    sw::writeFileAtomically(file, "a long first version");
    sw::writeFileAtomically(file, "short");
    EXPECT_EQ(sw::readFileBytes(file), "short");

    EXPECT_THROW(sw::writeFileAtomically(dir / "missing" / "x.bin", "x"), sw::ConfigError);
    std::filesystem::create_directory(dir / "folder");
    EXPECT_THROW(sw::writeFileAtomically(dir / "folder", "x"), sw::ConfigError);
    std::filesystem::remove(dir / "folder");
    if (geteuid() != 0) {
        ::chmod(dir.path().c_str(), 0500);
        EXPECT_THROW(sw::writeFileAtomically(file, "new"), sw::ConfigError);
        ::chmod(dir.path().c_str(), 0700);
        EXPECT_EQ(sw::readFileBytes(file), "short");
    }
    // No temporary file is left behind.
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

} // namespace

namespace {

TEST(NumberFastPaths, AgreeWithTheFullConversions) {
    const char* texts[] = {"0",
                           "7",
                           "010",
                           "102",
                           "999999999",
                           "1000000000",
                           "2147483647",
                           "2147483648",
                           "-5",
                           " 7",
                           "7 ",
                           "",
                           "+",
                           "1,5",
                           "1.5",
                           "0,1",
                           ",5",
                           "5,",
                           "123456789012345,6",
                           "1234567890123456",
                           "1e3",
                           "abc",
                           "12a",
                           "00000000000000000001",
                           "-0,25"};
    for (const char* text : texts) {
        EXPECT_EQ(sw::parseTerminatedInteger(text), sw::parseInteger(text)) << '"' << text << '"';
        for (char separator : {',', '.'}) {
            EXPECT_EQ(sw::parseTerminatedFloat(text, separator), sw::parseFloat(text, separator))
                << '"' << text << "\" with " << separator;
        }
    }
}

} // namespace
