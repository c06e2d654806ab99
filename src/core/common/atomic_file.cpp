#include "core/common/atomic_file.h"

#include "core/common/config_error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

std::filesystem::path temporaryName(const std::filesystem::path& file) {
    std::random_device random;
    auto name = file;
    name += ".tmp" + std::to_string(random() % 1000000);
    return name;
}

} // namespace

void writeFileAtomically(const std::filesystem::path& file, std::string_view bytes) {
    const auto temporary = temporaryName(file);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        fail("write", file, errno);
    }
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            ::close(fd);
            ::unlink(temporary.c_str());
            fail("write", file, error);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        fail("write", file, error);
    }
    if (::rename(temporary.c_str(), file.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        fail("replace", file, error);
    }
}

namespace {

// Writes and flushes a temporary file beside `file` and returns its name; removes it again on failure.
std::filesystem::path writeTemporaryFile(const std::filesystem::path& file, std::string_view bytes) {
    const auto temporary = temporaryName(file);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        fail("write", file, errno);
    }
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            ::close(fd);
            ::unlink(temporary.c_str());
            fail("write", file, error);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    if (::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        fail("write", file, error);
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        fail("write", file, error);
    }
    return temporary;
}

// A second name for a regular file's present content, so that it can be put back after the file was
// replaced; empty when there is no such file. A hard link costs nothing; where the file system has
// none, the content is copied.
std::filesystem::path keepOldContent(const std::filesystem::path& file) {
    struct stat info {};
    if (::lstat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return {};
    }
    const auto kept = temporaryName(file);
    if (::link(file.c_str(), kept.c_str()) == 0) {
        return kept;
    }
    return writeTemporaryFile(file, readFileBytes(file));
}

} // namespace

void replaceFilesAtomically(std::span<const FileContent> files) {
    struct Step {
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
            steps.push_back({writeTemporaryFile(content.file, content.bytes), {}, false});
        }
        for (std::size_t i = 0; i < files.size(); ++i) {
            steps[i].old = keepOldContent(files[i].file);
        }
    } catch (const ConfigError&) {
        removeLeftovers();
        throw;
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (::rename(steps[i].temporary.c_str(), files[i].file.c_str()) == 0) {
            steps[i].replaced = true;
            continue;
        }
        const int error = errno;
        // Back to the old set, in reverse order.
        for (std::size_t k = i; k-- > 0;) {
            if (!steps[k].old.empty()) {
                if (::rename(steps[k].old.c_str(), files[k].file.c_str()) == 0) {
                    steps[k].old.clear();
                }
            } else {
                ::unlink(files[k].file.c_str());
            }
        }
        removeLeftovers();
        fail("replace", files[i].file, error);
    }
    removeLeftovers();
}

std::string readFileBytes(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        fail("read", file, errno);
    }
    std::string bytes;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_size > 0) {
        bytes.reserve(static_cast<std::size_t>(info.st_size));
    }
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0) {
            break;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            ::close(fd);
            fail("read", file, error);
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return bytes;
}

} // namespace sw
