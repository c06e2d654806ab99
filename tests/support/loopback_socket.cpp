#include "loopback_socket.h"

#include <algorithm>
#include <climits>
#include <stdexcept>

#ifdef _WIN32
// winsock2.h before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace sw::test {

namespace {

#ifdef _WIN32
using Length = int;

// Sockets are inherited by default on Windows: a companion started by a test would hold them open.
void keepFromChildren(const Socket& socket) {
    SetHandleInformation(reinterpret_cast<HANDLE>(socket.get()), HANDLE_FLAG_INHERIT, 0);
}

int chunk(std::size_t size) {
    return static_cast<int>(std::min<std::size_t>(size, INT_MAX));
}

Socket newTcpSocket() {
    Socket socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (socket.valid()) {
        keepFromChildren(socket);
    }
    return socket;
}
#else
using Length = socklen_t;

Socket newTcpSocket() {
    return Socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
}
#endif

// A new socket bound to 127.0.0.1 at a free port, returned through `port`; invalid on failure.
Socket boundOnLoopback(std::uint16_t& port) {
    if (!sw::platform::startSockets().empty()) {
        return {};
    }
    Socket socket = newTcpSocket();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    Length length = sizeof(address);
    if (!socket.valid() || ::bind(socket.get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return {};
    }
    port = ntohs(address.sin_port);
    return socket;
}

} // namespace

Socket listenOnLoopback(std::uint16_t& port, const std::string& what) {
    Socket listener = boundOnLoopback(port);
    if (!listener.valid() || ::listen(listener.get(), 8) != 0) {
        throw std::runtime_error(what + " could not listen");
    }
    return listener;
}

std::uint16_t unusedLoopbackPort() {
    std::uint16_t port = 0;
    if (!boundOnLoopback(port).valid()) {
        throw std::runtime_error("no free port on 127.0.0.1");
    }
    return port;
}

bool waitReadable(const Socket& socket, std::chrono::milliseconds limit) {
#ifdef _WIN32
    WSAPOLLFD watched{socket.get(), POLLRDNORM, 0};
    return ::WSAPoll(&watched, 1, static_cast<int>(limit.count())) > 0;
#else
    pollfd watched{socket.get(), POLLIN, 0};
    return ::poll(&watched, 1, static_cast<int>(limit.count())) > 0;
#endif
}

Socket acceptClient(const Socket& listener) {
#ifdef _WIN32
    Socket client(::accept(listener.get(), nullptr, nullptr));
    if (client.valid()) {
        keepFromChildren(client);
    }
    const BOOL on = TRUE;
#else
    Socket client(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
    const int on = 1;
#endif
    if (client.valid()) {
        ::setsockopt(client.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    }
    return client;
}

std::size_t sendSome(const Socket& socket, const void* bytes, std::size_t size) {
#ifdef _WIN32
    const int put = ::send(socket.get(), static_cast<const char*>(bytes), chunk(size), 0);
#else
    const ssize_t put = ::send(socket.get(), bytes, size, MSG_NOSIGNAL);
#endif
    return put > 0 ? static_cast<std::size_t>(put) : 0;
}

std::size_t receiveSome(const Socket& socket, void* into, std::size_t size) {
#ifdef _WIN32
    const int got = ::recv(socket.get(), static_cast<char*>(into), chunk(size), 0);
#else
    const ssize_t got = ::recv(socket.get(), into, size, 0);
#endif
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

} // namespace sw::test
