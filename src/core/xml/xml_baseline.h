#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

// Bare parses of XML with no reader on top: the yardsticks that the benchmarks measure readers against,
// in the same run on the same bytes.
namespace sw::xml::baseline {

// Parses the bytes with the parser's default options; throws ConfigError when they are not well-formed.
void parse(std::string_view bytes);

// The same parse, then every attribute's name and value touched once: the least that any reader of the
// parsed tree must do. Returns a sum of what it touched, so the work cannot be left out.
std::size_t parseAndVisit(std::string_view bytes);

// Reads and parses the file the way the SCL loader does (in place, elements only), and drops it.
void parseFileInPlace(const std::filesystem::path& file);

} // namespace sw::xml::baseline
