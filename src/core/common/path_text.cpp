#include "core/common/path_text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace sw {

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

#else

std::filesystem::path pathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::string(text));
}

std::string utf8Of(const std::filesystem::path& path) {
    return path.native();
}

#endif

} // namespace sw
