#include "test_project.h"

#include "core/language/builtin_texts.h"
#include "core/language/language_file.h"

namespace sw::test {

TestProject::TestProject() {
    fillBuiltinTexts(state.texts);
    state.product.softwareCode = "SW40512";
    state.session.activeProjectFolder = dir.path();
}

void TestProject::addFixtureFiles(const std::string& icd) const {
    std::filesystem::copy_file(fixturesFolder() / "image" / "ParGen.xml", paths.parGenFile());
    std::filesystem::create_directories(paths.icdCatalog());
    std::filesystem::copy_file(fixturesFolder() / "scl" / icd, paths.icdCatalog() / icd);
}

std::filesystem::path fixturesFolder() {
    return SW_FIXTURES_DIR;
}

void speakItalian(LangTable& texts) {
    fillBuiltinTexts(texts);
    LoadLanguageFile(texts, fixturesFolder() / ".." / ".." / "assets" / "LANGUAGE" / "Italiano.lng");
}

} // namespace sw::test
