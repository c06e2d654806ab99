#pragma once

#include "core/platform/handle.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// The system's side of reading and atomically replacing files. Failures are thrown as FileFailure with
// the system's reason, or NotRegularFile, for the caller to report under the name the user knows.
namespace sw::platform {

struct FileFailure {
    std::string reason;
};

// The file is a folder, a FIFO, a device or anything else but a regular file.
struct NotRegularFile {};

// The system's description of errno, for messages.
std::string systemReason(int errorNumber);

#ifdef _WIN32
// The system's description of a Windows error code, for messages.
std::string windowsReason(unsigned long code);
#endif

// A name beside `target` that no file has yet, as far as chance goes: the target's name, `mark` and six
// random letters or digits.
std::filesystem::path temporaryBeside(const std::filesystem::path& target, std::string_view mark);

// A temporary file of a save and the handle by which the save holds it: while the handle is open, no
// other save takes the file for a leftover (an advisory lock on POSIX; on Windows any open handle keeps
// the cleaner's exclusive open out). The hold does not stop the file from being renamed or removed.
struct HeldFile {
    std::filesystem::path path;
    FileHandle hold;
};

// Writes and flushes a new file of a temporaryBeside name, held from the moment it exists, and returns
// it; removes it again on failure. On POSIX it gets the mode of the regular file `target`, or the usual
// mode under the umask when there is none.
HeldFile writeTemporaryFile(const std::filesystem::path& target, std::string_view mark,
                            std::string_view bytes);

// Lets go of a held temporary where the system cannot rename a file that a handle holds open (Windows:
// the rename and ReplaceFileW want it free, so there the hold ends just before the rename, and a kept
// hard link, which is the target itself, is not held); on POSIX the lock stays until the save is done.
void releaseForRename(HeldFile& file);

// Removes `file` when no save holds it: a save that was killed left it behind. A file held by a save
// running in this or another process stays. True when it was removed.
bool removeUnlessHeld(const std::filesystem::path& file);

// Puts `from` in the place of `to`, waiting a while for programs that briefly hold `to` open (Windows).
// Returns the reason of the failure, empty on success.
std::string renameOver(const std::filesystem::path& from, const std::filesystem::path& to);

// Has the renames in the target's folder reach the disk.
void syncFolderOf(const std::filesystem::path& target);

// Removes a file, ignoring failure.
void removeFile(const std::filesystem::path& file);

// Whether the name itself (not what a link points to) is a regular file.
bool isPlainRegularFile(const std::filesystem::path& file);

// A second name beside a regular file for the same content, made as a hard link and held as a temporary
// of writeTemporaryFile is; an empty path when the file system has none or the link cannot be held.
HeldFile hardLinkBeside(const std::filesystem::path& target, std::string_view mark);

// The size of a regular file, following links.
std::uint64_t regularFileSize(const std::filesystem::path& file);

// Opens a regular file for reading, so that others may still read, write, rename and replace it, and
// without waiting, so that a FIFO swapped in after a check cannot block the reader.
FileHandle openForReading(const std::filesystem::path& file);

// Reads up to `size` bytes; fewer only at the end of the file.
std::size_t readSome(const FileHandle& in, char* buffer, std::size_t size);

} // namespace sw::platform
