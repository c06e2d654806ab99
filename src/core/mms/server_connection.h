#pragma once

#include "core/mms/ber.h"
#include "core/platform/socket.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

// The server side of a TCP connection carrying TPKT packets: receiving whole TPDUs and TSDUs, sending
// TSDUs in data TPDUs, and the loop that accepts connections, each on a thread of its own. Shared by
// the MMS listener and the tests' server double, which answer differently over the same bytes.
namespace sw::mms {

// The connection ends: the client went, a message broke the rules, or the server stops.
struct ConnectionEnded {};

class ServerConnection {
public:
    // Waits for bytes in steps of `poll`, so that `stop` ends a wait within that time.
    ServerConnection(const platform::SocketHandle& socket, const std::atomic<bool>& stop,
                     std::chrono::milliseconds poll = std::chrono::milliseconds(50))
        : m_socket(socket), m_stop(stop), m_poll(poll) {}

    // Exactly `size` bytes; throws ConnectionEnded when the client goes or the server stops first.
    void receive(std::uint8_t* into, std::size_t size);
    // One TPKT's TPDU; throws ProtocolError when the stream does not carry TPKT packets.
    Bytes tpdu();
    // The data of data TPDUs up to the one marked last; ConnectionEnded beyond `limit` bytes.
    Bytes tsdu(std::size_t limit);
    void send(const Bytes& bytes);
    // One TSDU in data TPDUs of at most `tpduSize` octets, written at once (as a device that does not
    // wait to fill segments sends them).
    void sendTsdu(const Bytes& data, std::size_t tpduSize);

private:
    const platform::SocketHandle& m_socket;
    const std::atomic<bool>& m_stop;
    std::chrono::milliseconds m_poll;
};

// Accepts connections on `listener` until `stop`, looking every `poll`, and serves each on a thread of
// its own through `converse`. Whatever `converse` throws ends its connection alone. Returns once every
// connection's thread has ended.
void serveConnections(const platform::SocketHandle& listener, const std::atomic<bool>& stop,
                      std::chrono::milliseconds poll,
                      const std::function<void(const platform::SocketHandle& client)>& converse);

} // namespace sw::mms
