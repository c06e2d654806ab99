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

// Any bytes as a variables CSV: a clean ConfigError, or rows that pass the editor's check and, written
// into an access file, read back as the same rows.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const sw::LangTable texts = [] {
        sw::LangTable table;
        sw::fillBuiltinTexts(table);
        return table;
    }();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        sw::csv::parse(bytes, "signals.csv");
        sw::access::AccessFile access;
        access.variables = sw::access::readVariablesCsv(bytes, "signals.csv", 2, ',', texts);
        const std::string exported = sw::access::variablesCsv(access);
        if (sw::access::readVariablesCsv(exported, "again.csv", 2, ',', texts).size() !=
            access.variables.size()) {
            __builtin_trap();
        }
    } catch (const sw::ConfigError&) {
    }
    return 0;
}
