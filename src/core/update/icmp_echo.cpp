#include "core/common/config_error.h"
#include "core/common/ip_address.h"
#include "core/update/echo_service.h"

#include "core/platform/icmp.h"

#include <thread>

namespace sw {

namespace {

class IcmpEchoService : public EchoService {
public:
    std::size_t echo(const std::string& host, std::string_view data,
                     std::chrono::milliseconds timeout) override {
        const std::uint32_t address = ipv4Address(host);
        if (data.size() > platform::kMaxEchoData) {
            throw ConfigError("The echo data for " + host + " is longer than an echo request carries here.");
        }
        const platform::EchoResult result = platform::sendEcho(address, data, timeout);
        using Status = platform::EchoResult::Status;
        switch (result.status) {
        case Status::Answered:
            return result.size;
        case Status::NoAnswer:
            return 0;
        case Status::NotAllowed:
            throw ConfigError(ErrorCode::EchoNotAllowed, {result.reason});
        case Status::NoSocket:
            throw ConfigError(
                "No ICMP socket may be opened to check the device address (datagram socket: " +
                result.reason + "; raw socket: " + result.rawReason +
                "). Allow the user's group in net.ipv4.ping_group_range, or give the program the "
                "CAP_NET_RAW capability.");
        case Status::NotSent:
            throw ConfigError(ErrorCode::EchoNotSent, {host, result.reason});
        case Status::WaitFailed:
            throw ConfigError("Waiting for the echo reply of " + host + " failed: " + result.reason + ".");
        case Status::ReplyUnreadable:
            throw ConfigError(ErrorCode::EchoReplyUnreadable, {host, result.reason});
        }
        return 0;
    }
};

class SystemTickClock : public TickClock {
public:
    std::uint32_t ticks() override {
        const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        return static_cast<std::uint32_t>(now.count());
    }
    void sleep(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
};

} // namespace

std::unique_ptr<EchoService> makeIcmpEchoService() {
    return std::make_unique<IcmpEchoService>();
}

TickClock& systemTickClock() {
    static SystemTickClock clock;
    return clock;
}

} // namespace sw
