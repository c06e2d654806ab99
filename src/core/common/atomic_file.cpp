#include "core/common/atomic_file.h"

#include "core/common/config_error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

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
