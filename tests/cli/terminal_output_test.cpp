#include "core/access/access_file.h"
#include "core/common/utf8.h"
#include "test_project.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace sw::access;
using sw::test::writeFile;

// A file whose names try to take over the terminal: escape sequences, a bare carriage return and line
// feeds given as character references, in the IED, logical device, node, data object and data set
// names, and in the description. Two IEDs share the hostile name.
const std::string kHostileIed = "Evil&#27;]0;owned&#7;&#10;FAKEIED 6.6.6.6 injected";
const std::string kHostileScl =
    R"(<SCL><Communication><SubNetwork name="S&#27;[2J"><ConnectedAP iedName=")" + kHostileIed +
    R"(" apName="AP1"><Address><P type="IP">10.0.0.1</P></Address></ConnectedAP></SubNetwork></Communication>)"
    R"(<IED name=")" +
    kHostileIed +
    R"(" desc="desc&#13;FAKEIED 7.7.7.7 overwritten"><AccessPoint name="AP1"><Server>)"
    R"(<LDevice inst="LD&#27;[31m&#10;FAKEIED ld"><LN0 lnClass="LLN0" inst="" lnType="T">)"
    R"(<DataSet name="DS&#27;[1A&#10;FAKEIED ds"><FCDA ldInst="LD" lnClass="LLN0" doName="D&#13;o"/></DataSet>)"
    R"(</LN0><LN prefix="P&#155;2J&#10;FAKEIED ln" lnClass="GGIO" inst="1" lnType="T"/></LDevice>)"
    R"(</Server></AccessPoint></IED><IED name=")" +
    kHostileIed +
    R"("/>)"
    R"(<DataTypeTemplates><LNodeType id="T" lnClass="GGIO"><DO name="Do&#10;FAKEIED do" type="D"/>)"
    R"(</LNodeType><DOType id="D"><DA name="stVal&#27;[0m" bType="BOOLEAN" fc="ST"/></DOType>)"
    R"(</DataTypeTemplates></SCL>)";
const std::string kHostileText = "Ref\x1B[2J\rFAKEIED 8.8.8.8\nFAKEIED row\xC2\x9B"
                                 "1m\x7F";

// A control byte a terminal acts on: C0 but the line feed, DEL, C1 (as UTF-8 or as a bare byte).
bool holdsRawControl(const std::string& text) {
    if (!sw::utf8::isValid(text)) {
        return true;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool c1 = byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if ((byte < 0x20 && byte != '\n') || byte == 0x7F || c1) {
            return true;
        }
    }
    return false;
}

bool holdsFakeLine(const std::string& text) {
    return text.rfind("FAKEIED", 0) == 0 || text.find("\nFAKEIED") != std::string::npos;
}

TEST(TerminalOutput, NamesFromFilesNeverPrintRawControlBytesOrExtraLines) {
    sw::test::TestProject project;
    project.addFixtureFiles();
    writeFile(project.paths.icdCatalog() / "hostile.icd", kHostileScl);
    AccessFile access;
    access.catalog.resize(1);
    access.catalog[0].cells = {"Evil", "hostile.icd"};
    access.catalog[0].present.set();
    VariableRow row;
    row.cells = {"0", "BOOLEAN", "ST", kHostileText, "127.0.0.1", "1",    "Y", "N",
                 "N", "",        "10", "",           "Read",      "None", "1", kHostileText};
    row.present.set();
    access.variables = {row};
    DataSetRow dataSet;
    dataSet.cells = {"0", kHostileText, "Go", "N", "127.0.0.1", "1", "", kHostileText};
    dataSet.present.set();
    access.dataSets = {dataSet};
    // First a list the check accepts, whose line breaks, DEL and C1 reach the image and its dump; then
    // a hand-edited one holding ESC, which no writer of ours writes and the check refuses.
    const auto withoutEscape = [](std::string text) {
        std::erase(text, '\x1B');
        return text;
    };
    for (std::string& cell : access.variables[0].cells) {
        cell = withoutEscape(cell);
    }
    for (std::string& cell : access.dataSets[0].cells) {
        cell = withoutEscape(cell);
    }
    std::string buildable = accessFileBytes(access);
    writeFile(project.paths.accessFile(), buildable);
    ASSERT_EQ(
        sw::test::runProcess({SW_CLI_PATH, "build", project.dir.path().string(), "--decimal-separator", "."})
            .exitCode,
        0);
    for (std::size_t at = buildable.find("Ref["); at != std::string::npos;
         at = buildable.find("Ref[", at + 1)) {
        buildable.replace(at, 3, "Ref&#27;");
    }
    writeFile(project.paths.accessFile(), buildable);
    for (std::size_t at = buildable.find("Ref["); at != std::string::npos;
         at = buildable.find("Ref[", at + 1)) {
        buildable.replace(at, 3, "Ref&#27;");
    }
    writeFile(project.paths.accessFile(), buildable);

    const std::string folder = project.dir.path().string();
    const std::string scl = (project.paths.icdCatalog() / "hostile.icd").string();
    const std::string bank2 = (project.paths.binFolder() / "bank2.bin").string();
    const std::string hostileName = "Evil\x1B]0;owned\a\nFAKEIED 6.6.6.6 injected";
    const std::string report = (project.dir / "report\x1B[2J\nFAKEIED.html").string();
    const struct {
        std::vector<std::string> args;
        const char* shows; // an escaped text the output must hold
    } cases[] = {
        {{"ieds", scl}, "Evil\\x1B]0;owned\\x07\\nFAKEIED 6.6.6.6 injected 10.0.0.1 desc\\rFAKEIED"},
        {{"tree", scl}, "LN \"P\\u009B2J\\nFAKEIED ln\" \"GGIO\""},
        {{"tree", "--ied", hostileName, scl}, "DS \"DS\\x1B[1A\\nFAKEIED ds\""},
        {{"tree", "--ied", hostileName, "--ied-position", "2", scl}, "IED 2 of 2 named \"Evil\\x1B]0;"},
        {{"check", folder}, "0 hostile.icd Evil\\x1B]0;owned\\x07\\nFAKEIED"},
        {{"lint", folder}, "Ref\\x1B[2J\\rFAKEIED 8.8.8.8\\nFAKEIED row\\u009B1m\\x7F"},
        {{"live", folder, "--timeout", "1"}, "var 1 "},
        {{"report", folder, "-o", report}, "report\\x1B[2J\\nFAKEIED.html"},
        {{"build", folder, "--decimal-separator", "."}, "Reference holds the control character U+001B"},
        {{"dump", bank2}, "Ref[2J\\rFAKEIED 8.8.8.8\\nFAKEIED row\\u009B1m\\x7F"},
        {{"parameters", folder + "\x1B[2J"}, "\\x1B[2J"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv = c.args;
        argv.insert(argv.begin(), SW_CLI_PATH);
        const auto result = sw::test::runProcess(argv);
        const std::string output = result.stdoutText + result.stderrText;
        SCOPED_TRACE(c.args.front() + " " + c.args.back() + ":\n" + output);
        EXPECT_FALSE(holdsRawControl(result.stdoutText));
        EXPECT_FALSE(holdsRawControl(result.stderrText));
        EXPECT_FALSE(holdsFakeLine(result.stdoutText));
        EXPECT_FALSE(holdsFakeLine(result.stderrText));
        EXPECT_NE(output.find(c.shows), std::string::npos);
    }
}

} // namespace
