#include "core/common/atomic_file.h"

#include "core/common/config_error.h"
#include "core/common/path_text.h"

#include "core/platform/files.h"

#include <cerrno>
#include <chrono>
#include <limits>
#include <new>
#include <vector>

namespace sw {

namespace {

// What a failed file operation was about: reading, writing, or putting the new file in place.
enum class FileStep { Read, Write, Replace };

[[noreturn]] void fail(FileStep step, const std::filesystem::path& file, const std::string& reason) {
    const ErrorCode code = step == FileStep::Read    ? ErrorCode::CannotReadFile
                           : step == FileStep::Write ? ErrorCode::CannotWriteFile
                                                     : ErrorCode::CannotReplaceFile;
    throw ConfigError(code, {utf8Of(file), reason});
}

[[noreturn]] void notRegular(const std::filesystem::path& file) {
    throw ConfigError(ErrorCode::NotRegularFile, {utf8Of(file)});
}

[[noreturn]] void overLimit(const std::filesystem::path& file, std::uint64_t size, std::uint64_t limit) {
    throw ConfigError(ErrorCode::FileOverLimit, {utf8Of(file), std::to_string(size), std::to_string(limit)});
}

// Runs one step of the system's file work and reports its failure under `file`, the name the user knows.
template <class Action> auto onFile(FileStep step, const std::filesystem::path& file, Action action) {
    try {
        return action();
    } catch (const platform::FileFailure& failure) {
        fail(step, file, failure.reason);
    } catch (const platform::NotRegularFile&) {
        notRegular(file);
    }
}

// Writes and flushes a temporary file of the recognisable name beside `target` and returns it, held
// until the save is done; removes it again on failure. `file` is the name the user knows, for messages.
platform::HeldFile writeTemporaryFile(const std::filesystem::path& target, const std::filesystem::path& file,
                                      std::string_view bytes) {
    return onFile(FileStep::Write, file,
                  [&] { return platform::writeTemporaryFile(target, kTemporaryMark, bytes); });
}

// A second name for a regular file's present content, so that it can be put back after the file was
// replaced; empty when there is no such file. A hard link costs nothing; where the file system has
// none, the content is copied.
platform::HeldFile keepOldContent(const std::filesystem::path& target, const std::filesystem::path& file) {
    if (!platform::isPlainRegularFile(target)) {
        return {};
    }
    if (platform::HeldFile kept = platform::hardLinkBeside(target, kTemporaryMark); !kept.path.empty()) {
        return kept;
    }
    return writeTemporaryFile(target, file, readFileBytes(target, std::numeric_limits<std::uint64_t>::max()));
}

platform::FileHandle openForReading(const std::filesystem::path& file) {
    return onFile(FileStep::Read, file, [&] { return platform::openForReading(file); });
}

std::size_t readSome(const platform::FileHandle& in, const std::filesystem::path& file, char* buffer,
                     std::size_t size) {
    return onFile(FileStep::Read, file, [&] { return platform::readSome(in, buffer, size); });
}

using platform::removeFile;
using platform::renameOver;
using platform::syncFolderOf;

// Follows symbolic links to the file that really gets replaced; a dangling link names the file it
// would create. A loop of links is reported as the system reports it.
std::filesystem::path replacedFile(const std::filesystem::path& file) {
    std::filesystem::path target = file;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        const auto status = std::filesystem::symlink_status(target, error);
        if (error || !std::filesystem::is_symlink(status)) {
            return target;
        }
        const std::filesystem::path next = std::filesystem::read_symlink(target, error);
        if (error) {
            fail(FileStep::Replace, file, error.message());
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    fail(FileStep::Replace, file, systemReason(ELOOP));
}

// An interrupted save leaves its temporary behind; the next save of the same file removes such
// leftovers at once. A save holds its temporaries while it runs, so one that is still held belongs to a
// save running in another process and stays.
void removeLeftoverTemporaries(const std::filesystem::path& target) {
    const std::string prefix = utf8Of(target.filename()) + std::string(kTemporaryMark);
    const auto folder = target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = utf8Of(it->path().filename());
        if (name.size() != prefix.size() + 6 || !name.starts_with(prefix)) {
            continue;
        }
        platform::removeUnlessHeld(it->path());
    }
}

} // namespace

void writeFileAtomically(const std::filesystem::path& file, std::string_view bytes) {
    const std::filesystem::path target = replacedFile(file);
    removeLeftoverTemporaries(target);
    platform::HeldFile temporary = writeTemporaryFile(target, file, bytes);
    platform::releaseForRename(temporary);
    if (const std::string reason = renameOver(temporary.path, target); !reason.empty()) {
        removeFile(temporary.path);
        fail(FileStep::Replace, file, reason);
    }
    syncFolderOf(target);
}

void replaceFilesAtomically(std::span<const FileContent> files) {
    struct Step {
        std::filesystem::path target;
        platform::HeldFile temporary;
        platform::HeldFile old; // an empty path: there was no old file to put back
        bool replaced = false;
    };
    std::vector<Step> steps;
    steps.reserve(files.size());
    const auto removeLeftovers = [&steps] {
        for (const Step& step : steps) {
            if (!step.replaced && !step.temporary.path.empty()) {
                removeFile(step.temporary.path);
            }
            if (!step.old.path.empty()) {
                removeFile(step.old.path);
            }
        }
    };
    try {
        for (const FileContent& content : files) {
            const std::filesystem::path target = replacedFile(content.file);
            removeLeftoverTemporaries(target);
            steps.push_back({target, writeTemporaryFile(target, content.file, content.bytes), {}, false});
        }
        for (std::size_t i = 0; i < files.size(); ++i) {
            steps[i].old = keepOldContent(steps[i].target, files[i].file);
        }
    } catch (const ConfigError&) {
        removeLeftovers();
        throw;
    }
    for (Step& step : steps) {
        platform::releaseForRename(step.temporary);
        platform::releaseForRename(step.old);
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string reason = renameOver(steps[i].temporary.path, steps[i].target);
        if (reason.empty()) {
            steps[i].replaced = true;
            continue;
        }
        // Back to the old set, in reverse order.
        for (std::size_t k = i; k-- > 0;) {
            if (!steps[k].old.path.empty()) {
                if (renameOver(steps[k].old.path, steps[k].target).empty()) {
                    steps[k].old.path.clear();
                }
            } else {
                removeFile(steps[k].target);
            }
        }
        removeLeftovers();
        fail(FileStep::Replace, files[i].file, reason);
    }
    removeLeftovers();
    for (const Step& step : steps) {
        syncFolderOf(step.target);
    }
}

std::uint64_t checkReadableFile(const std::filesystem::path& file, std::uint64_t limit) {
    const std::uint64_t size = onFile(FileStep::Read, file, [&] { return platform::regularFileSize(file); });
    if (size > limit) {
        overLimit(file, size, limit);
    }
    return size;
}

std::size_t readFileInto(const std::filesystem::path& file, char* buffer, std::size_t size) {
    const platform::FileHandle in = openForReading(file);
    return readSome(in, file, buffer, size);
}

std::string readFileBytes(const std::filesystem::path& file, std::uint64_t limit) {
    const std::uint64_t expected = checkReadableFile(file, limit);
    const platform::FileHandle in = openForReading(file);
    std::string bytes;
    try {
        bytes.reserve(static_cast<std::size_t>(expected));
        char buffer[1 << 16];
        for (;;) {
            const std::size_t got = readSome(in, file, buffer, sizeof buffer);
            bytes.append(buffer, got);
            // A file that grows while it is read is held to the same limit.
            if (bytes.size() > limit) {
                throw ConfigError(ErrorCode::FileGrowsOverLimit, {utf8Of(file), std::to_string(limit)});
            }
            if (got < sizeof buffer) {
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        throw ConfigError(ErrorCode::NoMemoryForFile, {utf8Of(file)});
    }
    return bytes;
}

} // namespace sw
