#include "core/language/builtin_texts.h"
#include "core/language/language_file.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// Any bytes as a language file: decoding and the line rules must never fail or leave the table short.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static sw::LangTable table = [] {
        sw::LangTable filled;
        sw::fillBuiltinTexts(filled);
        return filled;
    }();
    sw::applyLanguageText(
        table, sw::decodeLanguageText(std::string_view(reinterpret_cast<const char*>(data), size)));
    if (table.size() != static_cast<std::size_t>(sw::LangTableSize)) {
        __builtin_trap();
    }
    return 0;
}
