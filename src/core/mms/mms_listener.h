#pragma once

#include "core/mms/mms_server.h"
#include "core/platform/socket.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// An MMS server on TCP (RFC 1006 and the OSI layers of osi_stack.h): one listening socket, a thread per
// connection, every association answered by one MmsServer. A connection whose bytes break the layers'
// rules, or whose messages exceed the negotiated size, is closed.
namespace sw::mms {

class MmsListener {
public:
    // Listens on `address` (host byte order) at `port` (0: one the system picks). Throws ConfigError
    // naming the address when it cannot.
    MmsListener(std::shared_ptr<MmsServer> server, std::uint32_t address, std::uint16_t port);
    ~MmsListener();
    MmsListener(const MmsListener&) = delete;
    MmsListener& operator=(const MmsListener&) = delete;

    std::uint16_t port() const { return m_port; }
    // Closes the listener and every connection; the destructor does so too.
    void stop();

private:
    void acceptLoop();
    void converse(const platform::SocketHandle& client);

    std::shared_ptr<MmsServer> m_server;
    platform::SocketHandle m_listener;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace sw::mms
