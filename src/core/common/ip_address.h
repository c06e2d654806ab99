#pragma once

#include <array>
#include <string>
#include <string_view>

namespace sw {

// Splits a dotted IPv4 address into its four number texts; true when all four are whole numbers
// from 0 to 255. The parts hold whatever was split so far when the result is false.
bool Check_IP_Address(std::string_view text, std::array<std::string, 4>& parts);

} // namespace sw
