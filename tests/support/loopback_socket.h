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

// Whether the socket has something to read (a listener: a client to accept) within `limit`.
bool waitReadable(const Socket& socket, std::chrono::milliseconds limit);

// The next client of a listener, blocking and without delay for small segments; invalid when the
// accept failed.
Socket acceptClient(const Socket& listener);

// Sends some of the bytes: how many, or 0 when the connection is gone.
std::size_t sendSome(const Socket& socket, const void* bytes, std::size_t size);

// Receives what has come, at most `size` bytes: how many, or 0 when the peer closed or the connection
// failed.
std::size_t receiveSome(const Socket& socket, void* into, std::size_t size);

} // namespace sw::test
