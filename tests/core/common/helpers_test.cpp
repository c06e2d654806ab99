#include "core/common/atomic_file.h"
#include "core/common/config_error.h"
#include "core/common/escaped_text.h"
#include "core/common/ip_address.h"
#include "core/common/numbers.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

TEST(CheckIpAddress, SplitsAndValidates) {
    struct Case {
        const char* text;
        bool valid;
        std::array<std::string, 4> parts;
    };
    const Case cases[] = {
        {"192.168.0.1", true, {"192", "168", "0", "1"}},
        {" 192 . 168 . 0 . 1 ", true, {"192", "168", "0", "1"}},
        {"192.168.0", false, {}},
        {"192.168.0.1.5", false, {}},
        {"192.168..1", false, {}},
        {"192.168.0.256", false, {}},
        {"a.b.c.d", false, {}},
        {"-1.0.0.0", false, {}},
    };
    for (const auto& c : cases) {
        std::array<std::string, 4> parts;
        EXPECT_EQ(sw::checkIpAddress(c.text, parts), c.valid) << c.text;
        if (c.valid) {
            EXPECT_EQ(parts, c.parts) << c.text;
        }
    }
}

TEST(CanonicalIpAddress, LeadingZerosAreDecimalAndDropped) {
    struct Case {
        const char* typed;
        std::optional<std::string> canonical;
    };
    const Case cases[] = {
        {"127.0.0.1", "127.0.0.1"},
        {"127.000.000.001", "127.0.0.1"},
        {"0127.0.0.1", "127.0.0.1"},
        {"192.168.000.010", "192.168.0.10"},
        {"010.008.009.0255", "10.8.9.255"},
        {"000.000.000.000", "0.0.0.0"},
        {" 192 . 168 . 2 . 205 ", "192.168.2.205"},
        {"00000000256.0.0.1", std::nullopt},
        {"192.168.0", std::nullopt},
        {"192.168.0.1.", std::nullopt},
        {"0x7f.0.0.1", std::nullopt},
        {"+1.0.0.1", std::nullopt},
        {"a.b.c.d", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sw::canonicalIpAddress(c.typed), c.canonical) << c.typed;
        if (c.canonical) {
            // The canonical form is a fixed point, and names the same 32-bit address as the typed one.
            EXPECT_EQ(sw::canonicalIpAddress(*c.canonical), c.canonical);
            EXPECT_EQ(sw::ipv4Address(*c.canonical), sw::ipv4Address(c.typed)) << c.typed;
        }
    }
}

TEST(IntegerParser, AcceptsOnlyPlainDecimalWholeNumbers) {
    struct Case {
        const char* text;
        std::optional<std::int32_t> value;
    };
    const Case cases[] = {{"0", 0},
                          {"010", 10},
                          {" 7", 7},
                          {"-5", -5},
                          {"+5", 5},
                          {"7 ", std::nullopt},
                          {"", std::nullopt},
                          {"-", std::nullopt},
                          {"0x10", std::nullopt},
                          {"$10", std::nullopt},
                          {"1.5", std::nullopt},
                          {"2147483647", 2147483647},
                          {"-2147483648", -2147483647 - 1},
                          {"2147483648", std::nullopt},
                          {"99999999999", std::nullopt}};
    for (const auto& c : cases) {
        EXPECT_EQ(sw::parseInteger(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(CheckFloat, AcceptsEitherDecimalMark) {
    struct Case {
        const char* text;
        char separator;
        bool ok;
        float value;
    };
    const Case cases[] = {{"1.5", ',', true, 1.5F},    {"1,5", ',', true, 1.5F},
                          {"1,5", '.', true, 1.5F},    {"-2.25", '.', true, -2.25F},
                          {"1e3", ',', true, 1000.0F}, {"abc", ',', false, 1.0F},
                          {"", ',', false, 1.0F},      {"1,000.5", ',', false, 1.0F},
                          {"inf", '.', false, 1.0F},   {"1e39", '.', false, 1.0F}};
    for (const auto& c : cases) {
        float value = 0;
        EXPECT_EQ(sw::checkFloat(c.text, c.separator, value), c.ok) << c.text;
        EXPECT_FLOAT_EQ(value, c.value) << c.text;
    }
    // Without the mark substitution only the given separator counts.
    EXPECT_EQ(sw::parseFloat("2,5", ','), 2.5);
    EXPECT_EQ(sw::parseFloat("2.5", ','), std::nullopt);
}

TEST(DecimalSeparator, AnythingButCommaOrPointGivesComma) {
    EXPECT_EQ(sw::decimalSeparatorFrom("."), '.');
    EXPECT_EQ(sw::decimalSeparatorFrom(","), ',');
    EXPECT_EQ(sw::decimalSeparatorFrom(";"), ',');
    EXPECT_EQ(sw::decimalSeparatorFrom(""), ',');
}

#ifndef _WIN32
// Sets the three locale variables for one test and puts back what was there.
class LocaleEnvironment {
public:
    LocaleEnvironment() {
        for (std::size_t i = 0; i < kNames.size(); ++i) {
            if (const char* value = std::getenv(kNames[i])) {
                m_saved[i] = value;
            }
        }
    }
    ~LocaleEnvironment() {
        for (std::size_t i = 0; i < kNames.size(); ++i) {
            set(kNames[i], m_saved[i]);
        }
    }
    static void set(const char* name, const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    static constexpr std::array<const char*, 3> kNames = {"LC_ALL", "LC_NUMERIC", "LANG"};

private:
    std::array<std::optional<std::string>, 3> m_saved;
};

// Only the C locale exists on every machine: it gives "."; a locale that does not exist gives ",".
// Which variable decides therefore shows in the answer.
#endif

TEST(DecimalSeparator, LcAllThenLcNumericThenLangDecide) {
#ifdef _WIN32
    GTEST_SKIP()
        << "Windows takes the separator from the user's regional settings, not from locale variables";
#else
    struct Case {
        std::optional<std::string> lcAll, lcNumeric, lang;
        char expected;
    };
    const std::optional<std::string> none;
    const std::string c = "C";
    const std::string bogus = "xx_NOWHERE.UTF-8";
    const Case cases[] = {
        {c, bogus, bogus, '.'}, {bogus, c, c, ','},       {"", c, bogus, '.'},     {none, bogus, c, ','},
        {"", "", c, '.'},       {none, none, bogus, ','}, {none, none, none, ','}, {"", "", "", ','},
    };
    const LocaleEnvironment restore;
    for (const Case& t : cases) {
        LocaleEnvironment::set("LC_ALL", t.lcAll);
        LocaleEnvironment::set("LC_NUMERIC", t.lcNumeric);
        LocaleEnvironment::set("LANG", t.lang);
        EXPECT_EQ(sw::userDecimalSeparator(), t.expected)
            << t.lcAll.value_or("(unset)") << " / " << t.lcNumeric.value_or("(unset)") << " / "
            << t.lang.value_or("(unset)");
    }
#endif
}

std::vector<std::string> entriesOf(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(sw::utf8Of(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AtomicFile, ReplacesWholeFileAndLeavesOldOneOnFailure) {
    sw::test::TempDir dir;
    const auto file = dir / "data.bin";
    sw::writeFileAtomically(file, "a long first version");
    sw::writeFileAtomically(file, "short");
    EXPECT_EQ(sw::test::readFile(file), "short");

    EXPECT_THROW(sw::writeFileAtomically(dir / "missing" / "x.bin", "x"), sw::ConfigError);
    std::filesystem::create_directory(dir / "folder");
    EXPECT_THROW(sw::writeFileAtomically(dir / "folder", "x"), sw::ConfigError);
    std::filesystem::remove(dir / "folder");
#ifndef _WIN32
    if (geteuid() != 0) {
        ::chmod(dir.path().c_str(), 0500);
        EXPECT_THROW(sw::writeFileAtomically(file, "new"), sw::ConfigError);
        ::chmod(dir.path().c_str(), 0700);
        EXPECT_EQ(sw::test::readFile(file), "short");
    }
#endif
    EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"data.bin"});
}

// The disk fills up in the middle of a save: a child process may write only a few bytes per file.
TEST(AtomicFile, WriteFailingPartWayLeavesTheOldFileByteIdentical) {
#ifdef _WIN32
    GTEST_SKIP()
        << "a full disk is played by a file-size limit of a child process, which Windows does not have";
#else
    sw::test::TempDir dir;
    const auto file = dir / "ParGen.xml";
    const std::string old = "<Par_Gen><IEC61850_Client_IP1>10</IEC61850_Client_IP1></Par_Gen>";
    sw::test::writeFile(file, old);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{16, 16};
        ::setrlimit(RLIMIT_FSIZE, &small);
        try {
            sw::writeFileAtomically(file, std::string(4096, 'x'));
        } catch (const sw::ConfigError& error) {
            const bool named = std::string(error.what()).find("ParGen.xml") != std::string::npos;
            _exit(named ? 3 : 4);
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << "the failed save must be reported, naming the file";
    EXPECT_EQ(sw::test::readFile(file), old);
    EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"ParGen.xml"});
#endif
}

// A reader that holds the file open (the core's readers share deletion on Windows for this) keeps
// reading the old content; the name has the new one at once.
TEST(AtomicFile, ReplacesAFileThatAnotherHandleHasOpenForReading) {
    sw::test::TempDir dir;
    const auto file = dir / "bank1.bin";
    sw::test::writeFile(file, "old content");
#ifdef _WIN32
    HANDLE reader =
        CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    sw::writeFileAtomically(file, "new content");
    char buffer[64];
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(reader, buffer, sizeof buffer, &got, nullptr));
    CloseHandle(reader);
    const std::string seen(buffer, got);
#else
    std::ifstream reader(file, std::ios::binary);
    ASSERT_TRUE(reader.is_open());
    sw::writeFileAtomically(file, "new content");
    const std::string seen{std::istreambuf_iterator<char>(reader), std::istreambuf_iterator<char>()};
#endif
    EXPECT_EQ(seen, "old content");
    EXPECT_EQ(sw::test::readFile(file), "new content");
    EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"bank1.bin"});
}

TEST(AtomicFile, NextSaveRemovesLeftoverTemporariesAtOnceButNotThoseOfASaveStillRunning) {
    sw::test::TempDir dir;
    const auto file = dir / "ParGen.xml";
    // Left by saves that were killed: just written, but nobody holds them any more.
    const auto killed = dir / "ParGen.xml.sw-tmp-k1ll3d";
    const auto other = dir / "Other.xml.sw-tmp-k1ll3d";
    for (const auto& path : {killed, other}) {
        sw::test::writeFile(path, "<Par_Gen>");
    }
    // A save of the same file running elsewhere holds its temporary, as every save does.
    sw::platform::HeldFile running = sw::platform::writeTemporaryFile(file, sw::kTemporaryMark, "<Par_Gen>");
    const std::string runningName = sw::utf8Of(running.path.filename());
    {
        // The same hold taken by hand: a lock on POSIX, an open handle on Windows.
        const auto heldByHand = dir / "ParGen.xml.sw-tmp-h4ndh1";
        sw::test::writeFile(heldByHand, "<Par_Gen>");
#ifdef _WIN32
        HANDLE hold = CreateFileW(heldByHand.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(hold, INVALID_HANDLE_VALUE);
#else
        const int hold = ::open(heldByHand.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(hold, 0);
        ASSERT_EQ(::flock(hold, LOCK_EX | LOCK_NB), 0);
#endif
        sw::writeFileAtomically(file, "new");
        std::vector<std::string> left{"Other.xml.sw-tmp-k1ll3d", "ParGen.xml", "ParGen.xml.sw-tmp-h4ndh1",
                                      runningName};
        std::sort(left.begin(), left.end());
        EXPECT_EQ(entriesOf(dir.path()), left);
#ifdef _WIN32
        CloseHandle(hold);
#else
        ::close(hold);
#endif
    }
    // The running save goes on undisturbed and puts its file in place.
    sw::platform::releaseForRename(running);
    EXPECT_EQ(sw::platform::renameOver(running.path, file), "");
    running.hold.close();
    EXPECT_EQ(sw::test::readFile(file), "<Par_Gen>");

    // Once its save is gone, a temporary is a leftover: the next save removes it at once, whatever its age.
    sw::writeFileAtomically(file, "newer");
    EXPECT_EQ(entriesOf(dir.path()), (std::vector<std::string>{"Other.xml.sw-tmp-k1ll3d", "ParGen.xml"}));
    EXPECT_EQ(sw::test::readFile(file), "newer");
}

TEST(AtomicFile, ReplacingThroughALinkReplacesItsTargetAndKeepsTheMode) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows files have no mode, and symbolic links there need a privilege";
#else
    sw::test::TempDir dir;
    std::filesystem::create_directory(dir / "real");
    const auto target = dir / "real" / "Mendral.xml";
    sw::test::writeFile(target, "old");
    ::chmod(target.c_str(), 0600);
    std::filesystem::create_symlink("real/Mendral.xml", dir / "Mendral.xml");

    sw::writeFileAtomically(dir / "Mendral.xml", "new");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "Mendral.xml"));
    EXPECT_EQ(sw::test::readFile(target), "new");
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(entriesOf(dir / "real"), std::vector<std::string>{"Mendral.xml"});
#endif
}

TEST(FileReading, RefusesWhatIsNotARegularFileWithinItsLimitWithoutBlocking) {
    sw::test::TempDir dir;
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((dir / "fifo.xml").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir / "zero.xml");
#endif
    std::filesystem::create_directory(dir / "folder.xml");
    sw::test::writeFile(dir / "big.xml", std::string(2048, ' '));
    sw::test::writeFile(dir / "fits.xml", std::string(1024, ' '));
    struct Case {
        const char* name;
        const char* reason;
    };
    const Case cases[] = {
#ifdef _WIN32
        // No FIFOs there, and devices are no files in a folder.
        {"folder.xml", "not a regular file"},
        {"big.xml", "limit of 1024 bytes"},
        {"missing.xml", nullptr}
#else
        {"fifo.xml", "not a regular file"},
        {"zero.xml", "not a regular file"},
        {"folder.xml", "not a regular file"},
        {"big.xml", "limit of 1024 bytes"},
        {"missing.xml", "No such file"}
#endif
    };
    for (const Case& c : cases) {
        try {
            sw::readFileBytes(dir / c.name, 1024);
            ADD_FAILURE() << c.name << " was read";
        } catch (const sw::ConfigError& error) {
            const std::string text = error.what();
            EXPECT_NE(text.find(c.name), std::string::npos) << text;
#ifdef _WIN32
            const std::string reason =
                c.reason != nullptr ? c.reason : sw::platform::windowsReason(ERROR_FILE_NOT_FOUND);
#else
            const std::string reason = c.reason;
#endif
            EXPECT_NE(text.find(reason), std::string::npos) << text;
        }
    }
    EXPECT_EQ(sw::readFileBytes(dir / "fits.xml", 1024).size(), 1024u);
}

} // namespace

namespace {

TEST(NumberFastPaths, AgreeWithTheFullConversions) {
    const char* texts[] = {"0",
                           "7",
                           "010",
                           "102",
                           "999999999",
                           "1000000000",
                           "2147483647",
                           "2147483648",
                           "-5",
                           " 7",
                           "7 ",
                           "",
                           "+",
                           "1,5",
                           "1.5",
                           "0,1",
                           ",5",
                           "5,",
                           "123456789012345,6",
                           "1234567890123456",
                           "1e3",
                           "abc",
                           "12a",
                           "00000000000000000001",
                           "-0,25"};
    for (const char* text : texts) {
        EXPECT_EQ(sw::parseTerminatedInteger(text), sw::parseInteger(text)) << '"' << text << '"';
        for (char separator : {',', '.'}) {
            EXPECT_EQ(sw::parseTerminatedFloat(text, separator), sw::parseFloat(text, separator))
                << '"' << text << "\" with " << separator;
        }
    }
}

} // namespace

namespace {

TEST(EscapeControlCharacters, LeavesOneLineOfPrintableTextWhateverTheInput) {
    const struct {
        std::string text;
        const char* shown;
    } cases[] = {
        {"Plain name, ä € 😀", "Plain name, ä € 😀"},
        {"C:\\Temp\\a.icd", "C:\\Temp\\a.icd"}, // a Windows path keeps its look
        {"line\nfeed\rreturn\ttab", "line\\nfeed\\rreturn\\ttab"},
        {std::string("nul\0bell\x07"
                     "esc\x1B[2J"
                     "del\x7F",
                     20),
         "nul\\x00bell\\x07esc\\x1B[2Jdel\\x7F"},
        {"c1 \xC2\x85 \xC2\x9B"
         "2J nbsp \xC2\xA0",
         "c1 \\u0085 \\u009B2J nbsp \xC2\xA0"},
        {"bare \x9B"
         "2J \xFF \xC3",
         "bare \\x9B2J \\xFF \\xC3"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sw::escapeControlCharacters(c.text), c.shown);
    }
    // A value read back exactly, and a quoted one, double the backslash.
    EXPECT_EQ(sw::escapeControlCharacters("a\\nb", true), "a\\\\nb");
    std::string quoted;
    sw::appendEscaped(quoted, "say \"hi\"\\\n", '"');
    EXPECT_EQ(quoted, "say \\\"hi\\\"\\\\\\n");
}

} // namespace
