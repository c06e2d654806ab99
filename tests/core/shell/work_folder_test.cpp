#include "core/platform/paths.h"
#include "core/shell/settings.h"
#include "core/shell/startup.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

namespace {

using sw::test::readFile;
using sw::test::TempDir;
using sw::test::writeFile;

const std::string kOpensDemo =
    "<Conf_Settings><lastproj><projectname>Demo</projectname></lastproj></Conf_Settings>";

// An installed program folder with its shipped defaults.
struct Installed {
    TempDir program;
    TempDir data;

    Installed() {
        std::filesystem::create_directories(program / "PROJECTS" / "Demo" / "ICD_Catalog");
        std::filesystem::create_directories(program / "LANGUAGE");
        std::filesystem::create_directories(program / "MASTER");
        writeFile(program / "Mendral.xml", kOpensDemo);
        writeFile(program / "PROJECTS" / "Demo" / "ParGen.xml", "shipped");
        writeFile(program / "PROJECTS" / "Demo" / "ICD_Catalog" / "bay.icd", "<SCL/>");
        writeFile(program / "LANGUAGE" / "Italiano.lng", "shipped");
        writeFile(program / "Ethernet_Update", "updater");
    }
    std::filesystem::path user() const { return data / "sw40512"; }
};

TEST(WorkFolder, UserDataFolderFollowsXdgThenHome) {
#ifdef _WIN32
    GTEST_SKIP() << "the XDG rule is the POSIX one; Windows takes the local application data folder";
#endif
    struct Case {
        const char* xdg;
        const char* home;
        std::filesystem::path expected;
    };
    const Case cases[] = {
        {"/x/data", "/home/u", "/x/data/sw40512"},
        {"relative/data", "/home/u", "/home/u/.local/share/sw40512"},
        {"", "/home/u", "/home/u/.local/share/sw40512"},
        {nullptr, "/home/u", "/home/u/.local/share/sw40512"},
        {nullptr, nullptr, {}},
        {"", "", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sw::userDataFolder(c.xdg, c.home), c.expected)
            << (c.xdg ? c.xdg : "(unset)") << " " << (c.home ? c.home : "(unset)");
    }
}

TEST(WorkFolder, WritableProgramFolderIsItsOwnWorkFolder) {
    Installed installed;
    EXPECT_EQ(sw::prepareWorkFolder(installed.program.path(), true, installed.user()),
              installed.program.path());
    EXPECT_FALSE(std::filesystem::exists(installed.user()));
    // Without a known data folder the program folder stays the work folder; saving reports the failure.
    EXPECT_EQ(sw::prepareWorkFolder(installed.program.path(), false, {}), installed.program.path());
}

// The question the start asks of the program folder: a folder one may create files in, leaving nothing
// behind; a folder that is not there is not writable. (Windows' own access check says every folder is.)
TEST(WorkFolder, WritableFolderIsOneAFileCanBeCreatedIn) {
    TempDir dir;
    EXPECT_TRUE(sw::platform::folderWritable(dir.path()));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    EXPECT_FALSE(sw::platform::folderWritable(dir / "missing"));
}

TEST(WorkFolder, FirstStartFromReadOnlyInstallOpensTheDemoInTheUserFolder) {
#ifdef _WIN32
    GTEST_SKIP() << "lays out the POSIX installation (updater without .exe, file times set by hand), which "
                    "the Windows installation does not share";
#endif
    Installed installed;
    const auto work = sw::prepareWorkFolder(installed.program.path(), false, installed.user());
    ASSERT_EQ(work, installed.user());
    EXPECT_EQ(readFile(work / "PROJECTS" / "Demo" / "ICD_Catalog" / "bay.icd"), "<SCL/>");
    EXPECT_EQ(readFile(work / "LANGUAGE" / "Italiano.lng"), "shipped");
    // Packages ship files dated before the day of the copy: only a later shipped file may replace it.
    EXPECT_EQ(std::filesystem::last_write_time(work / "LANGUAGE" / "Italiano.lng"),
              std::filesystem::last_write_time(installed.program / "LANGUAGE" / "Italiano.lng"));
    EXPECT_EQ(readFile(work / "Ethernet_Update"), "updater");

    sw::ProgramState state;
    EXPECT_EQ(sw::startProgramState(state, installed.program.path(), work), sw::SettingsSource::Read);
    EXPECT_EQ(state.session.activeProjectFolder, work / "PROJECTS" / "Demo");
    EXPECT_EQ(state.session.project().parGenFile(), work / "PROJECTS" / "Demo" / "ParGen.xml");
    EXPECT_EQ(state.session.languageFolder, work / "LANGUAGE");
    EXPECT_EQ(state.session.masterFolder, installed.program / "MASTER");
    EXPECT_EQ(sw::settingsFile(state), work / "Mendral.xml");
}

TEST(WorkFolder, LaterStartsKeepWhatTheUserHasAndRefreshOnlyNewerShippedFiles) {
#ifdef _WIN32
    GTEST_SKIP() << "lays out the POSIX installation (updater without .exe, file times set by hand), which "
                    "the Windows installation does not share";
#endif
    Installed installed;
    const auto work = sw::prepareWorkFolder(installed.program.path(), false, installed.user());
    writeFile(work / "Mendral.xml",
              "<Conf_Settings><lastproj><projectname>Plant</projectname></lastproj></Conf_Settings>");
    writeFile(work / "LANGUAGE" / "Deutsch.lng", "mine");
    std::filesystem::remove_all(work / "PROJECTS" / "Demo");
    std::filesystem::remove(work / "Ethernet_Update");
    // A package upgrade ships a later language file.
    writeFile(installed.program / "LANGUAGE" / "Italiano.lng", "upgraded");
    std::filesystem::last_write_time(installed.program / "LANGUAGE" / "Italiano.lng",
                                     std::filesystem::last_write_time(work / "LANGUAGE" / "Italiano.lng") +
                                         std::chrono::hours(1));

    ASSERT_EQ(sw::prepareWorkFolder(installed.program.path(), false, installed.user()), work);
    EXPECT_NE(readFile(work / "Mendral.xml").find("Plant"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(work / "PROJECTS" / "Demo")) << "a deleted demo stays deleted";
    EXPECT_EQ(readFile(work / "LANGUAGE" / "Deutsch.lng"), "mine");
    EXPECT_EQ(readFile(work / "LANGUAGE" / "Italiano.lng"), "upgraded");
    EXPECT_EQ(readFile(work / "Ethernet_Update"), "updater");

    // The user's own edit of a shipped file is newer than the shipped one and stays.
    writeFile(work / "LANGUAGE" / "Italiano.lng", "edited");
    std::filesystem::last_write_time(
        work / "LANGUAGE" / "Italiano.lng",
        std::filesystem::last_write_time(installed.program / "LANGUAGE" / "Italiano.lng") +
            std::chrono::hours(1));
    sw::prepareWorkFolder(installed.program.path(), false, installed.user());
    EXPECT_EQ(readFile(work / "LANGUAGE" / "Italiano.lng"), "edited");
}

} // namespace
