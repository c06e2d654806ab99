#pragma once

#include "core/parameters/parameter_set.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// The warnings of parameterWarnings() for a project's parameter file; none when there is no such file.
// Throws ConfigError when the file is there but cannot be read.
std::vector<std::string> parameterFileWarnings(const std::filesystem::path& file);

// The converter's own address as the parameter file gives it ("192.168.0.10"), or nothing when the file
// is missing, cannot be read or holds no valid address.
std::optional<std::string> converterAddress(const std::filesystem::path& file);

} // namespace sw
