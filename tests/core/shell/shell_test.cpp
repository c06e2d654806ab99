#include "core/project/project_paths.h"
#include "core/shell/projects.h"
#include "core/shell/settings.h"
#include "core/shell/startup.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

using sw::test::TempDir;

std::string settingsXml(const std::string& inner) {
    return "<Conf_Settings>" + inner + "</Conf_Settings>";
}

TEST(StartUp, FirstStartInAnEmptyFolderCreatesFoldersAndWritesDefaults) {
    TempDir dir;
    sw::ProgramState state;
    EXPECT_EQ(sw::startProgramState(state, dir.path()), sw::SettingsSource::Missing);
    for (const char* folder : {"MASTER", "PROJECTS", "LANGUAGE"}) {
        EXPECT_TRUE(std::filesystem::is_directory(dir / folder)) << folder;
    }
    EXPECT_FALSE(state.session.projectActive());
    EXPECT_EQ(state.settings.languageName, "English");
    EXPECT_EQ(state.texts.size(), static_cast<std::size_t>(sw::LangTableSize));
    EXPECT_EQ(state.texts.Get(18), "Error! Project not Valid");
    EXPECT_EQ(state.product.softwareCode, "SW40512");
    sw::saveSettings(state);
    EXPECT_EQ(sw::test::readFile(dir / "Mendral.xml"),
              settingsXml("<lastproj><projectname/></lastproj><lastipadd><ipaddress>192.168.2.205</ipaddress>"
                          "</lastipadd><lastlang><language>English</language></lastlang><lastinternet>"
                          "<enable_internet>0</enable_internet><enable_update>0</enable_update>"
                          "<enable_jump_field_tables>0</enable_jump_field_tables><Double_Click_Auto_Size>0"
                          "</Double_Click_Auto_Size></lastinternet>"));
}

TEST(Settings, EachValueFallsBackOnItsOwn) {
    struct Case {
        const char* name;
        std::string file;
        std::string project, ip, language;
        bool internet, update, jump, autosize;
    };
    const std::string all = "<lastproj><projectname>Plant</projectname></lastproj>"
                            "<lastipadd><ipaddress>10.0.0.1</ipaddress></lastipadd>"
                            "<lastlang><language>Deutsch</language></lastlang>";
    const Case cases[] = {
        {"all set",
         settingsXml(all + "<lastinternet><enable_internet>1</enable_internet><enable_update>1"
                           "</enable_update><enable_jump_field_tables>1</enable_jump_field_tables>"
                           "<Double_Click_Auto_Size>1</Double_Click_Auto_Size></lastinternet>"),
         "Plant", "10.0.0.1", "Deutsch", true, true, true, true},
        {"flags only exact 1",
         settingsXml(all + "<lastinternet><enable_internet>true</enable_internet>"
                           "<enable_update> 1</enable_update></lastinternet>"),
         "Plant", "10.0.0.1", "Deutsch", false, false, false, false},
        {"no lastinternet", settingsXml(all), "Plant", "10.0.0.1", "Deutsch", false, false, false, false},
        {"empty ipaddress", settingsXml("<lastipadd><ipaddress/></lastipadd>"), "", "", "English", false,
         false, false, false},
        {"element instead of text", settingsXml("<lastproj><projectname><x/></projectname></lastproj>"), "",
         "192.168.2.205", "English", false, false, false, false},
        {"declaration first", "<?xml version=\"1.0\"?>\n" + settingsXml(all), "Plant", "10.0.0.1", "Deutsch",
         false, false, false, false},
        {"comment first", "<!-- hand edited -->" + settingsXml(all), "Plant", "10.0.0.1", "Deutsch", false,
         false, false, false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        sw::test::writeFile(dir / "Mendral.xml", c.file);
        sw::ProgramState state;
        state.session.programFolder = dir.path();
        EXPECT_EQ(sw::readSettings(state), sw::SettingsSource::Read) << c.name;
        EXPECT_EQ(state.session.activeProjectName, c.project) << c.name;
        EXPECT_EQ(state.settings.lastIpAddress, c.ip) << c.name;
        EXPECT_EQ(state.settings.languageName, c.language) << c.name;
        EXPECT_EQ(state.settings.enableInternet, c.internet) << c.name;
        EXPECT_EQ(state.settings.enableUpdateCheck, c.update) << c.name;
        EXPECT_EQ(state.settings.enableJumpFieldTables, c.jump) << c.name;
        EXPECT_EQ(state.settings.doubleClickAutoSize, c.autosize) << c.name;
    }
}

TEST(Settings, MalformedFileGivesFallbacksAndIsKeptAside) {
    TempDir dir;
    const std::string broken = "<Conf_Settings><lastproj><projectname>Plant</projectname>";
    sw::test::writeFile(dir / "Mendral.xml", broken);
    sw::ProgramState state;
    EXPECT_EQ(sw::startProgramState(state, dir.path()), sw::SettingsSource::Unreadable);
    EXPECT_EQ(state.session.activeProjectName, "");
    EXPECT_EQ(state.settings.lastIpAddress, "192.168.2.205");
    EXPECT_EQ(sw::test::readFile(dir / "Mendral.xml.bad"), broken);
}

TEST(StartUp, MissingProjectFolderLeavesNoProjectButKeepsTheName) {
    TempDir dir;
    sw::test::writeFile(dir / "Mendral.xml",
                        settingsXml("<lastproj><projectname>Gone</projectname></lastproj>"
                                    "<lastlang><language>Klingon</language></lastlang>"));
    sw::ProgramState state;
    sw::startProgramState(state, dir.path());
    EXPECT_FALSE(state.session.projectActive());
    EXPECT_EQ(state.session.activeProjectName, "Gone");
    EXPECT_EQ(state.settings.languageName, "English"); // the language file is missing
    sw::saveSettings(state);
    EXPECT_NE(sw::test::readFile(dir / "Mendral.xml").find("<projectname>Gone</projectname>"),
              std::string::npos);

    std::filesystem::create_directories(dir / "PROJECTS" / "Gone");
    sw::startProgramState(state, dir.path());
    EXPECT_TRUE(state.session.projectActive());
    EXPECT_EQ(state.session.project().parGenFile(), dir / "PROJECTS" / "Gone" / "ParGen.xml");
    EXPECT_EQ(state.session.project().accessFile(), dir / "PROJECTS" / "Gone" / "IEC_61850_Client.xml");
}

TEST(StartUp, StoredProjectNameOutsideTheProjectsFolderOpensNoProject) {
    TempDir dir;
    std::filesystem::create_directories(dir / "elsewhere");
    std::filesystem::create_directories(dir / "PROJECTS" / "a" / "b");
    // Every name below names an existing folder, but none is one folder directly below PROJECTS.
    for (const std::string& name : {(dir / "elsewhere").string(), std::string("../elsewhere"),
                                    std::string("a/b"), std::string("."), std::string("..")}) {
        sw::test::writeFile(dir / "Mendral.xml",
                            settingsXml("<lastproj><projectname>" + name + "</projectname></lastproj>"));
        sw::ProgramState state;
        sw::startProgramState(state, dir.path());
        EXPECT_FALSE(state.session.projectActive()) << name;
        EXPECT_EQ(state.session.activeProjectName, name)
            << name; // written back as it was, like a missing project
        EXPECT_EQ(state.session.project().parGenFile(), std::filesystem::path("ParGen.xml")) << name;
    }
}

TEST(Projects, ProjectPathsNameEveryFileBelowTheFolder) {
    const sw::ProjectPaths paths("/p/Plant");
    EXPECT_EQ(paths.folder(), std::filesystem::path("/p/Plant"));
    EXPECT_EQ(paths.parGenFile(), std::filesystem::path("/p/Plant/ParGen.xml"));
    EXPECT_EQ(paths.accessFile(), std::filesystem::path("/p/Plant/IEC_61850_Client.xml"));
    EXPECT_EQ(paths.icdCatalog(), std::filesystem::path("/p/Plant/ICD_Catalog"));
    EXPECT_EQ(paths.binFolder(), std::filesystem::path("/p/Plant/bin"));
    EXPECT_EQ(paths.parameterImage(), std::filesystem::path("/p/Plant/bin/bank1.bin"));
    EXPECT_EQ(paths.variableImage(), std::filesystem::path("/p/Plant/bin/bank2.bin"));
}

TEST(Settings, UnwritableSettingsFileIsAnErrorNamingThePath) {
    TempDir dir;
    sw::ProgramState state;
    state.session.programFolder = dir / "no-such-folder";
    try {
        sw::saveSettings(state);
        FAIL() << "no error";
    } catch (const std::exception& error) {
        EXPECT_NE(std::string(error.what()).find("Mendral.xml"), std::string::npos) << error.what();
    }
}

TEST(Projects, NewProjectRefusesBadNamesAndCreatesBinFolder) {
    TempDir dir;
    sw::ProgramState state;
    sw::startProgramState(state, dir.path());
    std::filesystem::create_directory(dir / "PROJECTS" / "Existing");
    sw::test::writeFile(dir / "PROJECTS" / "AFile", "x");
    struct Case {
        std::string name;
        std::optional<int> refusal;
    };
    const Case cases[] = {{"", 107},    {"Existing", 106}, {"AFile", 106}, {"../outside", 105},
                          {"a/b", 105}, {"a\\b", 105},     {".", 105},     {"..", 105}};
    for (const auto& c : cases) {
        EXPECT_EQ(sw::createNewProject(state, c.name), c.refusal) << c.name;
        EXPECT_FALSE(state.session.projectActive()) << c.name;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "outside"));
#ifdef _WIN32
    // Names the system would change or take for a device.
    for (const char* name :
         {"Plant ", "Plant.", "a:b", "a*b", "a?b", "a|b", "a\"b", "a<b", "NUL", "com1.txt", "Lpt9"}) {
        EXPECT_EQ(sw::createNewProject(state, name), 105) << name;
    }
    const std::string typed = " Plant"; // the system keeps leading blanks
#else
    const std::string typed = " Plant ";
#endif

    EXPECT_EQ(sw::createNewProject(state, typed), std::nullopt); // names are taken as typed
    EXPECT_TRUE(std::filesystem::is_directory(dir / "PROJECTS" / typed / "bin"));
    EXPECT_EQ(state.session.activeProjectName, typed);
    EXPECT_EQ(state.session.project().parGenFile(), dir / "PROJECTS" / typed / "ParGen.xml");
}

// On Windows the narrow file-name conversions could not even hold the Greek letters.
TEST(Projects, ProjectNamedWithLettersBeyondAsciiIsCreatedListedAndReopened) {
    TempDir dir;
    sw::ProgramState state;
    sw::startProgramState(state, dir.path());
    const std::string name = "Umspannwerk S\u00fcd \u03a9\u03bc\u03ad\u03b3\u03b1";
    ASSERT_EQ(sw::createNewProject(state, name), std::nullopt);
    const auto folder = dir / "PROJECTS" / sw::pathFromUtf8(name);
    EXPECT_TRUE(std::filesystem::is_directory(folder / "bin"));
    EXPECT_EQ(sw::projectNames(dir / "PROJECTS"), std::vector<std::string>{name});
    EXPECT_EQ(sw::activeProjectFolderName(state), name);
    EXPECT_EQ(sw::createNewProject(state, name), 106);

    sw::saveSettings(state);
    sw::ProgramState again;
    sw::startProgramState(again, dir.path());
    EXPECT_TRUE(again.session.projectActive());
    EXPECT_EQ(again.session.activeProjectName, name);
    EXPECT_EQ(again.session.project().parGenFile(), folder / "ParGen.xml");
}

TEST(Projects, ListingSkipsFilesAndHiddenFoldersAndSearchIgnoresLetterCase) {
    TempDir dir;
    std::filesystem::create_directories(dir / "Beta");
    std::filesystem::create_directories(dir / ".hidden");
    sw::test::writeFile(dir / "file.txt", "x");
    EXPECT_EQ(sw::projectNames(dir.path()), std::vector<std::string>{"Beta"});
    EXPECT_TRUE(sw::projectNames(dir / "missing").empty());

    const std::vector<std::string> names{"Alpha", "Ärger", "beta"};
    EXPECT_EQ(sw::findProjectName(names, "BETA"), 2);
    EXPECT_EQ(sw::findProjectName(names, "alpha"), 0);
    EXPECT_EQ(sw::findProjectName(names, "ärger"), -1); // only a to z ignore case
    EXPECT_EQ(sw::findProjectName(names, ""), -1);
}

} // namespace
