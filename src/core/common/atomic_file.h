#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace sw {

// Writes the bytes to a temporary file beside the target, flushes it to disk and renames it over the
// target, so a crash or a full disk never leaves a half-written file. Throws ConfigError naming the
// file and the system's reason.
void writeFileAtomically(const std::filesystem::path& file, std::string_view bytes);

// Reads a whole file; throws ConfigError naming the file and the system's reason.
std::string readFileBytes(const std::filesystem::path& file);

// The system's description of errno, for messages.
std::string systemReason(int errorNumber);

} // namespace sw
