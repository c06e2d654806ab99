#include "core/update/address_check.h"

#include <exception>

namespace sw {

AddressCheckResult checkByEchoes(const std::string& host, EchoService& echo, TickClock& clock,
                                 std::stop_token stop) {
    AddressCheckResult result;
    const std::uint32_t start = clock.ticks();
    try {
        do {
            if (stop.stop_requested()) {
                result.outcome = AddressCheck::Stopped;
                return result;
            }
            const std::size_t received = echo.echo(host, host, kEchoTimeout);
            ++result.requests;
            // Every reply report overwrites the state; a time-out reports nothing received.
            result.replyState = received > 0 ? 1 : 2;
            // The reply is reported before the echo returns, so one pause is all the wait for it needs.
            clock.sleep(kEchoPoll);
            if (result.replyState == 1) {
                ++result.answered;
            }
            // Unsigned differences keep the limit right when the tick counter wraps.
        } while (result.answered < kAnswersNeeded &&
                 static_cast<std::uint32_t>(clock.ticks() - start) <= kAddressCheckLimitMs);
    } catch (const std::exception& error) {
        result.error = error.what();
        result.outcome = result.replyState == 2 ? AddressCheck::NotFound : AddressCheck::AddressError;
        return result;
    }
    if (stop.stop_requested()) {
        result.outcome = AddressCheck::Stopped;
    } else if (result.replyState == 1) {
        result.outcome = AddressCheck::Answered;
    } else {
        result.outcome = result.replyState == 2 ? AddressCheck::NotFound : AddressCheck::AddressError;
    }
    return result;
}

int addressCheckMessage(AddressCheck outcome) {
    switch (outcome) {
    case AddressCheck::NotFound:
        return kTextDeviceNotFound;
    case AddressCheck::AddressError:
        return kTextCheckIpAddress;
    case AddressCheck::Answered:
    case AddressCheck::Stopped:
        break;
    }
    return 0;
}

} // namespace sw
