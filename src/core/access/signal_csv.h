#pragma once

#include "core/access/access_file.h"
#include "core/access/access_schema.h"

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// The access list exchanged with spreadsheet programs. The variables go to one CSV file whose header
// row holds the access file's attribute names (Index to Mnemonic) and which can be read back into the
// variables table. The data sets go to a second file beside it, one record per data set followed by one
// per member, told apart by a first column "Kind" holding the element name of the access file
// (DataSet_Item, DataSet_DA_Item); members share the Reference and Mnemonic columns with their data set.
namespace sw {
class LangTable;
}

namespace sw::access {

class AccessList;

inline constexpr std::string_view kKindColumn = "Kind";
// The data-set file's columns after "Kind": the data set's attributes, then the member's own.
inline constexpr std::array<std::string_view, 13> kDataSetCsvColumns = {
    "Index",    "Reference", "GooseName", "EnGoose",  "IPAddress",  "Port",    "Time",
    "Mnemonic", "bType",     "Position",  "StartBit", "Convertion", "MoltFact"};

// UTF-8 with a byte-order mark, CR LF line ends, "," separators.
std::string variablesCsv(const AccessFile& access);
std::string dataSetsCsv(const AccessFile& access);

// Writes both files, replaced together: afterwards both are new or both as they were. Refuses, writing
// nothing, when either would be `accessFile` (the project's own access file) or both would be the same
// file, through links too. Throws ConfigError.
void writeSignalListCsv(const AccessFile& access, const std::filesystem::path& variablesFile,
                        const std::filesystem::path& accessFile);

// Where the data sets go when the variables go to `variablesFile`: "signals.csv" gives
// "signals.datasets.csv" in the same folder.
std::filesystem::path dataSetsCsvPath(const std::filesystem::path& variablesFile);

// The most variables the device ever takes (its variable image's limit).
inline constexpr std::size_t kMaxImportedVariables = kMaxVariables;

// Reads a variables CSV (separator "," or ";", line ends CR LF or LF, columns in any order, every
// attribute exactly once, names in any ASCII case and with blanks around them) into rows; the header is
// checked before the rest is read, and reading stops at the first row past kMaxImportedVariables. Then
// every row is checked as the access editor's OK does, and its device index against a catalog of
// `catalogSize` devices. Throws ConfigError at the first failing cell, naming
// the row (as the variables table numbers it), the column and the line of the file; then nothing is
// taken. `texts` gives the rule's message as the editor shows it.
std::vector<VariableRow> readVariablesCsv(std::string_view bytes, const std::string& displayName,
                                          std::size_t catalogSize, char decimalSeparator,
                                          const LangTable& texts);
// The same for a named file: a regular file of at most csv::kFileLimit bytes.
std::vector<VariableRow> readVariablesCsvFile(const std::filesystem::path& file, std::size_t catalogSize,
                                              char decimalSeparator, const LangTable& texts);

// Imports a variables CSV into an access file (none yet: a new one): the file's variables become the
// CSV's rows and every other byte of it stays as it was. Refused, with nothing written, when a cell
// fails the access list's rules or the result would not fit the converter's variable image or the
// access file's own size limit. Returns the number of rows. Throws ConfigError.
std::size_t importVariablesCsv(const std::filesystem::path& csvFile, const std::filesystem::path& accessFile,
                               char decimalSeparator, const LangTable& texts);

// The variables table of the editor becomes exactly these rows (numbered from 1).
void replaceVariables(AccessList& list, const std::vector<VariableRow>& rows);

} // namespace sw::access
