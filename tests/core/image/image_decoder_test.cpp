#include "image_test_helpers.h"

#include "core/image/image_builder.h"
#include "core/image/image_decoder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using namespace sw::test::image;
using sw::image::decodeParameterImage;
using sw::image::decodeVariableImage;

std::string problems(const sw::image::ImageReport& report) {
    std::string all;
    for (const auto& p : report.problems) {
        all += p + "\n";
    }
    return all;
}

void putLittleEndian(Bytes& bytes, std::size_t offset, std::uint32_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}
void putU32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    putLittleEndian(bytes, offset, value, 4);
}
void putU16(Bytes& bytes, std::size_t offset, std::uint16_t value) {
    putLittleEndian(bytes, offset, value, 2);
}

void fixChecksum(Bytes& bank1) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < 0x7FC; ++i) {
        sum += bank1[i];
    }
    putU32(bank1, 0x7FC, sum);
}

TEST(ImageDecoder, AcceptsEveryImageTheBuilderMakes) {
    const std::pair<std::string, std::string> projects[] = {
        {"absent.xml", "absent.xml"},
        {"ParGen.xml", "access_one_variable.xml"},
        {"ParGen.xml", "access_data_set.xml"},
    };
    for (const auto& [parGen, access] : projects) {
        SCOPED_TRACE(access);
        const sw::BuildResult images = sw::buildImages(fixture(parGen), fixture(access), ',');
        const auto bank1 = decodeParameterImage(images.bank1);
        const auto bank2 = decodeVariableImage(images.bank2);
        EXPECT_TRUE(bank1.consistent()) << problems(bank1);
        EXPECT_TRUE(bank2.consistent()) << problems(bank2);
    }
}

TEST(ImageDecoder, DumpShowsTheDecodedFields) {
    const sw::BuildResult images =
        sw::buildImages(fixture("ParGen.xml"), fixture("access_data_set.xml"), ',');
    const std::string bank1 = decodeParameterImage(images.bank1).dump;
    EXPECT_NE(bank1.find("192.168.0.10"), std::string::npos) << bank1;
    EXPECT_NE(bank1.find("115200"), std::string::npos) << bank1;
    EXPECT_NE(bank1.find("3659"), std::string::npos) << bank1;
    const std::string bank2 = decodeVariableImage(images.bank2).dump;
    EXPECT_NE(bank2.find("\"IED1CTRL/XCBR1.Pos.stVal\" @0x80089"), std::string::npos) << bank2;
    EXPECT_NE(bank2.find("\"IED1CTRL/GGIO1.Int.mag\" @0x800F4"), std::string::npos) << bank2;
    EXPECT_NE(bank2.find("factor 2.5"), std::string::npos) << bank2;
}

TEST(ImageDecoder, ReportsParameterBlockFaults) {
    const Bytes good = sw::buildImages(fixture("ParGen.xml"), absentFile(), ',').bank1;
    struct Fault {
        const char* name;
        std::function<void(Bytes&)> apply;
        const char* mentions;
    };
    const Fault faults[] = {
        {"checksum", [](Bytes& b) { b[0x7FC] ^= 1; }, "checksum"},
        {"byte changed", [](Bytes& b) { b[0x028] = 10; }, "checksum"},
        {"reserved byte",
         [](Bytes& b) {
             b[0x300] = 1;
             fixChecksum(b);
         },
         "reserved byte(s)"},
        {"baud copies",
         [](Bytes& b) {
             b[0x19C] = 0x80;
             fixChecksum(b);
         },
         "baud rate"},
        {"stop bit copies",
         [](Bytes& b) {
             b[0x1AE] = 2;
             fixChecksum(b);
         },
         "stop bits"},
        {"image address",
         [](Bytes& b) {
             putU32(b, 0x5EC, 0x90000);
             fixChecksum(b);
         },
         "image address"},
        {"short", [](Bytes& b) { b.resize(2047); }, "2047 bytes"},
    };
    for (const Fault& fault : faults) {
        Bytes bad = good;
        fault.apply(bad);
        const auto report = decodeParameterImage(bad);
        EXPECT_NE(problems(report).find(fault.mentions), std::string::npos)
            << fault.name << ": " << problems(report);
    }
}

TEST(ImageDecoder, ReportsVariableImageFaults) {
    const Bytes good = sw::buildImages(absentFile(), fixture("access_data_set.xml"), ',').bank2;
    struct Fault {
        const char* name;
        std::function<void(Bytes&)> apply;
        const char* mentions;
    };
    const Fault faults[] = {
        {"address inside a string", [](Bytes& b) { putU32(b, 24 + 28, 0x8008A); },
         "variable 1 reference address 0x8008A does not point at the start"},
        {"address past the end", [](Bytes& b) { putU32(b, 0x54 + 12, 0x80200); },
         "points outside the string area"},
        {"address into the tables", [](Bytes& b) { putU32(b, 0x38 + 12, 0x80018); },
         "GOOSE name address 0x80018 points outside"},
        {"strings swapped", [](Bytes& b) { std::swap(b[24 + 20], b[24 + 24]); },
         "not laid out in table order"},
        {"truncated", [](Bytes& b) { b.resize(266); }, "no terminating zero"},
        {"too many variables", [](Bytes& b) { b[0] = 9; }, "run past the end"},
        {"data-set table address", [](Bytes& b) { b[20] = 0x40; }, "data-set table address"},
        {"member table address", [](Bytes& b) { b[0x38 + 24] = 0x55; }, "member table address of data set 1"},
        {"data-set options", [](Bytes& b) { b[0x39] = 0; }, "options of data set 1"},
        {"read/write flag", [](Bytes& b) { b[26] = 2; }, "read/write flag of variable 1"},
        {"trailing bytes",
         [](Bytes& b) {
             b.push_back('x');
             b.push_back(0);
         },
         "after the last string"},
        {"short header", [](Bytes& b) { b.resize(20); }, "shorter than its 24-byte header"},
        // Values the check never lets through, as a wrapping builder once wrote them.
        {"variable position", [](Bytes& b) { putU16(b, 24 + 8, 65535); },
         "position of variable 1 is 65535, outside 0 to 1399"},
        {"variable start bit", [](Bytes& b) { b[24 + 3] = 253; },
         "start bit of variable 1 is 253, outside 0 to 7"},
        {"timer period",
         [](Bytes& b) {
             b[24 + 4] = 0x04;
             putU32(b, 24 + 12, 0);
         },
         "timer period of variable 1 is 0 ms"},
        {"member position", [](Bytes& b) { putU16(b, 0x54, 40000); },
         "position of member 1 of data set 1 is 40000"},
        {"member start bit", [](Bytes& b) { b[0x54 + 2] = 8; }, "start bit of member 1 of data set 1 is 8"},
        {"data-set time", [](Bytes& b) { putU32(b, 0x38 + 8, 0); }, "time of data set 1 is 0 ms"},
    };
    for (const Fault& fault : faults) {
        Bytes bad = good;
        fault.apply(bad);
        const auto report = decodeVariableImage(bad);
        EXPECT_NE(problems(report).find(fault.mentions), std::string::npos)
            << fault.name << ": " << problems(report);
    }
}

TEST(ImageDecoder, FileIsDecodedByItsNameElseByItsSize) {
    sw::test::TempDir dir;
    const sw::BuildResult images =
        sw::buildImages(fixture("ParGen.xml"), fixture("access_data_set.xml"), ',');
    const std::string block(images.bank1.begin(), images.bank1.end());
    const std::string variables(images.bank2.begin(), images.bank2.end());
    struct Case {
        const char* name;
        const std::string* bytes;
        sw::image::ImageKind kind;
    };
    const Case cases[] = {
        {"image.bin", &block, sw::image::ImageKind::Parameter},    // 2048 bytes
        {"image.bin", &variables, sw::image::ImageKind::Variable}, // any other size
        {"bank2.bin", &block, sw::image::ImageKind::Variable},     // the name wins over the size
        {"bank1_copy.bin", &variables, sw::image::ImageKind::Parameter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(c.bytes->size()) + " bytes");
        sw::test::writeFile(dir / c.name, *c.bytes);
        EXPECT_EQ(sw::image::decodeImageFile(dir / c.name).kind, c.kind);
    }
}

TEST(ImageDecoder, PairMustAgreeOnTheImageAddress) {
    const sw::BuildResult images =
        sw::buildImages(fixture("ParGen.xml"), fixture("access_data_set.xml"), ',');
    EXPECT_TRUE(sw::image::checkImagePair(images.bank1, images.bank2).empty());

    Bytes moved = images.bank1;
    putU32(moved, 0x5EC, 0x90000);
    fixChecksum(moved);
    const auto problems = sw::image::checkImagePair(moved, images.bank2);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("0x90000"), std::string::npos) << problems[0];
    EXPECT_NE(problems[0].find("0x80000"), std::string::npos) << problems[0];
    EXPECT_TRUE(sw::image::checkImagePair(Bytes(10), images.bank2).empty())
        << "too short: left to its own report";
}

} // namespace
