#include "core/options/version_check.h"

#include "core/common/trim.h"

#include "core/common/build_config.h"

#if SW_HAVE_VERSION_CHECK
#include <curl/curl.h>
#endif

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
};

std::size_t collectBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    if (transfer->body.size() + bytes > kMaxAnswerBytes) {
        return 0; // ends the transfer with a write error
    }
    transfer->body.append(data, bytes);
    return bytes;
}

int watchStop(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Transfer*>(user)->stop.stop_requested() ? 1 : 0;
}

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

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

#if SW_HAVE_VERSION_CHECK

std::optional<std::string> fetchVersionAnswer(const VersionService& service, std::stop_token stop) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    const std::unique_ptr<CURL, EasyDeleter> curl(curl_easy_init());
    if (!curl) {
        return std::nullopt;
    }
    std::unique_ptr<curl_slist, ListDeleter> headers(curl_slist_append(
        nullptr, "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8"));
    if (!headers) {
        return std::nullopt;
    }
    const std::string url = service.base + std::string(kVersionQuery);
    Transfer transfer{{}, std::move(stop)};
    CURL* h = curl.get();
    bool set = curl_easy_setopt(h, CURLOPT_URL, url.c_str()) == CURLE_OK;
    // Plain HTTP only, and nothing from the environment: no proxy, no cookies, no redirects.
#if LIBCURL_VERSION_NUM >= 0x075500
    set = set && curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http") == CURLE_OK;
#else
    set = set && curl_easy_setopt(h, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP)) == CURLE_OK;
#endif
    set = set && curl_easy_setopt(h, CURLOPT_PROXY, "") == CURLE_OK;
    set = set && curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK;
    set = set &&
          curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0)) == CURLE_OK;
    set = set && curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get()) == CURLE_OK;
    set = set && curl_easy_setopt(h, CURLOPT_USERAGENT, "Mozilla/3.0 (compatible; Indy Library)") == CURLE_OK;
    set = set && curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS,
                                  static_cast<long>(service.connectTimeout.count())) == CURLE_OK;
    set = set && curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(service.totalTimeout.count())) ==
                     CURLE_OK;
    // Time-outs by signal would reach other threads of the program.
    set = set && curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    set = set && curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, collectBody) == CURLE_OK;
    set = set && curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer) == CURLE_OK;
    set = set && curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, watchStop) == CURLE_OK;
    set = set && curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer) == CURLE_OK;
    set = set && curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
    if (!set || curl_easy_perform(h) != CURLE_OK) {
        return std::nullopt;
    }
    long status = 0;
    if (curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status < 200 || status > 299) {
        return std::nullopt;
    }
    return std::move(transfer.body);
}

#else

// Built without an HTTP client: the service is never asked, and no answer means no newer version.
std::optional<std::string> fetchVersionAnswer(const VersionService&, std::stop_token) {
    return std::nullopt;
}

#endif

bool checkVersion(const VersionService& service, std::stop_token stop) {
    try {
        const std::optional<std::string> answer = fetchVersionAnswer(service, std::move(stop));
        return answer && isNewerVersion(*answer, kSoftwareVersion);
    } catch (...) {
        return false;
    }
}

} // namespace sw
