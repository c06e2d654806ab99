#pragma once

#include "core/access/access_list.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The check the access editor's OK runs before writing: the variables table row by row, stopping at
// the first error. Data-set rows and member settings are stored as typed and not checked.
namespace sw {
class LangTable;
}

namespace sw::access {

// A check-box cell ("On Change", "On CMD", "On Timer", "En. Goose") is ticked when it holds "Y";
// blanks and control characters around it do not count.
bool isTicked(std::string_view cell);

inline constexpr int kTextAccessErrorRow = 1252;
inline constexpr int kTextAccessBadIPAddress = 1253;
inline constexpr int kTextAccessBadPort = 1254;
inline constexpr int kTextAccessBadTime = 1255;
inline constexpr int kTextAccessBadPosition = 1256; // followed by kLastPosition
inline constexpr int kTextAccessBadFactor = 1257;
inline constexpr int kLastPosition = 1399;

struct AccessCheckFailure {
    std::size_t row = 0; // from 1
    int text = 0;        // one of the string-table indexes above
};

// The first failing row of the variables table and its rule; nothing when every row passes. Rows with an
// empty "bType" are skipped. `decimalSeparator` is the user's regional mark ("," or "."), which the
// multiplication factor check replaces the other mark with.
std::optional<AccessCheckFailure> checkAccessList(const AccessList& list, char decimalSeparator);

// The message box text: "Error row " + row + the rule's text (+ "1399" for a position).
std::string accessCheckMessage(const LangTable& texts, const AccessCheckFailure& failure);

} // namespace sw::access
