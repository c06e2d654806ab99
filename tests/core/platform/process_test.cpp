#include "core/common/path_text.h"
#include "core/platform/process.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <thread>

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>
#endif

namespace {

using namespace std::chrono_literals;

TEST(StartProgram, SplitsParametersWithoutAShell) {
    EXPECT_EQ(sw::platform::splitCommandLine(""), std::vector<std::string>{});
    EXPECT_EQ(sw::platform::splitCommandLine(R"(-c "a b" x  "")"),
              (std::vector<std::string>{"-c", "a b", "x", ""}));
}

// A program in a folder with blanks gets an argument with blanks and letters beyond ASCII in one
// piece when quotes group it, and in pieces when they do not: nothing but the quotes decides.
TEST(StartProgram, StartsAProgramWithBlanksInItsPathAndArguments) {
    sw::test::TempDir dir;
    const std::filesystem::path cli(SW_CLI_PATH);
    const auto program = dir / "folder with blanks" / ("sw40512 cli" + cli.extension().string());
    std::filesystem::create_directory(program.parent_path());
    std::filesystem::copy_file(cli, program);
    const auto project = dir / "Projekt S\u00fcd 1";
    std::filesystem::create_directory(project);
    std::filesystem::copy_file(std::filesystem::path(SW_FIXTURES_DIR) / "image" / "ParGen.xml",
                               project / "ParGen.xml");

    const auto quoted =
        sw::platform::startProgram(sw::utf8Of(program), "parameters \"" + sw::utf8Of(project) + "\"", 1);
    EXPECT_TRUE(quoted.started);
    EXPECT_EQ(quoted.exitCode, 0);
    const auto split =
        sw::platform::startProgram(sw::utf8Of(program), "parameters " + sw::utf8Of(project), 1);
    EXPECT_TRUE(split.started);
    EXPECT_EQ(split.exitCode, 2) << "the folder name must fall apart without the quotes";
}

TEST(StartProgram, MissingProgramReportsNothingAndDoesNotWait) {
    sw::test::TempDir dir;
    const auto result = sw::platform::startProgram(sw::utf8Of(dir / "missing program.exe"), "", 0);
    EXPECT_FALSE(result.started);
    EXPECT_EQ(result.waited, 0ms);
}

TEST(StartProgram, OutputAndErrorsGoIntoTheGivenFileReplacingWhatWasThere) {
    sw::test::TempDir dir;
    const auto output = dir.path() / sw::pathFromUtf8("Ausgabe \u00fc.log");
    sw::test::writeFile(output, std::string(10000, 'x'));
    EXPECT_EQ(
        sw::platform::startProgram(SW_CLI_PATH, "--version", 1, sw::platform::kStartProgramLimit, {}, output)
            .exitCode,
        0);
    const std::string printed = sw::test::readFile(output);
    EXPECT_EQ(printed.find('x'), std::string::npos);
    EXPECT_NE(printed.find("sw40512-cli"), std::string::npos) << printed;
    EXPECT_EQ(sw::platform::startProgram(SW_CLI_PATH, "no-such-command", 1, sw::platform::kStartProgramLimit,
                                         {}, output)
                  .exitCode,
              2);
    EXPECT_NE(sw::test::readFile(output).find("no-such-command"), std::string::npos); // the error stream too
}

#ifdef _WIN32

TEST(StartProgram, CommandLineHandsEveryArgumentOverUnchanged) {
    const std::string program = "C:\\Program Files\\Plant tools\\Ethernet_Update.exe";
    const std::vector<std::string> arguments = {"plain",
                                                "",
                                                "two words",
                                                "say \"hi\"",
                                                "C:\\dir with blank\\",
                                                "a\\\\b\\",
                                                "\\\"",
                                                "tab\there",
                                                "S\u00fcd \u03a9\u03bc\u03ad\u03b3\u03b1"};
    const std::wstring commandLine = sw::platform::windowsCommandLine(program, arguments);
    int count = 0;
    wchar_t** parsed = CommandLineToArgvW(commandLine.c_str(), &count);
    ASSERT_NE(parsed, nullptr);
    std::vector<std::string> back;
    for (int i = 0; i < count; ++i) {
        back.push_back(sw::platform::utf8FromWide(parsed[i]));
    }
    LocalFree(parsed);
    std::vector<std::string> expected{program};
    expected.insert(expected.end(), arguments.begin(), arguments.end());
    EXPECT_EQ(back, expected);
}

TEST(StartProgram, ReturnsTheExitCodeOfAProgramThatEndsAtOnce) {
    const auto result = sw::platform::startProgram(SW_CLI_PATH, "--version", 1);
    EXPECT_TRUE(result.started);
    EXPECT_TRUE(result.ended);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(sw::platform::startProgram(SW_CLI_PATH, "no-such-command", 1).exitCode, 2);
}

// No program gets as far as its end between its start and the first look at it.
TEST(StartProgram, LeavesAProgramRunningPastTheLimitOrOnAStop) {
    const auto limited = sw::platform::startProgram(SW_CLI_PATH, "--version", 1, 0ms);
    EXPECT_TRUE(limited.started);
    EXPECT_FALSE(limited.ended);
    std::stop_source stop;
    stop.request_stop();
    const auto stopped = sw::platform::startProgram(SW_CLI_PATH, "--version", 1,
                                                    sw::platform::kStartProgramLimit, stop.get_token());
    EXPECT_TRUE(stopped.started);
    EXPECT_FALSE(stopped.ended);
    EXPECT_LT(stopped.waited, 800ms);
}

#else

TEST(StartProgram, ReturnsSoonAfterAProgramThatEndsAtOnce) {
    const auto result = sw::platform::startProgram("/bin/true", "", 0);
    EXPECT_TRUE(result.started);
    EXPECT_TRUE(result.ended);
    EXPECT_LT(result.waited, 2000ms);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(sw::platform::startProgram("/bin/sh", "-c \"exit 3\"", 1).exitCode, 3);
}

TEST(StartProgram, LeavesAProgramRunningPastTheLimit) {
    sw::test::TempDir dir;
    const auto marker = dir / "done";
    const auto result =
        sw::platform::startProgram("/bin/sh", "-c \"sleep 0.6; touch '" + marker.string() + "'\"", 1, 150ms);
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.ended);
    EXPECT_GE(result.waited, 150ms);
    EXPECT_FALSE(std::filesystem::exists(marker));
    for (int i = 0; i < 100 && !std::filesystem::exists(marker); ++i) {
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(std::filesystem::exists(marker));
}

TEST(StartProgram, StopRequestEndsTheWaitAndLeavesTheProgramRunning) {
    std::stop_source stop;
    std::jthread stopper([&stop] {
        std::this_thread::sleep_for(50ms);
        stop.request_stop();
    });
    const auto result =
        sw::platform::startProgram("/bin/sleep", "1", 1, sw::platform::kStartProgramLimit, stop.get_token());
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.ended);
    EXPECT_LT(result.waited, 800ms);
}

#endif

} // namespace
