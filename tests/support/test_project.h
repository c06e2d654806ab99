#pragma once

#include "core/project/project_paths.h"
#include "core/shell/program_state.h"
#include "test_support.h"

namespace sw::test {

// A project folder of its own, removed at the end, made the active project of a program state with
// the English texts.
struct TestProject {
    TestProject();

    // Copies the fixtures' parameter file into the project and `icd` (a file of the fixtures' scl
    // folder) into its catalog.
    void addFixtureFiles(const std::string& icd = "bay1.icd") const;

    TempDir dir;
    ProjectPaths paths{dir.path()};
    ProgramState state;
};

// The folder of the tests' own fixture files.
std::filesystem::path fixturesFolder();

// Sets `texts` to the shipped Italian language over the built-in English, as the program does when
// Italian is chosen.
void speakItalian(LangTable& texts);

} // namespace sw::test
