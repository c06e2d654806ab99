#pragma once

#include <chrono>
#include <cstddef>
#include <stop_token>
#include <string>
#include <vector>

// One plain HTTP/1.0 GET through the system's HTTP client: WinHTTP on Windows, elsewhere libcurl,
// loaded when the first request is made so that programs start without it. No proxy, no cookies, no
// redirects followed, nothing taken from the environment.
namespace sw::platform {

struct HttpGetRequest {
    std::string url;                  // "http://host[:port]/path?query"; nothing but plain HTTP is asked
    std::vector<std::string> headers; // "Name: value", sent besides the host
    std::string userAgent;
    std::chrono::milliseconds connectTimeout{5000};
    std::chrono::milliseconds totalTimeout{10000};
    std::size_t bodyLimit = 64 * 1024; // a longer body is TooLong
    std::string clientLibrary;         // libcurl's file; empty: the one the build names (not on Windows)
};

struct HttpGetResult {
    enum class Failure {
        None,        // an answer came: `status` and `body`
        NotBuilt,    // this build has no HTTP client
        NoClient,    // the HTTP client's library could not be loaded
        Unreachable, // no connection: refused, no route, a name that does not resolve
        TimedOut,    // no whole answer within the time-outs
        NotHttp,     // bytes that are not an HTTP answer
        TooLong,     // a body over the limit
        Stopped,     // given up on request
        Other,       // anything else the client reports
    };
    Failure failure = Failure::None;
    long status = 0;
    std::string body;
    std::string detail; // the client's own words about a failure
};

// Whether this build has an HTTP client at all.
bool httpClientBuilt();

// Never throws; a stop asked for through `stop` ends the request within a fraction of a second.
HttpGetResult httpGet(const HttpGetRequest& request, std::stop_token stop = {});

} // namespace sw::platform
