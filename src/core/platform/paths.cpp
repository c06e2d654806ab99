#include "core/platform/paths.h"

#include <cstdlib>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace sw::platform {

#ifdef _WIN32

std::wstring wideFromUtf8(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const auto size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string utf8FromWide(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const auto size = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

std::filesystem::path pathFromUtf8(std::string_view text) {
    return std::filesystem::path(wideFromUtf8(text));
}

std::string utf8Of(const std::filesystem::path& path) {
    return utf8FromWide(path.native());
}

std::filesystem::path executableFolder() {
    // The module name may be longer than MAX_PATH: grow the buffer until it fits.
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) {
            return std::filesystem::current_path();
        }
        if (length < name.size()) {
            name.resize(length);
            return std::filesystem::path(name).parent_path();
        }
        name.resize(name.size() * 2);
    }
}

// Windows keeps a user's program data in the local application data folder.
UserDataRoots userDataRoots() {
    return {std::getenv("LOCALAPPDATA"), nullptr};
}

// Windows' access check calls every folder writable, Program Files included, whatever its permissions
// say; only creating a file there tells. The probe is hidden, named after the process, and goes when
// its handle closes.
bool folderWritable(const std::filesystem::path& folder) {
    for (unsigned attempt = 0; attempt < 8; ++attempt) {
        const auto probe = folder / (L".sw40512-write-probe-" + std::to_wstring(::GetCurrentProcessId()) +
                                     L"-" + std::to_wstring(attempt));
        const HANDLE handle = ::CreateFileW(
            probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            ::CloseHandle(handle);
            return true;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) {
            return false;
        }
    }
    return false;
}

// Windows would make another folder of the name than the one asked for: it drops trailing blanks and
// dots, takes a colon for a stream or a drive, and reads a device's name (NUL, COM1, ...) as the device
// wherever it stands.
bool folderNameAllowed(std::string_view name) {
    if (name.find_first_of("<>:\"|?*") != std::string_view::npos || name.back() == ' ' ||
        name.back() == '.') {
        return false;
    }
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) {
            return false;
        }
    }
    std::string stem(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ') {
        stem.pop_back();
    }
    for (char& c : stem) {
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    static constexpr std::string_view kDevices[] = {
        "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
        "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
    for (const std::string_view device : kDevices) {
        if (stem == device) {
            return false;
        }
    }
    return true;
}

bool listableFile(const std::filesystem::path& file) {
    constexpr DWORD kAllowed = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_HIDDEN |
                               FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_SPARSE_FILE |
                               FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD attributes = GetFileAttributesW(file.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & ~kAllowed) == 0;
}

FolderCreation createFolderExclusively(const std::filesystem::path& folder) {
    std::error_code error;
    if (!std::filesystem::create_directory(folder, error)) {
        return !error || error == std::errc::file_exists ? FolderCreation::Exists : FolderCreation::Failed;
    }
    return FolderCreation::Created;
}

#else

std::filesystem::path pathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::string(text));
}

std::string utf8Of(const std::filesystem::path& path) {
    return path.native();
}

std::filesystem::path executableFolder() {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return std::filesystem::current_path();
    }
    return executable.parent_path();
}

UserDataRoots userDataRoots() {
    return {std::getenv("XDG_DATA_HOME"), std::getenv("HOME")};
}

bool folderWritable(const std::filesystem::path& folder) {
    return ::access(folder.c_str(), W_OK) == 0;
}

bool folderNameAllowed(std::string_view) {
    return true;
}

bool listableFile(const std::filesystem::path& file) {
    return utf8Of(file.filename()).front() != '.';
}

FolderCreation createFolderExclusively(const std::filesystem::path& folder) {
    if (::mkdir(folder.c_str(), 0755) != 0) {
        return errno == EEXIST ? FolderCreation::Exists : FolderCreation::Failed;
    }
    return FolderCreation::Created;
}

#endif

} // namespace sw::platform
