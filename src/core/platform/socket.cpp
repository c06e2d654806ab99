#include "core/platform/socket.h"

#include "core/platform/files.h"

#ifndef _WIN32
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

namespace {
const char* const kNoNetwork = "no network in this build";
} // namespace

std::string TcpSocket::connect(std::uint32_t, std::uint16_t, bool& pending) {
    pending = false;
    return kNoNetwork;
}

std::string TcpSocket::connectResult() const {
    return kNoNetwork;
}

bool TcpSocket::wait(Wait, std::chrono::milliseconds, std::string& reason) const {
    reason = kNoNetwork;
    return false;
}

TcpSocket::Transfer TcpSocket::send(const std::uint8_t*, std::size_t) const {
    return {0, false, kNoNetwork};
}

TcpSocket::Transfer TcpSocket::receive(std::uint8_t*, std::size_t) const {
    return {0, false, kNoNetwork};
}

#else

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
