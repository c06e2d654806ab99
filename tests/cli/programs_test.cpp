#include "test_support.h"

#include <gtest/gtest.h>

namespace {

TEST(Programs, AnswerHelpAndVersionAndRefuseUnknownArguments) {
    struct Case {
        const char* program;
        const char* argument;
        int exitCode;
        const char* expected; // in standard output for 0, standard error otherwise
    };
    const Case cases[] = {
        {SW_CLI_PATH, "--help", 0, "Usage: sw40512-cli"},
        {SW_CLI_PATH, "--version", 0, "sw40512-cli 1.000"},
        {SW_CLI_PATH, "frobnicate", 2, "Unknown command \"frobnicate\""},
        {SW_UPDATER_PATH, "--help", 0, "Usage: Ethernet_Update"},
        {SW_UPDATER_PATH, "--version", 0, "Ethernet_Update 1.000"},
        {SW_UPDATER_PATH, "--bogus", 2, "takes no arguments"},
    };
    for (const auto& c : cases) {
        const auto result = sw::test::runProcess({c.program, c.argument});
        EXPECT_EQ(result.exitCode, c.exitCode) << c.program << " " << c.argument;
        const std::string& text = c.exitCode == 0 ? result.stdoutText : result.stderrText;
        EXPECT_NE(text.find(c.expected), std::string::npos) << c.program << " " << c.argument << ": " << text;
    }
    EXPECT_EQ(sw::test::runProcess({SW_CLI_PATH}).exitCode, 2);
}

} // namespace
