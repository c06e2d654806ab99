#include "core/access/csv.h"

#include "core/common/config_error.h"
#include "core/common/utf8.h"

#include <algorithm>

namespace sw::csv {

namespace {

bool isFormulaStart(char c) {
    return c == '=' || c == '+' || c == '-' || c == '@';
}

// Apostrophes (none or more) followed by a character a spreadsheet program starts a formula with.
bool needsGuard(std::string_view field) {
    const std::size_t first = field.find_first_not_of('\'');
    return first != std::string_view::npos && isFormulaStart(field[first]);
}

[[noreturn]] void failNotUtf8(const std::string& displayName) {
    throw ConfigError(displayName +
                      " is not UTF-8 text. Save it from the spreadsheet program as \"CSV UTF-8\".");
}

// UTF-16 text, with or without byte-order mark: in text of this kind every other byte of the first
// characters is zero, which UTF-8 text never holds.
bool looksLikeUtf16(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        return true;
    }
    const std::size_t pairs = std::min<std::size_t>(bytes.size(), 64) / 2;
    std::size_t zerosEven = 0;
    std::size_t zerosOdd = 0;
    for (std::size_t i = 0; i < 2 * pairs; ++i) {
        (i % 2 == 0 ? zerosEven : zerosOdd) += bytes[i] == '\0' ? 1U : 0U;
    }
    return pairs > 0 && ((zerosOdd == pairs && zerosEven == 0) || (zerosEven == pairs && zerosOdd == 0));
}

} // namespace

void appendRecord(std::string& out, const std::vector<std::string_view>& fields, char separator) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            out += separator;
        }
        const std::string_view field = fields[i];
        const std::string_view guard = needsGuard(field) ? "'" : "";
        const bool quote =
            field.find_first_of(separator == ';' ? "\";\r\n" : "\",\r\n") != std::string_view::npos;
        if (!quote) {
            out += guard;
            out += field;
            continue;
        }
        out += '"';
        out += guard;
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

Reader::Reader(std::string_view bytes, std::string displayName)
    : m_bytes(bytes), m_displayName(std::move(displayName)) {
    if (m_bytes.starts_with(kByteOrderMark)) {
        m_bytes.remove_prefix(kByteOrderMark.size());
    }
    if (looksLikeUtf16(m_bytes)) {
        failNotUtf8(m_displayName);
    }
}

void Reader::fail(std::size_t line, const std::string& what) const {
    throw ConfigError(m_displayName + ", line " + std::to_string(line) + ": " + what);
}

// The UTF-8 and NUL checks of the bytes from `begin` to `end`, which start on line `line`.
void Reader::checkText(std::size_t begin, std::size_t end, std::size_t line) const {
    const std::string_view text = m_bytes.substr(begin, end - begin);
    if (!utf8::isValid(text)) {
        failNotUtf8(m_displayName);
    }
    if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
        for (std::size_t i = 0; i < nul; ++i) {
            line += text[i] == '\n' || (text[i] == '\r' && text[i + 1] != '\n') ? 1U : 0U;
        }
        fail(line, "the text holds a NUL character");
    }
}

std::size_t Reader::lineBreakAt(std::size_t at) const {
    if (m_bytes[at] == '\r') {
        return at + 1 < m_bytes.size() && m_bytes[at + 1] == '\n' ? 2U : 1U;
    }
    return m_bytes[at] == '\n' ? 1U : 0U;
}

void Reader::skipEmptyLines() {
    while (m_pos < m_bytes.size()) {
        const std::size_t breakSize = lineBreakAt(m_pos);
        if (breakSize == 0) {
            return;
        }
        m_pos += breakSize;
        ++m_line;
    }
}

void Reader::chooseSeparator() {
    m_separatorChosen = true;
    skipEmptyLines();
    const std::string_view rest = m_bytes.substr(m_pos);
    const std::string_view firstLine = rest.substr(0, rest.find_first_of("\r\n"));
    if (firstLine == "sep=;" || firstLine == "sep=,") {
        m_separator = firstLine.back();
        m_pos += firstLine.size();
        if (m_pos < m_bytes.size()) {
            m_pos += lineBreakAt(m_pos);
            ++m_line;
        }
        return;
    }
    bool quoted = false;
    for (const char c : rest) {
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == ',' || c == ';')) {
            m_separator = c;
            return;
        } else if (!quoted && (c == '\n' || c == '\r')) {
            return;
        }
    }
}

bool Reader::next() {
    if (!m_separatorChosen) {
        chooseSeparator();
    }
    skipEmptyLines();
    if (m_pos >= m_bytes.size()) {
        m_fields.clear();
        return false;
    }
    readRecord();
    return true;
}

void Reader::readRecord() {
    m_scratch.clear();
    m_pieces.clear();
    const std::string_view bytes = m_bytes;
    const std::size_t n = bytes.size();
    const std::size_t start = m_pos;
    m_recordLine = m_line;
    std::size_t i = m_pos;
    while (true) {
        if (i < n && bytes[i] == '"') {
            const std::size_t startLine = m_line;
            const std::size_t contentBegin = ++i;
            bool doubled = false;
            while (true) {
                if (i >= n) {
                    checkText(start, n, m_recordLine);
                    fail(startLine, "a quoted field is not closed");
                }
                if (bytes[i] == '"') {
                    if (i + 1 < n && bytes[i + 1] == '"') {
                        doubled = true;
                        i += 2;
                        continue;
                    }
                    break;
                }
                m_line +=
                    bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 >= n || bytes[i + 1] != '\n')) ? 1U : 0U;
                ++i;
            }
            const std::string_view content = bytes.substr(contentBegin, i - contentBegin);
            ++i; // the closing quote
            if (!doubled) {
                m_pieces.push_back({false, contentBegin, content.size()});
            } else {
                // Doubled quotes are undone into the scratch buffer, reused from record to record.
                const std::size_t begin = m_scratch.size();
                for (std::size_t k = 0; k < content.size(); ++k) {
                    m_scratch += content[k];
                    k += content[k] == '"' ? 1U : 0U;
                }
                m_pieces.push_back({true, begin, m_scratch.size() - begin});
            }
            if (i < n && bytes[i] != m_separator && lineBreakAt(i) == 0) {
                checkText(start, i, m_recordLine);
                fail(m_line, "a quoted field is followed by text before the next separator");
            }
        } else {
            const std::size_t begin = i;
            while (i < n && bytes[i] != m_separator && bytes[i] != '\r' && bytes[i] != '\n') {
                ++i;
            }
            m_pieces.push_back({false, begin, i - begin});
        }
        if (i < n && bytes[i] == m_separator) {
            ++i;
            continue;
        }
        break;
    }
    checkText(start, i, m_recordLine);
    if (i < n) {
        i += lineBreakAt(i);
        ++m_line;
    }
    m_pos = i;

    m_fields.clear();
    for (const Piece& piece : m_pieces) {
        std::string_view field = piece.inScratch ? std::string_view(m_scratch).substr(piece.begin, piece.size)
                                                 : bytes.substr(piece.begin, piece.size);
        if (field.starts_with('\'') && needsGuard(field)) {
            field.remove_prefix(1);
        }
        m_fields.push_back(field);
    }
}

} // namespace sw::csv
