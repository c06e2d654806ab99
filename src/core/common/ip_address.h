#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sw {

// Splits a dotted IPv4 address into its four number texts; true when all four are whole numbers
// from 0 to 255. The parts hold whatever was split so far when the result is false.
bool checkIpAddress(std::string_view text, std::array<std::string, 4>& parts);

// The address in its plain dotted-decimal form, leading zeros read as decimal and dropped
// ("192.168.000.010" is "192.168.0.10"): the one form an address is pinged, remembered and written in.
// Nothing when checkIpAddress refuses the text.
std::optional<std::string> canonicalIpAddress(std::string_view text);

// The address as a 32-bit number in host byte order, for a socket; only the four decimal numbers that
// checkIpAddress accepts, never a name to look up. Throws ConfigError naming the text otherwise.
std::uint32_t ipv4Address(std::string_view text);

} // namespace sw
