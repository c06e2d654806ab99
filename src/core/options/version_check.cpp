#include "core/options/version_check.h"

#include "core/common/trim.h"

#include "core/common/build_config.h"
#include "core/language/window_texts.h"

#include "core/platform/http_get.h"

namespace sw {

namespace {

// Far beyond any version answer; a service that sends more is not the one we asked.
constexpr std::size_t kMaxAnswerBytes = 64 * 1024;

std::string upperAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

} // namespace

int versionNumber(std::string_view Ver_str) {
    const std::size_t blank = Ver_str.find(' ');
    const std::string_view t =
        trimmedOfControls(blank == std::string_view::npos ? Ver_str : Ver_str.substr(blank + 1));
    if (t.size() < 5) {
        return -1;
    }
    int number = 0;
    for (const char c : {t[0], t[2], t[3], t[4]}) {
        if (c < '0' || c > '9') {
            return -1;
        }
        number = number * 10 + (c - '0');
    }
    return number;
}

bool isNewerVersion(std::string_view answer, std::string_view ownVersion) {
    const std::string_view answerText = trimmedOfControls(answer);
    const std::string upper = upperAscii(answerText);
    if (upper.empty() || upper == "VER. 0.000") {
        return false;
    }
    const int own = versionNumber(ownVersion);
    const int offered = versionNumber(answerText);
    return own != -1 && offered != -1 && offered > own;
}

VersionService makerVersionService() {
    return VersionService{kMakerHost};
}

std::string downloadPageAddress() {
    return std::string(kMakerHost) + "/Home/download/download.asp#HD40512";
}

bool versionCheckAvailable() {
    return platform::httpClientBuilt();
}

namespace {

std::optional<std::string> failWith(VersionCheckResult* failed, VersionCheckFailure failure,
                                    std::string detail = {}) {
    if (failed != nullptr) {
        failed->outcome = VersionCheckResult::Outcome::Failed;
        failed->failure = failure;
        failed->detail = std::move(detail);
    }
    return std::nullopt;
}

} // namespace

namespace {

bool isPlainHttp(std::string_view base) {
    return upperAscii(base.substr(0, 7)) == "HTTP://";
}

VersionCheckFailure failureOf(platform::HttpGetResult::Failure failure) {
    using Failure = platform::HttpGetResult::Failure;
    switch (failure) {
    case Failure::None:
        return VersionCheckFailure::None;
    case Failure::NotBuilt:
        return VersionCheckFailure::NotAvailable;
    case Failure::NoClient:
        return VersionCheckFailure::NoHttpClient;
    case Failure::Unreachable:
        return VersionCheckFailure::Unreachable;
    case Failure::TimedOut:
        return VersionCheckFailure::TimedOut;
    case Failure::NotHttp:
        return VersionCheckFailure::NotHttp;
    case Failure::TooLong:
        return VersionCheckFailure::TooLong;
    case Failure::Stopped:
        return VersionCheckFailure::Stopped;
    case Failure::Other:
        break;
    }
    return VersionCheckFailure::Other;
}

} // namespace

std::optional<std::string> fetchVersionAnswer(const VersionService& service, std::stop_token stop,
                                              VersionCheckResult* failed) {
    if (!platform::httpClientBuilt()) {
        return failWith(failed, VersionCheckFailure::NotAvailable);
    }
    // Plain HTTP only: a secure or a local address would be another service than the one meant.
    if (!isPlainHttp(service.base)) {
        return failWith(failed, VersionCheckFailure::NotPlainHttp, service.base);
    }
    platform::HttpGetRequest request;
    request.url = service.base + std::string(kVersionQuery);
    request.headers = {"Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8"};
    request.userAgent = "Mozilla/3.0 (compatible; Indy Library)";
    request.connectTimeout = service.connectTimeout;
    request.totalTimeout = service.totalTimeout;
    request.bodyLimit = kMaxAnswerBytes;
    request.clientLibrary = service.httpClientLibrary;
    platform::HttpGetResult answer = platform::httpGet(request, std::move(stop));
    if (answer.failure != platform::HttpGetResult::Failure::None) {
        return failWith(failed, failureOf(answer.failure), std::move(answer.detail));
    }
    // A redirect is an answer like any other non-2xx one: it is not followed.
    if (answer.status < 200 || answer.status > 299) {
        return failWith(failed, VersionCheckFailure::HttpStatus, std::to_string(answer.status));
    }
    return std::move(answer.body);
}

VersionCheckResult judgeVersionAnswer(std::string_view answer, std::string_view ownVersion) {
    VersionCheckResult result;
    const std::string_view answerText = trimmedOfControls(answer);
    const std::string upper = upperAscii(answerText);
    if (upper.empty() || upper == "VER. 0.000") {
        result.outcome = VersionCheckResult::Outcome::NotNewer;
    } else if (versionNumber(answerText) == -1 || versionNumber(ownVersion) == -1) {
        result.failure = VersionCheckFailure::NotAVersion;
        // Enough of the answer to recognise it, never a whole page.
        constexpr std::size_t kShown = 40;
        std::string shown(answerText.substr(0, kShown));
        for (char& c : shown) {
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
                c = '?';
            }
        }
        result.detail = "\"" + shown + (answerText.size() > kShown ? "...\"" : "\"");
    } else {
        result.outcome = isNewerVersion(answerText, ownVersion) ? VersionCheckResult::Outcome::Newer
                                                                : VersionCheckResult::Outcome::NotNewer;
    }
    return result;
}

VersionCheckResult checkVersionOnline(const VersionService& service, std::stop_token stop) {
    VersionCheckResult result;
    try {
        const std::optional<std::string> answer = fetchVersionAnswer(service, std::move(stop), &result);
        return answer ? judgeVersionAnswer(*answer, kSoftwareVersion) : result;
    } catch (const std::exception& error) {
        failWith(&result, VersionCheckFailure::Other, error.what());
    } catch (...) {
        failWith(&result, VersionCheckFailure::Other);
    }
    return result;
}

bool checkVersion(const VersionService& service, std::stop_token stop) {
    return checkVersionOnline(service, std::move(stop)).newer();
}

int versionFailureText(VersionCheckFailure failure) {
    switch (failure) {
    case VersionCheckFailure::None:
    case VersionCheckFailure::Other:
        return static_cast<int>(WindowText::VersionFailureOther);
    case VersionCheckFailure::NotAvailable:
        return static_cast<int>(WindowText::VersionFailureNotAvailable);
    case VersionCheckFailure::NoHttpClient:
        return static_cast<int>(WindowText::VersionFailureNoHttpClient);
    case VersionCheckFailure::NotPlainHttp:
        return static_cast<int>(WindowText::VersionFailureNotPlainHttp);
    case VersionCheckFailure::Unreachable:
        return static_cast<int>(WindowText::VersionFailureUnreachable);
    case VersionCheckFailure::TimedOut:
        return static_cast<int>(WindowText::VersionFailureTimedOut);
    case VersionCheckFailure::HttpStatus:
        return static_cast<int>(WindowText::VersionFailureHttpStatus);
    case VersionCheckFailure::NotHttp:
        return static_cast<int>(WindowText::VersionFailureNotHttp);
    case VersionCheckFailure::TooLong:
        return static_cast<int>(WindowText::VersionFailureTooLong);
    case VersionCheckFailure::NotAVersion:
        return static_cast<int>(WindowText::VersionFailureNotAVersion);
    case VersionCheckFailure::Stopped:
        return static_cast<int>(WindowText::VersionFailureStopped);
    }
    return static_cast<int>(WindowText::VersionFailureOther);
}

} // namespace sw
