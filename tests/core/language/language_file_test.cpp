#include "core/common/error_texts.h"
#include "core/language/builtin_texts.h"
#include "core/language/language_file.h"
#include "core/language/window_texts.h"

#include "test_support.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <string>
#include <vector>

namespace {

using sw::LangTable;

LangTable englishTable() {
    LangTable table;
    sw::fillBuiltinTexts(table);
    return table;
}

TEST(BuiltinTexts, FillsEveryIndexWithBlanksOutsideTheBlocks) {
    LangTable table;
    table.append("left over from before");
    sw::fillBuiltinTexts(table);
    ASSERT_EQ(table.size(), static_cast<std::size_t>(sw::LangTableSize));

    int blanks = 0;
    for (int i = 0; i < sw::LangTableSize; ++i) {
        ASSERT_FALSE(table.Get(i).empty()) << "index " << i;
        if (table.Get(i) == " ") {
            ++blanks;
        }
    }
    int windowTexts = 0;
    for (int index = sw::kFirstWindowText; index <= sw::kLastWindowText; ++index) {
        windowTexts += sw::englishWindowText(static_cast<sw::WindowText>(index)).empty() ? 0 : 1;
    }
    // The seed's unused indexes, and the gaps between the seed's texts and the program's own.
    EXPECT_EQ(blanks, 888 + (sw::LangTableSize - sw::kSeedTextCount) -
                          (sw::kLastErrorText - sw::kFirstErrorText + 1) - windowTexts);

    const std::vector<std::pair<int, int>> blocks = {{0, 30},
                                                     {100, 110},
                                                     {200, 207},
                                                     {300, 321},
                                                     {400, 763},
                                                     {1000, 1037},
                                                     {1100, 1105},
                                                     {1200, 1257},
                                                     {1300, 1364},
                                                     {1400, 1408},
                                                     {sw::kFirstErrorText, sw::kLastErrorText}};
    for (const auto& [first, last] : blocks) {
        for (int i = first; i <= last; ++i) {
            EXPECT_NE(table.Get(i), " ") << "index " << i;
        }
    }
}

TEST(BuiltinTexts, KeepsBlanksInsideTexts) {
    const LangTable table = englishTable();
    const std::vector<std::pair<int, std::string>> cases = {
        {0, "Begin"},
        {9, "None Configuration Opened "},
        {11, "Opened Configuration of the Converter : "},
        {18, "Error! Project not Valid"},
        {304, "Selected Language : "},
        {305, "Page "},
        {306, " / "},
        {317, " to "},
        {426, "Insert the Application ID of IEC61850 Client"},
        {660, "Error IEC61850 Client!! GATEWAY IP 4 must be between 0 and 255"},
        {763, "Error Serial!! Two Stop Bits can be selected only with None Parity"},
        {1037, "Error!!! Check the Ip Address"},
        {1105, "File already exists. Do you want to overwrite?"},
        {1252, "Error row "},
        {1256, "!! Position must be between 0 and "},
        {1257, "!! Mult. Factor must be a valid Float"},
    };
    for (const auto& [index, text] : cases) {
        EXPECT_EQ(table.Get(index), text) << "index " << index;
    }
}

TEST(BuiltinTexts, ValidationMessagesOfOtherPanelsFollowOnePattern) {
    const LangTable table = englishTable();
    for (int i = 661; i <= 753; ++i) {
        const std::string& text = table.Get(i);
        EXPECT_TRUE(text.starts_with("Error ")) << text;
        EXPECT_NE(text.find("!! "), std::string::npos) << text;
        EXPECT_NE(text.find(" must be between "), std::string::npos) << text;
    }
}

struct LineCase {
    const char* name;
    std::string line;
    int index;
    std::string expected; // the entry after the line; unchanged entries are compared to English
};

class LanguageLine : public testing::TestWithParam<LineCase> {};

TEST_P(LanguageLine, SetsOnlyTheNamedEntry) {
    const LineCase& c = GetParam();
    const LangTable english = englishTable();
    LangTable table = englishTable();
    sw::applyLanguageLine(table, c.line);
    EXPECT_EQ(table.Get(c.index), c.expected);
    for (int i = 0; i < sw::LangTableSize; ++i) {
        if (i != c.index) {
            ASSERT_EQ(table.Get(i), english.Get(i)) << "index " << i << " changed by " << c.line;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LanguageLine,
    testing::Values(
        LineCase{"SeparatedIndex", "STR12 =Informazioni", 12, "Informazioni"},
        LineCase{"DigitBeforeEqualsIsTheSeparator", "STR12=x", 1, "x"},
        LineCase{"LeadingZeros", "STR0304 = Lingua selezionata : ", 304, "Lingua selezionata :"},
        LineCase{"BlanksAroundLineAndText", " \t STR18  =   Errore!   \t", 18, "Errore!"},
        LineCase{"LastIndex", "STR1499 = last", 1499, "last"},
        LineCase{"IndexTooLarge", "STR1500 = x", 1499, " "},
        LineCase{"ProgramsOwnText", "STR2000 = Impossibile leggere \"%1\": %2", 2000,
                 "Impossibile leggere \"%1\": %2"},
        LineCase{"BeyondTheProgramsOwnTexts", "STR2200 = x", 2199, " "},
        LineCase{"NegativeIndex", "STR-1 = x", 0, "Begin"},
        LineCase{"IndexNotANumber", "STR1a = x", 1, "Step 1"}, LineCase{"NoIndex", "STR = x", 0, "Begin"},
        LineCase{"NoEquals", "STR13 Opzioni", 13, "Options"},
        LineCase{"LowerCasePrefix", "str13 = Opzioni", 13, "Options"},
        LineCase{"PrefixNotAtStart", "; STR13 = Opzioni", 13, "Options"},
        LineCase{"EmptyTextKeepsEnglish", "STR13 =   ", 13, "Options"},
        LineCase{"CommentCut", "STR13 = Opzioni /#/ menu caption", 13, "Opzioni"},
        LineCase{"CommentOnlyKeepsEntry", "STR13 = /#/ to translate", 13, "Options"},
        LineCase{"SecondEqualsBelongsToText", "STR13 = a = b", 13, "a = b"},
        LineCase{"PilcrowKeepsBlanks", "STR317 = \xC2\xB6 a \xC2\xB6", 317, " a "},
        LineCase{"PilcrowWithoutClosing", "STR305 = \xC2\xB6Pagina ", 305, "Pagina"},
        LineCase{"PilcrowCutsTrailingText", "STR305 = \xC2\xB6Pagina \xC2\xB6 rest", 305, "Pagina "},
        LineCase{"PilcrowBeforeComment", "STR306 = \xC2\xB6 di \xC2\xB6 /#/ page separator", 306, " di "},
        LineCase{"TextAfterPrefixWithoutBlank", "STR9 = Nessuna", 9, "Nessuna"}),
    [](const testing::TestParamInfo<LineCase>& testCase) { return std::string(testCase.param.name); });

class LanguageFileTest : public testing::Test {
protected:
    sw::test::TempDir dir;
    LangTable table = englishTable();

    void load(const std::string& bytes) {
        sw::test::writeFile(dir / "Test.lng", bytes);
        sw::LoadLanguageFile(table, dir / "Test.lng");
    }
};

TEST_F(LanguageFileTest, OnlyListedEntriesChangeAndLaterDuplicateWins) {
    load("[Italiano]\r\n; header line\r\nSTR18 = Primo\r\n\r\nSTR18 = Errore! Progetto non valido\r\n");
    EXPECT_EQ(table.Get(18), "Errore! Progetto non valido");
    const LangTable english = englishTable();
    for (int i = 0; i < sw::LangTableSize; ++i) {
        if (i != 18) {
            ASSERT_EQ(table.Get(i), english.Get(i)) << "index " << i;
        }
    }
}

TEST_F(LanguageFileTest, MalformedLinesDoNotStopTheRest) {
    load("STR12=x\nSTRx = y\nSTR99999999999 = z\nSTR13 = Opzioni\n");
    EXPECT_EQ(table.Get(1), "x");
    EXPECT_EQ(table.Get(13), "Opzioni");
}

struct EncodingCase {
    const char* name;
    std::string bytes;
    bool withoutMark = false; // read in the ANSI code page on Windows
};

class LanguageFileEncoding : public LanguageFileTest, public testing::WithParamInterface<EncodingCase> {};

// Every encoding carries the same two entries: "Opzioni é" at 13 and "Begin" replaced at 0.
TEST_P(LanguageFileEncoding, DecodesToUtf8) {
#ifdef _WIN32
    // The texts without a mark here are UTF-8 or Windows-1252.
    if (GetParam().withoutMark &&
        (GetACP() != 1252 || GetParam().bytes.find("\xC3\xA9") != std::string::npos)) {
        GTEST_SKIP() << "Windows reads a file without a byte-order mark in the ANSI code page (here "
                     << GetACP() << "), so UTF-8 needs its mark there";
    }
#endif
    load(GetParam().bytes);
    EXPECT_EQ(table.Get(13), "Opzioni \xC3\xA9");
    EXPECT_EQ(table.Get(0), "Inizio");
    EXPECT_EQ(table.Get(12), "Information");
}

std::string utf16(const std::u16string& text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, LanguageFileEncoding,
    testing::Values(
        EncodingCase{"Utf8WithMark", "\xEF\xBB\xBFSTR0 = Inizio\r\nSTR13 = Opzioni \xC3\xA9\r\n"},
        EncodingCase{"Utf8WithoutMark", "STR0 = Inizio\nSTR13 = Opzioni \xC3\xA9\n", true},
        EncodingCase{"Windows1252", "STR0 = Inizio\r\nSTR13 = Opzioni \xE9\r\n", true},
        EncodingCase{"CarriageReturnOnly", "STR0 = Inizio\rSTR13 = Opzioni \xC3\xA9\r", true},
        EncodingCase{"NoFinalLineEnd", "STR0 = Inizio\nSTR13 = Opzioni \xC3\xA9", true},
        EncodingCase{"Utf16LittleEndian", utf16(u"STR0 = Inizio\r\nSTR13 = Opzioni \u00E9\r\n", false)},
        EncodingCase{"Utf16BigEndian", utf16(u"STR0 = Inizio\r\nSTR13 = Opzioni \u00E9\r\n", true)}),
    [](const testing::TestParamInfo<EncodingCase>& testCase) { return std::string(testCase.param.name); });

TEST(LanguageText, DecodesSpecialCharactersOfEachEncoding) {
    // Windows-1252's 0x80 block, a pilcrow byte, a supplementary character and a lone surrogate.
    EXPECT_EQ(sw::decodeLanguageText("\x80\xB6"), "\xE2\x82\xAC\xC2\xB6");
    EXPECT_EQ(sw::decodeLanguageText(utf16(u"\U0001F600", false)), "\xF0\x9F\x98\x80");
    EXPECT_EQ(sw::decodeLanguageText(utf16(u"a", true) + std::string("\xD8\x00", 2)), "a\xEF\xBF\xBD");
    // A file marked UTF-8 with a stray byte stays readable and valid.
    EXPECT_EQ(sw::decodeLanguageText("\xEF\xBB\xBF"
                                     "a\xE9"
                                     "b"),
              "a\xEF\xBF\xBD"
              "b");
}

TEST_F(LanguageFileTest, PilcrowInWindows1252FileQuotesBlanks) {
    load("STR317 = \xB6 a \xB6\r\n");
    EXPECT_EQ(table.Get(317), " a ");
}

TEST_F(LanguageFileTest, MissingFileChangesNothing) {
    sw::LoadLanguageFile(table, dir / "Absent.lng");
    EXPECT_EQ(table.Get(18), "Error! Project not Valid");
}

TEST(LoadLanguage, AppliesNamedFileOverFreshEnglish) {
    sw::test::TempDir dir;
    sw::test::writeFile(dir / "Italiano.lng", "STR13 = Opzioni\n");
    sw::test::writeFile(dir / "English.lng", "STR14 = never read\n");
    LangTable table;
    table.append("stale");
    std::string name = "Italiano";
    sw::LoadLanguage(table, dir.path(), name);
    EXPECT_EQ(name, "Italiano");
    EXPECT_EQ(table.size(), static_cast<std::size_t>(sw::LangTableSize));
    EXPECT_EQ(table.Get(13), "Opzioni");
    EXPECT_EQ(table.Get(14), "Close Configurator");

    // Switching language starts again from English: entry 13 is not left in Italian.
    sw::test::writeFile(dir / "Deutsch.lng", "STR12 = Information DE\n");
    name = "Deutsch";
    sw::LoadLanguage(table, dir.path(), name);
    EXPECT_EQ(table.Get(13), "Options");
    EXPECT_EQ(table.Get(12), "Information DE");
}

TEST(LoadLanguage, FallsBackToEnglish) {
    struct Case {
        std::string storedName;
        bool englishFile;
        std::string expected13;
    };
    const std::vector<Case> cases = {
        {"Removed", false, "Options"},
        {"Removed", true, "Options EN"},
        {"", true, "Options EN"},
        {"../Italiano", true, "Options EN"}, // outside the folder, though such a file exists
    };
    for (const Case& c : cases) {
        sw::test::TempDir root;
        std::filesystem::create_directory(root / "LANGUAGE");
        const std::filesystem::path folder = root / "LANGUAGE";
        sw::test::writeFile(root / "Italiano.lng", "STR13 = Opzioni\n");
        if (c.englishFile) {
            sw::test::writeFile(folder / "English.lng", "STR13 = Options EN\n");
        }
        LangTable table;
        std::string name = c.storedName;
        sw::LoadLanguage(table, folder, name);
        EXPECT_EQ(name, "English") << c.storedName;
        EXPECT_EQ(table.Get(13), c.expected13) << c.storedName;
        EXPECT_EQ(table.size(), static_cast<std::size_t>(sw::LangTableSize));
    }
}

TEST(LoadLanguage, MissingFolderGivesBuiltinEnglish) {
    LangTable table;
    std::string name = "Italiano";
    sw::LoadLanguage(table, "/nonexistent/language/folder", name);
    EXPECT_EQ(name, "English");
    EXPECT_EQ(table.Get(9), "None Configuration Opened ");
}

} // namespace
