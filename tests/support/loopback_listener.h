#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace sw::test {

// A TCP socket listening on 127.0.0.1 at a port the system picks, for the test servers; the port is
// returned through `port`. Throws naming `what` when it cannot listen.
inline int listenOnLoopback(std::uint16_t& port, const std::string& what) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener, 8) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error(what + " could not listen");
    }
    port = ntohs(address.sin_port);
    return listener;
}

} // namespace sw::test
