#include "core/access/access_editor.h"
#include "core/project/project_paths.h"
#include "core/scl/scl_model.h"
#include "test_project.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using namespace sw::access;
using sw::test::readFile;
using sw::test::runProcess;
using sw::test::writeFile;

const std::filesystem::path kFixtures = SW_FIXTURES_DIR;

// A project with the fixture parameter file and bay1.icd in its catalog.
struct Project : sw::test::TestProject {
    Project() { addFixtureFiles(); }
    sw::test::ProcessResult run(const std::string& command, const char* separator = ",") const {
        return runProcess({SW_CLI_PATH, command, dir.path().string(), "--decimal-separator", separator});
    }
};

std::string accessFile(const std::string& position, const std::string& factor) {
    return R"(<IEC_68850_Client><List_ICD_Files><ICD_File Name="a" FileName="gone.icd"/>)"
           R"(<ICD_File Name="b" FileName="bay1.icd"/><ICD_File Name="c" FileName="../bay1.icd"/>)"
           R"(<ICD_File Name="d" FileName="broken.icd"/></List_ICD_Files><List_DA_Selected>)"
           R"(<DA_Item Index="1" bType="BOOLEAN" fc="ST" Reference="r" IPAddress="10.0.0.1" Port="102" )"
           R"(OnTimer="N" Position=")" +
           position + R"(" MoltFact=")" + factor +
           R"("/></List_DA_Selected><List_DataSet_Selected><DataSet_Item Port="99999"/>)"
           R"(</List_DataSet_Selected></IEC_68850_Client>)";
}

TEST(CheckCommand, PrintsTheCatalogThenOkOrTheFirstFailingMessage) {
    Project project;
    writeFile(project.paths.icdCatalog() / "broken.icd", "<SCL>");
    const std::string catalog =
        "0 gone.icd missing\n1 bay1.icd Bay1\n2 ../bay1.icd missing\n3 broken.icd unreadable\n";
    const struct {
        const char* position;
        const char* factor;
        const char* separator;
        int exitCode;
        const char* verdict;
    } cases[] = {
        {"1399", "0,5", ",", 0, "OK"},
        {"1399", "0.5", ",", 0, "OK"},
        {"1399", " none ", ".", 0, "OK"},
        {"1400", "1", ",", 1, "Error row 1!! Position must be between 0 and 1399"},
        {"0", "x", ".", 1, "Error row 1!! Mult. Factor must be a valid Float"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.position) + " " + c.factor);
        writeFile(project.paths.accessFile(), accessFile(c.position, c.factor));
        const auto result = project.run("check", c.separator);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.stderrText;
        EXPECT_EQ(result.stdoutText, catalog + c.verdict + "\n");
    }
}

TEST(CheckCommand, CommunicationSettingsAreCheckedFirst) {
    Project project;
    std::string parameters = readFile(project.paths.parGenFile());
    parameters.replace(parameters.find(">192<"), 5, ">300<");
    writeFile(project.paths.parGenFile(), parameters);
    writeFile(project.paths.accessFile(), accessFile("1400", "1"));
    const auto result = project.run("check");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.stdoutText.find("1 bay1.icd Bay1\n"), std::string::npos);
    EXPECT_NE(result.stdoutText.find("\nError IEC61850 Client!! IP Address 1 must be between 0 and 255\n"),
              std::string::npos)
        << result.stdoutText;

    EXPECT_EQ(runProcess({SW_CLI_PATH, "check", (project.dir / "none").string()}).exitCode, 2);
    EXPECT_EQ(project.run("check", ";").exitCode, 2);
}

// Opens the project as the editor does, adds the switch position and data set DS1 with member settings
// when asked to, and saves at OK.
void openAndSave(const sw::ProjectPaths& paths, bool addRows) {
    AccessEditor editor;
    editor.open(paths);
    if (addRows) {
        editor.addDevice(paths, paths.icdCatalog() / "bay1.icd", [] { return OverwriteAnswer::No; });
        editor.chooseDevice(0);
        const sw::SclLogicalDevice* ld = editor.chosenModel()->findLogicalDevice("CTRL");
        editor.selectTreeNode(ld->findLogicalNode("XCBR")->findDataObject("Pos")->findAttribute("stVal"));
        editor.addVar();
        const struct {
            std::size_t attribute;
            const char* text;
        } cells[] = {{VariableColumn::IPAddress, "10.0.0.2"}, {VariableColumn::Port, "102"},
                     {VariableColumn::OnTimer, "Y"},          {VariableColumn::Time, "500"},
                     {VariableColumn::Position, "7"},         {VariableColumn::StartBit, "3"},
                     {VariableColumn::ReadWrite, "Read"},     {VariableColumn::MoltFact, "0,5"}};
        for (const auto& c : cells) {
            editor.list().setVariableCell(1, tableColumn(c.attribute), c.text);
        }
        editor.selectTreeNode(editor.list().findDataSet(0, "Bay1CTRL/LLN0.DS1"));
        editor.addVar();
        editor.list().setDataSetCell(1, tableColumn(DataSetColumn::IPAddress), "10.0.0.3");
        editor.list().setDataSetCell(1, tableColumn(DataSetColumn::Port), "102");
        editor.showDataSetMembers(1);
        // Every member lands somewhere: the check refuses a member without its place.
        for (std::size_t member = 1; member <= editor.shownMembers().size(); ++member) {
            editor.setShownMemberCell(member, tableColumn(MemberColumn::Position),
                                      std::to_string(20 + member));
            editor.setShownMemberCell(member, tableColumn(MemberColumn::MoltFact), "None");
        }
        editor.setShownMemberCell(2, tableColumn(MemberColumn::Position), "9");
        editor.setShownMemberCell(2, tableColumn(MemberColumn::MoltFact), "2,5");
    }
    editor.save(paths.accessFile());
}

TEST(CheckCommand, AccessFileSavedByTheEditorBuildsTheSameImagesAfterEverySave) {
    Project project;
    openAndSave(project.paths, true);
    const std::string saved = readFile(project.paths.accessFile());
    ASSERT_EQ(project.run("check").stdoutText, "0 bay1.icd Bay1\nOK\n");

    ASSERT_EQ(project.run("build").exitCode, 0) << project.run("build").stderrText;
    const std::string bank1 = readFile(project.paths.parameterImage());
    const std::string bank2 = readFile(project.paths.variableImage());
    for (int round = 0; round < 2; ++round) {
        openAndSave(project.paths, false);
        EXPECT_EQ(readFile(project.paths.accessFile()), saved);
        ASSERT_EQ(project.run("build").exitCode, 0);
        EXPECT_EQ(readFile(project.paths.parameterImage()), bank1);
        EXPECT_EQ(readFile(project.paths.variableImage()), bank2);
    }
    const auto dump = runProcess({SW_CLI_PATH, "dump", project.paths.variableImage().string()});
    EXPECT_NE(dump.stdoutText.find("Bay1CTRL/LLN0.DS1"), std::string::npos) << dump.stdoutText;
}

} // namespace
