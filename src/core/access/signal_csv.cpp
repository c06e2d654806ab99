#include "core/access/signal_csv.h"
#include "core/common/path_text.h"

#include "core/access/access_check.h"
#include "core/access/access_list.h"
#include "core/access/csv.h"
#include "core/common/atomic_file.h"
#include "core/common/config_error.h"
#include "core/common/numbers.h"

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

void writeSignalListCsv(const AccessFile& access, const std::filesystem::path& variablesFile) {
    const std::string variables = variablesCsv(access);
    const std::string dataSets = dataSetsCsv(access);
    const FileContent files[] = {{variablesFile, variables}, {dataSetsCsvPath(variablesFile), dataSets}};
    replaceFilesAtomically(files);
}

std::vector<VariableRow> readVariablesCsv(std::string_view bytes, const std::string& displayName,
                                          std::size_t catalogSize, char decimalSeparator,
                                          const LangTable& texts) {
    const csv::Table table = csv::parse(bytes, displayName);
    if (table.records.empty()) {
        throw ConfigError(displayName + " is empty: the first line must name the columns (" +
                          std::string(kVariableAttributes[0]) + ", " + std::string(kVariableAttributes[1]) +
                          ", ...).");
    }
    // Where each attribute is in a record.
    const csv::Record& head = table.records.front();
    std::array<std::optional<std::size_t>, VariableColumn::Count> fieldOf;
    for (std::size_t f = 0; f < head.fields.size(); ++f) {
        const auto* name = std::find(kVariableAttributes.begin(), kVariableAttributes.end(), head.fields[f]);
        if (name == kVariableAttributes.end()) {
            throw ConfigError(displayName + ", line 1: \"" + head.fields[f] +
                              "\" is not a column of the variables table.");
        }
        auto& slot = fieldOf[static_cast<std::size_t>(name - kVariableAttributes.begin())];
        if (slot) {
            throw ConfigError(displayName + ", line 1: the column \"" + head.fields[f] + "\" appears twice.");
        }
        slot = f;
    }
    for (std::size_t c = 0; c < VariableColumn::Count; ++c) {
        if (!fieldOf[c]) {
            throw ConfigError(displayName + ", line 1: the column \"" + std::string(kVariableAttributes[c]) +
                              "\" is missing.");
        }
    }

    const auto rejectCell = [&](std::size_t row, std::size_t column, const std::string& what) {
        throw ConfigError(displayName + ": " + what + " (column \"" +
                          std::string(kVariableAttributes[column]) + "\", line " +
                          std::to_string(table.records[row].line) + "). Nothing was imported.");
    };
    std::vector<VariableRow> rows;
    rows.reserve(table.records.size() - 1);
    for (std::size_t r = 1; r < table.records.size(); ++r) {
        const csv::Record& record = table.records[r];
        if (record.fields.size() != head.fields.size()) {
            throw ConfigError(displayName + ", line " + std::to_string(record.line) + ": " +
                              std::to_string(record.fields.size()) + " fields where the first line names " +
                              std::to_string(head.fields.size()) + ". Nothing was imported.");
        }
        VariableRow row;
        for (std::size_t c = 0; c < VariableColumn::Count; ++c) {
            row.cells[c] = record.fields[*fieldOf[c]];
        }
        row.present.set();
        rows.push_back(std::move(row));
    }

    // Every cell through the access list's rules; the first refused cell counts.
    const CellContext context{decimalSeparator, catalogSize};
    VariableValues values;
    std::vector<CellFault> faults;
    for (std::size_t r = 1; r <= rows.size() && faults.empty(); ++r) {
        if (!readVariable(cellViews(rows[r - 1]), context, values, faults)) {
            faults.front().row = r;
            rejectCell(r, faults.front().column, faults.front().message(texts));
        }
    }
    return rows;
}

std::vector<VariableRow> readVariablesCsvFile(const std::filesystem::path& file, std::size_t catalogSize,
                                              char decimalSeparator, const LangTable& texts) {
    return readVariablesCsv(readFileBytes(file, csv::kFileLimit), utf8Of(file), catalogSize, decimalSeparator,
                            texts);
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
