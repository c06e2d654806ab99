#include "core/access/access_editor.h"
#include "core/parameters/parameter_file.h"
#include "core/project/project_paths.h"
#include "core/scl/scl_model.h"
#include "core/shell/program_state.h"
#include "core/shell/settings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using sw::test::readFile;
using sw::test::runProcess;

// The demo as the build lays it out beside the programs.
const std::filesystem::path kDemoSource =
    std::filesystem::path(SW_FIXTURES_DIR) / ".." / ".." / "assets" / "demo";

// A copy of the demo project, so that a build writes its bin folder into a temporary folder.
struct DemoCopy {
    sw::test::TempDir dir;
    sw::ProjectPaths paths{dir / "Demo"};

    DemoCopy() {
        std::filesystem::copy(kDemoSource / "PROJECTS" / "Demo", paths.folder(),
                              std::filesystem::copy_options::recursive);
    }
};

TEST(DemoProject, ChecksBuildsAndDumpsAsOneConsistentPair) {
    DemoCopy demo;
    const auto check = runProcess({SW_CLI_PATH, "check", demo.paths.folder().string()});
    ASSERT_EQ(check.exitCode, 0) << check.stdoutText << check.stderrText;
    EXPECT_NE(check.stdoutText.find("0 DemoBay.icd DemoBay\nOK\n"), std::string::npos) << check.stdoutText;

    // The factors are written with a point; the build must not depend on the user's separator.
    std::string firstBank2;
    for (const char* separator : {",", "."}) {
        const auto built = runProcess(
            {SW_CLI_PATH, "build", demo.paths.folder().string(), "--decimal-separator", separator});
        ASSERT_EQ(built.exitCode, 0) << built.stderrText;
        const std::string bank2 = readFile(demo.paths.variableImage());
        if (firstBank2.empty()) {
            firstBank2 = bank2;
        }
        EXPECT_EQ(bank2, firstBank2) << "separator " << separator;
    }

    const auto dump = runProcess(
        {SW_CLI_PATH, "dump", demo.paths.parameterImage().string(), demo.paths.variableImage().string()});
    EXPECT_EQ(dump.exitCode, 0) << dump.stdoutText << dump.stderrText;
    for (const char* expected : {"IP address      192.168.0.10", "header: 10 variable(s), 1 data set(s)",
                                 "\"DemoBayCTRL/Q0XCBR1.Pos.stVal\"", "\"DemoBayMEAS/MMXU1.TotW.mag.f\"",
                                 "GOOSE name \"GoCB_Status\"", "reference \"DemoBayCTRL/LLN0.GooseSt\"",
                                 "member 4 of data set 1", "\nconsistent\n"}) {
        EXPECT_NE(dump.stdoutText.find(expected), std::string::npos) << expected << "\n" << dump.stdoutText;
    }
}

// The access editor opens the demo with its device loaded and every member setting matched, and writes
// it back unchanged: the demo is exactly what a user would have saved.
TEST(DemoProject, FilesAreWhatTheProgramItselfWrites) {
    DemoCopy demo;
    sw::access::AccessEditor editor;
    const auto report = editor.open(demo.paths);
    EXPECT_TRUE(report.droppedMembers.empty()) << report.message();
    ASSERT_EQ(editor.list().devices().size(), 1U);
    const sw::SclIed* device = editor.list().devices()[0].device.get();
    ASSERT_NE(device, nullptr) << editor.list().devices()[0].problem;
    EXPECT_EQ(device->logicalDevices().size(), 2U);
    ASSERT_EQ(editor.list().dataSets().size(), 1U);
    ASSERT_NE(editor.list().dataSets()[0].Select_DataSet, nullptr);
    EXPECT_EQ(editor.list().dataSets()[0].Select_DataSet->fGooseName(), "GoCB_Status");
    EXPECT_EQ(editor.list().dataSets()[0].List_DAs.size(), 4U);

    const auto saved = demo.dir / "saved.xml";
    editor.save(saved);
    EXPECT_EQ(readFile(saved), readFile(demo.paths.accessFile()));

    EXPECT_EQ(sw::parameterFileBytes(sw::readParameterFile(demo.paths.parGenFile())),
              readFile(demo.paths.parGenFile()));

    sw::ProgramState state;
    state.session.programFolder = kDemoSource;
    ASSERT_EQ(sw::readSettings(state), sw::SettingsSource::Read);
    EXPECT_EQ(state.session.activeProjectName, "Demo");
    EXPECT_EQ(sw::settingsBytes(state), readFile(kDemoSource / "Mendral.xml"));
}

} // namespace
