#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace sw {

// Writes the bytes to a temporary file beside the target, flushes it to disk and renames it over the
// target, so a crash or a full disk never leaves a half-written file. Throws ConfigError naming the
// file and the system's reason.
void writeFileAtomically(const std::filesystem::path& file, std::string_view bytes);

struct FileContent {
    std::filesystem::path file;
    std::string_view bytes;
};

// Replaces files that belong together as a unit: every new content is written in full to a temporary
// file beside its target and flushed before any target is replaced, and when a replacement fails the
// targets already replaced get their old content back (or go again, if they did not exist), so the
// files on disk are either all old or all new. Throws ConfigError naming the file and the system's
// reason.
void replaceFilesAtomically(std::span<const FileContent> files);

// Reads a whole file; throws ConfigError naming the file and the system's reason.
std::string readFileBytes(const std::filesystem::path& file);

// The system's description of errno, for messages.
std::string systemReason(int errorNumber);

} // namespace sw
