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

TEST(CliIeds, IedsSharingANameAreMarkedAndTreeSaysWhichOneItShows) {
    sw::test::TempDir folder;
    const std::string file = (folder / "twins.scd").string();
    sw::test::writeFile(
        folder / "twins.scd",
        R"(<SCL><Communication><SubNetwork name="S">)"
        R"(<ConnectedAP iedName="Twin" apName="A"><Address><P type="IP">10.0.0.1</P></Address></ConnectedAP>)"
        R"(<ConnectedAP iedName="Twin" apName="A"><Address><P type="IP">10.0.0.2</P></Address></ConnectedAP>)"
        R"(</SubNetwork></Communication><IED name="Twin" desc="first"><AccessPoint name="A"><Server>)"
        R"(<LDevice inst="One"/></Server></AccessPoint></IED><IED name="Other"/>)"
        R"(<IED name="Twin" desc="second"><AccessPoint name="A"><Server><LDevice inst="Two"/></Server>)"
        R"(</AccessPoint></IED><DataTypeTemplates/></SCL>)");
    const auto listed = cli({"ieds", file});
    EXPECT_EQ(listed.stdoutText, "Twin 10.0.0.1 first [name shared: 1 of 2]\nOther - \n"
                                 "Twin 10.0.0.2 second [name shared: 2 of 2]\n");

    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* device;  // the logical device printed, empty for none
        const char* message; // on standard error
    } cases[] = {
        {{"tree", "--ied", "Twin", file},
         0,
         "One",
         "IED 1 of 2 named \"Twin\" (--ied-position N shows another)"},
        {{"tree", "--ied", "Twin", "--ied-position", "2", file}, 0, "Two", "IED 2 of 2 named \"Twin\"."},
        {{"tree", "--ied", "Twin", "--ied-position", "3", file},
         1,
         "",
         "holds 2 IEDs named \"Twin\", not 3."},
        {{"tree", "--ied", "Other", "--ied-position", "1", file}, 0, "", ""},
        {{"tree", "--ied-position", "1", file}, 2, "", "Usage"},
        {{"tree", "--ied", "Twin", "--ied-position", "0", file}, 2, "", "Usage"},
    };
    for (const auto& c : cases) {
        const auto result = cli(c.args);
        SCOPED_TRACE(result.stdoutText + result.stderrText);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(result.stdoutText.find(std::string("LD \"") + c.device + "\"") != std::string::npos,
                  *c.device != '\0');
        if (*c.message == '\0') {
            EXPECT_EQ(result.stderrText, "");
        } else {
            EXPECT_NE(result.stderrText.find(c.message), std::string::npos);
        }
    }
}

} // namespace
