#include "core/access/access_schema.h"

#include "core/common/error_texts.h"
#include "core/common/ip_address.h"
#include "core/common/numbers.h"
#include "core/common/trim.h"
#include "core/common/utf8.h"
#include "core/language/builtin_texts.h"
#include "core/language/lang_table.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>

namespace sw::access {

namespace {

// The basic types an SCL file names (IEC 61850-6, editions 1 to 2.1).
constexpr std::string_view kBasicTypes[] = {
    "BOOLEAN",     "INT8",         "INT16",        "INT24",   "INT32",        "INT64",       "INT128",
    "INT8U",       "INT16U",       "INT24U",       "INT32U",  "INT64U",       "FLOAT32",     "FLOAT64",
    "Enum",        "Dbpos",        "Tcmd",         "Quality", "Timestamp",    "VisString32", "VisString64",
    "VisString65", "VisString129", "VisString255", "Octet6",  "Octet16",      "Octet64",     "Unicode255",
    "Struct",      "EntryTime",    "Check",        "ObjRef",  "Currency",     "PhyComAddr",  "TrgOps",
    "OptFlds",     "SvOptFlds",    "LogOptFlds",   "EntryID", "OctetString64"};
// Functional constraints of IEC 61850-7-2 and -8-1.
constexpr std::string_view kFunctionalConstraints[] = {"ST", "MX", "SP", "SV", "CF", "DC", "SG",
                                                       "SE", "SR", "OR", "BL", "EX", "CO", "US",
                                                       "MS", "RP", "BR", "LG", "GO", "GS", "SC"};
constexpr std::string_view kStartBits[] = {"0", "1", "2", "3", "4", "5", "6", "7"};
constexpr std::string_view kDirections[] = {"Read", "Write"};
constexpr std::string_view kConversions[] = {"None", "ItoF/FtoI"};
constexpr std::string_view kFlags[] = {"Y", "N"};

constexpr int kRuleDeviceIndex = static_cast<int>(ErrorCode::AccessBadDeviceIndex);
constexpr int kRuleType = static_cast<int>(ErrorCode::AccessUnknownType);
constexpr int kRuleChoice = static_cast<int>(ErrorCode::AccessBadChoice);
constexpr int kRuleFlag = static_cast<int>(ErrorCode::AccessBadFlag);
constexpr int kRuleStartBit = static_cast<int>(ErrorCode::AccessBadStartBit);
constexpr int kRuleText = static_cast<int>(ErrorCode::AccessControlCharacter);

constexpr ColumnRule choice(std::string_view attribute, std::span<const std::string_view> choices,
                            bool emptyAllowed, int rule = kRuleChoice) {
    return {attribute, CellKind::Choice, choices, 0, 0, emptyAllowed, rule};
}
constexpr ColumnRule integer(std::string_view attribute, std::int64_t low, std::int64_t high, int rule,
                             bool emptyAllowed = false) {
    return {attribute, CellKind::Integer, {}, low, high, emptyAllowed, rule};
}
constexpr ColumnRule text(std::string_view attribute, bool emptyAllowed) {
    return {attribute, CellKind::Text, {}, 0, 0, emptyAllowed, kRuleText};
}
constexpr ColumnRule flag(std::string_view attribute) {
    return {attribute, CellKind::Flag, kFlags, 0, 0, true, kRuleFlag};
}
constexpr ColumnRule address(std::string_view attribute) {
    return {attribute, CellKind::Ipv4, {}, 0, 0, false, kTextAccessBadIPAddress};
}
constexpr ColumnRule factor(std::string_view attribute) {
    return {attribute, CellKind::Decimal, {}, 0, 0, false, kTextAccessBadFactor};
}
// The device index's range is the catalog's size, known only when a list is read.
constexpr ColumnRule deviceIndex() {
    return {"Index", CellKind::Integer, {}, 0, 0, false, kRuleDeviceIndex};
}

constexpr std::array<ColumnRule, VariableColumn::Count> kVariableRules = {
    deviceIndex(),
    choice("bType", kBasicTypes, false, kRuleType),
    choice("fc", kFunctionalConstraints, false),
    text("Reference", false),
    address("IPAddress"),
    integer("Port", 0, 65535, kTextAccessBadPort),
    flag("OnChange"),
    flag("OnCMD"),
    flag("OnTimer"),
    integer("Time", 1, kLastTime, kTextAccessBadTime, true),
    integer("Position", 0, kLastPosition, kTextAccessBadPosition),
    choice("StartBit", kStartBits, true, kRuleStartBit),
    choice("ReadWrite", kDirections, true),
    choice("Convertion", kConversions, true),
    factor("MoltFact"),
    text("Mnemonic", true),
};
constexpr std::array<ColumnRule, DataSetColumn::Count> kDataSetRules = {
    deviceIndex(),
    text("Reference", false),
    text("GooseName", true),
    flag("EnGoose"),
    address("IPAddress"),
    integer("Port", 0, 65535, kTextAccessBadPort),
    integer("Time", 1, kLastTime, kTextAccessBadTime, true),
    text("Mnemonic", true),
};
constexpr std::array<ColumnRule, MemberColumn::Count> kMemberRules = {
    choice("bType", kBasicTypes, false, kRuleType),
    text("Reference", false),
    integer("Position", 0, kLastPosition, kTextAccessBadPosition),
    choice("StartBit", kStartBits, true, kRuleStartBit),
    choice("Convertion", kConversions, true),
    factor("MoltFact"),
    text("Mnemonic", true),
};

static_assert([] {
    for (std::size_t c = 0; c < VariableColumn::Count; ++c) {
        if (kVariableRules[c].attribute != kVariableAttributes[c]) {
            return false;
        }
    }
    for (std::size_t c = 0; c < DataSetColumn::Count; ++c) {
        if (kDataSetRules[c].attribute != kDataSetAttributes[c]) {
            return false;
        }
    }
    for (std::size_t c = 0; c < MemberColumn::Count; ++c) {
        if (kMemberRules[c].attribute != kMemberAttributes[c]) {
            return false;
        }
    }
    return true;
}());

std::string_view trimmed(std::string_view cell) {
    return trimmedOfControls(cell);
}

std::optional<std::string_view> choiceValue(std::string_view cell,
                                            std::span<const std::string_view> choices) {
    const std::string_view word = trimmed(cell);
    const auto it = std::find(choices.begin(), choices.end(), word);
    return it == choices.end() ? std::nullopt : std::optional<std::string_view>(*it);
}

std::string joined(std::span<const std::string_view> choices) {
    std::string text;
    for (std::string_view choice : choices) {
        text += (text.empty() ? "" : ", ") + std::string(choice);
    }
    return text;
}

// Gathers the faults of one row, each naming its column and the rule's arguments.
class RowReader {
public:
    RowReader(Table table, std::span<const ColumnRule> rules, std::span<const std::string_view> cells,
              std::vector<CellFault>& faults)
        : m_table(table), m_rules(rules), m_cells(cells), m_faults(faults) {}

    bool clean() const { return m_count == 0; }

    void refuse(std::size_t column, std::vector<std::string> arguments = {}) {
        ++m_count;
        CellFault& fault = m_faults.emplace_back();
        fault.table = m_table;
        fault.column = column;
        fault.rule = m_rules[column].rule;
        fault.arguments = std::move(arguments);
    }
    void refuseEmpty(std::size_t column) {
        ++m_count;
        CellFault& fault = m_faults.emplace_back();
        fault.table = m_table;
        fault.column = column;
        fault.rule = static_cast<int>(ErrorCode::AccessEmptyCell);
        fault.arguments = {std::string(m_rules[column].attribute)};
    }

    std::string_view cell(std::size_t column) const { return m_cells[column]; }
    bool empty(std::size_t column) const { return trimmed(m_cells[column]).empty(); }

    template <class T> T integer(std::size_t column, T fallback) {
        const ColumnRule& rule = m_rules[column];
        if (rule.emptyAllowed && empty(column)) {
            return fallback;
        }
        if (const auto value = integerValue(m_cells[column], rule.low, rule.high)) {
            return static_cast<T>(*value);
        }
        refuse(column);
        return fallback;
    }
    std::size_t device(std::size_t column, std::size_t catalogSize) {
        const std::string_view cell = m_cells[column];
        const auto value = catalogSize == 0
                               ? std::nullopt
                               : integerValue(cell, 0, static_cast<std::int64_t>(catalogSize) - 1);
        if (value) {
            return static_cast<std::size_t>(*value);
        }
        if (catalogSize == 0) {
            refuse(column, {std::string(cell)});
            m_faults.back().rule = static_cast<int>(ErrorCode::AccessEmptyCatalog);
        } else {
            refuse(column, {std::string(cell), std::to_string(catalogSize - 1)});
        }
        return 0;
    }
    std::string_view choice(std::size_t column) {
        const ColumnRule& rule = m_rules[column];
        if (const auto value = choiceValue(m_cells[column], rule.choices)) {
            return *value;
        }
        if (empty(column) && !rule.emptyAllowed) {
            refuseEmpty(column);
        } else if (!empty(column)) {
            refuse(column, {std::string(rule.attribute), std::string(m_cells[column]), joined(rule.choices)});
            if (rule.rule != kRuleChoice) {
                m_faults.back().arguments = {std::string(m_cells[column])};
            }
        }
        return {};
    }
    // A choice read by its own typed function; a text it refuses is refused as the column's choice.
    template <class T>
    T typedChoice(std::size_t column, std::optional<T> (*read)(std::string_view), T fallback) {
        if (const std::optional<T> value = read(m_cells[column])) {
            return *value;
        }
        choice(column);
        return fallback;
    }
    bool flag(std::size_t column) {
        if (const auto value = flagValue(m_cells[column])) {
            return *value;
        }
        refuse(column, {std::string(m_rules[column].attribute), std::string(m_cells[column])});
        return false;
    }
    std::string_view text(std::size_t column) {
        const std::string_view cell = m_cells[column];
        if (!m_rules[column].emptyAllowed && cell.empty()) {
            refuseEmpty(column);
        } else if (const auto c = forbiddenCharacter(cell)) {
            refuse(column, {std::string(m_rules[column].attribute), characterCode(*c)});
        }
        return cell;
    }
    std::string address(std::size_t column) {
        if (auto value = addressValue(m_cells[column])) {
            return std::move(*value);
        }
        refuse(column);
        return {};
    }
    float factor(std::size_t column, char decimalSeparator) {
        if (const auto value = factorValue(m_cells[column], decimalSeparator)) {
            return *value;
        }
        refuse(column);
        return 1.0F;
    }
    std::int8_t startBit(std::size_t column) {
        if (const auto value = startBitValue(m_cells[column])) {
            return *value;
        }
        refuse(column, {std::string(m_cells[column])});
        return -1;
    }

private:
    Table m_table;
    std::span<const ColumnRule> m_rules;
    std::span<const std::string_view> m_cells;
    std::vector<CellFault>& m_faults;
    std::size_t m_count = 0;
};

} // namespace

const std::array<ColumnRule, VariableColumn::Count>& variableRules() {
    return kVariableRules;
}
const std::array<ColumnRule, DataSetColumn::Count>& dataSetRules() {
    return kDataSetRules;
}
const std::array<ColumnRule, MemberColumn::Count>& memberRules() {
    return kMemberRules;
}
std::span<const std::string_view> startBitChoices() {
    return kStartBits;
}
std::span<const std::string_view> directionChoices() {
    return kDirections;
}
std::span<const std::string_view> conversionChoices() {
    return kConversions;
}

std::optional<bool> flagValue(std::string_view cell) {
    const std::string_view word = trimmed(cell);
    if (word == "Y") {
        return true;
    }
    if (word.empty() || word == "N") {
        return false;
    }
    return std::nullopt;
}

std::optional<std::int64_t> integerValue(std::string_view cell, std::int64_t low, std::int64_t high) {
    // The plain digits nearly every cell holds are read at once; anything else by the one conversion.
    if (!cell.empty() && cell.size() <= 9 &&
        std::all_of(cell.begin(), cell.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        std::int64_t plain = 0;
        for (const char c : cell) {
            plain = plain * 10 + (c - '0');
        }
        return plain < low || plain > high ? std::nullopt : std::optional<std::int64_t>(plain);
    }
    const std::optional<std::int32_t> value = parseInteger(trimmed(cell));
    if (!value || *value < low || *value > high) {
        return std::nullopt;
    }
    return *value;
}

std::optional<std::uint16_t> positionValue(std::string_view cell) {
    const auto value = integerValue(cell, 0, kLastPosition);
    return value ? std::optional<std::uint16_t>(static_cast<std::uint16_t>(*value)) : std::nullopt;
}

std::optional<std::int8_t> startBitValue(std::string_view cell) {
    if (trimmed(cell).empty()) {
        return std::int8_t{-1};
    }
    if (const auto bit = choiceValue(cell, kStartBits)) {
        return static_cast<std::int8_t>(bit->front() - '0');
    }
    return std::nullopt;
}

std::optional<Direction> directionValue(std::string_view cell) {
    if (trimmed(cell).empty()) {
        return Direction::Write;
    }
    const auto word = choiceValue(cell, kDirections);
    if (!word) {
        return std::nullopt;
    }
    return *word == "Read" ? Direction::Read : Direction::Write;
}

std::optional<bool> conversionValue(std::string_view cell) {
    if (trimmed(cell).empty()) {
        return false;
    }
    const auto word = choiceValue(cell, kConversions);
    return word ? std::optional<bool>(*word == "ItoF/FtoI") : std::nullopt;
}

std::optional<float> factorValue(std::string_view cell, char decimalSeparator) {
    const std::string_view word = trimmed(cell);
    if (word.size() == 4 && std::equal(word.begin(), word.end(), "NONE", [](char a, char b) {
            return std::toupper(static_cast<unsigned char>(a)) == b;
        })) {
        return 1.0F;
    }
    // Either mark is taken: the other one is read as the user's.
    const char other = decimalSeparator == '.' ? ',' : '.';
    std::optional<double> value;
    if (word.find(other) == std::string_view::npos) {
        value = parseFloat(word, decimalSeparator);
    } else {
        std::string unified(word);
        std::replace(unified.begin(), unified.end(), other, decimalSeparator);
        value = parseFloat(unified, decimalSeparator);
    }
    if (!value || std::fabs(*value) > static_cast<double>(std::numeric_limits<float>::max())) {
        return std::nullopt;
    }
    return static_cast<float>(*value);
}

std::optional<std::string> addressValue(std::string_view cell) {
    return canonicalIpAddress(cell);
}

std::optional<unsigned char> forbiddenCharacter(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') {
            return byte;
        }
    }
    return std::nullopt;
}

std::string characterCode(std::uint32_t codePoint) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(codePoint));
    return code;
}

std::string CellFault::attribute() const {
    switch (table) {
    case Table::Variables:
        return std::string(kVariableAttributes[column]);
    case Table::DataSets:
        return std::string(kDataSetAttributes[column]);
    case Table::Members:
        return std::string(kMemberAttributes[column]);
    }
    return {};
}

std::string CellFault::message(const LangTable& texts) const {
    std::string text;
    if (row == 0) {
        // A limit of the whole list.
    } else if (table == Table::Variables) {
        text = texts.Get(kTextAccessErrorRow) + std::to_string(row);
    } else if (table == Table::DataSets) {
        text =
            fillPlaces(texts.Get(static_cast<int>(ErrorCode::AccessFaultDataSetRow)), {std::to_string(row)});
    } else {
        text = fillPlaces(texts.Get(static_cast<int>(ErrorCode::AccessFaultMemberRow)),
                          {std::to_string(row), std::to_string(member)});
    }
    text += fillPlaces(texts.Get(rule), arguments);
    if (rule == kTextAccessBadPosition) {
        text += std::to_string(kLastPosition);
    }
    return text;
}

std::string CellFault::englishMessage() const {
    return message(builtinTexts());
}

bool readVariable(const CellViews<VariableColumn::Count>& cells, const CellContext& context,
                  VariableValues& values, std::vector<CellFault>& faults) {
    using C = VariableColumn;
    RowReader in(Table::Variables, kVariableRules, cells, faults);
    // The editor's first five rules keep their order: the first message of a row stays what it was.
    values.address = in.address(C::IPAddress);
    values.port = in.integer<std::uint16_t>(C::Port, 0);
    values.onTimer = in.flag(C::OnTimer);
    if (values.onTimer) {
        if (in.empty(C::Time)) {
            in.refuse(C::Time);
        }
        values.time = in.integer<std::uint32_t>(C::Time, kDefaultTime);
    } else {
        // Not looked at by the converter: a time that is no valid number stands for the default.
        values.time =
            static_cast<std::uint32_t>(integerValue(cells[C::Time], 0, kLastTime).value_or(kDefaultTime));
    }
    values.position = in.integer<std::uint16_t>(C::Position, 0);
    values.factor = in.factor(C::MoltFact, context.decimalSeparator);
    values.device = in.device(C::Index, context.catalogSize);
    values.bType = in.choice(C::bType);
    values.fc = in.choice(C::fc);
    values.reference = in.text(C::Reference);
    values.onChange = in.flag(C::OnChange);
    values.onCommand = in.flag(C::OnCMD);
    values.startBit = in.startBit(C::StartBit);
    values.direction = in.typedChoice(C::ReadWrite, directionValue, Direction::Write);
    values.conversion = in.typedChoice(C::Convertion, conversionValue, false);
    in.text(C::Mnemonic);
    return in.clean();
}

bool readDataSet(const CellViews<DataSetColumn::Count>& cells, const CellContext& context,
                 DataSetValues& values, std::vector<CellFault>& faults) {
    using C = DataSetColumn;
    RowReader in(Table::DataSets, kDataSetRules, cells, faults);
    values.address = in.address(C::IPAddress);
    values.port = in.integer<std::uint16_t>(C::Port, 0);
    values.time = in.integer<std::uint32_t>(C::Time, kDefaultTime);
    values.device = in.device(C::Index, context.catalogSize);
    values.reference = in.text(C::Reference);
    values.gooseName = in.text(C::GooseName);
    values.goose = in.flag(C::EnGoose);
    in.text(C::Mnemonic);
    return in.clean();
}

bool readMember(const CellViews<MemberColumn::Count>& cells, const CellContext& context, MemberValues& values,
                std::vector<CellFault>& faults) {
    using C = MemberColumn;
    RowReader in(Table::Members, kMemberRules, cells, faults);
    values.position = in.integer<std::uint16_t>(C::Position, 0);
    values.factor = in.factor(C::MoltFact, context.decimalSeparator);
    values.bType = in.choice(C::bType);
    values.reference = in.text(C::Reference);
    values.startBit = in.startBit(C::StartBit);
    values.conversion = in.typedChoice(C::Convertion, conversionValue, false);
    in.text(C::Mnemonic);
    return in.clean();
}

namespace {

// Bytes a text takes in the image: one per UTF-16 code unit and its zero byte.
std::uint64_t imageTextSize(std::string_view text) {
    std::uint64_t units = 1; // its zero byte
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = std::max<std::size_t>(1, utf8::sequenceLength(text, i));
        units += length == 4 ? 2 : 1;
        i += length;
    }
    return units;
}

} // namespace

std::vector<CellFault> checkAccessFile(const AccessFile& access, const CellContext& context) {
    std::vector<CellFault> faults;
    const auto placed = [&faults](std::size_t from, std::size_t row, std::size_t member) {
        for (std::size_t i = from; i < faults.size(); ++i) {
            faults[i].row = row;
            faults[i].member = member;
        }
    };
    std::uint64_t size = kImageHeaderSize;
    if (!isBlankTable(access.variables, VariableColumn::Index)) {
        VariableValues values;
        for (std::size_t r = 0; r < access.variables.size(); ++r) {
            const VariableRow& row = access.variables[r];
            const std::size_t from = faults.size();
            readVariable(cellViews(row), context, values, faults);
            placed(from, r + 1, 0);
            size += kVariableEntrySize +
                    imageTextSize(values.bType.empty() ? row[VariableColumn::bType] : values.bType) +
                    imageTextSize(values.address.empty() ? row[VariableColumn::IPAddress] : values.address) +
                    imageTextSize(row[VariableColumn::Reference]);
        }
    }
    if (!isBlankTable(access.dataSets, DataSetColumn::Index)) {
        DataSetValues values;
        MemberValues member;
        for (std::size_t d = 0; d < access.dataSets.size(); ++d) {
            const DataSetRow& row = access.dataSets[d];
            std::size_t from = faults.size();
            readDataSet(cellViews(row), context, values, faults);
            if (row.members.size() > kMaxDataSetMembers) {
                CellFault& fault = faults.emplace_back();
                fault.table = Table::DataSets;
                fault.column = DataSetColumn::Reference;
                fault.rule = static_cast<int>(ErrorCode::AccessTooManyMembers);
                fault.arguments = {std::to_string(row.members.size()),
                                   std::to_string(row.members.size() - kMaxDataSetMembers),
                                   std::to_string(kMaxDataSetMembers)};
            }
            placed(from, d + 1, 0);
            size += kDataSetEntrySize + imageTextSize(row[DataSetColumn::GooseName]) +
                    imageTextSize(row[DataSetColumn::Reference]) +
                    imageTextSize(values.address.empty() ? row[DataSetColumn::IPAddress] : values.address);
            for (std::size_t m = 0; m < row.members.size(); ++m) {
                from = faults.size();
                readMember(cellViews(row.members[m]), context, member, faults);
                placed(from, d + 1, m + 1);
                size +=
                    kMemberEntrySize +
                    imageTextSize(member.bType.empty() ? row.members[m][MemberColumn::bType] : member.bType) +
                    imageTextSize(row.members[m][MemberColumn::Reference]);
            }
        }
    }
    if (size > kVariableImageLimit) {
        CellFault& fault = faults.emplace_back();
        fault.rule = static_cast<int>(ErrorCode::AccessImageTooLarge);
        fault.arguments = {std::to_string(size), std::to_string(size - kVariableImageLimit),
                           std::to_string(kVariableImageLimit)};
    }
    return faults;
}

} // namespace sw::access
