#include "core/common/error_texts.h"
#include "core/language/builtin_texts.h"
#include "core/language/language_file.h"
#include "core/language/window_texts.h"
#include "core/options/language_list.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using sw::test::TempDir;

void touch(const std::filesystem::path& file) {
    sw::test::writeFile(file, "STR0000 = x\r\n");
}

std::vector<std::string> namesOf(const sw::LanguagePage& page) {
    return {page.slotFiles.begin(), page.slotFiles.end()};
}

TEST(LanguageList, ListsPlainLanguageFilesSortedIgnoringCase) {
    TempDir dir;
    for (const char* name : {"italiano.lng", "English.lng", "Deutsch.lng", "ESPANOL.lng"}) {
        touch(dir / name);
    }
    touch(dir / ".hidden.lng");
    touch(dir / "notes.txt");
    touch(dir / "Upper.LNG");
    touch(dir / "English.bmp");
    std::filesystem::create_directory(dir / "Folder.lng");
#ifdef _WIN32
    // Names are compared ignoring case there, and a dot in front hides nothing; hidden and system files
    // are listed, folders are not.
    touch(dir / "Hidden.lng");
    SetFileAttributesW((dir / "Hidden.lng").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    EXPECT_EQ(sw::languageFiles(dir.path()),
              (std::vector<std::string>{".hidden.lng", "Deutsch.lng", "English.lng", "ESPANOL.lng",
                                        "Hidden.lng", "italiano.lng", "Upper.LNG"}));
#else
    std::filesystem::create_symlink(dir / "English.lng", dir / "Link.lng");
    EXPECT_EQ(sw::languageFiles(dir.path()),
              (std::vector<std::string>{"Deutsch.lng", "English.lng", "ESPANOL.lng", "italiano.lng"}));
#endif
    EXPECT_TRUE(sw::languageFiles(dir / "missing").empty());
}

TEST(LanguageList, PagesHoldSixLanguages) {
    const std::vector<std::string> seven = {"A.lng", "B.lng", "C.lng", "D.lng", "E.lng", "F.lng", "G.lng"};
    const sw::LanguagePage first = sw::languagePage(seven, 1);
    EXPECT_EQ(first.pageCount, 2);
    EXPECT_FALSE(first.previousVisible);
    EXPECT_TRUE(first.nextVisible);
    EXPECT_EQ(namesOf(first),
              (std::vector<std::string>{"A.lng", "B.lng", "C.lng", "D.lng", "E.lng", "F.lng"}));
    const sw::LanguagePage second = sw::languagePage(seven, 2);
    EXPECT_TRUE(second.previousVisible);
    EXPECT_FALSE(second.nextVisible);
    EXPECT_EQ(namesOf(second), (std::vector<std::string>{"G.lng", "", "", "", "", ""}));
    EXPECT_EQ(sw::languageIndexOfSlot(seven, 2, 1), 6u);
    EXPECT_EQ(sw::languageIndexOfSlot(seven, 2, 2), std::nullopt);

    const std::vector<std::string> six(seven.begin(), seven.begin() + 6);
    const sw::LanguagePage only = sw::languagePage(six, 1);
    EXPECT_EQ(only.pageCount, 1);
    EXPECT_FALSE(only.previousVisible);
    EXPECT_FALSE(only.nextVisible);

    // Without languages there are no pages, yet page 1 is what the dialog shows, with "Next" left in view.
    const sw::LanguagePage none = sw::languagePage({}, 1);
    EXPECT_EQ(none.pageCount, 0);
    EXPECT_FALSE(none.previousVisible);
    EXPECT_TRUE(none.nextVisible);
    EXPECT_EQ(namesOf(none), std::vector<std::string>(6));
}

TEST(LanguageList, FlagFallsBackToTheDefaultFlagThenToNone) {
    TempDir dir;
    EXPECT_EQ(sw::flagPicture(dir.path(), "Italiano"), std::nullopt);
    touch(dir / "DefaultFlag.bmp");
    EXPECT_EQ(sw::flagPicture(dir.path(), "Italiano"), dir / "DefaultFlag.bmp");
    touch(dir / "Italiano.bmp");
    EXPECT_EQ(sw::flagPicture(dir.path(), "Italiano"), dir / "Italiano.bmp");
    EXPECT_EQ(sw::languageNameOf("Italiano.lng"), "Italiano");
}

// The language files the program ships.
const std::filesystem::path kShippedLanguages =
    std::filesystem::path(SW_FIXTURES_DIR) / ".." / ".." / "assets" / "LANGUAGE";

// Every text the program's windows and their messages show.
const std::pair<int, int> kShownTexts[] = {{0, 4},
                                           {9, 26},
                                           {100, 110},
                                           {200, 207},
                                           {300, 321},
                                           {400, 426},
                                           {649, 660},
                                           {754, 763},
                                           {1000, 1037},
                                           {1200, 1257},
                                           {sw::kFirstErrorText, sw::kLastErrorText},
                                           {sw::kFirstWindowText, sw::kLastWindowText}};

// The places %1, %2, ... a text fills.
std::string placesOf(const std::string& text) {
    std::string places;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9') {
            places += text[i + 1];
        }
    }
    std::sort(places.begin(), places.end());
    return places;
}

TEST(ShippedLanguages, ItalianTranslatesEveryShownText) {
    sw::LangTable table;
    sw::fillBuiltinTexts(table);
    // The windows' texts may leave indexes free between them.
    const auto shown = [](int index) {
        return index < sw::kFirstWindowText ||
               !sw::englishWindowText(static_cast<sw::WindowText>(index)).empty();
    };
    for (const auto& [first, last] : kShownTexts) {
        for (int index = first; index <= last; ++index) {
            if (shown(index)) {
                table.Put(index, "\x01");
            }
        }
    }
    sw::LoadLanguageFile(table, kShippedLanguages / "Italiano.lng");
    for (const auto& [first, last] : kShownTexts) {
        for (int index = first; index <= last; ++index) {
            EXPECT_NE(table.Get(index), "\x01") << "entry " << index << " is not translated";
        }
    }
    EXPECT_EQ(table.Get(316), "Vuoi cambiare la lingua da ");
    // A translated error fills every place the English one does, and no other.
    for (int index = sw::kFirstErrorText; index <= sw::kLastErrorText; ++index) {
        EXPECT_EQ(placesOf(table.Get(index)),
                  placesOf(std::string(sw::englishErrorText(static_cast<sw::ErrorCode>(index)))))
            << "entry " << index << ": " << table.Get(index);
    }
    for (int index = sw::kFirstWindowText; index <= sw::kLastWindowText; ++index) {
        EXPECT_EQ(placesOf(table.Get(index)),
                  placesOf(std::string(sw::englishWindowText(static_cast<sw::WindowText>(index)))))
            << "entry " << index << ": " << table.Get(index);
    }
}

TEST(ShippedLanguages, EnglishFileRepeatsTheBuiltInTexts) {
    sw::LangTable builtin;
    sw::fillBuiltinTexts(builtin);
    sw::LangTable english = builtin;
    sw::LoadLanguageFile(english, kShippedLanguages / "English.lng");
    for (int index = 0; index < sw::LangTableSize; ++index) {
        EXPECT_EQ(english.Get(index), builtin.Get(index)) << "entry " << index;
    }
    EXPECT_EQ(sw::languageFiles(kShippedLanguages),
              (std::vector<std::string>{"English.lng", "Italiano.lng"}));
    for (const char* name : {"English", "Italiano"}) {
        EXPECT_EQ(sw::flagPicture(kShippedLanguages, name), kShippedLanguages / (std::string(name) + ".bmp"));
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(kShippedLanguages / "DefaultFlag.bmp"));
}

} // namespace
