#include "core/common/atomic_file.h"
#include "image_test_helpers.h"

#include "core/common/config_error.h"
#include "core/image/image_builder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <filesystem>
#include <string>

namespace {

using namespace sw::test::image;

std::string text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(ImageBuilder, SavedFilesAreReplacedWholeSoAShorterImageLeavesNoTail) {
    sw::test::TempDir dir;
    std::filesystem::create_directory(dir / "bin");
    const sw::BuildResult big = sw::buildImages(fixture("ParGen.xml"), fixture("access_data_set.xml"), ',');
    sw::saveImageFiles(big, dir / "bin");
    EXPECT_EQ(sw::test::readFile(dir / "bin" / "bank2.bin"), text(big.bank2));

    const sw::BuildResult small = sw::buildImages(absentFile(), absentFile(), ',');
    sw::saveImageFiles(small, dir / "bin");
    EXPECT_EQ(sw::test::readFile(dir / "bin" / "bank1.bin"), text(small.bank1));
    EXPECT_EQ(sw::test::readFile(dir / "bin" / "bank2.bin"), text(small.bank2));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "bin"), {}), 2)
        << "temporary files left";
}

TEST(ImageBuilder, UnchangedFilesBuildIdenticalImagesWhateverWasBuiltBefore) {
    const sw::BuildResult first = sw::buildImages(fixture("ParGen.xml"), fixture("access_data_set.xml"), ',');
    const sw::BuildResult defaults = sw::buildImages(absentFile(), absentFile(), ',');
    const sw::BuildResult second =
        sw::buildImages(fixture("ParGen.xml"), fixture("access_data_set.xml"), ',');
    EXPECT_EQ(first.bank1, second.bank1);
    EXPECT_EQ(first.bank2, second.bank2);
    EXPECT_EQ(sw::buildImages(absentFile(), absentFile(), ',').bank1, defaults.bank1);
    EXPECT_EQ(u32At(defaults.bank1, 0x7FC), 3466u);
}

TEST(ImageBuilder, FileThatCannotBeWrittenIsAnErrorNamingItAndTheReason) {
    sw::test::TempDir dir;
    const sw::BuildResult images = sw::buildImages(absentFile(), absentFile(), ',');
    try {
        sw::saveImageFiles(images, dir / "no-bin-folder");
        FAIL() << "no error";
    } catch (const sw::ConfigError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("bank1.bin"), std::string::npos) << message;
#ifdef _WIN32
        EXPECT_NE(message.find(sw::platform::windowsReason(ERROR_PATH_NOT_FOUND)), std::string::npos)
            << message;
#else
        EXPECT_NE(message.find("No such file or directory"), std::string::npos) << message;
#endif
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "no-bin-folder"));
}

TEST(ImageBuilder, FailedBuildLeavesTheOldImagesAlone) {
    sw::test::TempDir dir;
    std::filesystem::create_directory(dir / "bin");
    sw::test::writeFile(dir / "bin" / "bank2.bin", "old");
    sw::test::writeFile(dir / "IEC_61850_Client.xml", "<IEC_68850_Client/>");
    EXPECT_THROW(
        {
            const auto images = sw::buildImages(absentFile(), dir / "IEC_61850_Client.xml", ',');
            sw::saveImageFiles(images, dir / "bin");
        },
        sw::ConfigError);
    EXPECT_EQ(sw::test::readFile(dir / "bin" / "bank2.bin"), "old");
    EXPECT_FALSE(std::filesystem::exists(dir / "bin" / "bank1.bin"));
}

TEST(ImageBuilder, PairIsReplacedAsAUnitSoAFailedSecondFileLeavesTheOldPair) {
    sw::test::TempDir dir;
    std::filesystem::create_directory(dir / "bin");
    const sw::BuildResult old = sw::buildImages(absentFile(), absentFile(), ',');
    sw::saveImageFiles(old, dir / "bin");
    const sw::BuildResult fresh = sw::buildImages(fixture("ParGen.xml"), fixture("access_data_set.xml"), ',');

    // bank2.bin cannot be replaced: a folder of that name holding a file stands in its way.
    std::filesystem::remove(dir / "bin" / "bank2.bin");
    std::filesystem::create_directory(dir / "bin" / "bank2.bin");
    sw::test::writeFile(dir / "bin" / "bank2.bin" / "keep", "x");
    try {
        sw::saveImageFiles(fresh, dir / "bin");
        FAIL() << "no error";
    } catch (const sw::ConfigError& error) {
        EXPECT_NE(std::string(error.what()).find("bank2.bin"), std::string::npos) << error.what();
    }
    EXPECT_EQ(sw::test::readFile(dir / "bin" / "bank1.bin"), text(old.bank1)) << "bank1.bin was not put back";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "bin"), {}), 2)
        << "temporary files left";

    // With the obstacle gone and an old pair on disk, both are replaced.
    std::filesystem::remove_all(dir / "bin" / "bank2.bin");
    sw::test::writeFile(dir / "bin" / "bank2.bin", text(old.bank2));
    sw::saveImageFiles(fresh, dir / "bin");
    EXPECT_EQ(sw::test::readFile(dir / "bin" / "bank1.bin"), text(fresh.bank1));
    EXPECT_EQ(sw::test::readFile(dir / "bin" / "bank2.bin"), text(fresh.bank2));
}

} // namespace
