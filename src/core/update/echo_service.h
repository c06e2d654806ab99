#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace sw {

// Sends one ICMP echo request and waits for its reply. Behind an interface so that the address check
// runs against a fake in tests.
class EchoService {
public:
    virtual ~EchoService() = default;
    // Sends `data` to `host` and waits up to `timeout`: the size of the matching echo reply, 0 when none
    // came in time. Throws ConfigError when the host cannot be used or the network refuses.
    virtual std::size_t echo(const std::string& host, std::string_view data,
                             std::chrono::milliseconds timeout) = 0;
};

// ICMP echo over IPv4. The host must be a dotted address of four decimal numbers: a device is addressed
// by number, so nothing is ever looked up in a name service. An unprivileged ICMP datagram socket is
// used where the system allows one, a raw socket otherwise; only an echo reply from the host to this
// very request counts as an answer.
std::unique_ptr<EchoService> makeIcmpEchoService();

// Milliseconds from an unspecified start, wrapping at 2^32 like a system tick counter, and a sleep.
class TickClock {
public:
    virtual ~TickClock() = default;
    virtual std::uint32_t ticks() = 0;
    virtual void sleep(std::chrono::milliseconds duration) = 0;
};

TickClock& systemTickClock();

} // namespace sw
