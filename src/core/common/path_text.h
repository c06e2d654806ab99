#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace sw {

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

} // namespace sw
