#include "core/options/version_check.h"

#include "local_http_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

namespace {

using namespace std::chrono_literals;

sw::VersionService serviceAt(const std::string& base, std::chrono::milliseconds total = 5000ms) {
    return sw::VersionService{base, 2000ms, total};
}

TEST(VersionCheck, ConvVersionReadsDigitsAroundThePoint) {
    const struct {
        const char* text;
        int number;
    } cases[] = {
        {"1.000", 1000},
        {"VER. 1.002", 1002},
        {"VER. 2.000 beta", 2000},
        {"VER.   3.104  ", 3104},
        {"VER. 10.00", -1},
        {"VER. 1.00", -1},
        {"", -1},
        {"VER.", -1},
        {"VER. +.123", -1},
        {"VER. 1x2a3", -1},
        {"VER. 9-999", 9999},
        {"VER. 0.000", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sw::versionNumber(c.text), c.number) << c.text;
    }
}

// A build without the version check asks no service and says so.
TEST(VersionCheck, BuildWithoutAnHttpClientAsksNoServiceAndSaysSo) {
    if (sw::versionCheckAvailable()) {
        GTEST_SKIP() << "this build has the version check";
    }
    EXPECT_EQ(sw::fetchVersionAnswer(serviceAt("http://127.0.0.1:9")), std::nullopt);
    const sw::VersionCheckResult result = sw::checkVersionOnline(serviceAt("http://127.0.0.1:9"));
    EXPECT_EQ(result.outcome, sw::VersionCheckResult::Outcome::Failed);
    EXPECT_EQ(result.failure, sw::VersionCheckFailure::NotAvailable);
}

using sw::test::LocalHttpServer;

// The exchanges with a service need a build with the version check.
#define SKIP_WITHOUT_HTTP_CLIENT()                                                                           \
    if (!sw::versionCheckAvailable()) {                                                                      \
        GTEST_SKIP() << "this build has no HTTP client";                                                     \
    }

TEST(VersionCheck, SendsOnePlainGetWithTheTwoHeaders) {
    SKIP_WITHOUT_HTTP_CLIENT();
    LocalHttpServer server(LocalHttpServer::response("200 OK", "VER. 1.001"));
    EXPECT_TRUE(sw::checkVersion(serviceAt(server.base())));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::string& head = requests[0];
    EXPECT_EQ(head.substr(0, head.find("\r\n")),
              "GET /home/download/GetversionSW.asp?nomesw=SW40512 HTTP/1.0");
    EXPECT_NE(head.find("\r\nAccept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8\r\n"),
              std::string::npos);
    EXPECT_NE(head.find("\r\nUser-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"), std::string::npos);
    // Besides the host every HTTP request names, nothing else: no cookies, no connection options.
    int headers = 0;
    for (std::size_t at = head.find("\r\n"); at + 4 < head.size(); at = head.find("\r\n", at + 2)) {
        ++headers;
        const std::string name = head.substr(at + 2, head.find(':', at) - at - 2);
        EXPECT_TRUE(name == "Host" || name == "Accept" || name == "User-Agent") << name;
    }
    EXPECT_EQ(headers, 3);
}

using Outcome = sw::VersionCheckResult::Outcome;
using Failure = sw::VersionCheckFailure;

TEST(VersionCheck, AnswersOfTheServiceDecideNewer) {
    SKIP_WITHOUT_HTTP_CLIENT();
    const struct {
        std::string body;
        Outcome outcome;
    } cases[] = {
        {"VER. 1.001", Outcome::Newer},      {"VER. 1.000", Outcome::NotNewer},
        {"ver. 0.000", Outcome::NotNewer},   {"  VER. 0.000\r\n", Outcome::NotNewer},
        {"VER. 2.000 beta", Outcome::Newer}, {"1.002", Outcome::Newer},
        {"VER. 0.999", Outcome::NotNewer},   {"", Outcome::NotNewer},
    };
    for (const auto& c : cases) {
        LocalHttpServer server(LocalHttpServer::response("200 OK", c.body));
        const sw::VersionCheckResult result = sw::checkVersionOnline(serviceAt(server.base()));
        EXPECT_EQ(result.outcome, c.outcome) << c.body;
        EXPECT_EQ(result.failure, Failure::None) << c.body;
        EXPECT_EQ(sw::checkVersion(serviceAt(server.base())), c.outcome == Outcome::Newer) << c.body;
    }
}

// Whatever keeps the service from giving a version is a failed check with its reason, never "not newer".
TEST(VersionCheck, EveryWayOfNotGettingAVersionIsAFailureWithItsReason) {
    SKIP_WITHOUT_HTTP_CLIENT();
    std::string refusedBase;
    {
        LocalHttpServer gone(LocalHttpServer::response("200 OK", "VER. 9.000"));
        refusedBase = gone.base();
    }
    const struct {
        const char* name;
        std::optional<std::string> response; // none: no server, the base is used as it is
        std::string base;
        Failure failure;
        const char* detail;
    } cases[] = {
        {"refused port", std::nullopt, refusedBase, Failure::Unreachable, ""},
        {"HTTP 500", LocalHttpServer::response("500 Internal Server Error", "VER. 9.000"), "",
         Failure::HttpStatus, "500"},
        {"HTTP 404", LocalHttpServer::response("404 Not Found", "VER. 9.000"), "", Failure::HttpStatus,
         "404"},
        {"redirect", LocalHttpServer::response("302 Found", "VER. 9.000", "Location: /elsewhere\r\n"), "",
         Failure::HttpStatus, "302"},
        {"junk body", LocalHttpServer::response("200 OK", "<html><body>Welcome</body></html>"), "",
         Failure::NotAVersion, "\"<html><body>Welcome</body></html>\""},
        {"version with its point misplaced", LocalHttpServer::response("200 OK", "VER. 10.00"), "",
         Failure::NotAVersion, "\"VER. 10.00\""},
        {"answer too long", LocalHttpServer::response("200 OK", "VER. 9.000" + std::string(100000, ' ')), "",
         Failure::TooLong, ""},
        {"not HTTP", std::string("not an HTTP answer at all"), "", Failure::NotHttp, ""},
        {"time-out", std::string(), "", Failure::TimedOut, ""},
        {"https", std::nullopt, "https://127.0.0.1:9", Failure::NotPlainHttp, "https://127.0.0.1:9"},
        {"file", std::nullopt, "file:///etc", Failure::NotPlainHttp, "file:///etc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<LocalHttpServer> server;
        if (c.response) {
            server.emplace(*c.response);
        }
        const sw::VersionService service = serviceAt(server ? server->base() : c.base, 400ms);
        const auto start = std::chrono::steady_clock::now();
        const sw::VersionCheckResult result = sw::checkVersionOnline(service);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
        EXPECT_EQ(result.outcome, Outcome::Failed);
        EXPECT_EQ(result.failure, c.failure);
        if (*c.detail != '\0') {
            EXPECT_EQ(result.detail, c.detail);
        }
        EXPECT_FALSE(sw::checkVersion(service));
        if (server) {
            // A redirect is never followed, and nothing is asked twice.
            EXPECT_LE(server->requests().size(), 2u);
        }
    }
}

// The HTTP client's library is loaded only when a check runs; one that cannot be loaded is a failed
// check that says why, and asks nothing.
TEST(VersionCheck, HttpClientThatCannotBeLoadedIsAFailureThatSaysWhy) {
    SKIP_WITHOUT_HTTP_CLIENT();
#ifdef _WIN32
    GTEST_SKIP() << "WinHTTP is part of the system; there is no library to be missing";
#endif
    LocalHttpServer server(LocalHttpServer::response("200 OK", "VER. 9.000"));
    sw::VersionService service = serviceAt(server.base());
    service.httpClientLibrary = "libsw40512-no-such-client.so.4";
    for (int attempt = 0; attempt < 2; ++attempt) {
        const sw::VersionCheckResult result = sw::checkVersionOnline(service);
        EXPECT_EQ(result.outcome, Outcome::Failed);
        EXPECT_EQ(result.failure, Failure::NoHttpClient);
        EXPECT_NE(result.detail.find("libsw40512-no-such-client.so.4"), std::string::npos) << result.detail;
    }
    EXPECT_TRUE(server.requests().empty());
    // The system's own library still answers.
    service.httpClientLibrary.clear();
    EXPECT_TRUE(sw::checkVersionOnline(service).newer());
}

TEST(VersionCheck, StopEndsAWaitingCheckEarly) {
    SKIP_WITHOUT_HTTP_CLIENT();
    LocalHttpServer silent("");
    std::stop_source stop;
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(200ms);
        stop.request_stop();
    });
    const auto start = std::chrono::steady_clock::now();
    const sw::VersionCheckResult result =
        sw::checkVersionOnline(serviceAt(silent.base(), 20000ms), stop.get_token());
    EXPECT_EQ(result.failure, Failure::Stopped);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    stopper.join();
}

} // namespace
