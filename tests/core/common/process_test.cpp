#include "core/common/process.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(StartProgram, SplitsParametersWithoutAShell) {
    EXPECT_EQ(sw::splitCommandLine(""), std::vector<std::string>{});
    EXPECT_EQ(sw::splitCommandLine(R"(-c "a b" x  "")"), (std::vector<std::string>{"-c", "a b", "x", ""}));
}

TEST(StartProgram, ReturnsSoonAfterAProgramThatEndsAtOnce) {
    const auto result = sw::Start_Program("/bin/true", "", 0);
    EXPECT_TRUE(result.started);
    EXPECT_TRUE(result.ended);
    EXPECT_LT(result.waited, 2000ms);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(sw::Start_Program("/bin/sh", "-c \"exit 3\"", 1).exitCode, 3);
}

TEST(StartProgram, LeavesAProgramRunningPastTheLimit) {
    sw::test::TempDir dir;
    const auto marker = dir / "done";
    const auto result =
        sw::Start_Program("/bin/sh", "-c \"sleep 0.6; touch '" + marker.string() + "'\"", 1, 150ms);
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
    const auto result = sw::Start_Program("/bin/sleep", "1", 1, sw::kStartProgramLimit, stop.get_token());
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.ended);
    EXPECT_LT(result.waited, 800ms);
}

TEST(StartProgram, MissingProgramReportsNothingAndDoesNotWait) {
    const auto result = sw::Start_Program("/nonexistent/program", "", 0);
    EXPECT_FALSE(result.started);
    EXPECT_EQ(result.waited, 0ms);
}

} // namespace
