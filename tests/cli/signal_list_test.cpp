#include "core/access/access_file.h"
#include "core/common/utf8.h"
#include "core/parameters/parameter_file.h"
#include "core/project/project_paths.h"
#include "test_project.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace sw::access;
using sw::test::readFile;
using sw::test::runProcess;
using sw::test::writeFile;

const std::filesystem::path kFixtures = SW_FIXTURES_DIR;

VariableRow variable(const std::string& reference, const std::string& position, const std::string& mnemonic) {
    VariableRow row;
    row.cells = {"0", "FLOAT32", "MX",     reference, "10.0.0.5", "102",  "Y",   "N",
                 "N", "",        position, "",        "Read",     "None", "1,5", mnemonic};
    row.present.set();
    return row;
}

// A project with bay1.icd in its catalog and an access file of eight clean variables and one data set.
struct Project : sw::test::TestProject {
    AccessFile access;

    Project() {
        addFixtureFiles();
        access.catalog.resize(1);
        access.catalog[0].cells = {"Bay1", "bay1.icd"};
        access.catalog[0].present.set();
        const char* references[] = {"Bay1CTRL/MMXU1.TotW.mag.f", "Bay1CTRL/MMXU1.A.cVal.mag.f",
                                    "Bay1CTRL/MMXU1.A.cVal.ang.f", "Bay1CTRL/MMXU1.Hz.mag.f"};
        for (int i = 0; i < 8; ++i) {
            access.variables.push_back(
                variable(references[i % 4], std::to_string(10 + i),
                         i == 2 ? "line one\r\nline \"two\", <b>" : "m" + std::to_string(i)));
            access.variables.back().cells[VariableColumn::ReadWrite] = i < 4 ? "Read" : "Write";
        }
        DataSetRow dataSet;
        dataSet.cells = {"0", "Bay1MEAS/LLN0.Clean", "GoCB1", "Y", "10.0.0.5", "102", "", "events"};
        dataSet.present.set();
        dataSet.hasMemberList = true;
        MemberRow member;
        member.cells = {"Dbpos", "Bay1CTRL/Q0XCBR1.Pos.stVal", "100", "0", "None", "1", "breaker"};
        member.present.set();
        dataSet.members = {member};
        access.dataSets = {dataSet};
        save();
    }
    void save() const { writeFile(paths.accessFile(), accessFileBytes(access)); }
    sw::test::ProcessResult run(std::vector<std::string> args) const {
        args.insert(args.begin(), SW_CLI_PATH);
        args.insert(args.begin() + 2, dir.path().string());
        return runProcess(args);
    }
};

TEST(LintCommand, PrintsOneWarningALineAndExitsOneOnlyWhenThereIsAny) {
    Project project;
    auto result = project.run({"lint"});
    EXPECT_EQ(result.exitCode, 0) << result.stderrText;
    EXPECT_EQ(result.stdoutText, "");

    project.access.variables[1].cells[VariableColumn::Position] = "10";
    project.access.variables[3].cells[VariableColumn::Reference] = "Bay1CTRL/GONE1.x";
    project.access.dataSets[0].members[0].cells[MemberColumn::Position] = "";
    project.save();
    sw::ParameterSet parameters;
    parameters.IEC61850_Client_VLAN = "5000"; // accepted by Step 2, but no VLAN tag carries it
    sw::writeParameterFile(project.paths.parGenFile(), parameters);
    result = project.run({"lint"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(
        result.stdoutText,
        "Error data set row 1 member 1!! Position must be between 0 and 1399\n"
        "Communication parameters: the VLAN index 5000 is above 4095, which no VLAN tag can carry\n"
        "Variables row 1: position 10 with no start bit is also filled from the server by variables row 2\n"
        "Variables row 2: position 10 with no start bit is also filled from the server by variables row 1\n"
        "Variables row 4: reference \"Bay1CTRL/GONE1.x\" is not in device 0 (Bay1)\n");
}

TEST(ExchangeCommands, ExportThenImportGivesBackTheSameAccessFileByteForByte) {
    Project project;
    const std::string before = readFile(project.paths.accessFile());
    const std::string csv = (project.dir / "signals.csv").string();
    auto result = project.run({"export", "--csv", csv});
    ASSERT_EQ(result.exitCode, 0) << result.stderrText;
    EXPECT_NE(
        readFile(project.dir / "signals.datasets.csv").find("DataSet_DA_Item,,Bay1CTRL/Q0XCBR1.Pos.stVal"),
        std::string::npos);

    writeFile(project.paths.accessFile(), "<IEC_68850_Client/>");
    result = project.run({"import", "--csv", csv});
    EXPECT_EQ(result.exitCode, 1); // the stub's catalog is empty: no row names a device of it
    EXPECT_EQ(readFile(project.paths.accessFile()), "<IEC_68850_Client/>");

    writeFile(project.paths.accessFile(), before);
    result = project.run({"import", "--csv", csv, "--decimal-separator", "."});
    ASSERT_EQ(result.exitCode, 0) << result.stderrText;
    EXPECT_EQ(readFile(project.paths.accessFile()), before);
}

TEST(ExchangeCommands, ImportRejectsTheWholeFileAtOneBadCellAndLeavesTheAccessFileAsItWas) {
    Project project;
    const std::string before = readFile(project.paths.accessFile());
    const std::string csv = (project.dir / "signals.csv").string();
    ASSERT_EQ(project.run({"export", "--csv", csv}).exitCode, 0);
    std::string bytes = readFile(csv);
    const std::string row7 = "\r\n0,FLOAT32,MX,Bay1CTRL/MMXU1.A.cVal.ang.f,10.0.0.5,102,";
    const std::size_t at = bytes.find(row7, bytes.find("m5")); // the row after the one whose mnemonic is m5
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at + row7.size() - 4, 3, "99999");
    writeFile(csv, bytes);

    const auto result = project.run({"import", "--csv", csv});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(
        result.stderrText.find("Error row 7!! Port must be between 0 and 65535 (column \"Port\", line 9)"),
        std::string::npos)
        << result.stderrText;
    EXPECT_EQ(readFile(project.paths.accessFile()), before);

    EXPECT_EQ(project.run({"import"}).exitCode, 2);
    EXPECT_EQ(project.run({"export", "--csv"}).exitCode, 2);
}

TEST(ExchangeCommands, ExportNeverWritesOverTheAccessFileNorTheVariablesWithTheDataSets) {
    Project project;
    const std::string before = readFile(project.paths.accessFile());
    const std::filesystem::path dir = project.dir.path();
    std::filesystem::create_directory(dir / "sub");
    // Links the system may refuse to make (Windows without the privilege): their cases are left out then.
    std::error_code noLinks;
    std::filesystem::create_symlink(project.paths.accessFile(), dir / "link.datasets.csv", noLinks);
    writeFile(dir / "same.csv", "kept");
    std::filesystem::create_symlink(dir / "same.csv", dir / "same.datasets.csv", noLinks);
    const struct {
        std::filesystem::path csv;
        std::string message;
        bool throughLink;
    } cases[] = {
        {project.paths.accessFile(), "is the project's access file, which the export must not write over",
         false},
        {dir / "sub" / ".." / "IEC_61850_Client.xml", "is the project's access file", false},
        {dir / "link.csv", "link.datasets.csv is the project's access file", true}, // the data sets' file
        {dir / "same.csv", "are the same file, so the data sets would write over the variables", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.csv.string());
        if (c.throughLink && noLinks) {
            continue;
        }
        const auto result = project.run({"export", "--csv", c.csv.string()});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.stderrText.find(c.message), std::string::npos) << result.stderrText;
        EXPECT_NE(result.stderrText.find("nothing was written"), std::string::npos);
    }
    EXPECT_EQ(readFile(project.paths.accessFile()), before);
    EXPECT_EQ(readFile(dir / "same.csv"), "kept");
    EXPECT_FALSE(std::filesystem::exists(dir / "link.csv"));
}

TEST(ReportCommand, WritesOneSelfContainedPageWithEverySection) {
    Project project;
    auto result = project.run({"report", "--decimal-separator", ","});
    ASSERT_EQ(result.exitCode, 0) << result.stderrText;
    const std::filesystem::path file = project.dir / "Commissioning_Report.html";
    EXPECT_EQ(result.stdoutText, file.string() + "\n");
    const std::string page = readFile(file);
    for (const char* part : {"<h2>Communication parameters</h2>", "<h2>Catalog</h2>",
                             "<td>Bay1</td><td>bay1.icd</td><td>10.0.0.5:102</td>", "<h2>Signal list</h2>",
                             "<td>line one\r\nline &quot;two&quot;, &lt;b&gt;</td>", "<h2>Data sets</h2>",
                             "<svg xmlns=\"http://www.w3.org/2000/svg\"", "<h2>Warnings</h2>\n<p>None.</p>",
                             "<td>bank1.bin</td><td>2048</td>"}) {
        EXPECT_NE(page.find(part), std::string::npos) << part;
    }
    for (const char* outside : {"<script", "src=", "href=", "url(", "@import"}) {
        EXPECT_EQ(page.find(outside), std::string::npos) << outside;
    }

    const std::string other = (project.dir / "out.html").string();
    result = project.run({"report", "-o", other});
    ASSERT_EQ(result.exitCode, 0) << result.stderrText;
    EXPECT_TRUE(readFile(other).starts_with("<!DOCTYPE html>"));
}

// The name comes from the folder however it is written, and the page stays valid UTF-8, escaped, whatever
// bytes the folder's name holds.
TEST(ReportCommand, NamesTheProjectByItsFolderHoweverItIsWritten) {
    sw::test::TempDir root;
    std::filesystem::create_directory(root / "Demo");
    const std::string page = (root / "page.html").string();
    const std::string demo = (root / "Demo").string();
    struct Case {
        std::string folder;
        std::string title;
    };
    std::vector<Case> cases = {
        {demo, "Demo"}, {demo + "/", "Demo"}, {demo + "//", "Demo"}, {demo + "/.", "Demo"}};
#ifndef _WIN32
    // POSIX names are bytes: \xFF is no UTF-8, and the markup must not pass either.
    const std::filesystem::path bad = root.path() / std::filesystem::path("Bad\xFF<b>");
    std::filesystem::create_directory(bad);
    cases.push_back({bad.string() + "/", "Bad\xEF\xBF\xBD&lt;b&gt;"});
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        const auto result = runProcess({SW_CLI_PATH, "report", c.folder, "-o", page});
        ASSERT_EQ(result.exitCode, 0) << result.stderrText;
        const std::string html = readFile(page);
        EXPECT_NE(html.find("<h1>Commissioning report - " + c.title + "</h1>"), std::string::npos);
        EXPECT_NE(html.find("<title>Commissioning report - " + c.title + "</title>"), std::string::npos);
        EXPECT_TRUE(sw::utf8::isValid(html));
        EXPECT_EQ(html.find("<b>"), std::string::npos);
    }
}

} // namespace
