#include "core/update/job_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

// A program folder holding a copy of the stand-in updater and the firmware, and an empty project.
struct UpdateSetup {
    UpdateSetup() {
        std::filesystem::create_directories(dir / "program" / "MASTER");
        std::filesystem::create_directories(dir / "Projekt Süd");
        std::filesystem::copy_file(SW_UPDATER_PATH, sw::updaterProgram(dir / "program"));
        sw::test::writeFile(dir / "program" / "MASTER" / "Sim40512.sim", "firmware placeholder");
    }
    sw::test::ProcessResult update(const std::string& address, std::vector<std::string> more = {}) const {
        std::vector<std::string> argv{
            SW_CLI_PATH, "update",           sw::utf8Of(dir / "Projekt Süd"), "--ip",
            address,     "--program-folder", sw::utf8Of(dir / "program")};
        argv.insert(argv.end(), more.begin(), more.end());
        return sw::test::runProcess(argv);
    }
    bool icmpUnavailable(const sw::test::ProcessResult& result) const {
        return result.stderrText.find("No ICMP") != std::string::npos;
    }

    sw::test::TempDir dir;
};

TEST(UpdateCommand, BuildsChecksLoopbackWritesTheJobAndRunsTheUpdater) {
    UpdateSetup setup;
    // Two rows reading into position 0, start bit 0: the device takes it, the command warns.
    const std::string row =
        R"(<DA_Item Index="0" bType="BOOLEAN" fc="ST" Reference="IED1CTRL/XCBR1.Pos.stVal" )"
        R"(IPAddress="192.168.2.10" Port="102" OnChange="Y" OnCMD="N" OnTimer="N" Time="1000" )"
        R"(Position="0" StartBit="0" ReadWrite="Read" Convertion="None" MoltFact="1" Mnemonic="b"/>)";
    sw::test::writeFile(
        setup.dir / "Projekt Süd" / "IEC_61850_Client.xml",
        R"(<IEC_68850_Client><List_ICD_Files><ICD_File Name="IED1" FileName="ied1.icd"/></List_ICD_Files>)"
        R"(<List_DA_Selected>)" +
            row + row + R"(</List_DA_Selected><List_DataSet_Selected/></IEC_68850_Client>)");
    // Typed with leading zeros: the plain form is what is pinged and what the job names.
    const auto result = setup.update("0127.000.000.001", {"--option", "configuration", "--no-read-back"});
    if (setup.icmpUnavailable(result)) {
        GTEST_SKIP() << result.stderrText;
    }
    ASSERT_EQ(result.exitCode, 0) << result.stdoutText << result.stderrText;
    EXPECT_NE(
        result.stderrText.find("warning: data-array conflict at position 0: variables row 1 (Read, start bit "
                               "0); variables row 2 (Read, start bit 0)"),
        std::string::npos)
        << result.stderrText;
    for (const char* stage :
         {"build: ", "address check: 127.0.0.1 answered 2 of 2", "job file: ", "updater: starting",
          "Operation 2 of 2 to 127.0.0.1: send the variable image", "updater: ended successfully"}) {
        EXPECT_NE(result.stdoutText.find(stage), std::string::npos) << stage << "\n" << result.stdoutText;
    }
    const std::string job = sw::test::readFile(setup.dir / "program" / "Ethernet_Update.xml");
    EXPECT_NE(job.find("<IP_Address_Dev>127.0.0.1</IP_Address_Dev>"), std::string::npos);
    EXPECT_NE(job.find("<Ope_Read_Back>0</Ope_Read_Back>"), std::string::npos);
    EXPECT_EQ(job.find("Sim40512.sim"), std::string::npos);

    // The same job with a damaged parameter block: the stand-in refuses, saying why.
    const auto bank1 = setup.dir / "Projekt Süd" / "bin" / "bank1.bin";
    std::string bytes = sw::test::readFile(bank1);
    bytes[0x20] = static_cast<char>(bytes[0x20] ^ 1);
    sw::test::writeFile(bank1, bytes);
    const auto refused = sw::test::runProcess({sw::utf8Of(sw::updaterProgram(setup.dir / "program"))});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.stderrText.find("bank1.bin: The checksum"), std::string::npos) << refused.stderrText;
}

TEST(UpdateCommand, EachFailingStageEndsWithItsMessageAndANonZeroCode) {
    UpdateSetup setup;
    // An unusable address is refused with the other arguments, before anything is built or written.
    const auto bin = setup.dir / "Projekt Süd" / "bin";
    std::filesystem::create_directories(bin);
    sw::test::writeFile(bin / "bank1.bin", "the images of an earlier build");
    for (const char* address : {"a.b.c.d", "127.0.0.256", "127.0.0", "0x7f.0.0.1"}) {
        const auto unusable = setup.update(address);
        EXPECT_EQ(unusable.exitCode, 2) << address;
        EXPECT_NE(unusable.stderrText.find("address check: " + std::string(address) +
                                           ": Error!!! Check the Ip Address"),
                  std::string::npos)
            << unusable.stderrText;
        EXPECT_EQ(unusable.stdoutText, "") << address;
        EXPECT_EQ(sw::test::readFile(bin / "bank1.bin"), "the images of an earlier build");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(bin), {}), 1) << address;
        EXPECT_FALSE(std::filesystem::exists(setup.dir / "program" / "Ethernet_Update.xml"));
    }

    // The firmware is missing: the updater runs and refuses the job.
    std::filesystem::remove(setup.dir / "program" / "MASTER" / "Sim40512.sim");
    const auto refused = setup.update("127.0.0.1", {"--option", "firmware"});
    if (setup.icmpUnavailable(refused)) {
        GTEST_SKIP() << refused.stderrText;
    }
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.stderrText.find("Sim40512.sim"), std::string::npos) << refused.stderrText;
    EXPECT_NE(refused.stderrText.find("updater: ended with exit code 1"), std::string::npos)
        << refused.stderrText;

    std::filesystem::remove(sw::updaterProgram(setup.dir / "program"));
    const auto missing = setup.update("127.0.0.1");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.stderrText.find("could not be started"), std::string::npos) << missing.stderrText;

    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{SW_CLI_PATH, "update", setup.dir.path().string()},
          std::vector<std::string>{SW_CLI_PATH, "update", setup.dir.path().string(), "--ip", "127.0.0.1",
                                   "--option", "everything"}}) {
        EXPECT_EQ(sw::test::runProcess(wrong).exitCode, 2);
    }
}

} // namespace
