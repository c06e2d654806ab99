#include "core/access/signal_csv.h"
#include "core/common/path_text.h"

#include "core/access/access_check.h"
#include "core/access/access_list.h"
#include "core/access/csv.h"
#include "core/common/atomic_file.h"
#include "core/common/config_error.h"
#include "core/common/numbers.h"
#include "core/common/trim.h"

#include <algorithm>
#include <optional>
#include <span>

namespace sw::access {

namespace {

std::vector<std::string_view> header(std::initializer_list<std::string_view> first,
                                     std::span<const std::string_view> rest) {
    std::vector<std::string_view> fields(first);
    fields.insert(fields.end(), rest.begin(), rest.end());
    return fields;
}

} // namespace

std::string variablesCsv(const AccessFile& access) {
    std::string out(csv::kByteOrderMark);
    out.reserve(access.variables.size() * 160);
    csv::appendRecord(out, {kVariableAttributes.begin(), kVariableAttributes.end()});
    std::vector<std::string_view> fields(VariableColumn::Count);
    for (const VariableRow& row : access.variables) {
        std::copy(row.cells.begin(), row.cells.end(), fields.begin());
        csv::appendRecord(out, fields);
    }
    return out;
}

std::string dataSetsCsv(const AccessFile& access) {
    std::string out(csv::kByteOrderMark);
    csv::appendRecord(out, header({kKindColumn}, kDataSetCsvColumns));
    std::vector<std::string_view> fields(1 + kDataSetCsvColumns.size());
    for (const DataSetRow& dataSet : access.dataSets) {
        std::fill(fields.begin(), fields.end(), std::string_view());
        fields[0] = kDataSetItem;
        std::copy(dataSet.cells.begin(), dataSet.cells.end(), fields.begin() + 1);
        csv::appendRecord(out, fields);
        for (const MemberRow& member : dataSet.members) {
            std::fill(fields.begin(), fields.end(), std::string_view());
            fields[0] = kMemberItem;
            // Columns as in kDataSetCsvColumns, from 1.
            fields[2] = member[MemberColumn::Reference];
            fields[8] = member[MemberColumn::Mnemonic];
            fields[9] = member[MemberColumn::bType];
            fields[10] = member[MemberColumn::Position];
            fields[11] = member[MemberColumn::StartBit];
            fields[12] = member[MemberColumn::Convertion];
            fields[13] = member[MemberColumn::MoltFact];
            csv::appendRecord(out, fields);
        }
    }
    return out;
}

std::filesystem::path dataSetsCsvPath(const std::filesystem::path& variablesFile) {
    std::filesystem::path result = variablesFile;
    std::filesystem::path name = variablesFile.stem();
    name += ".datasets";
    name += variablesFile.extension();
    result.replace_filename(name);
    if (!variablesFile.has_extension()) {
        result += ".csv";
    }
    return result;
}

namespace {

// Whether two names reach the same file: the same existing file, through links too, or the same name
// once links and dots are resolved.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error)) {
        return true;
    }
    std::error_code errorA;
    std::error_code errorB;
    const std::filesystem::path canonicalA = std::filesystem::weakly_canonical(a, errorA);
    const std::filesystem::path canonicalB = std::filesystem::weakly_canonical(b, errorB);
    return !errorA && !errorB && canonicalA == canonicalB;
}

} // namespace

void writeSignalListCsv(const AccessFile& access, const std::filesystem::path& variablesFile,
                        const std::filesystem::path& accessFile) {
    const std::filesystem::path dataSetsFile = dataSetsCsvPath(variablesFile);
    for (const std::filesystem::path& target : {variablesFile, dataSetsFile}) {
        if (sameFile(target, accessFile)) {
            throw ConfigError(utf8Of(target) + " is the project's access file, which the export must not "
                                               "write over. Choose another file name; nothing was written.");
        }
    }
    if (sameFile(variablesFile, dataSetsFile)) {
        throw ConfigError(utf8Of(variablesFile) + " and " + utf8Of(dataSetsFile) +
                          " are the same file, so the data sets would write over the variables. Choose "
                          "another file name; nothing was written.");
    }
    const std::string variables = variablesCsv(access);
    const std::string dataSets = dataSetsCsv(access);
    const FileContent files[] = {{variablesFile, variables}, {dataSetsFile, dataSets}};
    replaceFilesAtomically(files);
}

namespace {

// The header's names as spreadsheet users leave them: ASCII case and blanks or tabs around a name do
// not matter.
bool namesColumn(std::string_view field, std::string_view attribute) {
    const std::string_view name = trimmedBy(field, [](char c) { return c == ' ' || c == '\t'; });
    return std::equal(name.begin(), name.end(), attribute.begin(), attribute.end(), [](char a, char b) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(a) == lower(b);
    });
}

// Where each attribute is in a record, from the header. Throws ConfigError.
using FieldOfColumn = std::array<std::size_t, VariableColumn::Count>;
FieldOfColumn readHeader(const std::vector<std::string_view>& head, const std::string& displayName,
                         std::size_t line) {
    const std::string where = displayName + ", line " + std::to_string(line) + ": ";
    std::array<std::optional<std::size_t>, VariableColumn::Count> fieldOf;
    for (std::size_t f = 0; f < head.size(); ++f) {
        const auto* name =
            std::find_if(kVariableAttributes.begin(), kVariableAttributes.end(),
                         [&](std::string_view attribute) { return namesColumn(head[f], attribute); });
        if (name == kVariableAttributes.end()) {
            throw ConfigError(where + "\"" + std::string(head[f]) +
                              "\" is not a column of the variables table.");
        }
        auto& slot = fieldOf[static_cast<std::size_t>(name - kVariableAttributes.begin())];
        if (slot) {
            throw ConfigError(where + "the column \"" + std::string(*name) + "\" appears twice.");
        }
        slot = f;
    }
    FieldOfColumn result{};
    for (std::size_t c = 0; c < VariableColumn::Count; ++c) {
        if (!fieldOf[c]) {
            throw ConfigError(where + "the column \"" + std::string(kVariableAttributes[c]) +
                              "\" is missing.");
        }
        result[c] = *fieldOf[c];
    }
    return result;
}

// Every cell of the imported rows through the access list's rules; the first refused cell counts.
// `lines` gives where each row is in the file. Throws ConfigError.
void validateImportedRows(const std::vector<VariableRow>& rows, const std::vector<std::size_t>& lines,
                          const std::string& displayName, std::size_t catalogSize, char decimalSeparator,
                          const LangTable& texts) {
    const CellContext context{decimalSeparator, catalogSize};
    VariableValues values;
    std::vector<CellFault> faults;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (!readVariable(cellViews(rows[r]), context, values, faults)) {
            CellFault& fault = faults.front();
            fault.row = r + 1;
            throw ConfigError(displayName + ": " + fault.message(texts) + " (column \"" + fault.attribute() +
                              "\", line " + std::to_string(lines[r]) + "). Nothing was imported.");
        }
    }
}

} // namespace

namespace {

// The rows of a variables CSV as they stand, with the line each starts on; the header is checked first.
// Throws ConfigError.
struct ImportedRows {
    std::vector<VariableRow> rows;
    std::vector<std::size_t> lines;
};
ImportedRows readRows(std::string_view bytes, const std::string& displayName) {
    csv::Reader reader(bytes, displayName);
    if (!reader.next()) {
        throw ConfigError(displayName + " is empty: the first line must name the columns (" +
                          std::string(kVariableAttributes[0]) + ", " + std::string(kVariableAttributes[1]) +
                          ", ...).");
    }
    // The header decides before any further byte is read.
    const std::size_t headerFields = reader.fields().size();
    const FieldOfColumn fieldOf = readHeader(reader.fields(), displayName, reader.line());

    ImportedRows result;
    while (reader.next()) {
        if (result.rows.size() == kMaxImportedVariables) {
            throw ConfigError(displayName + ", line " + std::to_string(reader.line()) + ": more than " +
                              std::to_string(kMaxImportedVariables) + " rows, the most the device takes is " +
                              std::to_string(kMaxImportedVariables) + " variables. Nothing was imported.");
        }
        const std::vector<std::string_view>& fields = reader.fields();
        if (fields.size() != headerFields) {
            throw ConfigError(displayName + ", line " + std::to_string(reader.line()) + ": " +
                              std::to_string(fields.size()) + " fields where the first line names " +
                              std::to_string(headerFields) + ". Nothing was imported.");
        }
        VariableRow& row = result.rows.emplace_back();
        for (std::size_t c = 0; c < VariableColumn::Count; ++c) {
            row.cells[c] = fields[fieldOf[c]];
        }
        row.present.set();
        result.lines.push_back(reader.line());
    }
    return result;
}

} // namespace

std::vector<VariableRow> readVariablesCsv(std::string_view bytes, const std::string& displayName,
                                          std::size_t catalogSize, char decimalSeparator,
                                          const LangTable& texts) {
    ImportedRows read = readRows(bytes, displayName);
    validateImportedRows(read.rows, read.lines, displayName, catalogSize, decimalSeparator, texts);
    return std::move(read.rows);
}

std::vector<VariableRow> readVariablesCsvFile(const std::filesystem::path& file, std::size_t catalogSize,
                                              char decimalSeparator, const LangTable& texts) {
    const std::string displayName = utf8Of(file);
    // The file's bytes go before the rows are checked: the rows hold copies of their cells.
    ImportedRows read = readRows(readFileBytes(file, csv::kFileLimit), displayName);
    validateImportedRows(read.rows, read.lines, displayName, catalogSize, decimalSeparator, texts);
    return std::move(read.rows);
}

std::size_t importVariablesCsv(const std::filesystem::path& csvFile, const std::filesystem::path& accessFile,
                               char decimalSeparator, const LangTable& texts) {
    std::error_code error;
    const bool present = std::filesystem::exists(accessFile, error);
    AccessFile result = present ? readAccessFile(accessFile) : AccessFile{};
    result.variables = readVariablesCsvFile(csvFile, result.catalog.size(), decimalSeparator, texts);
    // The converter's limits count the whole list: the imported variables with the data sets kept.
    for (const CellFault& fault : checkAccessFile(result, {decimalSeparator, result.catalog.size()})) {
        if (fault.row == 0) {
            throw ConfigError(utf8Of(csvFile) + ": " + fault.message(texts) + ". Nothing was imported.");
        }
    }
    std::optional<std::string> bytes;
    if (present) {
        bytes = withVariables(readFileBytes(accessFile, limits::kAccessFile), utf8Of(accessFile),
                              result.variables);
    }
    if (!bytes) {
        bytes = accessFileBytes(result);
    }
    if (bytes->size() > limits::kAccessFile) {
        throw ConfigError(utf8Of(csvFile) + ": the access file would take " + std::to_string(bytes->size()) +
                          " bytes, more than the limit of " + std::to_string(limits::kAccessFile) +
                          " bytes of its kind. Nothing was imported.");
    }
    writeFileAtomically(accessFile, *bytes);
    return result.variables.size();
}

void replaceVariables(AccessList& list, const std::vector<VariableRow>& rows) {
    std::vector<VariableCells> cells(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < VariableColumn::Count; ++c) {
            cells[r][tableColumn(c)] = rows[r].cells[c];
        }
    }
    list.setVariables(std::move(cells));
}

} // namespace sw::access
