#include "core/common/config_error.h"
#include "core/update/address_check.h"
#include "fake_echo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stop_token>

namespace {

using sw::AddressCheck;
using Step = sw::test::FakeEchoService::Step;

TEST(AddressCheck, OutcomeFollowsTheRepliesWithinFiveSeconds) {
    struct Case {
        const char* name;
        std::vector<Step> script;
        AddressCheck outcome;
        int replyState;
        int requests;
        int message;
        bool runsFullTime; // ends only once more than five seconds have passed
    };
    const Case cases[] = {
        {"answers at once", {Step::Answer}, AddressCheck::Answered, 1, 2, 0, false},
        // Thirteen unanswered requests of 410 ms follow the first answer until 5 s are past.
        {"answers once then falls silent",
         {Step::Answer, Step::Silent},
         AddressCheck::NotFound,
         2,
         14,
         1036,
         true},
        {"silent throughout", {Step::Silent}, AddressCheck::NotFound, 2, 13, 1036, true},
        {"answers need not be consecutive",
         {Step::Answer, Step::Silent, Step::Answer},
         AddressCheck::Answered,
         1,
         3,
         0,
         false},
        {"last request unanswered",
         {Step::Silent, Step::Answer, Step::Silent},
         AddressCheck::NotFound,
         2,
         14,
         1036,
         true},
        {"address not usable", {Step::Fail}, AddressCheck::AddressError, 0, 0, 1037, false},
        // An error keeps the last reply state, and the message follows it.
        {"error after a silent request",
         {Step::Silent, Step::Fail},
         AddressCheck::NotFound,
         2,
         1,
         1036,
         false},
        {"error after an answer", {Step::Answer, Step::Fail}, AddressCheck::AddressError, 1, 1, 1037, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sw::test::FakeTickClock clock;
        sw::test::FakeEchoService echo(clock, c.script);
        const auto result = sw::checkByEchoes("192.168.2.205", echo, clock);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.replyState, c.replyState);
        EXPECT_EQ(result.requests, c.requests);
        EXPECT_EQ(sw::addressCheckMessage(result.outcome), c.message);
        const bool failed = std::find(c.script.begin(), c.script.end(), Step::Fail) != c.script.end();
        EXPECT_EQ(result.error.empty(), !failed);
        const std::uint32_t elapsed = clock.now - 1000;
        if (c.runsFullTime) {
            EXPECT_GT(elapsed, 5000u);
            EXPECT_LE(elapsed, 5000u + 410u);
        } else {
            EXPECT_LT(elapsed, 2000u);
        }
        for (std::size_t i = 0; i < echo.hosts.size(); ++i) {
            EXPECT_EQ(echo.hosts[i], "192.168.2.205");
            EXPECT_EQ(echo.payloads[i], "192.168.2.205");
        }
    }
}

TEST(AddressCheck, KeepsItsFiveSecondsWhenTheTickCounterWraps) {
    sw::test::FakeTickClock clock(0xFFFFFFFFu - 100);
    sw::test::FakeEchoService echo(clock, {Step::Silent});
    const auto result = sw::checkByEchoes("10.0.0.1", echo, clock);
    EXPECT_EQ(result.outcome, AddressCheck::NotFound);
    EXPECT_EQ(result.requests, 13);
}

TEST(AddressCheck, StopRequestEndsTheCheckWithoutAVerdict) {
    sw::test::FakeTickClock clock;
    sw::test::FakeEchoService echo(clock, {Step::Silent});
    std::stop_source stop;
    stop.request_stop();
    const auto result = sw::checkByEchoes("10.0.0.1", echo, clock, stop.get_token());
    EXPECT_EQ(result.outcome, AddressCheck::Stopped);
    EXPECT_TRUE(echo.hosts.empty());
    EXPECT_EQ(sw::addressCheckMessage(result.outcome), 0);
}

// The real echo, to the loopback address only.
TEST(IcmpEcho, LoopbackAnswersAndTheCheckSucceeds) {
    const auto echo = sw::makeIcmpEchoService();
    std::size_t received = 0;
    try {
        received = echo->echo("127.0.0.1", "127.0.0.1", sw::kEchoTimeout);
    } catch (const sw::ConfigError& error) {
        if (std::string(error.what()).find("No ICMP") != std::string::npos) {
            GTEST_SKIP() << error.what();
        }
        throw;
    }
    EXPECT_GE(received, 8u + 9u);
    const auto result = sw::checkByEchoes("127.0.0.1", *echo, sw::systemTickClock());
    EXPECT_EQ(result.outcome, AddressCheck::Answered) << result.error;
    EXPECT_EQ(result.requests, 2);
}

TEST(IcmpEcho, TextsThatAreNoNumericAddressAreRefusedWithoutSendingAnything) {
    const auto echo = sw::makeIcmpEchoService();
    for (const char* host : {"a.b.c.d", "127.0.0.256", "127.0.0", "localhost", "127.0.0.1.5", ""}) {
        EXPECT_THROW(echo->echo(host, host, sw::kEchoTimeout), sw::ConfigError) << host;
    }
}

} // namespace
