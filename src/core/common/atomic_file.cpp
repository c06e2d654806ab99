#include "core/common/atomic_file.h"

#include "core/common/config_error.h"
#include "core/common/path_text.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <new>
#include <random>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace sw {

std::string systemReason(int errorNumber) {
    return std::strerror(errorNumber);
}

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

std::string randomSuffix() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        suffix += kLetters[random() % (sizeof kLetters - 1)];
    }
    return suffix;
}

std::filesystem::path temporaryBeside(const std::filesystem::path& target) {
    std::filesystem::path temporary = target;
    temporary += std::string(kTemporaryMark) + randomSuffix();
    return temporary;
}

#ifdef _WIN32

} // namespace

std::string windowsReason(unsigned long code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring reason = length > 0 ? std::wstring(text, length) : std::wstring();
    LocalFree(text);
    while (!reason.empty() && (reason.back() == L'\r' || reason.back() == L'\n' || reason.back() == L'.')) {
        reason.pop_back();
    }
    return reason.empty() ? "system error " + std::to_string(code) : utf8FromWide(reason);
}

namespace {

std::string lastReason() {
    return windowsReason(GetLastError());
}

// A handle closed on every way out.
class Handle {
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle() {
        if (valid()) {
            CloseHandle(m_handle);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }
    HANDLE get() const { return m_handle; }
    bool close() {
        const bool closed = CloseHandle(m_handle) != 0;
        m_handle = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE m_handle;
};

void removeFile(const std::filesystem::path& file) {
    DeleteFileW(file.c_str());
}

// Writes and flushes a temporary file of the recognisable name beside `target` and returns its name;
// removes it again on failure. `file` is the name the user knows, for messages.
std::filesystem::path writeTemporaryFile(const std::filesystem::path& target,
                                         const std::filesystem::path& file, std::string_view bytes) {
    std::filesystem::path temporary;
    HANDLE created = INVALID_HANDLE_VALUE;
    for (int attempt = 0; created == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
        temporary = temporaryBeside(target);
        created = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
        if (created == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            fail(FileStep::Write, file, lastReason());
        }
    }
    if (created == INVALID_HANDLE_VALUE) {
        fail(FileStep::Write, file, lastReason());
    }
    Handle out(created);
    const auto abandon = [&](const std::string& reason) {
        if (out.valid()) {
            out.close();
        }
        removeFile(temporary);
        fail(FileStep::Write, file, reason);
    };
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(left, std::size_t{1} << 30));
        DWORD written = 0;
        if (!WriteFile(out.get(), data, chunk, &written, nullptr)) {
            abandon(lastReason());
        }
        data += written;
        left -= written;
    }
    if (!FlushFileBuffers(out.get())) {
        abandon(lastReason());
    }
    if (!out.close()) {
        abandon(lastReason());
    }
    return temporary;
}

// A program that holds the file open without letting others delete it (a virus scanner, an indexer, an
// editor) blocks the replacement; such holds are usually short, so the rename is tried again for a
// while before the save is given up. Returns the reason of the last failure, empty on success.
std::string renameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return {};
        }
        DWORD error = GetLastError();
        // A target that is open, even by a reader that allows its deletion, cannot be renamed over;
        // ReplaceFileW moves it aside first, and such a reader keeps reading the old content.
        const DWORD attributes = GetFileAttributesW(to.c_str());
        const bool regularTarget =
            attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
        if (regularTarget && (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)) {
            if (ReplaceFileW(to.c_str(), from.c_str(), nullptr,
                             REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                             nullptr)) {
                return {};
            }
            if (const DWORD replaceError = GetLastError(); replaceError != ERROR_FILE_NOT_FOUND) {
                error = replaceError;
            }
        }
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt >= 20) {
            return windowsReason(error);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// MOVEFILE_WRITE_THROUGH has the rename on disk before it returns.
void syncFolderOf(const std::filesystem::path&) {}

std::filesystem::path keepOldContent(const std::filesystem::path& target, const std::filesystem::path& file) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        return {};
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path kept = temporaryBeside(target);
        if (CreateHardLinkW(kept.c_str(), target.c_str(), nullptr)) {
            return kept;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    return writeTemporaryFile(target, file, readFileBytes(target, std::numeric_limits<std::uint64_t>::max()));
}

// Opened for reading so that others may still read, write, rename and replace the file meanwhile: a
// save of this very file by another program is never blocked by our reading it.
HANDLE openForReading(const std::filesystem::path& file) {
    HANDLE handle =
        CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        fail(FileStep::Read, file, lastReason());
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        CloseHandle(handle);
        notRegular(file);
    }
    return handle;
}

// Reads up to `size` bytes; fewer only at the end of the file.
std::size_t readSome(HANDLE handle, const std::filesystem::path& file, char* buffer, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(size - got, std::size_t{1} << 30));
        DWORD read = 0;
        if (!ReadFile(handle, buffer + got, chunk, &read, nullptr)) {
            fail(FileStep::Read, file, lastReason());
        }
        if (read == 0) {
            break;
        }
        got += read;
    }
    return got;
}

#else

// A descriptor closed on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    // Closes now, so that a failing close is seen; returns close's result.
    int close() {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

void removeFile(const std::filesystem::path& file) {
    ::unlink(file.c_str());
}

// Writes and flushes a temporary file of the recognisable name beside `target` and returns its name;
// removes it again on failure. It gets the mode of the file it will replace, or the usual mode under
// the umask for a new file. `file` is the name the user knows, for messages.
std::filesystem::path writeTemporaryFile(const std::filesystem::path& target,
                                         const std::filesystem::path& file, std::string_view bytes) {
    struct stat existing {};
    const bool replacing = ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);

    std::filesystem::path temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = temporaryBeside(target);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            fail(FileStep::Write, file, systemReason(errno));
        }
    }
    if (fd < 0) {
        fail(FileStep::Write, file, systemReason(EEXIST));
    }
    Descriptor out(fd);
    const auto abandon = [&](int error) {
        ::unlink(temporary.c_str());
        fail(FileStep::Write, file, systemReason(error));
    };
    if (replacing && ::fchmod(out.get(), existing.st_mode & 07777) != 0) {
        abandon(errno);
    }
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(out.get(), data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            abandon(errno);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    if (::fsync(out.get()) != 0 || out.close() != 0) {
        abandon(errno);
    }
    return temporary;
}

// Returns the reason of the failure, empty on success.
std::string renameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? std::string() : systemReason(errno);
}

// The renames themselves reach the disk with the folder.
void syncFolderOf(const std::filesystem::path& target) {
    const auto folder = target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    Descriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0) {
        ::fsync(directory.get());
    }
}

// A second name for a regular file's present content, so that it can be put back after the file was
// replaced; empty when there is no such file. A hard link costs nothing; where the file system has
// none, the content is copied.
std::filesystem::path keepOldContent(const std::filesystem::path& target, const std::filesystem::path& file) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return {};
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path kept = temporaryBeside(target);
        if (::link(target.c_str(), kept.c_str()) == 0) {
            return kept;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return writeTemporaryFile(target, file, readFileBytes(target, std::numeric_limits<std::uint64_t>::max()));
}

// Opened without waiting, so that a FIFO swapped in after the check cannot block the reader.
int openForReading(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        fail(FileStep::Read, file, systemReason(errno));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        notRegular(file);
    }
    return fd;
}

// Reads up to `size` bytes; fewer only at the end of the file.
std::size_t readSome(int fd, const std::filesystem::path& file, char* buffer, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, buffer + got, size - got);
        if (n == 0) {
            break;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(FileStep::Read, file, systemReason(errno));
        }
        got += static_cast<std::size_t>(n);
    }
    return got;
}

#endif

#ifdef _WIN32
using ReadHandle = Handle;
#else
using ReadHandle = Descriptor;
#endif

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

// An interrupted save leaves its temporary behind; the next save of the same file clears such
// leftovers. One younger than a minute may belong to a save still running in another process.
void removeStaleTemporaries(const std::filesystem::path& target) {
    const std::string prefix = utf8Of(target.filename()) + std::string(kTemporaryMark);
    const auto folder = target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    const auto oldest = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(1);
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = utf8Of(it->path().filename());
        if (name.size() != prefix.size() + 6 || !name.starts_with(prefix)) {
            continue;
        }
        std::error_code ignored;
        if (it->is_regular_file(ignored) && it->last_write_time(ignored) < oldest) {
            std::filesystem::remove(it->path(), ignored);
        }
    }
}

} // namespace

void writeFileAtomically(const std::filesystem::path& file, std::string_view bytes) {
    const std::filesystem::path target = replacedFile(file);
    removeStaleTemporaries(target);
    const std::filesystem::path temporary = writeTemporaryFile(target, file, bytes);
    if (const std::string reason = renameOver(temporary, target); !reason.empty()) {
        removeFile(temporary);
        fail(FileStep::Replace, file, reason);
    }
    syncFolderOf(target);
}

void replaceFilesAtomically(std::span<const FileContent> files) {
    struct Step {
        std::filesystem::path target;
        std::filesystem::path temporary;
        std::filesystem::path old; // empty: there was no old file to put back
        bool replaced = false;
    };
    std::vector<Step> steps;
    steps.reserve(files.size());
    const auto removeLeftovers = [&steps] {
        for (const Step& step : steps) {
            if (!step.replaced && !step.temporary.empty()) {
                removeFile(step.temporary);
            }
            if (!step.old.empty()) {
                removeFile(step.old);
            }
        }
    };
    try {
        for (const FileContent& content : files) {
            const std::filesystem::path target = replacedFile(content.file);
            removeStaleTemporaries(target);
            steps.push_back({target, writeTemporaryFile(target, content.file, content.bytes), {}, false});
        }
        for (std::size_t i = 0; i < files.size(); ++i) {
            steps[i].old = keepOldContent(steps[i].target, files[i].file);
        }
    } catch (const ConfigError&) {
        removeLeftovers();
        throw;
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string reason = renameOver(steps[i].temporary, steps[i].target);
        if (reason.empty()) {
            steps[i].replaced = true;
            continue;
        }
        // Back to the old set, in reverse order.
        for (std::size_t k = i; k-- > 0;) {
            if (!steps[k].old.empty()) {
                if (renameOver(steps[k].old, steps[k].target).empty()) {
                    steps[k].old.clear();
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
#ifdef _WIN32
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &info)) {
        fail(FileStep::Read, file, lastReason());
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        notRegular(file);
    }
    const std::uint64_t size = std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
#else
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        fail(FileStep::Read, file, systemReason(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        notRegular(file);
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
#endif
    if (size > limit) {
        overLimit(file, size, limit);
    }
    return size;
}

std::size_t readFileInto(const std::filesystem::path& file, char* buffer, std::size_t size) {
    const ReadHandle in(openForReading(file));
    return readSome(in.get(), file, buffer, size);
}

std::string readFileBytes(const std::filesystem::path& file, std::uint64_t limit) {
    const std::uint64_t expected = checkReadableFile(file, limit);
    const ReadHandle in(openForReading(file));
    std::string bytes;
    try {
        bytes.reserve(static_cast<std::size_t>(expected));
        char buffer[1 << 16];
        for (;;) {
            const std::size_t got = readSome(in.get(), file, buffer, sizeof buffer);
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
