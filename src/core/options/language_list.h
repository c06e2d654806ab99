#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sw {

// Six languages share one page of the Options dialog.
inline constexpr int kLanguagesPerPage = 6;

// The language files of the folder ("English.lng", ...), file names as written, sorted ignoring letter
// case. Only plain files are listed: folders, links, devices and hidden dot-files are left out, and on
// Windows files whose attributes go beyond archive, normal, hidden, system, sparse and not indexed.
std::vector<std::string> languageFiles(const std::filesystem::path& languageFolder);

// (n + 5) div 6: 0 when there is no language at all.
int languagePageCount(std::size_t languages);

// A language's name: its file name without the last four characters (".lng").
std::string languageNameOf(const std::string& fileName);

// What one page of the language list shows.
struct LanguagePage {
    int page = 1;
    int pageCount = 0;
    bool previousVisible = false;
    bool nextVisible = false;
    // The file names of the six slots; an empty name is a hidden slot.
    std::array<std::string, kLanguagesPerPage> slotFiles;
};

LanguagePage languagePage(const std::vector<std::string>& files, int page);

// Index into the list of slot k (1 to 6) of the page, or nullopt when that slot shows no language.
std::optional<std::size_t> languageIndexOfSlot(const std::vector<std::string>& files, int page, int slot);

// The flag picture of a language: "<name>.bmp" of the folder, else "DefaultFlag.bmp", else none.
std::optional<std::filesystem::path> flagPicture(const std::filesystem::path& languageFolder,
                                                 const std::string& name);

} // namespace sw
