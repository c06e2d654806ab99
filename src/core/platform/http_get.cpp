#include "core/platform/http_get.h"

#if SW_HTTP_CLIENT == 1
#include "core/platform/shared_library.h"

#include <curl/curl.h>

#include <map>
#include <memory>
#include <mutex>
#elif SW_HTTP_CLIENT == 2
#include "core/platform/files.h"
#include "core/platform/paths.h"

#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#endif

namespace sw::platform {

bool httpClientBuilt() {
    return SW_HTTP_CLIENT != 0;
}

namespace {

HttpGetResult failed(HttpGetResult::Failure failure, std::string detail = {}) {
    HttpGetResult result;
    result.failure = failure;
    result.detail = std::move(detail);
    return result;
}

} // namespace

#if SW_HTTP_CLIENT == 1

namespace {

struct Transfer {
    std::string body;
    std::size_t limit = 0;
    std::stop_token stop;
    bool tooLong = false;
};

std::size_t collectBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    if (transfer->body.size() + bytes > transfer->limit) {
        transfer->tooLong = true;
        return 0; // ends the transfer with a write error
    }
    transfer->body.append(data, bytes);
    return bytes;
}

int watchStop(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Transfer*>(user)->stop.stop_requested() ? 1 : 0;
}

// The functions of libcurl a request calls. The library is loaded when the first request is made, not
// with the program: every program starts without it and all it loads in turn.
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

template <class Function> bool find(const SharedLibrary& library, const char* name, Function& into) {
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
        SharedLibrary library;
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

HttpGetResult::Failure failureOf(CURLcode code, const Transfer& transfer) {
    using Failure = HttpGetResult::Failure;
    switch (code) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return Failure::Unreachable;
    case CURLE_OPERATION_TIMEDOUT:
        return Failure::TimedOut;
    case CURLE_ABORTED_BY_CALLBACK:
        return Failure::Stopped;
    case CURLE_WRITE_ERROR:
        return transfer.tooLong ? Failure::TooLong : Failure::Other;
    // Only http is allowed: an unsupported protocol here is an HTTP/0.9 or other odd reply.
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
        return Failure::NotHttp;
    default:
        return Failure::Other;
    }
}

} // namespace

HttpGetResult httpGet(const HttpGetRequest& request, std::stop_token stop) {
    using Failure = HttpGetResult::Failure;
    try {
        std::string reason;
        const Curl* const api =
            loadCurl(request.clientLibrary.empty() ? SW_CURL_LIBRARY : request.clientLibrary, reason);
        if (api == nullptr) {
            return failed(Failure::NoClient, reason);
        }
        const auto easyCleanup = [api](CURL* handle) { api->easyCleanup(handle); };
        const auto slistFreeAll = [api](curl_slist* list) { api->slistFreeAll(list); };
        const std::unique_ptr<CURL, decltype(easyCleanup)> curl(api->easyInit(), easyCleanup);
        if (!curl) {
            return failed(Failure::Other, "no HTTP client");
        }
        std::unique_ptr<curl_slist, decltype(slistFreeAll)> headers(nullptr, slistFreeAll);
        for (const std::string& header : request.headers) {
            curl_slist* const list = api->slistAppend(headers.get(), header.c_str());
            if (list == nullptr) {
                return failed(Failure::Other, "no memory");
            }
            static_cast<void>(headers.release());
            headers.reset(list);
        }
        Transfer transfer{{}, request.bodyLimit, std::move(stop)};
        char clientError[CURL_ERROR_SIZE] = {};
        CURL* h = curl.get();
        bool set = api->easySetopt(h, CURLOPT_URL, request.url.c_str()) == CURLE_OK;
        // Plain HTTP only, and nothing from the environment: no proxy, no cookies, no redirects.
#if LIBCURL_VERSION_NUM >= 0x075500
        set = set && api->easySetopt(h, CURLOPT_PROTOCOLS_STR, "http") == CURLE_OK;
#else
        set = set && api->easySetopt(h, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP)) == CURLE_OK;
#endif
        set = set && api->easySetopt(h, CURLOPT_PROXY, "") == CURLE_OK;
        set = set && api->easySetopt(h, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK;
        set = set &&
              api->easySetopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0)) == CURLE_OK;
        set = set && api->easySetopt(h, CURLOPT_HTTPHEADER, headers.get()) == CURLE_OK;
        set = set && api->easySetopt(h, CURLOPT_USERAGENT, request.userAgent.c_str()) == CURLE_OK;
        set = set && api->easySetopt(h, CURLOPT_CONNECTTIMEOUT_MS,
                                     static_cast<long>(request.connectTimeout.count())) == CURLE_OK;
        set = set && api->easySetopt(h, CURLOPT_TIMEOUT_MS,
                                     static_cast<long>(request.totalTimeout.count())) == CURLE_OK;
        // Time-outs by signal would reach other threads of the program.
        set = set && api->easySetopt(h, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
        set = set && api->easySetopt(h, CURLOPT_ERRORBUFFER, clientError) == CURLE_OK;
        set = set && api->easySetopt(h, CURLOPT_WRITEFUNCTION, collectBody) == CURLE_OK;
        set = set && api->easySetopt(h, CURLOPT_WRITEDATA, &transfer) == CURLE_OK;
        set = set && api->easySetopt(h, CURLOPT_XFERINFOFUNCTION, watchStop) == CURLE_OK;
        set = set && api->easySetopt(h, CURLOPT_XFERINFODATA, &transfer) == CURLE_OK;
        set = set && api->easySetopt(h, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
        if (!set) {
            return failed(Failure::Other, "the HTTP client refused its settings");
        }
        const CURLcode performed = api->easyPerform(h);
        if (performed != CURLE_OK) {
            return failed(failureOf(performed, transfer), clientError[0] != '\0'
                                                              ? std::string(clientError)
                                                              : std::string(api->easyStrerror(performed)));
        }
        HttpGetResult result;
        if (api->easyGetinfo(h, CURLINFO_RESPONSE_CODE, &result.status) != CURLE_OK) {
            return failed(Failure::NotHttp, "no status");
        }
        result.body = std::move(transfer.body);
        return result;
    } catch (const std::exception& error) {
        return failed(Failure::Other, error.what());
    }
}

#elif SW_HTTP_CLIENT == 2

namespace {

struct InternetHandle {
    HINTERNET handle = nullptr;
    explicit InternetHandle(HINTERNET h) : handle(h) {}
    ~InternetHandle() {
        if (handle != nullptr) {
            WinHttpCloseHandle(handle);
        }
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
};

// Closes the request's handle when a stop is asked for or the total time has passed: a blocked call
// of WinHTTP then returns at once. The handle is closed once, here or by the caller after `finish`.
class Watchdog {
public:
    Watchdog(HINTERNET request, std::chrono::milliseconds total, std::stop_token stop)
        : m_request(request), m_thread([this, total, stop = std::move(stop)] { watch(total, stop); }) {}
    ~Watchdog() { finish(); }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // Ends the watch; true when the request's handle is still open (and now the caller's to close).
    bool finish() {
        {
            const std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable()) {
            m_thread.join();
        }
        return !m_closed;
    }
    bool stopped() const { return m_stopped; }
    bool timedOut() const { return m_timedOut; }

private:
    void watch(std::chrono::milliseconds total, const std::stop_token& stop) {
        const auto deadline = std::chrono::steady_clock::now() + total;
        std::unique_lock lock(m_mutex);
        while (!m_done) {
            if (stop.stop_requested()) {
                m_stopped = true;
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                m_timedOut = true;
                break;
            }
            m_wake.wait_for(lock, std::chrono::milliseconds(50));
        }
        if (!m_done) {
            m_closed = true;
            WinHttpCloseHandle(m_request);
        }
    }

    HINTERNET m_request;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    std::atomic<bool> m_closed{false};
    std::atomic<bool> m_stopped{false};
    std::atomic<bool> m_timedOut{false};
    std::thread m_thread;
};

std::string winHttpReason(DWORD code) {
    switch (code) {
    case ERROR_WINHTTP_CANNOT_CONNECT:
        return "the connection was refused or could not be made";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return "the server's name could not be resolved";
    case ERROR_WINHTTP_TIMEOUT:
        return "the server did not answer in time";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        return "the answer is not HTTP";
    case ERROR_WINHTTP_CONNECTION_ERROR:
        return "the connection broke off";
    case ERROR_WINHTTP_OPERATION_CANCELLED:
        return "the request was given up";
    default:
        return windowsReason(code);
    }
}

HttpGetResult::Failure failureOf(DWORD code) {
    using Failure = HttpGetResult::Failure;
    switch (code) {
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return Failure::Unreachable;
    case ERROR_WINHTTP_TIMEOUT:
        return Failure::TimedOut;
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
    case ERROR_WINHTTP_CONNECTION_ERROR:
        return Failure::NotHttp;
    default:
        return Failure::Other;
    }
}

int milliseconds(std::chrono::milliseconds value) {
    return static_cast<int>(std::min<long long>(value.count(), 0x7fffffff));
}

} // namespace

HttpGetResult httpGet(const HttpGetRequest& request, std::stop_token stop) {
    using Failure = HttpGetResult::Failure;
    try {
        const std::wstring url = wideFromUtf8(request.url);
        URL_COMPONENTS parts{};
        parts.dwStructSize = sizeof parts;
        parts.dwHostNameLength = static_cast<DWORD>(-1);
        parts.dwUrlPathLength = static_cast<DWORD>(-1);
        parts.dwExtraInfoLength = static_cast<DWORD>(-1);
        if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts) ||
            parts.nScheme != INTERNET_SCHEME_HTTP) {
            return failed(Failure::Other, "not a plain HTTP address: " + request.url);
        }
        const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
        std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
        path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);

        const InternetHandle session(WinHttpOpen(wideFromUtf8(request.userAgent).c_str(),
                                                 WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                                 WINHTTP_NO_PROXY_BYPASS, 0));
        if (session.handle == nullptr) {
            return failed(Failure::NoClient, winHttpReason(GetLastError()));
        }
        const int connect = milliseconds(request.connectTimeout);
        const int total = milliseconds(request.totalTimeout);
        WinHttpSetTimeouts(session.handle, connect, connect, total, total);
        const InternetHandle connection(WinHttpConnect(session.handle, host.c_str(), parts.nPort, 0));
        if (connection.handle == nullptr) {
            const DWORD code = GetLastError();
            return failed(failureOf(code), winHttpReason(code));
        }
        HINTERNET const handle = WinHttpOpenRequest(connection.handle, L"GET", path.c_str(), L"HTTP/1.0",
                                                    WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0);
        if (handle == nullptr) {
            const DWORD code = GetLastError();
            return failed(Failure::Other, winHttpReason(code));
        }
        WinHttpSetTimeouts(handle, connect, connect, total, total);
        DWORD responseTimeout = static_cast<DWORD>(total);
        WinHttpSetOption(handle, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout,
                         sizeof responseTimeout);
        DWORD features = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_KEEP_ALIVE;
        WinHttpSetOption(handle, WINHTTP_OPTION_DISABLE_FEATURE, &features, sizeof features);
        DWORD noLogon = WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH;
        WinHttpSetOption(handle, WINHTTP_OPTION_AUTOLOGON_POLICY, &noLogon, sizeof noLogon);
        std::wstring headers;
        for (const std::string& header : request.headers) {
            headers += wideFromUtf8(header) + L"\r\n";
        }

        const auto started = std::chrono::steady_clock::now();
        Watchdog watchdog(handle, request.totalTimeout, std::move(stop));
        HttpGetResult result;
        DWORD code = ERROR_SUCCESS;
        bool ok =
            WinHttpSendRequest(handle, headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                               static_cast<DWORD>(headers.size()), WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
            WinHttpReceiveResponse(handle, nullptr);
        if (ok) {
            DWORD status = 0;
            DWORD size = sizeof status;
            ok = WinHttpQueryHeaders(handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                     WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
            result.status = static_cast<long>(status);
        }
        while (ok) {
            char buffer[4096];
            DWORD got = 0;
            ok = WinHttpReadData(handle, buffer, sizeof buffer, &got);
            if (!ok || got == 0) {
                break;
            }
            if (result.body.size() + got > request.bodyLimit) {
                result = failed(Failure::TooLong);
                break;
            }
            result.body.append(buffer, got);
        }
        if (!ok) {
            code = GetLastError();
        }
        const bool open = watchdog.finish();
        if (open) {
            WinHttpCloseHandle(handle);
        }
        if (watchdog.stopped()) {
            return failed(Failure::Stopped, "the request was given up");
        }
        if (watchdog.timedOut() ||
            (!ok && std::chrono::steady_clock::now() - started >= request.totalTimeout)) {
            return failed(Failure::TimedOut, "the server did not answer in time");
        }
        if (!ok) {
            return failed(failureOf(code), winHttpReason(code));
        }
        return result;
    } catch (const std::exception& error) {
        return failed(Failure::Other, error.what());
    }
}

#else

HttpGetResult httpGet(const HttpGetRequest&, std::stop_token) {
    return failed(HttpGetResult::Failure::NotBuilt);
}

#endif

} // namespace sw::platform
