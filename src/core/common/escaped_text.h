#pragma once

#include <string>
#include <string_view>

namespace sw {

// Text from a file or a server as one printed value: line feed, carriage return and tab become \n, \r
// and \t, every other control byte (C0 and DEL) and every byte that is not part of well-formed UTF-8
// becomes \xNN, and the C1 controls U+0080-U+009F become \u00NN. What a terminal shows is then exactly
// one value on one line: no byte of it moves the cursor or starts a command. A backslash stays as it is,
// so that a Windows path looks like one; `unambiguous` doubles it, for a value that must be read back
// exactly.
std::string escapeControlCharacters(std::string_view text, bool unambiguous = false);

// Appends the escaped text to out; a `quote` other than '\0' is escaped with a backslash as well, and so
// is a backslash then, so that the text can stand between two of them.
void appendEscaped(std::string& out, std::string_view text, char quote = '\0');

} // namespace sw
