#include "core/access/csv.h"

#include "core/common/config_error.h"
#include "core/common/utf8.h"

namespace sw::csv {

void appendRecord(std::string& out, const std::vector<std::string_view>& fields, char separator) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            out += separator;
        }
        const std::string_view field = fields[i];
        const bool quote =
            field.find_first_of(separator == ';' ? "\";\r\n" : "\",\r\n") != std::string_view::npos;
        if (!quote) {
            out += field;
            continue;
        }
        out += '"';
        for (const char c : field) {
            if (c == '"') {
                out += '"';
            }
            out += c;
        }
        out += '"';
    }
    out += "\r\n";
}

namespace {

[[noreturn]] void fail(const std::string& displayName, std::size_t line, const std::string& what) {
    throw ConfigError(displayName + ", line " + std::to_string(line) + ": " + what);
}

char detectSeparator(std::string_view text) {
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == ',' || c == ';')) {
            return c;
        } else if (!quoted && (c == '\n' || c == '\r')) {
            break;
        }
    }
    return ',';
}

} // namespace

Table parse(std::string_view bytes, const std::string& displayName) {
    if (bytes.starts_with(kByteOrderMark)) {
        bytes.remove_prefix(kByteOrderMark.size());
    }
    if (!utf8::isValid(bytes)) {
        throw ConfigError(displayName +
                          " is not UTF-8 text. Save it from the spreadsheet program as \"CSV UTF-8\".");
    }
    if (const std::size_t nul = bytes.find('\0'); nul != std::string_view::npos) {
        std::size_t line = 1;
        for (std::size_t i = 0; i < nul; ++i) {
            line += bytes[i] == '\n' ? 1U : 0U;
        }
        fail(displayName, line, "the text holds a NUL character");
    }

    Table table;
    table.separator = detectSeparator(bytes);
    const char separator = table.separator;
    std::size_t line = 1;
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    const auto lineBreakAt = [&](std::size_t at) -> std::size_t {
        if (bytes[at] == '\r') {
            return at + 1 < n && bytes[at + 1] == '\n' ? 2U : 1U;
        }
        return bytes[at] == '\n' ? 1U : 0U;
    };
    while (i < n) {
        if (const std::size_t breakSize = lineBreakAt(i)) { // an empty line
            i += breakSize;
            ++line;
            continue;
        }
        Record record;
        record.line = line;
        while (true) {
            std::string field;
            if (i < n && bytes[i] == '"') {
                const std::size_t startLine = line;
                ++i;
                while (true) {
                    if (i >= n) {
                        fail(displayName, startLine, "a quoted field is not closed");
                    }
                    if (bytes[i] == '"') {
                        if (i + 1 < n && bytes[i + 1] == '"') {
                            field += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    line += bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 >= n || bytes[i + 1] != '\n'))
                                ? 1U
                                : 0U;
                    field += bytes[i++];
                }
                if (i < n && bytes[i] != separator && lineBreakAt(i) == 0) {
                    fail(displayName, line, "a quoted field is followed by text before the next separator");
                }
            } else {
                const std::size_t start = i;
                while (i < n && bytes[i] != separator && bytes[i] != '\r' && bytes[i] != '\n') {
                    ++i;
                }
                field.assign(bytes.substr(start, i - start));
            }
            record.fields.push_back(std::move(field));
            if (i < n && bytes[i] == separator) {
                ++i;
                continue;
            }
            if (i < n) {
                i += lineBreakAt(i);
                ++line;
            }
            break;
        }
        table.records.push_back(std::move(record));
    }
    return table;
}

} // namespace sw::csv
