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
};

// The maker's version service with the usual time-outs.
VersionService makerVersionService();

// The path and query asked for on the service's host.
inline constexpr std::string_view kVersionQuery = "/home/download/GetversionSW.asp?nomesw=SW40512";

// The maker's download page, the target of the new-version links.
std::string downloadPageAddress();

// Whether this build can ask the version service at all: a build without an HTTP client (the Windows
// check's cross build) cannot, and then every check answers "no newer version".
bool versionCheckAvailable();

// One plain HTTP/1.0 GET of the version query: the body of a 2xx answer, or nullopt on any failure
// (no connection, time-out, an error or redirect status, an answer too long to be a version, a stop
// asked for).
std::optional<std::string> fetchVersionAnswer(const VersionService& service, std::stop_token stop = {});

// Asks the service whether a newer version than this program's exists. Never throws: every failure
// counts as no newer version.
bool checkVersion(const VersionService& service = makerVersionService(), std::stop_token stop = {});

} // namespace sw
