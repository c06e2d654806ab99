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

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
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

// One request in WinHTTP's asynchronous mode: its callbacks move it on, the caller only waits, so a stop
// or the total time ends the wait at once even where closing a handle does not end a blocked call. The
// state is shared between the caller and the callbacks: whoever is last (the caller's return, or the
// closing of the request's handle) deletes it.
class AsyncRequest {
public:
    static AsyncRequest* create(std::size_t bodyLimit) { return new AsyncRequest(bodyLimit); }

    void attach(HINTERNET request) {
        m_request = request;
        m_references = 2; // the caller and the handle's callbacks
    }
    void release() {
        if (--m_references == 0) {
            delete this;
        }
    }

    static void CALLBACK callback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info,
                                  DWORD length) {
        auto* self = reinterpret_cast<AsyncRequest*>(context);
        if (self != nullptr) {
            self->onStatus(handle, status, info, length);
        }
    }

    // Waits until the request ends, `stop` is asked for or `deadline` passes.
    enum class Ended { Done, Stopped, TimedOut };
    Ended wait(const std::stop_token& stop, std::chrono::steady_clock::time_point deadline) {
        std::unique_lock lock(m_mutex);
        while (!m_done) {
            if (stop.stop_requested()) {
                return Ended::Stopped;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return Ended::TimedOut;
            }
            m_wake.wait_for(lock, std::chrono::milliseconds(20));
        }
        return Ended::Done;
    }

    // What the request ended with; only after wait() said Done.
    HttpGetResult result() {
        const std::lock_guard lock(m_mutex);
        return m_result;
    }
    bool failed(DWORD& code) {
        const std::lock_guard lock(m_mutex);
        code = m_error;
        return m_error != ERROR_SUCCESS;
    }

private:
    explicit AsyncRequest(std::size_t bodyLimit) : m_limit(bodyLimit) {}

    void finish(DWORD error = ERROR_SUCCESS) {
        {
            const std::lock_guard lock(m_mutex);
            if (m_done) {
                return;
            }
            m_error = error;
            m_done = true;
        }
        m_wake.notify_all();
    }

    void readMore(HINTERNET handle) {
        if (!WinHttpReadData(handle, m_buffer, sizeof m_buffer, nullptr)) {
            finish(GetLastError());
        }
    }

    void onStatus(HINTERNET handle, DWORD status, LPVOID info, DWORD length) {
        switch (status) {
        case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
            if (!WinHttpReceiveResponse(handle, nullptr)) {
                finish(GetLastError());
            }
            break;
        case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE: {
            DWORD code = 0;
            DWORD size = sizeof code;
            if (!WinHttpQueryHeaders(handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                     WINHTTP_HEADER_NAME_BY_INDEX, &code, &size, WINHTTP_NO_HEADER_INDEX)) {
                finish(GetLastError());
                break;
            }
            {
                const std::lock_guard lock(m_mutex);
                m_result.status = static_cast<long>(code);
            }
            readMore(handle);
            break;
        }
        case WINHTTP_CALLBACK_STATUS_READ_COMPLETE: {
            if (length == 0) {
                finish();
                break;
            }
            bool tooLong = false;
            {
                const std::lock_guard lock(m_mutex);
                if (m_result.body.size() + length > m_limit) {
                    tooLong = true;
                    m_result.failure = HttpGetResult::Failure::TooLong;
                    m_result.body.clear();
                } else {
                    m_result.body.append(static_cast<const char*>(info), length);
                }
            }
            if (tooLong) {
                finish();
            } else {
                readMore(handle);
            }
            break;
        }
        case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR: {
            const auto* error = static_cast<const WINHTTP_ASYNC_RESULT*>(info);
            finish(error != nullptr ? error->dwError : ERROR_WINHTTP_INTERNAL_ERROR);
            break;
        }
        case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
            if (handle == m_request) {
                finish(ERROR_WINHTTP_OPERATION_CANCELLED);
                release();
            }
            break;
        default:
            break;
        }
    }

    const std::size_t m_limit;
    HINTERNET m_request = nullptr;
    std::atomic<int> m_references{1};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    DWORD m_error = ERROR_SUCCESS;
    HttpGetResult m_result;
    char m_buffer[4096];
};

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

} // namespace

HttpGetResult httpGet(const HttpGetRequest& request, std::stop_token stop) {
    using Failure = HttpGetResult::Failure;
    try {
        const auto deadline = std::chrono::steady_clock::now() + request.totalTimeout;
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
                                                 WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC));
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
            return failed(Failure::Other, winHttpReason(GetLastError()));
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

        AsyncRequest* const state = AsyncRequest::create(request.bodyLimit);
        if (WinHttpSetStatusCallback(handle, &AsyncRequest::callback, WINHTTP_CALLBACK_FLAG_ALL_NOTIFICATIONS,
                                     0) == WINHTTP_INVALID_STATUS_CALLBACK) {
            const DWORD code = GetLastError();
            state->release();
            WinHttpCloseHandle(handle);
            return failed(Failure::Other, winHttpReason(code));
        }
        state->attach(handle);
        // The context goes on the handle before anything is sent, so that its closing always carries it.
        DWORD_PTR context = reinterpret_cast<DWORD_PTR>(state);
        WinHttpSetOption(handle, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context);
        if (!WinHttpSendRequest(handle, headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                                static_cast<DWORD>(headers.size()), WINHTTP_NO_REQUEST_DATA, 0, 0, context)) {
            const DWORD code = GetLastError();
            WinHttpCloseHandle(handle);
            state->release();
            return failed(failureOf(code), winHttpReason(code));
        }
        const AsyncRequest::Ended ended = state->wait(stop, deadline);
        HttpGetResult result = state->result();
        DWORD code = ERROR_SUCCESS;
        const bool error = state->failed(code);
        // The closing ends what is still under way; the callbacks' share goes with the handle.
        WinHttpCloseHandle(handle);
        state->release();
        if (ended == AsyncRequest::Ended::Stopped) {
            return failed(Failure::Stopped, "the request was given up");
        }
        if (ended == AsyncRequest::Ended::TimedOut ||
            (error && std::chrono::steady_clock::now() >= deadline)) {
            return failed(Failure::TimedOut, "the server did not answer in time");
        }
        if (error) {
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
