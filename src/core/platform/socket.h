#pragma once

#include "core/platform/handle.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace sw::platform {

// A socket: a descriptor on POSIX, a SOCKET (an unsigned number the size of a pointer) on Windows.
struct SocketTraits {
#ifdef _WIN32
    using Native = std::uintptr_t;
#else
    using Native = int;
#endif
    static Native invalid();
    static bool valid(Native native);
    static bool close(Native native);
};

using SocketHandle = UniqueHandle<SocketTraits>;

// Has the system's sockets ready for use (Winsock is started once per process; POSIX needs nothing):
// empty, or the reason they cannot be used. Safe to call from any thread.
std::string startSockets();

// The system's description of a socket error: errno on POSIX, WSAGetLastError() on Windows.
std::string socketReason(int code);

// A non-blocking TCP connection to an IPv4 server, closed with the object. The calls return the
// system's reason of a failure; an empty reason is success.
class TcpSocket {
public:
    enum class Wait { Readable, Writable };
    // What a send or receive did: `count` bytes, or nothing yet (`retry`), or the `reason` it failed.
    struct Transfer {
        std::size_t count = 0;
        bool retry = false;
        std::string reason;
    };

    bool open() const { return m_handle.valid(); }
    void close() { m_handle.reset(); }

    // Opens the socket, without delay for small segments, and starts connecting to the address (in
    // host byte order). `pending` tells whether the connection is still being made: wait until it is
    // writable, then ask connectResult().
    std::string connect(std::uint32_t address, std::uint16_t port, bool& pending);
    std::string connectResult() const;
    // Waits at most `limit`: true when ready (for Writable also when the connection failed); false when
    // the time passed or a signal came.
    bool wait(Wait event, std::chrono::milliseconds limit, std::string& reason) const;
    Transfer send(const std::uint8_t* bytes, std::size_t size) const;
    // A count of 0 with no reason and no retry: the peer closed the connection.
    Transfer receive(std::uint8_t* into, std::size_t size) const;

    // "no TCP socket could be opened" rather than a failed connect: the reason came from opening.
    bool failedToOpen() const { return m_failedToOpen; }

private:
    SocketHandle m_handle;
    bool m_failedToOpen = false;
};

// The server side: a blocking TCP socket listening on one IPv4 address (host byte order) and the
// connections it accepts, without delay for small segments and not inherited by programs started later.
// `port` 0 lets the system pick one, returned through `port`. An invalid handle and the reason on failure.
SocketHandle listenTcp(std::uint32_t address, std::uint16_t& port, std::string& reason);
// Whether the socket has something to read (a listener: a client to accept) within `limit`.
bool waitReadable(const SocketHandle& socket, std::chrono::milliseconds limit);
// The next client of a listener; invalid when the accept failed.
SocketHandle acceptTcp(const SocketHandle& listener);
// Sends some of the bytes: how many, or 0 when the connection is gone.
std::size_t sendSome(const SocketHandle& socket, const void* bytes, std::size_t size);
// Receives what has come, at most `size` bytes: how many, or 0 when the peer closed or the connection
// failed.
std::size_t receiveSome(const SocketHandle& socket, void* into, std::size_t size);

} // namespace sw::platform
