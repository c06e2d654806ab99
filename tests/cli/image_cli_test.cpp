#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

std::filesystem::path imageFixture(const std::string& name) {
    return std::filesystem::path(SW_FIXTURES_DIR) / "image" / name;
}

// A project folder holding the parameter file and the data-set access file, without a bin folder.
void makeProject(const std::filesystem::path& folder) {
    std::filesystem::copy_file(imageFixture("ParGen.xml"), folder / "ParGen.xml");
    std::filesystem::copy_file(imageFixture("access_data_set.xml"), folder / "IEC_61850_Client.xml");
}

TEST(ImageCommands, BuildThenDumpRoundTrip) {
    sw::test::TempDir project;
    makeProject(project.path());
    const auto built =
        sw::test::runProcess({SW_CLI_PATH, "build", sw::utf8Of(project.path()), "--decimal-separator", ","});
    ASSERT_EQ(built.exitCode, 0) << built.stderrText;

    const std::string bank2 = sw::test::readFile(project / "bin" / "bank2.bin");
    ASSERT_EQ(bank2.size(), 267u);
    EXPECT_EQ(bank2.substr(0x64 + 4, 4), std::string("\x00\x00\x20\x40", 4)) << "2,5 read with the comma";
    EXPECT_EQ(sw::test::readFile(project / "bin" / "bank1.bin").size(), 2048u);

    const auto dump1 = sw::test::runProcess({SW_CLI_PATH, "dump", sw::utf8Of(project / "bin" / "bank1.bin")});
    EXPECT_EQ(dump1.exitCode, 0) << dump1.stdoutText;
    EXPECT_NE(dump1.stdoutText.find("192.168.0.10"), std::string::npos) << dump1.stdoutText;
    const auto dump2 = sw::test::runProcess({SW_CLI_PATH, "dump", sw::utf8Of(project / "bin" / "bank2.bin")});
    EXPECT_EQ(dump2.exitCode, 0) << dump2.stdoutText;
    EXPECT_NE(dump2.stdoutText.find("\"IED1CTRL/LLN0.Events\" @0x800AD"), std::string::npos)
        << dump2.stdoutText;
}

TEST(ImageCommands, BuildsAProjectInAFolderNamedWithLettersBeyondAscii) {
    sw::test::TempDir dir;
    const auto project = dir / "Umspannwerk S\u00fcd \u03a9\u03bc\u03ad\u03b3\u03b1";
    std::filesystem::create_directory(project);
    makeProject(project);
    const auto built =
        sw::test::runProcess({SW_CLI_PATH, "build", sw::utf8Of(project), "--decimal-separator", ","});
    ASSERT_EQ(built.exitCode, 0) << built.stderrText;
    EXPECT_EQ(sw::test::readFile(project / "bin" / "bank2.bin").size(), 267u);
    EXPECT_NE(built.stdoutText.find(sw::utf8Of(project / "bin" / "bank1.bin")), std::string::npos)
        << built.stdoutText;
}

// A factor is read with either decimal mark, as the check reads it: "2,5" is 2.5 whatever the option.
TEST(ImageCommands, FactorIsReadWithEitherDecimalMark) {
    sw::test::TempDir project;
    makeProject(project.path());
    const auto built =
        sw::test::runProcess({SW_CLI_PATH, "build", sw::utf8Of(project.path()), "--decimal-separator=."});
    ASSERT_EQ(built.exitCode, 0) << built.stderrText;
    EXPECT_EQ(sw::test::readFile(project / "bin" / "bank2.bin").substr(0x64 + 4, 4),
              std::string("\x00\x00\x20\x40", 4));

    const auto refused =
        sw::test::runProcess({SW_CLI_PATH, "build", sw::utf8Of(project.path()), "--decimal-separator", ";"});
    EXPECT_EQ(refused.exitCode, 2);
}

TEST(ImageCommands, DumpOfCorruptedImageExitsOne) {
    sw::test::TempDir project;
    makeProject(project.path());
    ASSERT_EQ(
        sw::test::runProcess({SW_CLI_PATH, "build", sw::utf8Of(project.path()), "--decimal-separator", ","})
            .exitCode,
        0);
    std::string bank1 = sw::test::readFile(project / "bin" / "bank1.bin");
    bank1[0x100] = 1;
    sw::test::writeFile(project / "bin" / "bank1.bin", bank1);
    const auto dump = sw::test::runProcess({SW_CLI_PATH, "dump", sw::utf8Of(project / "bin" / "bank1.bin")});
    EXPECT_EQ(dump.exitCode, 1);
    EXPECT_NE(dump.stdoutText.find("checksum"), std::string::npos) << dump.stdoutText;
}

TEST(ImageCommands, BuildErrorWritesNothing) {
    sw::test::TempDir project;
    sw::test::writeFile(project / "IEC_61850_Client.xml",
                        "<IEC_68850_Client><List_DataSet_Selected/></IEC_68850_Client>");
    const auto built = sw::test::runProcess({SW_CLI_PATH, "build", sw::utf8Of(project.path())});
    EXPECT_EQ(built.exitCode, 1);
    EXPECT_NE(built.stderrText.find("List_DA_Selected"), std::string::npos) << built.stderrText;
    EXPECT_FALSE(std::filesystem::exists(project / "bin" / "bank1.bin"));
    EXPECT_FALSE(std::filesystem::exists(project / "bin" / "bank2.bin"));
}

TEST(ImageCommands, DumpOfBothImagesChecksThatTheyBelongTogether) {
    sw::test::TempDir project;
    makeProject(project.path());
    ASSERT_EQ(
        sw::test::runProcess({SW_CLI_PATH, "build", sw::utf8Of(project.path()), "--decimal-separator", ","})
            .exitCode,
        0);
    const std::string bank1 = sw::utf8Of(project / "bin" / "bank1.bin");
    const std::string bank2 = sw::utf8Of(project / "bin" / "bank2.bin");
    const auto pair = sw::test::runProcess({SW_CLI_PATH, "dump", bank2, bank1});
    EXPECT_EQ(pair.exitCode, 0) << pair.stdoutText;

    // A variable image built for another address: the pair check names the mismatch.
    sw::test::TempDir other;
    std::string moved = sw::test::readFile(bank2);
    moved[18] = 0x09; // the variable table address 0x80018 becomes 0x90018
    sw::test::writeFile(other / "image.bin", moved);
    const auto mismatch = sw::test::runProcess({SW_CLI_PATH, "dump", bank1, (other / "image.bin").string()});
    EXPECT_EQ(mismatch.exitCode, 1);
    EXPECT_NE(mismatch.stdoutText.find("do not belong together"), std::string::npos) << mismatch.stdoutText;

    EXPECT_EQ(sw::test::runProcess({SW_CLI_PATH, "dump", bank1, bank1}).exitCode, 2);
}

} // namespace
