#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Comma-separated values as spreadsheet programs exchange them: fields quoted when they hold the
// separator, a quote or a line break, quotes doubled inside; UTF-8 text.
//
// A spreadsheet program runs a cell starting with "=", "+", "-" or "@" as a formula. The writer puts an
// apostrophe in front of such a cell, and in front of a cell that already starts with apostrophes followed
// by one of them; the reader takes one apostrophe off a cell starting with apostrophes followed by one of
// them. So no written cell is ever run, and what was written reads back byte for byte.
namespace sw::csv {

// Files larger than this are refused before reading.
inline constexpr std::uint64_t kFileLimit = std::uint64_t{256} << 20;

// The UTF-8 byte-order mark: spreadsheet programs need it to read the file as UTF-8.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Appends one record, fields separated by `separator`, ended by CR LF.
void appendRecord(std::string& out, const std::vector<std::string_view>& fields, char separator = ',');

// Reads CSV text one record at a time: an optional byte-order mark, then records ended by CR LF, LF or
// CR (a line break after the last record is optional; empty lines are skipped). The separator is ","
// or ";": the one a first line "sep=;" or "sep=," names (that line is no record), else whichever the
// first non-empty record holds first outside quotes ("," when it holds neither), since spreadsheet
// programs in regions whose decimal mark is the comma write ";". Only the bytes of the records handed
// over are looked at, so a caller that stops early never pays for the rest. Throws ConfigError naming
// the display name and the line when the text is not UTF-8 (UTF-16 included), holds a NUL character, or
// a quoted field is not closed or is followed by anything but a separator or a line break.
class Reader {
public:
    // Keeps a view of `bytes`: they must outlive the reader.
    Reader(std::string_view bytes, std::string displayName);

    // Reads the next record: false at the end of the text.
    bool next();
    // The current record's fields: views into the text or into a buffer of the reader, valid until the
    // next call of next().
    const std::vector<std::string_view>& fields() const { return m_fields; }
    // Where the current record starts in the file, from 1.
    std::size_t line() const { return m_recordLine; }
    char separator() const { return m_separator; }
    const std::string& displayName() const { return m_displayName; }

private:
    // Where a field's text is: in the file's bytes or in the scratch buffer of quoted fields.
    struct Piece {
        bool inScratch = false;
        std::size_t begin = 0;
        std::size_t size = 0;
    };
    [[noreturn]] void fail(std::size_t line, const std::string& what) const;
    void checkText(std::size_t begin, std::size_t end, std::size_t line) const;
    std::size_t lineBreakAt(std::size_t at) const;
    void skipEmptyLines();
    void chooseSeparator();
    void readRecord();

    std::string_view m_bytes;
    std::string m_displayName;
    std::size_t m_pos = 0;
    std::size_t m_line = 1;
    std::size_t m_recordLine = 0;
    char m_separator = ',';
    bool m_separatorChosen = false;
    std::string m_scratch;
    std::vector<Piece> m_pieces;
    std::vector<std::string_view> m_fields;
};

} // namespace sw::csv
