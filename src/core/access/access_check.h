#pragma once

#include "core/access/access_list.h"
#include "core/access/access_schema.h"

#include <string_view>
#include <vector>

// The check the access editor's OK runs before writing, the same that the companion's check, the
// image builder and the CSV import apply: every cell of the three tables against its column's rule,
// then the converter's limits.
namespace sw::access {

// A check-box cell ("On Change", "On CMD", "On Timer", "En. Goose") is ticked when it holds "Y";
// blanks and control characters around it do not count.
inline bool isTicked(std::string_view cell) {
    return flagValue(cell).value_or(false);
}

// Every fault of the list in table order (variables, then data sets with their members); empty when
// it may be saved. `decimalSeparator` is the user's regional mark ("," or "."); a factor may use
// either.
std::vector<CellFault> checkAccessList(const AccessList& list, char decimalSeparator);

} // namespace sw::access
