#pragma once

#include "core/platform/files.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace sw {

// The largest file each reader accepts: a size checked before reading, so that a link to an endless
// device or a huge file is refused with a clear message instead of exhausting memory.
namespace limits {
inline constexpr std::uint64_t kSettingsFile = std::uint64_t{1} << 20;  // Mendral.xml, ParGen.xml, job file
inline constexpr std::uint64_t kLanguageFile = std::uint64_t{16} << 20; // *.lng
inline constexpr std::uint64_t kImageFile = std::uint64_t{16} << 20;    // bank1.bin, bank2.bin
inline constexpr std::uint64_t kAccessFile = std::uint64_t{256} << 20;  // IEC_61850_Client.xml
inline constexpr std::uint64_t kSclFile = std::uint64_t{1} << 30;       // ICD, SCD
} // namespace limits

// Writes the bytes to a temporary file beside the target, flushes it to disk and renames it over the
// target, so a crash or a full disk never leaves a half-written file. A target that is a symbolic link
// has the file it points to replaced, in that file's folder; a replaced file keeps its permissions.
// Temporaries that an interrupted save of the same file left behind are removed at once; a save holds
// its own temporaries while it runs, so those of a save running elsewhere stay. Throws ConfigError
// naming the file and the system's reason.
void writeFileAtomically(const std::filesystem::path& file, std::string_view bytes);

// Reads a whole regular file of at most `limit` bytes. Anything else (a folder, a FIFO, a device, a
// file over the limit) is refused before reading, with a ConfigError naming the file and the reason.
std::string readFileBytes(const std::filesystem::path& file, std::uint64_t limit);

// Opens a file as readFileBytes does and reads at most `size` bytes of it into `buffer`: the count read,
// fewer only when the file ends first.
std::size_t readFileInto(const std::filesystem::path& file, char* buffer, std::size_t size);

// The same checks without reading, for readers that take the bytes themselves. Returns the size.
std::uint64_t checkReadableFile(const std::filesystem::path& file, std::uint64_t limit);

// The name pattern of the temporaries: the target's name followed by this mark and six characters.
inline constexpr std::string_view kTemporaryMark = ".sw-tmp-";

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

// The system's description of errno, for messages.
using platform::systemReason;

} // namespace sw
