#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

// Every command that reads a named file meets something that is not a regular file where the file
// should be: it must end at once with an error naming that file, never wait on a FIFO or read an
// endless device.
TEST(HostileFiles, CommandsRefuseFifosDevicesAndFoldersWhereAFileIsExpected) {
    enum class Make { Fifo, DevZero, Folder };
    struct Case {
        const char* command;
        const char* file; // inside the project folder
        Make make;
        bool argumentIsFile; // the file itself is the argument, not the project folder
    };
    const Case cases[] = {
        {"parameters", "ParGen.xml", Make::Fifo, false},
        {"parameters", "ParGen.xml", Make::DevZero, false},
        {"build", "ParGen.xml", Make::Fifo, false},
        {"build", "IEC_61850_Client.xml", Make::Fifo, false},
        {"build", "IEC_61850_Client.xml", Make::DevZero, false},
        {"build", "IEC_61850_Client.xml", Make::Folder, false},
        {"dump", "bank2.bin", Make::Fifo, true},
        {"dump", "bank2.bin", Make::DevZero, true},
        {"tree", "big.icd", Make::Fifo, true},
        {"tree", "big.icd", Make::DevZero, true},
    };
    for (const Case& c : cases) {
#ifdef _WIN32
        // Windows has no FIFOs, and its devices cannot stand in a folder as a file.
        if (c.make != Make::Folder) {
            continue;
        }
#endif
        sw::test::TempDir dir;
        std::filesystem::create_directories(dir / "Plant" / "bin");
        const auto file = dir.path() / "Plant" / c.file;
        switch (c.make) {
        case Make::Fifo:
#ifndef _WIN32
            ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
#endif
            break;
        case Make::DevZero:
            std::filesystem::create_symlink("/dev/zero", file);
            break;
        case Make::Folder:
            std::filesystem::create_directory(file);
            break;
        }
        const std::string argument = c.argumentIsFile ? sw::utf8Of(file) : sw::utf8Of(dir / "Plant");
        const auto result = sw::test::runProcess({SW_CLI_PATH, c.command, argument});
        EXPECT_EQ(result.exitCode, 1) << c.command << " " << c.file << ": " << result.stderrText;
        EXPECT_NE(result.stderrText.find(c.file), std::string::npos)
            << c.command << ": " << result.stderrText;
    }
}

} // namespace
