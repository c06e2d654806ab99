#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sw::platform {

// The most data one echo request carries here.
inline constexpr std::size_t kMaxEchoData = 1016;

struct EchoResult {
    enum class Status {
        Answered,        // `size` holds the bytes of the ICMP reply
        NoAnswer,        // no reply in time, or the network is unreachable: no failure of the check
        NotAllowed,      // the system's echo service refused us; `reason`
        NoSocket,        // neither ICMP socket may be opened; `reason` (datagram) and `rawReason` (raw)
        NotSent,         // `reason`
        WaitFailed,      // waiting for the reply failed; `reason`
        ReplyUnreadable, // `reason`
    };
    Status status = Status::NoAnswer;
    std::size_t size = 0;
    std::string reason;
    std::string rawReason;
};

// Sends one ICMP echo request with `data` (at most kMaxEchoData bytes) to the IPv4 address (in host
// byte order) and waits at most `timeout` for its reply. Needs no privilege where the system allows it.
EchoResult sendEcho(std::uint32_t address, std::string_view data, std::chrono::milliseconds timeout);

} // namespace sw::platform
