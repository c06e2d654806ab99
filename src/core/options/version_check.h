#pragma once

#include <chrono>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace sw {

// The version number of a version text d.ddd (the part after the first blank, or the whole text):
// its 1st, 3rd, 4th and 5th characters as one decimal number, so "VER. 1.002" is 1002; -1 when
// those four characters are missing or not all digits.
int versionNumber(std::string_view Ver_str);

// Whether the service's answer names a version newer than ours. An empty answer, "VER. 0.000" (the
// service knows no version) and an answer without a valid version are not newer.
bool isNewerVersion(std::string_view answer, std::string_view ownVersion);

// Where and how long the version service is asked.
struct VersionService {
    // Scheme, host and port, without a trailing path: "http://127.0.0.1:8080".
    std::string base;
    std::chrono::milliseconds connectTimeout{5000};
    std::chrono::milliseconds totalTimeout{10000};
    // The HTTP client's library file, loaded when the first check runs; empty: the system's libcurl.
    std::string httpClientLibrary{};
};

// The maker's version service with the usual time-outs.
VersionService makerVersionService();

// The path and query asked for on the service's host.
inline constexpr std::string_view kVersionQuery = "/home/download/GetversionSW.asp?nomesw=SW40512";

// The maker's download page, the target of the new-version links.
std::string downloadPageAddress();

// Whether this build can ask the version service at all: a build without the version check cannot, and
// then every check fails as NotAvailable.
bool versionCheckAvailable();

// Why a version check could not tell whether a newer version exists.
enum class VersionCheckFailure {
    None,
    NotAvailable, // this build has no HTTP client
    NoHttpClient, // the HTTP client's library could not be loaded
    NotPlainHttp, // the service's address is not an http:// one: nothing else is ever asked
    Unreachable,  // no connection: refused, no route, a name that does not resolve
    TimedOut,     // no whole answer within the time-outs
    HttpStatus,   // an answer whose status is not 2xx (a redirect included: none is followed)
    NotHttp,      // bytes that are not an HTTP answer
    TooLong,      // more than any version answer holds
    NotAVersion,  // a 2xx answer that names no version
    Stopped,      // given up on request
    Other,        // anything else the HTTP client reports
};

// What a version check found: newer, not newer, or why it could not tell.
struct VersionCheckResult {
    enum class Outcome { Newer, NotNewer, Failed };
    Outcome outcome = Outcome::Failed;
    VersionCheckFailure failure = VersionCheckFailure::None;
    std::string detail; // the HTTP status, the client's own words or the answer's first characters

    bool newer() const { return outcome == Outcome::Newer; }
};

// The string-table index of a failure's reason; its %1 is the result's detail.
int versionFailureText(VersionCheckFailure failure);

// One plain HTTP/1.0 GET of the version query: the body of a 2xx answer, or the reason there is none
// (no connection, time-out, an error or redirect status, an answer too long to be a version, a stop
// asked for) in `failed`.
std::optional<std::string> fetchVersionAnswer(const VersionService& service, std::stop_token stop = {},
                                              VersionCheckResult* failed = nullptr);

// What an answer of the service says: empty or "VER. 0.000" (the service knows no version) is not newer,
// a version is compared with `ownVersion`, anything else is no answer at all (Failed, NotAVersion).
VersionCheckResult judgeVersionAnswer(std::string_view answer, std::string_view ownVersion);

// Asks the service whether a newer version than this program's exists. Never throws.
VersionCheckResult checkVersionOnline(const VersionService& service = makerVersionService(),
                                      std::stop_token stop = {});

// The same as a yes or no, where a failure needs no words: only a newer version found is true.
bool checkVersion(const VersionService& service = makerVersionService(), std::stop_token stop = {});

} // namespace sw
