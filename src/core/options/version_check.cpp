#include "core/options/version_check.h"

#include "core/common/trim.h"

#include "core/common/build_config.h"
#include "core/language/window_texts.h"

#if SW_HAVE_VERSION_CHECK
#include "core/platform/shared_library.h"

#include <curl/curl.h>
#endif

#include <map>
#include <memory>
#include <mutex>

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

#if SW_HAVE_VERSION_CHECK
struct Transfer {
    std::string body;
    std::stop_token stop;
    bool tooLong = false;
};

std::size_t collectBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    if (transfer->body.size() + bytes > kMaxAnswerBytes) {
        transfer->tooLong = true;
        return 0; // ends the transfer with a write error
    }
    transfer->body.append(data, bytes);
    return bytes;
}

int watchStop(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Transfer*>(user)->stop.stop_requested() ? 1 : 0;
}

// The functions of libcurl a check calls. The library is loaded when the first check runs, not with the
// program: every other command and the configurator start without it and all it loads in turn.
struct Curl {
    CURLcode (*globalInit)(long flags) = nullptr;
    CURL* (*easyInit)() = nullptr;
    void (*easyCleanup)(CURL* handle) = nullptr;
    CURLcode (*easySetopt)(CURL* handle, CURLoption option, ...) = nullptr;
    CURLcode (*easyPerform)(CURL* handle) = nullptr;
    CURLcode (*easyGetinfo)(CURL* handle, CURLINFO info, ...) = nullptr;
    const char* (*easyStrerror)(CURLcode code) = nullptr;
    curl_slist* (*slistAppend)(curl_slist* list, const char* text) = nullptr;
    void (*slistFreeAll)(curl_slist* list) = nullptr;
};

template <class Function>
bool find(const platform::SharedLibrary& library, const char* name, Function& into) {
    into = reinterpret_cast<Function>(library.symbol(name));
    return into != nullptr;
}

// The library's functions, initialised once per program; null with the reason when it cannot be loaded.
const Curl* loadCurl(const std::string& fileName, std::string& reason) {
    struct Loaded {
        Curl curl;
        std::string reason;
    };
    static std::mutex mutex;
    static std::map<std::string, Loaded> loaded;
    const std::lock_guard lock(mutex);
    auto [it, added] = loaded.try_emplace(fileName);
    Loaded& entry = it->second;
    if (added) {
        platform::SharedLibrary library;
        if (library.load(fileName, entry.reason)) {
            Curl& c = entry.curl;
            if (!find(library, "curl_global_init", c.globalInit) ||
                !find(library, "curl_easy_init", c.easyInit) ||
                !find(library, "curl_easy_cleanup", c.easyCleanup) ||
                !find(library, "curl_easy_setopt", c.easySetopt) ||
                !find(library, "curl_easy_perform", c.easyPerform) ||
                !find(library, "curl_easy_getinfo", c.easyGetinfo) ||
                !find(library, "curl_easy_strerror", c.easyStrerror) ||
                !find(library, "curl_slist_append", c.slistAppend) ||
                !find(library, "curl_slist_free_all", c.slistFreeAll)) {
                entry.reason = fileName + " is not libcurl";
            } else if (c.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
                entry.reason = fileName + " could not be initialised";
            }
        }
    }
    reason = entry.reason;
    return entry.reason.empty() ? &entry.curl : nullptr;
}

#endif

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
    return SW_HAVE_VERSION_CHECK != 0;
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

#if SW_HAVE_VERSION_CHECK

namespace {

bool isPlainHttp(std::string_view base) {
    return upperAscii(base.substr(0, 7)) == "HTTP://";
}

VersionCheckFailure failureOf(CURLcode code, const Transfer& transfer) {
    switch (code) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return VersionCheckFailure::Unreachable;
    case CURLE_OPERATION_TIMEDOUT:
        return VersionCheckFailure::TimedOut;
    case CURLE_ABORTED_BY_CALLBACK:
        return VersionCheckFailure::Stopped;
    case CURLE_WRITE_ERROR:
        return transfer.tooLong ? VersionCheckFailure::TooLong : VersionCheckFailure::Other;
    // The scheme was checked before: an unsupported protocol here is an HTTP/0.9 or other odd reply.
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
        return VersionCheckFailure::NotHttp;
    default:
        return VersionCheckFailure::Other;
    }
}

} // namespace

std::optional<std::string> fetchVersionAnswer(const VersionService& service, std::stop_token stop,
                                              VersionCheckResult* failed) {
    // Plain HTTP only: a secure or a local address would be another service than the one meant.
    if (!isPlainHttp(service.base)) {
        return failWith(failed, VersionCheckFailure::NotPlainHttp, service.base);
    }
    std::string reason;
    const Curl* const api =
        loadCurl(service.httpClientLibrary.empty() ? SW_CURL_LIBRARY : service.httpClientLibrary, reason);
    if (api == nullptr) {
        return failWith(failed, VersionCheckFailure::NoHttpClient, reason);
    }
    const auto easyCleanup = [api](CURL* handle) { api->easyCleanup(handle); };
    const auto slistFreeAll = [api](curl_slist* list) { api->slistFreeAll(list); };
    const std::unique_ptr<CURL, decltype(easyCleanup)> curl(api->easyInit(), easyCleanup);
    if (!curl) {
        return failWith(failed, VersionCheckFailure::Other, "no HTTP client");
    }
    std::unique_ptr<curl_slist, decltype(slistFreeAll)> headers(
        api->slistAppend(nullptr, "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8"),
        slistFreeAll);
    if (!headers) {
        return failWith(failed, VersionCheckFailure::Other, "no memory");
    }
    const std::string url = service.base + std::string(kVersionQuery);
    Transfer transfer{{}, std::move(stop)};
    char clientError[CURL_ERROR_SIZE] = {};
    CURL* h = curl.get();
    bool set = api->easySetopt(h, CURLOPT_URL, url.c_str()) == CURLE_OK;
    // Plain HTTP only, and nothing from the environment: no proxy, no cookies, no redirects.
#if LIBCURL_VERSION_NUM >= 0x075500
    set = set && api->easySetopt(h, CURLOPT_PROTOCOLS_STR, "http") == CURLE_OK;
#else
    set = set && api->easySetopt(h, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP)) == CURLE_OK;
#endif
    set = set && api->easySetopt(h, CURLOPT_PROXY, "") == CURLE_OK;
    set = set && api->easySetopt(h, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK;
    set =
        set && api->easySetopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0)) == CURLE_OK;
    set = set && api->easySetopt(h, CURLOPT_HTTPHEADER, headers.get()) == CURLE_OK;
    set = set && api->easySetopt(h, CURLOPT_USERAGENT, "Mozilla/3.0 (compatible; Indy Library)") == CURLE_OK;
    set = set && api->easySetopt(h, CURLOPT_CONNECTTIMEOUT_MS,
                                 static_cast<long>(service.connectTimeout.count())) == CURLE_OK;
    set = set &&
          api->easySetopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(service.totalTimeout.count())) == CURLE_OK;
    // Time-outs by signal would reach other threads of the program.
    set = set && api->easySetopt(h, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    set = set && api->easySetopt(h, CURLOPT_ERRORBUFFER, clientError) == CURLE_OK;
    set = set && api->easySetopt(h, CURLOPT_WRITEFUNCTION, collectBody) == CURLE_OK;
    set = set && api->easySetopt(h, CURLOPT_WRITEDATA, &transfer) == CURLE_OK;
    set = set && api->easySetopt(h, CURLOPT_XFERINFOFUNCTION, watchStop) == CURLE_OK;
    set = set && api->easySetopt(h, CURLOPT_XFERINFODATA, &transfer) == CURLE_OK;
    set = set && api->easySetopt(h, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
    if (!set) {
        return failWith(failed, VersionCheckFailure::Other, "the HTTP client refused its settings");
    }
    const CURLcode performed = api->easyPerform(h);
    if (performed != CURLE_OK) {
        return failWith(failed, failureOf(performed, transfer),
                        clientError[0] != '\0' ? std::string(clientError)
                                               : std::string(api->easyStrerror(performed)));
    }
    long status = 0;
    if (api->easyGetinfo(h, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status < 200 || status > 299) {
        return failWith(failed, VersionCheckFailure::HttpStatus, std::to_string(status));
    }
    return std::move(transfer.body);
}

#else

// Built without an HTTP client: the service is never asked.
std::optional<std::string> fetchVersionAnswer(const VersionService&, std::stop_token,
                                              VersionCheckResult* failed) {
    return failWith(failed, VersionCheckFailure::NotAvailable);
}

#endif

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
