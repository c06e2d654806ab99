#include "test_support.h"

#ifndef _WIN32
#include "local_http_server.h"
#endif

#include <gtest/gtest.h>

namespace {

#ifdef _WIN32

// The Windows check's cross build has no HTTP client.
TEST(CheckVersion, SaysWhenTheBuildCannotAskTheService) {
    const auto result = sw::test::runProcess({SW_CLI_PATH, "check-version", "--url", "http://127.0.0.1:9"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.stdoutText, "");
    EXPECT_NE(result.stderrText.find("not available in this build"), std::string::npos) << result.stderrText;
}

#else

using sw::test::LocalHttpServer;

TEST(CheckVersion, PrintsWhetherTheServiceOffersANewerVersion) {
    const struct {
        std::string response;
        const char* printed;
    } cases[] = {
        {LocalHttpServer::response("200 OK", "VER. 1.001"), "newer\n"},
        {LocalHttpServer::response("200 OK", "VER. 1.000"), "not newer\n"},
        {LocalHttpServer::response("404 Not Found", "VER. 9.000"), "not newer\n"},
    };
    for (const auto& c : cases) {
        LocalHttpServer server(c.response);
        const auto result = sw::test::runProcess({SW_CLI_PATH, "check-version", "--url", server.base()});
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.stdoutText, c.printed);
        ASSERT_EQ(server.requests().size(), 1u);
        EXPECT_EQ(
            server.requests()[0].rfind("GET /home/download/GetversionSW.asp?nomesw=SW40512 HTTP/1.0\r\n", 0),
            0u);
    }
}

#endif

TEST(CheckVersion, RefusesUnknownArguments) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{SW_CLI_PATH, "check-version", "--url"},
          std::vector<std::string>{SW_CLI_PATH, "check-version", "--bogus"}}) {
        const auto result = sw::test::runProcess(args);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_NE(result.stderrText.find("Usage: sw40512-cli check-version"), std::string::npos);
    }
}

} // namespace
