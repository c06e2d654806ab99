#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kSclFixtures = std::string(SW_FIXTURES_DIR) + "/scl/";

sw::test::ProcessResult cli(std::vector<std::string> args) {
    args.insert(args.begin(), SW_CLI_PATH);
    return sw::test::runProcess(args);
}

TEST(CliIeds, ListsEachIedWithItsAddressOrADash) {
    const auto result = cli({"ieds", kSclFixtures + "three_ieds.scd"});
    EXPECT_EQ(result.exitCode, 0) << result.stderrText;
    EXPECT_EQ(result.stdoutText,
              "Feeder1 10.0.0.11 Feeder one\nFeeder2 10.0.0.22 Feeder two\nTrafo 10.0.1.33 \n");
    const auto single = cli({"ieds", kSclFixtures + "bay1.icd"});
    EXPECT_EQ(single.stdoutText, "Bay1 - \n");
}

TEST(CliIeds, RefusesMissingAndBrokenFilesAndWrongArguments) {
    sw::test::TempDir folder;
    const auto broken = folder / "broken.scd";
    sw::test::writeFile(broken, "<SCL><IED></SCL>");
    for (const auto& path : {broken, folder / "absent.scd"}) {
        const auto result = cli({"ieds", path.string()});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.stderrText.find(path.string()), std::string::npos) << result.stderrText;
    }
    EXPECT_EQ(cli({"ieds"}).exitCode, 2);
    EXPECT_EQ(cli({"ieds", "a", "b"}).exitCode, 2);
}

TEST(CliTreeIed, PrintsTheNamedIedAndFailsForOneTheFileLacks) {
    const std::string file = kSclFixtures + "three_ieds.scd";
    const auto first = cli({"tree", file});
    EXPECT_EQ(cli({"tree", "--ied", "Feeder1", file}).stdoutText, first.stdoutText);
    const auto second = cli({"tree", file, "--ied", "Feeder2"});
    EXPECT_EQ(second.exitCode, 0) << second.stderrText;
    EXPECT_EQ(second.stdoutText.rfind("IED \"Feeder2\" file \"three_ieds.scd\"\n  LD \"CTRL\"\n", 0), 0u)
        << second.stdoutText;
    EXPECT_NE(second.stdoutText.find("member \"Feeder2CTRL/Q0XCBR1.Pos.stVal\""), std::string::npos);
    EXPECT_EQ(cli({"tree", "--count", "--ied", "Trafo", file}).stdoutText,
              "lds 1 lns 2 dos 2 das 3 datasets 0 members 0\n");

    const auto missing = cli({"tree", "--ied", "Nope", file});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.stdoutText, "");
    EXPECT_NE(missing.stderrText.find("no IED named \"Nope\""), std::string::npos) << missing.stderrText;
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"tree", "--ied"}, {"tree", file, "--ied"}, {"tree", "--ied", "A", "--ied", "B", file}}) {
        EXPECT_EQ(cli(args).exitCode, 2) << args.back();
    }
}

} // namespace
