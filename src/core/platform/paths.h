#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace sw::platform {

// Paths to and from the core's UTF-8 text. On Windows a path is UTF-16 and the narrow conversions of
// std::filesystem go through the ANSI code page, which cannot hold every name a user gives a project
// folder; these two convert as UTF-8 everywhere (and change no byte on POSIX).
std::filesystem::path pathFromUtf8(std::string_view text);
std::string utf8Of(const std::filesystem::path& path);

#ifdef _WIN32
// UTF-16 of the Windows API to and from UTF-8; what is not well-formed becomes U+FFFD.
std::wstring wideFromUtf8(std::string_view text);
std::string utf8FromWide(std::wstring_view text);
#endif

// The folder of the running program; the current folder when the system does not tell.
std::filesystem::path executableFolder();

// What the system says of the per-user data folder: the folder the user's programs keep their data
// in, and the home folder to fall back on. Either is null when unset; the folder for the program's own
// data is chosen from them by the caller.
struct UserDataRoots {
    const char* dataHome = nullptr;
    const char* home = nullptr;
};
UserDataRoots userDataRoots();

// Whether the user may create files in the folder.
bool folderWritable(const std::filesystem::path& folder);

// Whether the system makes a folder of exactly this name, one that is not a device: the rules Windows
// adds to the separators every system refuses. `name` is a non-empty name without separators.
bool folderNameAllowed(std::string_view name);

// Whether names that differ only in case name the same file.
#ifdef _WIN32
inline constexpr bool kNamesIgnoreCase = true;
#else
inline constexpr bool kNamesIgnoreCase = false;
#endif

// What a program's file name ends in.
#ifdef _WIN32
inline constexpr std::string_view kProgramSuffix = ".exe";
#else
inline constexpr std::string_view kProgramSuffix = "";
#endif

// Whether a regular file is one to list to the user: not hidden by the system's convention and no
// system special (on Windows its attributes, on POSIX a name that does not start with a dot).
bool listableFile(const std::filesystem::path& file);

// Creates one folder, failing when the name exists already.
enum class FolderCreation { Created, Exists, Failed };
FolderCreation createFolderExclusively(const std::filesystem::path& folder);

} // namespace sw::platform
