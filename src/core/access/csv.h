#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Comma-separated values as spreadsheet programs exchange them: fields quoted when they hold the
// separator, a quote or a line break, quotes doubled inside; UTF-8 text.
namespace sw::csv {

// Files larger than this are refused before reading.
inline constexpr std::uint64_t kFileLimit = std::uint64_t{256} << 20;

// The UTF-8 byte-order mark: spreadsheet programs need it to read the file as UTF-8.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Appends one record, fields separated by `separator`, ended by CR LF.
void appendRecord(std::string& out, const std::vector<std::string_view>& fields, char separator = ',');

struct Record {
    std::size_t line = 0; // where the record starts in the file, from 1
    std::vector<std::string> fields;
};

struct Table {
    char separator = ',';
    std::vector<Record> records; // the header first
};

// Reads CSV text: an optional byte-order mark, then records ended by CR LF, LF or CR (a line break after
// the last record is optional; empty lines are skipped). The separator is "," or ";", whichever the first
// record holds first outside quotes ("," when it holds neither), since spreadsheet programs in regions
// whose decimal mark is the comma write ";". Throws ConfigError naming `displayName` and the line when
// the text is not UTF-8, holds a NUL character, or a quoted field is not closed or is followed by
// anything but a separator or a line break.
Table parse(std::string_view bytes, const std::string& displayName);

} // namespace sw::csv
