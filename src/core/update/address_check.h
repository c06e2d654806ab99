#pragma once

#include "core/update/echo_service.h"

#include <chrono>
#include <stop_token>
#include <string>

namespace sw {

inline constexpr std::chrono::milliseconds kEchoTimeout{400};
inline constexpr std::chrono::milliseconds kEchoPoll{10};
inline constexpr std::uint32_t kAddressCheckLimitMs = 5000;
inline constexpr int kAnswersNeeded = 2;

// The messages of a failed check, from the language table.
inline constexpr int kTextDeviceNotFound = 1036;
inline constexpr int kTextCheckIpAddress = 1037;

// The outcome of the address check, as the update acts on it.
enum class AddressCheck {
    Answered,     // the device answered: the update may go on
    NotFound,     // the last request went unanswered: a warning
    AddressError, // no answer state at all: the address cannot be used, or the echo failed
    Stopped,      // given up on request; nothing is to be reported
};

struct AddressCheckResult {
    AddressCheck outcome = AddressCheck::AddressError;
    int replyState = 0; // 0 no reply report yet, 1 the latest request answered, 2 the latest unanswered
    int requests = 0;
    int answered = 0;
    std::string error; // the echo service's reason when it raised one
};

// Whether the device at `host` answers ICMP echo: requests carrying the address text go out, each
// waiting up to 400 ms, until two have been answered or more than five seconds have passed; the check
// succeeds when the last request was answered. An error ends it at once. A stop request ends it
// after the request under way.
AddressCheckResult checkByEchoes(const std::string& host, EchoService& echo, TickClock& clock,
                                 std::stop_token stop = {});

// The language-table index of the message for a failed check: 1036 for a device that did not answer,
// 1037 otherwise; 0 for a check that needs no message.
int addressCheckMessage(AddressCheck outcome);

} // namespace sw
