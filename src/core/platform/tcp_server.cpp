#include "core/platform/socket.h"

#include <algorithm>
#include <climits>

#ifdef _WIN32
// winsock2.h before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace sw::platform {

namespace {

#ifdef _WIN32
using Length = int;

// Sockets are inherited by default on Windows: a program started meanwhile would hold them open.
void keepFromChildren(const SocketHandle& socket) {
    SetHandleInformation(reinterpret_cast<HANDLE>(socket.get()), HANDLE_FLAG_INHERIT, 0);
}

int chunk(std::size_t size) {
    return static_cast<int>(std::min<std::size_t>(size, INT_MAX));
}

SocketHandle newTcpSocket() {
    SocketHandle socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (socket.valid()) {
        keepFromChildren(socket);
    }
    return socket;
}

int lastError() {
    return ::WSAGetLastError();
}
#else
using Length = socklen_t;

SocketHandle newTcpSocket() {
    return SocketHandle(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
}

int lastError() {
    return errno;
}
#endif

} // namespace

SocketHandle listenTcp(std::uint32_t address, std::uint16_t& port, std::string& reason) {
    if (reason = startSockets(); !reason.empty()) {
        return {};
    }
    SocketHandle socket = newTcpSocket();
    if (!socket.valid()) {
        reason = socketReason(lastError());
        return {};
    }
#ifndef _WIN32
    // A port left in TIME_WAIT by the last run is taken again at once (Windows would share it instead).
    const int on = 1;
    ::setsockopt(socket.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
#endif
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_addr.s_addr = htonl(address);
    bound.sin_port = htons(port);
    Length length = sizeof(bound);
    if (::bind(socket.get(), reinterpret_cast<sockaddr*>(&bound), length) != 0 ||
        ::listen(socket.get(), 16) != 0 ||
        ::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        reason = socketReason(lastError());
        return {};
    }
    port = ntohs(bound.sin_port);
    return socket;
}

bool waitReadable(const SocketHandle& socket, std::chrono::milliseconds limit) {
#ifdef _WIN32
    WSAPOLLFD watched{socket.get(), POLLRDNORM, 0};
    return ::WSAPoll(&watched, 1, static_cast<int>(limit.count())) > 0;
#else
    pollfd watched{socket.get(), POLLIN, 0};
    return ::poll(&watched, 1, static_cast<int>(limit.count())) > 0;
#endif
}

SocketHandle acceptTcp(const SocketHandle& listener) {
#ifdef _WIN32
    SocketHandle client(::accept(listener.get(), nullptr, nullptr));
    if (client.valid()) {
        keepFromChildren(client);
    }
    const BOOL on = TRUE;
#else
    SocketHandle client(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
    const int on = 1;
#endif
    if (client.valid()) {
        ::setsockopt(client.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    }
    return client;
}

std::size_t sendSome(const SocketHandle& socket, const void* bytes, std::size_t size) {
#ifdef _WIN32
    const int put = ::send(socket.get(), static_cast<const char*>(bytes), chunk(size), 0);
#else
    const ssize_t put = ::send(socket.get(), bytes, size, MSG_NOSIGNAL);
#endif
    return put > 0 ? static_cast<std::size_t>(put) : 0;
}

std::size_t receiveSome(const SocketHandle& socket, void* into, std::size_t size) {
#ifdef _WIN32
    const int got = ::recv(socket.get(), static_cast<char*>(into), chunk(size), 0);
#else
    const ssize_t got = ::recv(socket.get(), into, size, 0);
#endif
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

} // namespace sw::platform
