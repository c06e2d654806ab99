#pragma once

#include "core/access/access_file.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// What every cell of the access list means. Each column of the variables, data-set and members tables
// has one rule here: its kind, its choices or range, and what an empty cell stands for. The editor's
// check, the image builder, the CSV import, the lint, the data-array map, the live check and the
// editor's tables all turn cells into values through these rules, so that a cell means the same to
// each of them and nothing that the check refuses reaches the device.
namespace sw {
class LangTable;
}

namespace sw::access {

// The converter's limits, which the check applies before anything is built.
inline constexpr std::size_t kDataArraySize = 1400; // positions 0 to 1399
inline constexpr std::int64_t kLastPosition = 1399;
inline constexpr std::int64_t kLastTime = 100000000; // ms
inline constexpr std::size_t kVariableImageLimit = 0x7FFFF;
inline constexpr std::size_t kImageHeaderSize = 24;
inline constexpr std::size_t kVariableEntrySize = 32;
inline constexpr std::size_t kDataSetEntrySize = 28;
inline constexpr std::size_t kMemberEntrySize = 16;
inline constexpr std::size_t kMaxDataSetMembers = 255;
inline constexpr std::uint32_t kDefaultTime = 1000; // ms, for an empty time
// Every variable takes its entry and at least the three zero bytes that end its texts.
inline constexpr std::size_t kMaxVariables =
    (kVariableImageLimit - kImageHeaderSize) / (kVariableEntrySize + 3);

enum class CellKind {
    Choice,  // one of a fixed list
    Integer, // a whole number within a range
    Decimal, // a multiplication factor: a decimal number with either mark, or "NONE"
    Ipv4,    // four decimal numbers 0 to 255
    Flag,    // a check box: "Y" ticked, "N" or empty not ticked
    Text,    // free text an XML attribute can hold
};

// String-table indexes of the check's messages: the editor's own ones, then the schema's.
inline constexpr int kTextAccessErrorRow = 1252;
inline constexpr int kTextAccessBadIPAddress = 1253;
inline constexpr int kTextAccessBadPort = 1254;
inline constexpr int kTextAccessBadTime = 1255;
inline constexpr int kTextAccessBadPosition = 1256; // followed by kLastPosition
inline constexpr int kTextAccessBadFactor = 1257;

struct ColumnRule {
    std::string_view attribute;
    CellKind kind = CellKind::Text;
    std::span<const std::string_view> choices{}; // Choice: what the editor's list offers
    std::int64_t low = 0;                        // Integer: the range
    std::int64_t high = 0;
    bool emptyAllowed = false; // what an empty cell stands for is in the typed rows below
    int rule = 0;              // string-table index of the message when the cell is refused
};

const std::array<ColumnRule, VariableColumn::Count>& variableRules();
const std::array<ColumnRule, DataSetColumn::Count>& dataSetRules();
const std::array<ColumnRule, MemberColumn::Count>& memberRules();

// The choices of a column as the editor's lists offer them.
std::span<const std::string_view> startBitChoices();
std::span<const std::string_view> directionChoices();  // "Read", "Write"
std::span<const std::string_view> conversionChoices(); // "None", "ItoF/FtoI"

// One cell, typed. A text nothing can be made of is std::nullopt; blanks and control characters
// around a value do not count, except in free text.
std::optional<bool> flagValue(std::string_view cell);
std::optional<std::int64_t> integerValue(std::string_view cell, std::int64_t low, std::int64_t high);
std::optional<std::uint16_t> positionValue(std::string_view cell);
// A start bit: 0 to 7, or -1 for an empty cell (the image stores 0 for it).
std::optional<std::int8_t> startBitValue(std::string_view cell);
enum class Direction : std::uint8_t { Read, Write };
// "Read" or "Write"; an empty cell is a write, as the converter has always taken it.
std::optional<Direction> directionValue(std::string_view cell);
// "ItoF/FtoI" converts; "None" and an empty cell do not.
std::optional<bool> conversionValue(std::string_view cell);
// A factor with either decimal mark; "NONE" in any case is 1.
std::optional<float> factorValue(std::string_view cell, char decimalSeparator);
// The address in its plain dotted-decimal form ("192.168.000.010" gives "192.168.0.10").
std::optional<std::string> addressValue(std::string_view cell);
// The first character an XML 1.0 text cannot hold (a control character other than tab, line feed
// and carriage return), or nothing.
std::optional<unsigned char> forbiddenCharacter(std::string_view text);
// "U+0001": a character named for a message.
std::string characterCode(std::uint32_t codePoint);

struct VariableValues {
    std::size_t device = 0;
    std::string_view bType; // the choice as the list spells it
    std::string_view fc;
    std::string_view reference;
    std::string address;
    std::uint16_t port = 0;
    bool onChange = false;
    bool onCommand = false;
    bool onTimer = false;
    std::uint32_t time = kDefaultTime;
    std::uint16_t position = 0;
    std::int8_t startBit = -1;
    Direction direction = Direction::Write;
    bool conversion = false;
    float factor = 1.0F;
};

struct DataSetValues {
    std::size_t device = 0;
    std::string_view reference;
    std::string_view gooseName;
    bool goose = false;
    std::string address;
    std::uint16_t port = 0;
    std::uint32_t time = kDefaultTime;
};

struct MemberValues {
    std::string_view bType;
    std::string_view reference;
    std::uint16_t position = 0;
    std::int8_t startBit = -1;
    bool conversion = false;
    float factor = 1.0F;
};

enum class Table { Variables, DataSets, Members };

// A cell (or a whole row, for a limit) the check refuses: where, and the rule's message.
struct CellFault {
    Table table = Table::Variables;
    std::size_t row = 0;    // variables or data-set row, from 1; 0 for the whole list
    std::size_t member = 0; // from 1, for Table::Members
    std::size_t column = 0; // the attribute (VariableColumn, DataSetColumn, MemberColumn)
    int rule = 0;           // string-table index of the message
    std::vector<std::string> arguments;

    // "Error row 3!! Port must be between 0 and 65535", "Error data set row 2 member 4!! ...".
    std::string message(const LangTable& texts) const;
    std::string englishMessage() const; // with the built-in texts, for a message of the core
    std::string attribute() const;      // the column's attribute name
};

// What a row is read against: the user's decimal mark and the number of catalog devices an index may
// name.
struct CellContext {
    char decimalSeparator = ',';
    std::size_t catalogSize = 0;
};

template <std::size_t N> using CellViews = std::array<std::string_view, N>;

// Each turns a row's cells into its values, adding a fault for every refused cell (their row and member
// are left for the caller to fill) and telling whether the row read without one.
bool readVariable(const CellViews<VariableColumn::Count>& cells, const CellContext& context,
                  VariableValues& values, std::vector<CellFault>& faults);
bool readDataSet(const CellViews<DataSetColumn::Count>& cells, const CellContext& context,
                 DataSetValues& values, std::vector<CellFault>& faults);
bool readMember(const CellViews<MemberColumn::Count>& cells, const CellContext& context, MemberValues& values,
                std::vector<CellFault>& faults);

template <std::size_t N> CellViews<N> cellViews(const Row<N>& row) {
    CellViews<N> views;
    for (std::size_t c = 0; c < N; ++c) {
        views[c] = row.cells[c];
    }
    return views;
}

// A table whose only row has no "Index" is the editor's empty table: it stands for no row. For a reader
// that sees one row at a time: whether `row`, of a table of `rowCount` rows, is that empty table's row.
template <class Row> bool isBlankTableRow(std::size_t rowCount, const Row& row, std::size_t indexColumn) {
    return rowCount == 1 && row[indexColumn].empty();
}
template <class Rows> bool isBlankTable(const Rows& rows, std::size_t indexColumn) {
    return !rows.empty() && isBlankTableRow(rows.size(), rows.front(), indexColumn);
}

// Every cell and limit of the list the check refuses, variables first, then each data set and its
// members, in row order; the image's size last. Empty when the list may be saved and built.
std::vector<CellFault> checkAccessFile(const AccessFile& access, const CellContext& context);

} // namespace sw::access
