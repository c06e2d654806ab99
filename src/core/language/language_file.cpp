#include "core/language/language_file.h"

#include "core/common/trim.h"

#include "core/common/atomic_file.h"
#include "core/common/config_error.h"
#include "core/common/numbers.h"
#include "core/common/path_text.h"
#include "core/common/utf8.h"
#include "core/language/builtin_texts.h"
#include "core/platform/locale.h"

#include <array>
#include <climits>
#include <cstdint>
#include <optional>
#include <system_error>

namespace sw {
namespace {

constexpr std::string_view kPilcrow = "\xC2\xB6";
constexpr std::string_view kCommentMark = "/#/";

std::string decodeUtf16(std::string_view bytes, bool bigEndian) {
    const auto unitAt = [&](std::size_t i) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    };
    std::string out;
    out.reserve(bytes.size());
    // A dangling last byte is not a code unit and is dropped.
    const std::size_t end = bytes.size() - bytes.size() % 2;
    for (std::size_t i = 0; i < end; i += 2) {
        const char16_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 2 < end) {
            const char16_t next = unitAt(i + 2);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                utf8::append(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (next - 0xDC00));
                i += 2;
                continue;
            }
        }
        if (unit >= 0xD800 && unit <= 0xDFFF) {
            utf8::append(out, utf8::kReplacement);
        } else {
            utf8::append(out, unit);
        }
    }
    return out;
}

// 0x80 to 0x9F of Windows-1252; the five unassigned bytes map to the C1 control of the same value,
// as the system conversion does.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string decodeWindows1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && byte <= 0x9F) {
            utf8::append(out, kWindows1252High[byte - 0x80]);
        } else {
            utf8::append(out, byte);
        }
    }
    return out;
}

// Blanks and control characters are the bytes a trim removes; every one of them is a whole UTF-8
// character, so trimming never splits a sequence.

// Start of the last character of s (not its last byte), so that dropping the separator before "="
// never leaves half a UTF-8 sequence behind.
std::size_t lastCharacterStart(std::string_view s) {
    std::size_t pos = s.size() - 1;
    while (pos > 0 && (static_cast<unsigned char>(s[pos]) & 0xC0) == 0x80) {
        --pos;
    }
    return pos;
}

std::optional<std::string> readBytes(const std::filesystem::path& file) {
    try {
        return readFileBytes(file, limits::kLanguageFile);
    } catch (const ConfigError&) {
        return std::nullopt;
    }
}

bool isRegularFile(const std::filesystem::path& file) {
    std::error_code error;
    return std::filesystem::is_regular_file(file, error);
}

// The stored name is a bare file name; anything naming another folder is not a language of ours.
bool isPlainName(const std::string& name) {
    return !name.empty() && name.find_first_of("/\\") == std::string::npos && name != "." && name != "..";
}

} // namespace

std::string decodeLanguageText(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        return utf8::repair(bytes.substr(3));
    }
    if (bytes.starts_with("\xFF\xFE")) {
        return decodeUtf16(bytes.substr(2), false);
    }
    if (bytes.starts_with("\xFE\xFF")) {
        return decodeUtf16(bytes.substr(2), true);
    }
    // As every program of the system reads a text without a byte-order mark: in the system's ANSI code
    // page where there is one; elsewhere as UTF-8 when it is, and in Windows-1252 otherwise.
    if (std::optional<std::string> decoded = platform::decodeAnsiCodePage(bytes)) {
        return std::move(*decoded);
    }
    if (utf8::isValid(bytes)) {
        return std::string(bytes);
    }
    return decodeWindows1252(bytes);
}

void applyLanguageLine(LangTable& table, std::string_view rawLine) {
    const std::string_view line = trimmedOfControls(rawLine);
    if (!line.starts_with("STR")) {
        return;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return;
    }
    // The character just before "=" is taken as the separator even when it is a digit, which is
    // why "STR12=x" names entry 1: existing language files rely on this reading.
    const std::string_view beforeEquals = line.substr(3, equals - 3);
    if (beforeEquals.empty()) {
        return;
    }
    const std::string_view indexField =
        trimmedOfControls(beforeEquals.substr(0, lastCharacterStart(beforeEquals)));
    const std::optional<std::int32_t> index = parseInteger(indexField);
    if (!index || !isTextIndex(*index)) {
        return;
    }

    std::string_view text = trimmedOfControls(line.substr(equals + 1));
    if (text.empty()) {
        return;
    }
    if (const std::size_t comment = text.find(kCommentMark); comment != std::string_view::npos) {
        text = trimmedOfControls(text.substr(0, comment));
        // A line that is all remark must not blank out a caption.
        if (text.empty()) {
            return;
        }
    }
    if (text.starts_with(kPilcrow)) {
        text.remove_prefix(kPilcrow.size());
    }
    if (const std::size_t quote = text.find(kPilcrow); quote != std::string_view::npos) {
        text = text.substr(0, quote);
    }
    table.Put(*index, std::string(text));
}

void LoadLanguageFile(LangTable& table, const std::filesystem::path& file) {
    const std::optional<std::string> bytes = readBytes(file);
    if (!bytes) {
        return;
    }
    applyLanguageText(table, decodeLanguageText(*bytes));
}

void applyLanguageText(LangTable& table, std::string_view text) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            applyLanguageLine(table, text.substr(start));
            break;
        }
        applyLanguageLine(table, text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') {
            ++start;
        }
    }
}

void LoadLanguage(LangTable& table, const std::filesystem::path& languageFolder, std::string& languageName) {
    fillBuiltinTexts(table);
    if (isPlainName(languageName)) {
        const std::string fileName = languageName + ".lng";
        const std::filesystem::path file = languageFolder / pathFromUtf8(fileName);
        if (isRegularFile(file)) {
            LoadLanguageFile(table, file);
            return;
        }
    }
    languageName = "English";
    const std::filesystem::path english = languageFolder / "English.lng";
    if (isRegularFile(english)) {
        LoadLanguageFile(table, english);
    }
}

} // namespace sw
