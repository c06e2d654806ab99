#pragma once

#include "core/language/lang_table.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace sw {

// Overlays the entries a language file sets onto the table. A missing or unreadable file changes
// nothing, and malformed lines are skipped one by one, so a broken translation never costs the
// user the rest of the texts.
void LoadLanguageFile(LangTable& table, const std::filesystem::path& file);

// Refills the table with the English texts and applies the file of the named language from the
// folder. When that file is absent the name becomes "English" and English.lng, if present, applies.
void LoadLanguage(LangTable& table, const std::filesystem::path& languageFolder, std::string& languageName);

// The file's bytes as UTF-8 text: a byte-order mark selects UTF-8, UTF-16 LE or UTF-16 BE; without
// one, UTF-8 when the bytes are valid UTF-8, else Windows-1252.
std::string decodeLanguageText(std::string_view bytes);

// Applies every line of decoded text; lines end at CR, LF or CR LF.
void applyLanguageText(LangTable& table, std::string_view text);

// Applies one line of a language file to the table; lines that are not a valid entry change nothing.
void applyLanguageLine(LangTable& table, std::string_view line);

} // namespace sw
