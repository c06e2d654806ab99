#include "core/common/escaped_text.h"

#include "core/common/utf8.h"

namespace sw {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool plain(unsigned char byte, char quote, bool doubleBackslash) {
    return byte >= 0x20 && byte < 0x7F && (byte != '\\' || !doubleBackslash) &&
           byte != static_cast<unsigned char>(quote);
}

void appendEscapedText(std::string& out, std::string_view text, char quote, bool doubleBackslash);

void appendHexByte(std::string& out, const char* prefix, unsigned char byte) {
    out += prefix;
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

} // namespace

void appendEscaped(std::string& out, std::string_view text, char quote) {
    appendEscapedText(out, text, quote, quote != '\0');
}

std::string escapeControlCharacters(std::string_view text, bool unambiguous) {
    std::string out;
    out.reserve(text.size());
    appendEscapedText(out, text, '\0', unambiguous);
    return out;
}

namespace {

void appendEscapedText(std::string& out, std::string_view text, char quote, bool doubleBackslash) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        // Runs of printable ASCII, by far the most text, go in whole.
        std::size_t run = pos;
        while (run < text.size() && plain(static_cast<unsigned char>(text[run]), quote, doubleBackslash)) {
            ++run;
        }
        out.append(text, pos, run - pos);
        pos = run;
        if (pos == text.size()) {
            break;
        }
        const char c = text[pos];
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            const std::size_t length = utf8::sequenceLength(text, pos);
            if (length == 0) {
                appendHexByte(out, "\\x", byte);
                ++pos;
            } else if (length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[pos + 1]) < 0xA0) {
                appendHexByte(out, "\\u00", static_cast<unsigned char>(text[pos + 1]));
                pos += 2;
            } else {
                out.append(text, pos, length);
                pos += length;
            }
            continue;
        }
        if ((c == '\\' && doubleBackslash) || (c == quote && quote != '\0')) {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            appendHexByte(out, "\\x", byte);
        }
        ++pos;
    }
}

} // namespace

} // namespace sw
