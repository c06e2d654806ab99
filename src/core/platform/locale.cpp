#include "core/platform/locale.h"

#ifdef _WIN32
#include "core/platform/paths.h"

#include <climits>
#include <windows.h>
#else
#include <cstdlib>
#include <langinfo.h>
#include <locale.h>
#endif

namespace sw::platform {

#ifdef _WIN32

std::string userDecimalSymbol() {
    wchar_t separator[8] = {};
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) == 0) {
        return {};
    }
    return utf8FromWide(separator);
}

std::optional<std::string> decodeAnsiCodePage(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        return std::string();
    }
    const auto size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), length);
    return utf8FromWide(wide);
}

#else

std::string userDecimalSymbol() {
    const char* name = std::getenv("LC_ALL");
    if (name == nullptr || *name == 0) {
        name = std::getenv("LC_NUMERIC");
    }
    if (name == nullptr || *name == 0) {
        name = std::getenv("LANG");
    }
    if (name == nullptr || *name == 0) {
        return {};
    }
    locale_t locale = newlocale(LC_NUMERIC_MASK, name, static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr)) {
        return {};
    }
    const char* separator = nl_langinfo_l(RADIXCHAR, locale);
    std::string result = separator != nullptr ? separator : "";
    freelocale(locale);
    return result;
}

std::optional<std::string> decodeAnsiCodePage(std::string_view) {
    return std::nullopt;
}

#endif

} // namespace sw::platform
