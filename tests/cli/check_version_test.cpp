#include "test_support.h"

#include "local_http_server.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using sw::test::LocalHttpServer;

// A build without the version check says so instead of asking.
bool builtWithoutHttpClient() {
    const auto result = sw::test::runProcess({SW_CLI_PATH, "check-version", "--url", "http://127.0.0.1:9"});
    return result.stdoutText == "could not check (this build cannot ask the version service)\n";
}

TEST(CheckVersion, TellsNewerNotNewerAndCouldNotCheckApartByTextAndExitCode) {
    if (builtWithoutHttpClient()) {
        GTEST_SKIP() << "this build has no HTTP client";
    }
    std::string refusedBase;
    {
        LocalHttpServer gone(LocalHttpServer::response("200 OK", "VER. 9.000"));
        refusedBase = gone.base();
    }
    const struct {
        std::optional<std::string> response; // none: the base below, with no server
        std::string base;
        const char* printed;
        int exitCode;
    } cases[] = {
        {LocalHttpServer::response("200 OK", "VER. 1.001"), "", "newer\n", 0},
        {LocalHttpServer::response("200 OK", "VER. 1.000"), "", "not newer\n", 3},
        {LocalHttpServer::response("500 Internal Server Error", "VER. 9.000"), "",
         "could not check (the service answered with HTTP status 500)\n", 1},
        {LocalHttpServer::response("302 Found", "VER. 9.000", "Location: /elsewhere\r\n"), "",
         "could not check (the service answered with HTTP status 302)\n", 1},
        {LocalHttpServer::response("200 OK", "Service closed"), "",
         "could not check (the answer names no version: \"Service closed\")\n", 1},
        {std::nullopt, refusedBase, "could not check (the service could not be reached)\n", 1},
        {std::nullopt, "https://127.0.0.1:9",
         "could not check (https://127.0.0.1:9 is not a plain http:// address)\n", 1},
    };
    for (const auto& c : cases) {
        std::optional<LocalHttpServer> server;
        if (c.response) {
            server.emplace(*c.response);
        }
        const auto result =
            sw::test::runProcess({SW_CLI_PATH, "check-version", "--url", server ? server->base() : c.base});
        EXPECT_EQ(result.exitCode, c.exitCode) << c.printed;
        EXPECT_EQ(result.stdoutText, c.printed);
        if (server) {
            ASSERT_EQ(server->requests().size(), 1u);
            EXPECT_EQ(server->requests()[0].rfind(
                          "GET /home/download/GetversionSW.asp?nomesw=SW40512 HTTP/1.0\r\n", 0),
                      0u);
        }
    }
}

TEST(CheckVersion, RefusesUnknownArguments) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{SW_CLI_PATH, "check-version", "--url"},
          std::vector<std::string>{SW_CLI_PATH, "check-version", "--bogus"}}) {
        const auto result = sw::test::runProcess(args);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_NE(result.stderrText.find("Usage: sw40512-cli check-version"), std::string::npos);
    }
}

#ifdef __GLIBC__
// The HTTP client and the many libraries it brings are loaded by the version check alone: every other
// command starts without them. The dynamic loader lists what it loads.
TEST(CheckVersion, OtherCommandsStartWithoutTheHttpClient) {
    const auto result = sw::test::runProcess({"/usr/bin/env", "LD_DEBUG=libs", SW_CLI_PATH, "--help"});
    EXPECT_EQ(result.exitCode, 0);
    ASSERT_NE(result.stderrText.find("libstdc++"), std::string::npos) << "the loader listed nothing";
    EXPECT_EQ(result.stderrText.find("libcurl"), std::string::npos) << result.stderrText;
}
#endif

} // namespace
