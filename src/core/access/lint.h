#pragma once

#include "core/access/device_references.h"

#include "core/access/access_file.h"

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Warnings about an access list that are not errors: nothing here stops the list from being saved or
// built, but each is a likely mistake an engineer wants to see before commissioning.
namespace sw {
class SclIed;
class LangTable;
} // namespace sw

namespace sw::access {

struct CatalogDevice;

struct LintWarning {
    enum class Kind {
        PositionConflict,     // values from the server land on a place another entry fills
        StaleReference,       // the reference is not in its device (any more)
        Duplicate,            // the same signal twice
        IncompleteDataSet,    // a member of the SCL's data set cannot be found: later ones shift
        StructureMember,      // a member names a whole data object, which the server sends as a structure
        ClassOnlyDataSetName, // the data set is named by its node's class alone, as older files did
    };
    Kind kind = Kind::PositionConflict;
    std::size_t dataSet = 0; // data-set row (from 1), 0 for a variables row
    std::size_t row = 0;     // variables row, or member of the data set (0: the data-set row itself)
    std::string text;

    // "Variables row 3: ...", "Data set 2: ...", "Data set 2 member 4: ...".
    std::string line() const;
};

// Every warning, grouped by kind in the order of the enumeration, rows in order within each kind.
// `devices` is the catalog as the editor holds it: an index counts when it is an integer below its size;
// references are checked only against loaded devices.
std::vector<LintWarning> lintAccessList(const AccessFile& access, std::span<const CatalogDevice> devices);

// One line of what the editor's Check and the companion's lint list.
struct ReviewLine {
    std::size_t dataSet = 0; // as in LintWarning: where a click on the line leads
    std::size_t row = 0;
    bool error = false;   // OK refuses the list for it
    bool aboutRow = true; // false for a line of the communication parameters, which leads nowhere
    std::string text;
};

// What Check and lint list, in their order: every fault OK would refuse, worded as OK words it (all
// rows, all tables), then `parameterLines` (the parameter file's warnings), then every warning of the
// list.
std::vector<ReviewLine> reviewAccessList(const AccessFile& access, std::span<const CatalogDevice> devices,
                                         const std::vector<std::string>& parameterLines,
                                         char decimalSeparator, const LangTable& texts);

} // namespace sw::access
