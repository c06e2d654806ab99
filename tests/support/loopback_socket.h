#pragma once

#include "core/platform/socket.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

// The sockets of the test servers, on POSIX and on Winsock alike. They listen on 127.0.0.1 only, and no
// socket of theirs is handed to a program the tests start.
namespace sw::test {

using Socket = sw::platform::SocketHandle;

// A blocking TCP socket listening on 127.0.0.1 at a port the system picks, returned through `port`.
// Throws naming `what` when it cannot listen.
Socket listenOnLoopback(std::uint16_t& port, const std::string& what);

// A port on 127.0.0.1 that nothing listens on (bound and released again).
std::uint16_t unusedLoopbackPort();

// Waiting, accepting, sending and receiving are the platform's own server-side calls.
using sw::platform::receiveSome;
using sw::platform::sendSome;
using sw::platform::waitReadable;
inline Socket acceptClient(const Socket& listener) {
    return sw::platform::acceptTcp(listener);
}

} // namespace sw::test
