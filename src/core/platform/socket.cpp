#include "core/platform/socket.h"

#include "core/platform/files.h"

#ifdef _WIN32
#include <algorithm>
#include <climits>
#include <type_traits>

// winsock2.h before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace sw::platform {

#ifdef _WIN32

static_assert(std::is_same_v<SocketTraits::Native, SOCKET>,
              "a SOCKET is held as an unsigned pointer-sized number");

SocketTraits::Native SocketTraits::invalid() {
    return INVALID_SOCKET;
}

bool SocketTraits::valid(Native native) {
    return native != INVALID_SOCKET;
}

bool SocketTraits::close(Native native) {
    return ::closesocket(native) == 0;
}

// Winsock is started on the first use and left running: a cleanup at exit could pull it away from a
// thread still closing its socket, and the system releases it with the process anyway.
std::string startSockets() {
    static const int started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data);
    }();
    // WSAStartup returns its error instead of setting the last one.
    return started == 0 ? std::string() : socketReason(started);
}

// The system's words where it has them (in the user's language); the number where it has none.
std::string socketReason(int code) {
    return windowsReason(static_cast<unsigned long>(code));
}

namespace {

std::string lastReason() {
    return socketReason(::WSAGetLastError());
}

bool retryLater(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINTR || error == WSAEINPROGRESS;
}

int chunk(std::size_t size) {
    return static_cast<int>(std::min<std::size_t>(size, INT_MAX));
}

} // namespace

std::string TcpSocket::connect(std::uint32_t address, std::uint16_t port, bool& pending) {
    pending = false;
    m_failedToOpen = false;
    if (std::string reason = startSockets(); !reason.empty()) {
        m_failedToOpen = true;
        return reason;
    }
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(address);
    target.sin_port = htons(port);
    // Not inherited: a program started meanwhile (the updater) must not hold the connection open.
    m_handle.reset(::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT));
    if (!m_handle.valid()) {
        m_failedToOpen = true;
        return lastReason();
    }
    u_long nonBlocking = 1;
    // The header's FIONBIO is an unsigned number above LONG_MAX; the command argument is a long.
    if (::ioctlsocket(m_handle.get(), static_cast<long>(FIONBIO), &nonBlocking) != 0) {
        m_failedToOpen = true;
        std::string reason = lastReason();
        close();
        return reason;
    }
    // Requests and answers alternate: waiting to fill segments would only add delay.
    const BOOL on = TRUE;
    ::setsockopt(m_handle.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    if (::connect(m_handle.get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
        const int error = ::WSAGetLastError();
        if (error != WSAEWOULDBLOCK) {
            close();
            return socketReason(error);
        }
        pending = true;
    }
    return {};
}

std::string TcpSocket::connectResult() const {
    int error = 0;
    int length = sizeof error;
    if (::getsockopt(m_handle.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
        return lastReason();
    }
    return error != 0 ? socketReason(error) : std::string();
}

// select rather than WSAPoll: older WSAPoll never reports a refused connection, the wait would only time
// out. Winsock reports a failed connection among the exceptions, not as writable.
bool TcpSocket::wait(Wait event, std::chrono::milliseconds limit, std::string& reason) const {
    fd_set watched;
    FD_ZERO(&watched);
    FD_SET(m_handle.get(), &watched);
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(m_handle.get(), &failed);
    const auto milliseconds = std::max<std::int64_t>(0, limit.count());
    timeval time{static_cast<long>(milliseconds / 1000), static_cast<long>(milliseconds % 1000 * 1000)};
    const bool readable = event == Wait::Readable;
    const int ready = ::select(0, readable ? &watched : nullptr, readable ? nullptr : &watched,
                               readable ? nullptr : &failed, &time);
    if (ready == SOCKET_ERROR) {
        if (::WSAGetLastError() != WSAEINTR) {
            reason = lastReason();
        }
        return false;
    }
    return ready > 0;
}

TcpSocket::Transfer TcpSocket::send(const std::uint8_t* bytes, std::size_t size) const {
    const int put = ::send(m_handle.get(), reinterpret_cast<const char*>(bytes), chunk(size), 0);
    if (put == SOCKET_ERROR) {
        const int error = ::WSAGetLastError();
        if (retryLater(error)) {
            return {0, true, {}};
        }
        return {0, false, socketReason(error)};
    }
    return {static_cast<std::size_t>(put), false, {}};
}

TcpSocket::Transfer TcpSocket::receive(std::uint8_t* into, std::size_t size) const {
    const int read = ::recv(m_handle.get(), reinterpret_cast<char*>(into), chunk(size), 0);
    if (read == SOCKET_ERROR) {
        const int error = ::WSAGetLastError();
        if (retryLater(error)) {
            return {0, true, {}};
        }
        return {0, false, socketReason(error)};
    }
    return {static_cast<std::size_t>(read), false, {}};
}

#else

SocketTraits::Native SocketTraits::invalid() {
    return -1;
}

bool SocketTraits::valid(Native native) {
    return native >= 0;
}

bool SocketTraits::close(Native native) {
    return ::close(native) == 0;
}

std::string startSockets() {
    return {};
}

std::string socketReason(int code) {
    return systemReason(code);
}

std::string TcpSocket::connect(std::uint32_t address, std::uint16_t port, bool& pending) {
    pending = false;
    m_failedToOpen = false;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(address);
    target.sin_port = htons(port);
    m_handle.reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!m_handle.valid()) {
        m_failedToOpen = true;
        return systemReason(errno);
    }
    // Requests and answers alternate: waiting to fill segments would only add delay.
    const int on = 1;
    ::setsockopt(m_handle.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (::connect(m_handle.get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
        if (errno != EINPROGRESS) {
            const int error = errno;
            close();
            return systemReason(error);
        }
        pending = true;
    }
    return {};
}

std::string TcpSocket::connectResult() const {
    int error = 0;
    socklen_t length = sizeof error;
    ::getsockopt(m_handle.get(), SOL_SOCKET, SO_ERROR, &error, &length);
    return error != 0 ? systemReason(error) : std::string();
}

bool TcpSocket::wait(Wait event, std::chrono::milliseconds limit, std::string& reason) const {
    pollfd watched{m_handle.get(), static_cast<short>(event == Wait::Readable ? POLLIN : POLLOUT), 0};
    const int ready = ::poll(&watched, 1, static_cast<int>(limit.count()));
    if (ready < 0 && errno != EINTR) {
        reason = systemReason(errno);
    }
    return ready > 0;
}

TcpSocket::Transfer TcpSocket::send(const std::uint8_t* bytes, std::size_t size) const {
    const ssize_t put = ::send(m_handle.get(), bytes, size, MSG_NOSIGNAL);
    if (put < 0) {
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
            return {0, true, {}};
        }
        return {0, false, systemReason(errno)};
    }
    return {static_cast<std::size_t>(put), false, {}};
}

TcpSocket::Transfer TcpSocket::receive(std::uint8_t* into, std::size_t size) const {
    const ssize_t read = ::recv(m_handle.get(), into, size, 0);
    if (read < 0) {
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
            return {0, true, {}};
        }
        return {0, false, systemReason(errno)};
    }
    return {static_cast<std::size_t>(read), false, {}};
}

#endif

} // namespace sw::platform
