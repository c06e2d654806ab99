#include "core/options/version_check.h"

#ifndef _WIN32
#include "local_http_server.h"
#endif

#include <gtest/gtest.h>

#include <chrono>
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

#ifdef _WIN32

// The Windows check's cross build has no HTTP client: the exchanges with a service are checked natively.
TEST(VersionCheck, BuildWithoutAnHttpClientAsksNoServiceAndFindsNothingNewer) {
    EXPECT_FALSE(sw::versionCheckAvailable());
    EXPECT_EQ(sw::fetchVersionAnswer(serviceAt("http://127.0.0.1:9")), std::nullopt);
    EXPECT_FALSE(sw::checkVersion(serviceAt("http://127.0.0.1:9")));
}

#else

using sw::test::LocalHttpServer;

TEST(VersionCheck, SendsOnePlainGetWithTheTwoHeaders) {
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

TEST(VersionCheck, AnswersOfTheServiceDecideNewer) {
    const struct {
        std::string response;
        bool newer;
    } cases[] = {
        {LocalHttpServer::response("200 OK", "VER. 1.001"), true},
        {LocalHttpServer::response("200 OK", "VER. 1.000"), false},
        {LocalHttpServer::response("200 OK", "ver. 0.000"), false},
        {LocalHttpServer::response("200 OK", "  VER. 0.000\r\n"), false},
        {LocalHttpServer::response("200 OK", "VER. 2.000 beta"), true},
        {LocalHttpServer::response("200 OK", "VER. 10.00"), false},
        {LocalHttpServer::response("200 OK", "1.002"), true},
        {LocalHttpServer::response("200 OK", "VER. 0.999"), false},
        {LocalHttpServer::response("200 OK", ""), false},
        {LocalHttpServer::response("404 Not Found", "VER. 9.000"), false},
        {LocalHttpServer::response("500 Internal Server Error", "VER. 9.000"), false},
        {LocalHttpServer::response("302 Found", "VER. 9.000", "Location: /elsewhere\r\n"), false},
        {LocalHttpServer::response("200 OK", "VER. 9.000" + std::string(100000, ' ')), false},
        {"not an HTTP answer at all", false},
    };
    for (const auto& c : cases) {
        LocalHttpServer server(c.response);
        EXPECT_EQ(sw::checkVersion(serviceAt(server.base())), c.newer) << c.response.substr(0, 60);
        // A redirect is never followed.
        EXPECT_EQ(server.requests().size(), 1u);
    }
}

TEST(VersionCheck, ServiceThatNeverAnswersEndsWithinTheTimeOut) {
    LocalHttpServer silent("");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(sw::checkVersion(serviceAt(silent.base(), 400ms)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

TEST(VersionCheck, StopEndsAWaitingCheckEarly) {
    LocalHttpServer silent("");
    std::stop_source stop;
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(200ms);
        stop.request_stop();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(sw::checkVersion(serviceAt(silent.base(), 20000ms), stop.get_token()));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    stopper.join();
}

TEST(VersionCheck, NoServiceListeningIsNotNewer) {
    std::string base;
    {
        LocalHttpServer gone(LocalHttpServer::response("200 OK", "VER. 9.000"));
        base = gone.base();
    }
    EXPECT_FALSE(sw::checkVersion(serviceAt(base)));
    // Only plain HTTP is spoken.
    EXPECT_FALSE(sw::checkVersion(serviceAt("file:///etc")));
}

#endif

} // namespace
