#include "core/platform/files.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
#include <thread>

#ifdef _WIN32
#include "core/platform/paths.h"

#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace sw::platform {

std::string systemReason(int errorNumber) {
    return std::strerror(errorNumber);
}

namespace {

std::string randomSuffix() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        suffix += kLetters[random() % (sizeof kLetters - 1)];
    }
    return suffix;
}

[[noreturn]] void failWith(std::string reason) {
    throw FileFailure{std::move(reason)};
}

} // namespace

std::filesystem::path temporaryBeside(const std::filesystem::path& target, std::string_view mark) {
    std::filesystem::path temporary = target;
    temporary += std::string(mark) + randomSuffix();
    return temporary;
}

#ifdef _WIN32

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

} // namespace

void removeFile(const std::filesystem::path& file) {
    DeleteFileW(file.c_str());
}

// The handle that writes a temporary is its hold: it lets the file be renamed and removed, but a
// cleaner's exclusive open fails for as long as it is open.
HeldFile writeTemporaryFile(const std::filesystem::path& target, std::string_view mark,
                            std::string_view bytes) {
    std::filesystem::path temporary;
    HANDLE created = INVALID_HANDLE_VALUE;
    for (int attempt = 0; created == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
        temporary = temporaryBeside(target, mark);
        created = CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            failWith(lastReason());
        }
    }
    if (created == INVALID_HANDLE_VALUE) {
        failWith(lastReason());
    }
    FileHandle out(created);
    const auto abandon = [&](const std::string& reason) {
        if (out.valid()) {
            out.close();
        }
        removeFile(temporary);
        failWith(reason);
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
    return {temporary, std::move(out)};
}

void releaseForRename(HeldFile& file) {
    file.hold.close();
}

bool removeUnlessHeld(const std::filesystem::path& file) {
    // Opened with no sharing at all, the file is free of every other handle; closing it removes it.
    HANDLE only = CreateFileW(file.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (only == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(only);
    return true;
}

// A program that holds the file open without letting others delete it (a virus scanner, an indexer, an
// editor) blocks the replacement; such holds are usually short, so the rename is tried again for a
// while before the save is given up.
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

bool isPlainRegularFile(const std::filesystem::path& file) {
    const DWORD attributes = GetFileAttributesW(file.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

HeldFile hardLinkBeside(const std::filesystem::path& target, std::string_view mark) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path kept = temporaryBeside(target, mark);
        // Not held: a handle on the link is a handle on the target, which the rename must replace.
        if (CreateHardLinkW(kept.c_str(), target.c_str(), nullptr)) {
            return {kept, {}};
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    return {};
}

std::uint64_t regularFileSize(const std::filesystem::path& file) {
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &info)) {
        failWith(lastReason());
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throw NotRegularFile{};
    }
    return std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
}

// A save of this very file by another program is never blocked by our reading it.
FileHandle openForReading(const std::filesystem::path& file) {
    FileHandle handle(CreateFileW(file.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.valid()) {
        failWith(lastReason());
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(handle.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throw NotRegularFile{};
    }
    return handle;
}

std::size_t readSome(const FileHandle& in, char* buffer, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(size - got, std::size_t{1} << 30));
        DWORD read = 0;
        if (!ReadFile(in.get(), buffer + got, chunk, &read, nullptr)) {
            failWith(lastReason());
        }
        if (read == 0) {
            break;
        }
        got += read;
    }
    return got;
}

#else

void removeFile(const std::filesystem::path& file) {
    ::unlink(file.c_str());
}

namespace {

// Whether the name still leads to the open file: a cleaner may have removed it before the lock was
// taken, and a save may have renamed it since.
bool nameLeadsTo(int fd, const std::filesystem::path& name) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(name.c_str(), &named) == 0 && S_ISREG(named.st_mode) &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// Takes the advisory lock of a file this save has just made under `name`. Fails when a cleaner holds it
// (it took the new file for a leftover and is removing it) or has removed it already.
bool holdNewFile(int fd, const std::filesystem::path& name) {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0 && nameLeadsTo(fd, name);
}

} // namespace

// The lock lives with the open file description: the hold is a duplicate of the writing descriptor, so
// that the writer can be closed (and its errors seen) while the lock stays.
HeldFile writeTemporaryFile(const std::filesystem::path& target, std::string_view mark,
                            std::string_view bytes) {
    struct stat existing {};
    const bool replacing = ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);

    std::filesystem::path temporary;
    FileHandle out;
    for (int attempt = 0; !out.valid() && attempt < 100; ++attempt) {
        temporary = temporaryBeside(target, mark);
        out.reset(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!out.valid() && errno != EEXIST) {
            failWith(systemReason(errno));
        }
        if (out.valid() && !holdNewFile(out.get(), temporary)) {
            out.reset(); // the cleaner that holds it removes it
        }
    }
    if (!out.valid()) {
        failWith(systemReason(EEXIST));
    }
    const auto abandon = [&](int error) {
        ::unlink(temporary.c_str());
        failWith(systemReason(error));
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
    FileHandle hold(::fcntl(out.get(), F_DUPFD_CLOEXEC, 0));
    if (!hold.valid() || ::fsync(out.get()) != 0 || !out.close()) {
        abandon(errno);
    }
    return {temporary, std::move(hold)};
}

void releaseForRename(HeldFile&) {}

bool removeUnlessHeld(const std::filesystem::path& file) {
    // Any access will do for the lock; a temporary with the mode of a write-only target is opened so.
    FileHandle fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!fd.valid()) {
        fd.reset(::open(file.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    }
    if (!fd.valid() || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || !nameLeadsTo(fd.get(), file)) {
        return false;
    }
    // Removed while locked, so that a save cannot take it for its own in between.
    return ::unlink(file.c_str()) == 0;
}

std::string renameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? std::string() : systemReason(errno);
}

void syncFolderOf(const std::filesystem::path& target) {
    const auto folder = target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    const FileHandle directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.valid()) {
        ::fsync(directory.get());
    }
}

bool isPlainRegularFile(const std::filesystem::path& file) {
    struct stat info {};
    return ::lstat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

HeldFile hardLinkBeside(const std::filesystem::path& target, std::string_view mark) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path kept = temporaryBeside(target, mark);
        if (::link(target.c_str(), kept.c_str()) == 0) {
            // The link shares the target's lock: when another save holds a link of the same file, this
            // one copies instead.
            FileHandle hold(::open(kept.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
            if (!hold.valid() || !holdNewFile(hold.get(), kept)) {
                if (hold.valid()) {
                    ::unlink(kept.c_str());
                }
                return {};
            }
            return {kept, std::move(hold)};
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return {};
}

std::uint64_t regularFileSize(const std::filesystem::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        failWith(systemReason(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        throw NotRegularFile{};
    }
    return static_cast<std::uint64_t>(info.st_size);
}

FileHandle openForReading(const std::filesystem::path& file) {
    FileHandle fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) {
        failWith(systemReason(errno));
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        throw NotRegularFile{};
    }
    return fd;
}

std::size_t readSome(const FileHandle& in, char* buffer, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(in.get(), buffer + got, size - got);
        if (n == 0) {
            break;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            failWith(systemReason(errno));
        }
        got += static_cast<std::size_t>(n);
    }
    return got;
}

#endif

} // namespace sw::platform
