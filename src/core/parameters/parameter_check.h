#pragma once

#include "core/parameters/parameter_set.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sw {

// Whether an address or mask byte field reads as a whole number from 0 to 255, by the same integer rule
// the parameter block builder applies to it.
bool isByteText(std::string_view text);

// The confirmation check: the string-table index of the message of the first failing rule, none when the
// set may be written. Rules in order: IP1..IP4 (649..652), SM1..SM4 (653..656), GAT1..GAT4 only when the
// gateway is used (657..660), two stop bits only without parity (763).
std::optional<int> checkParameters(const ParameterSet& set);

// What the confirmation accepts but the wire cannot carry, one sentence each: a VLAN index above 4095
// (a VLAN tag holds twelve bits). Nothing is refused for it; Check, lint and the report say it.
std::vector<std::string> parameterWarnings(const ParameterSet& set);

} // namespace sw
