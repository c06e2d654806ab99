#pragma once

#include "core/parameters/parameter_set.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace sw {

// Reads the project's parameter file. A missing file gives the defaults; each value falls back to its own
// default when its element is missing or does not hold plain text. Throws ConfigError when the file
// exists but cannot be read or parsed.
ParameterSet readParameterFile(const std::filesystem::path& file);

// The same rules over bytes already in memory; `displayName` names them in a parse error.
ParameterSet readParameterBytes(std::string_view bytes, const std::string& displayName);

// The exact bytes of the parameter file for `set`: root Par_Gen with the nineteen values in file order,
// the version comment after it, no declaration, no indentation.
std::string parameterFileBytes(const ParameterSet& set);

// Replaces the parameter file atomically with parameterFileBytes(set). Throws ConfigError naming the file
// and the system's reason.
void writeParameterFile(const std::filesystem::path& file, const ParameterSet& set);

} // namespace sw
