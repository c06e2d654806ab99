#include "core/access/access_file.h"
#include "core/access/csv.h"
#include "core/access/signal_csv.h"
#include "core/common/config_error.h"
#include "core/language/builtin_texts.h"
#include "core/language/lang_table.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Every record the reader hands over, written again and read back, gives the same fields.
void readWriteRead(std::string_view bytes) {
    sw::csv::Reader reader(bytes, "any.csv");
    std::vector<std::vector<std::string>> records;
    while (reader.next()) {
        records.emplace_back(reader.fields().begin(), reader.fields().end());
    }
    // The separator named first, since a record of one field may hold the other one unquoted.
    std::string written = std::string("sep=") + reader.separator() + "\r\n";
    for (const auto& record : records) {
        sw::csv::appendRecord(written, {record.begin(), record.end()}, reader.separator());
    }
    sw::csv::Reader again(written, "again.csv");
    for (const auto& record : records) {
        // A record of one empty field is an empty line, which the reader skips.
        if (record.size() == 1 && record[0].empty()) {
            continue;
        }
        if (!again.next() ||
            std::vector<std::string>(again.fields().begin(), again.fields().end()) != record) {
            __builtin_trap();
        }
    }
}

} // namespace

// Any bytes as CSV and as a variables CSV: a clean ConfigError, or records that read back as written,
// and rows that pass the editor's check and, exported, read back as the same export byte for byte.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const sw::LangTable texts = [] {
        sw::LangTable table;
        sw::fillBuiltinTexts(table);
        return table;
    }();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        readWriteRead(bytes);
    } catch (const sw::ConfigError&) {
    }
    try {
        sw::access::AccessFile access;
        access.variables = sw::access::readVariablesCsv(bytes, "signals.csv", 2, ',', texts);
        const std::string exported = sw::access::variablesCsv(access);
        access.variables = sw::access::readVariablesCsv(exported, "again.csv", 2, ',', texts);
        if (sw::access::variablesCsv(access) != exported) {
            __builtin_trap();
        }
    } catch (const sw::ConfigError&) {
    }
    return 0;
}
