#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

namespace {

const std::string kSclFixtures = std::string(SW_FIXTURES_DIR) + "/scl/";

sw::test::ProcessResult tree(const std::vector<std::string>& args) {
    std::vector<std::string> argv{SW_CLI_PATH, "tree"};
    argv.insert(argv.end(), args.begin(), args.end());
    return sw::test::runProcess(argv);
}

TEST(CliTree, PrintsTheWholeModelInTheComparableForm) {
    const auto result = tree({kSclFixtures + "bay1.icd"});
    EXPECT_EQ(result.exitCode, 0) << result.stderrText;
    EXPECT_EQ(result.stdoutText, sw::test::readFile(kSclFixtures + "bay1.tree"));
    EXPECT_EQ(result.stderrText, "");
}

TEST(CliTree, CountsEveryLevel) {
    const auto result = tree({"--count", kSclFixtures + "bay1.icd"});
    EXPECT_EQ(result.exitCode, 0) << result.stderrText;
    EXPECT_EQ(result.stdoutText, "lds 2 lns 7 dos 16 das 48 datasets 4 members 8 unresolved 5\n");
}

TEST(CliTree, EscapesQuotesAndBackslashesAndKeepsUtf8) {
    sw::test::TempDir folder;
    const auto file = folder / "odd.icd";
    sw::test::writeFile(file, "<SCL><IED name='Q\"1\\2 \xC3\xA9'><AccessPoint><Server><LDevice inst='\"'/>"
                              "</Server></AccessPoint></IED><DataTypeTemplates/></SCL>");
    const auto result = tree({file.string()});
    EXPECT_EQ(result.exitCode, 0) << result.stderrText;
    EXPECT_EQ(result.stdoutText, "IED \"Q\\\"1\\\\2 \xC3\xA9\" file \"odd.icd\"\n  LD \"\\\"\"\n");
}

TEST(CliTree, FailsWithTheErrorTextWhenTheFileCannotBeLoaded) {
    sw::test::TempDir folder;
    const auto broken = folder / "broken.scd";
    sw::test::writeFile(broken, "<SCL><IED></SCL>");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {broken.string()}, {"--count", broken.string()}, {(folder / "absent.icd").string()}}) {
        const auto result = tree(args);
        EXPECT_EQ(result.exitCode, 1) << args.back();
        EXPECT_EQ(result.stdoutText, "");
        EXPECT_NE(result.stderrText.find(args.back()), std::string::npos) << result.stderrText;
    }
    EXPECT_EQ(tree({}).exitCode, 2);
}

// A chain of types 198 levels deep under many nodes: long names are refused where they stand, and
// names of the longest allowed size for the listing they would make; either way nothing is printed.
TEST(CliTree, RefusesDeepChainsOfLongNamesBeforePrintingAnything) {
    sw::test::TempDir folder;
    for (const std::size_t nameLength : {5000u, 255u}) {
        std::string types;
        for (int level = 0; level < 198; ++level) {
            types += "<DOType id='T" + std::to_string(level) + "'><SDO name='" +
                     std::string(nameLength, 'n') + "' type='T" + std::to_string(level + 1) +
                     "'/><DA name='v' bType='INT32'/></DOType>\n";
        }
        std::string nodes;
        while (nodes.size() + types.size() < 1400u * 1024) {
            nodes += "<LN lnClass='GGIO' inst='" + std::to_string(nodes.size()) + "' lnType='N'/>\n";
        }
        const auto file = folder / ("chain" + std::to_string(nameLength) + ".icd");
        sw::test::writeFile(file, "<SCL><IED name='H'><AccessPoint><Server><LDevice inst='L'>" + nodes +
                                      "</LDevice></Server></AccessPoint></IED><DataTypeTemplates><LNodeType "
                                      "id='N'><DO name='d' type='T0'/></LNodeType>" +
                                      types + "</DataTypeTemplates></SCL>");
        const auto result = tree({file.string()});
        EXPECT_EQ(result.exitCode, 1) << nameLength;
        EXPECT_EQ(result.stdoutText, "");
        EXPECT_NE(result.stderrText.find(file.string()), std::string::npos) << result.stderrText;
    }
}

TEST(CliTree, LoadsEveryPublicSample) {
    const std::filesystem::path samples = std::filesystem::path(SW_SHARED_DIR) / "scl-samples";
    if (!std::filesystem::is_directory(samples)) {
        GTEST_SKIP() << "no public SCL samples at " << samples;
    }
    const std::set<std::string> extensions{".icd", ".cid", ".scd", ".ssd", ".iid", ".sed"};
    // Published as a parser-error example: its text is not XML at all.
    const std::set<std::string> notWellFormed{"parsererror.iid"};
    int loaded = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(samples)) {
        if (!entry.is_regular_file() || extensions.count(entry.path().extension().string()) == 0) {
            continue;
        }
        const auto result = tree({entry.path().string()});
        if (notWellFormed.count(entry.path().filename().string()) != 0) {
            EXPECT_EQ(result.exitCode, 1) << entry.path();
            EXPECT_NE(result.stderrText.find("not well-formed"), std::string::npos) << result.stderrText;
            continue;
        }
        EXPECT_EQ(result.exitCode, 0) << entry.path() << "\n" << result.stderrText;
        EXPECT_EQ(result.stdoutText.rfind("IED \"", 0), 0u) << entry.path();
        ++loaded;
    }
    EXPECT_GT(loaded, 0);
}

} // namespace
