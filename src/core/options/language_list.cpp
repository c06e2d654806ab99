#include "core/options/language_list.h"

#include "core/common/path_text.h"
#include "core/platform/paths.h"

#include <algorithm>
#include <system_error>

namespace sw {

namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool lessIgnoringCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return lowerAscii(x) < lowerAscii(y); });
}

bool hasLanguageExtension(const std::string& name) {
    static constexpr std::string_view kExtension = ".lng";
    if (name.size() < kExtension.size()) {
        return false;
    }
    const std::string_view tail = std::string_view(name).substr(name.size() - kExtension.size());
    if constexpr (platform::kNamesIgnoreCase) {
        return std::equal(tail.begin(), tail.end(), kExtension.begin(),
                          [](char x, char y) { return lowerAscii(x) == y; });
    }
    // The name without ".lng" must find the file again when the language is loaded, and names here
    // are case-sensitive.
    return tail == kExtension;
}

bool listable(const std::filesystem::directory_entry& entry) {
    std::error_code error;
    // The entry itself must be a plain file: a link may point anywhere, a folder or device is no text.
    if (!entry.is_regular_file(error) || entry.is_symlink(error)) {
        return false;
    }
    return platform::listableFile(entry.path());
}

} // namespace

std::vector<std::string> languageFiles(const std::filesystem::path& languageFolder) {
    std::vector<std::string> files;
    std::error_code error;
    std::filesystem::directory_iterator it(languageFolder, error);
    if (error) {
        return files;
    }
    for (const std::filesystem::directory_iterator end; it != end; it.increment(error)) {
        if (error) {
            break;
        }
        std::string name = utf8Of(it->path().filename());
        if (hasLanguageExtension(name) && listable(*it)) {
            files.push_back(std::move(name));
        }
    }
    // Equal names apart from case keep a fixed order, whatever order the folder gave them in.
    std::sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
        if (lessIgnoringCase(a, b)) {
            return true;
        }
        return !lessIgnoringCase(b, a) && a < b;
    });
    return files;
}

int languagePageCount(std::size_t languages) {
    return static_cast<int>((languages + kLanguagesPerPage - 1) / kLanguagesPerPage);
}

std::string languageNameOf(const std::string& fileName) {
    return fileName.substr(0, fileName.size() >= 4 ? fileName.size() - 4 : 0);
}

LanguagePage languagePage(const std::vector<std::string>& files, int page) {
    LanguagePage shown;
    shown.page = page;
    shown.pageCount = languagePageCount(files.size());
    shown.previousVisible = page != 1;
    shown.nextVisible = page != shown.pageCount;
    for (int slot = 1; slot <= kLanguagesPerPage; ++slot) {
        if (const auto index = languageIndexOfSlot(files, page, slot)) {
            shown.slotFiles[static_cast<std::size_t>(slot - 1)] = files[*index];
        }
    }
    return shown;
}

std::optional<std::size_t> languageIndexOfSlot(const std::vector<std::string>& files, int page, int slot) {
    if (page < 1 || slot < 1 || slot > kLanguagesPerPage) {
        return std::nullopt;
    }
    const auto index =
        static_cast<std::size_t>(page - 1) * kLanguagesPerPage + static_cast<std::size_t>(slot - 1);
    if (index >= files.size()) {
        return std::nullopt;
    }
    return index;
}

std::optional<std::filesystem::path> flagPicture(const std::filesystem::path& languageFolder,
                                                 const std::string& name) {
    std::error_code error;
    for (const std::filesystem::path& candidate :
         {languageFolder / pathFromUtf8(name + ".bmp"), languageFolder / "DefaultFlag.bmp"}) {
        if (std::filesystem::is_regular_file(candidate, error)) {
            return candidate;
        }
    }
    return std::nullopt;
}

} // namespace sw
