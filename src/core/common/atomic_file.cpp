#include "core/common/atomic_file.h"

#include "core/common/config_error.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <new>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace sw {

std::string systemReason(int errorNumber) {
    return std::strerror(errorNumber);
}

namespace {

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& file, int errorNumber) {
    throw ConfigError("Cannot " + what + " the file \"" + file.string() + "\": " + systemReason(errorNumber));
}

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
            fail("replace", file, error.value());
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    fail("replace", file, ELOOP);
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

// An interrupted save leaves its temporary behind; the next save of the same file clears such
// leftovers. One younger than a minute may belong to a save still running in another process.
void removeStaleTemporaries(const std::filesystem::path& target) {
    const std::string prefix = target.filename().string() + std::string(kTemporaryMark);
    const auto folder = target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    const auto oldest = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(1);
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() != prefix.size() + 6 || !name.starts_with(prefix)) {
            continue;
        }
        std::error_code ignored;
        if (it->is_regular_file(ignored) && it->last_write_time(ignored) < oldest) {
            std::filesystem::remove(it->path(), ignored);
        }
    }
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
        temporary = target;
        temporary += std::string(kTemporaryMark) + randomSuffix();
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            fail("write", file, errno);
        }
    }
    if (fd < 0) {
        fail("write", file, EEXIST);
    }
    Descriptor out(fd);
    const auto abandon = [&](int error) {
        ::unlink(temporary.c_str());
        fail("write", file, error);
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
        auto kept = target;
        kept += std::string(kTemporaryMark) + randomSuffix();
        if (::link(target.c_str(), kept.c_str()) == 0) {
            return kept;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return writeTemporaryFile(target, file, readFileBytes(target, std::numeric_limits<std::uint64_t>::max()));
}

} // namespace

void writeFileAtomically(const std::filesystem::path& file, std::string_view bytes) {
    const std::filesystem::path target = replacedFile(file);
    removeStaleTemporaries(target);
    const std::filesystem::path temporary = writeTemporaryFile(target, file, bytes);
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        fail("replace", file, error);
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
                ::unlink(step.temporary.c_str());
            }
            if (!step.old.empty()) {
                ::unlink(step.old.c_str());
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
        if (::rename(steps[i].temporary.c_str(), steps[i].target.c_str()) == 0) {
            steps[i].replaced = true;
            continue;
        }
        const int error = errno;
        // Back to the old set, in reverse order.
        for (std::size_t k = i; k-- > 0;) {
            if (!steps[k].old.empty()) {
                if (::rename(steps[k].old.c_str(), steps[k].target.c_str()) == 0) {
                    steps[k].old.clear();
                }
            } else {
                ::unlink(steps[k].target.c_str());
            }
        }
        removeLeftovers();
        fail("replace", files[i].file, error);
    }
    removeLeftovers();
    for (const Step& step : steps) {
        syncFolderOf(step.target);
    }
}

std::uint64_t checkReadableFile(const std::filesystem::path& file, std::uint64_t limit) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        fail("read", file, errno);
    }
    if (!S_ISREG(info.st_mode)) {
        throw ConfigError("Cannot read the file \"" + file.string() + "\": it is not a regular file");
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > limit) {
        throw ConfigError("Cannot read the file \"" + file.string() + "\": it holds " + std::to_string(size) +
                          " bytes, more than the limit of " + std::to_string(limit) +
                          " bytes for a file of its kind");
    }
    return size;
}

std::string readFileBytes(const std::filesystem::path& file, std::uint64_t limit) {
    checkReadableFile(file, limit);
    // Opened without waiting, so that a FIFO swapped in after the check cannot block the reader.
    Descriptor in(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (in.get() < 0) {
        fail("read", file, errno);
    }
    struct stat info {};
    if (::fstat(in.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        throw ConfigError("Cannot read the file \"" + file.string() + "\": it is not a regular file");
    }
    std::string bytes;
    try {
        bytes.reserve(static_cast<std::size_t>(info.st_size));
        char buffer[1 << 16];
        for (;;) {
            const ssize_t got = ::read(in.get(), buffer, sizeof buffer);
            if (got == 0) {
                break;
            }
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                fail("read", file, errno);
            }
            bytes.append(buffer, static_cast<std::size_t>(got));
            // A file that grows while it is read is held to the same limit.
            if (bytes.size() > limit) {
                throw ConfigError("Cannot read the file \"" + file.string() +
                                  "\": it grows beyond the limit of " + std::to_string(limit) +
                                  " bytes for a file of its kind");
            }
        }
    } catch (const std::bad_alloc&) {
        throw ConfigError("Not enough memory to read the file \"" + file.string() + "\"");
    }
    return bytes;
}

} // namespace sw
