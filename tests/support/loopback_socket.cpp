#include "loopback_socket.h"

#include <stdexcept>

namespace sw::test {

namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;

} // namespace

Socket listenOnLoopback(std::uint16_t& port, const std::string& what) {
    port = 0;
    std::string reason;
    Socket listener = sw::platform::listenTcp(kLoopback, port, reason);
    if (!listener.valid()) {
        throw std::runtime_error(what + " could not listen: " + reason);
    }
    return listener;
}

std::uint16_t unusedLoopbackPort() {
    std::uint16_t port = 0;
    std::string reason;
    if (!sw::platform::listenTcp(kLoopback, port, reason).valid()) {
        throw std::runtime_error("no free port on 127.0.0.1");
    }
    return port;
}

} // namespace sw::test
