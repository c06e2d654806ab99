// The streaming reader of the access file against the full parser: where it takes a file the image and
// every error are the parser's own; where it cannot vouch for a file it leaves it to the parser.
#include "image_test_helpers.h"

#include "core/common/config_error.h"
#include "core/image/iec61850_client.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using sw::image::AccessReading;

struct Outcome {
    std::string result; // "image " + bytes, or "error " + text
    bool streamed = false;
};

Outcome read(const std::filesystem::path& file, AccessReading reading) {
    sw::image::TIEC61850_Client client;
    client.Clear_Client();
    Outcome outcome;
    try {
        client.Load_Access_List(file, sw::Image_Base, ',', reading);
        std::vector<std::uint8_t> image;
        image.resize(client.Write_Variable_Image(0, image, sw::image::kVariableImageLimit));
        outcome.result = "image " + std::string(image.begin(), image.end());
    } catch (const sw::ConfigError& error) {
        outcome.result = std::string("error ") + error.what();
    }
    outcome.streamed = client.streamed();
    return outcome;
}

const std::string kVariable =
    R"(<DA_Item Index="0" bType="BOOLEAN" fc="ST" Reference="IED1CTRL/XCBR1.Pos.stVal" IPAddress="192.168.2.10" )"
    R"(Port="102" OnChange="Y" OnCMD="N" OnTimer="N" Time="1000" Position="0" StartBit="0" ReadWrite="Read" )"
    R"(Convertion="None" MoltFact="1,5" Mnemonic=""/>)";
const std::string kDataSet =
    R"(<DataSet_Item Index="0" Reference="IED1CTRL/LLN0.Events" GooseName="G1" EnGoose="Y" IPAddress="10.0.0.1" )"
    R"(Port="102" Time="500" Mnemonic=""><DataSet_List_DAs>)"
    R"(<DataSet_DA_Item bType="BOOLEAN" Reference="IED1CTRL/GGIO1.Ind1.stVal" Position="1" StartBit="0" )"
    R"(Convertion="None" MoltFact="1" Mnemonic=""/></DataSet_List_DAs></DataSet_Item>)";

std::string accessFile(const std::string& variables, const std::string& dataSets = kDataSet) {
    return "<IEC_68850_Client><List_ICD_Files/><List_DA_Selected>" + variables +
           "</List_DA_Selected><List_DataSet_Selected>" + dataSets +
           "</List_DataSet_Selected></IEC_68850_Client><!--SW_VERSION = 1.000-->";
}

struct Case {
    const char* what;
    std::string xml;
    bool streamed; // whether the streaming reader is expected to take the file
};

const Case kCases[] = {
    {"the access editor's own form", accessFile(kVariable), true},
    {"BOM, declaration, comments and indentation",
     "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\" standalone='yes'?>\n<!-- hand edit -->\n"
     "<IEC_68850_Client>\n  <List_DA_Selected>\n    <!-- a - b -->\n    " +
         kVariable + "\n  </List_DA_Selected >\n</IEC_68850_Client>\n<!--SW_VERSION = 1.000-->\n",
     true},
    {"single quotes, blanks around '=', attributes shuffled, open and close tags",
     accessFile(R"(<DA_Item MoltFact = '2,5' fc='ST' Port="102" Time='1000' Position ="7" StartBit= "3" )"
                R"(bType='INT32' Reference='a"b' IPAddress="x'y" ReadWrite='Write'></DA_Item>)"),
     true},
    {"entities and character references in values",
     accessFile(
         R"(<DA_Item bType="&lt;&gt;&amp;&quot;&apos;" fc="&#83;&#x54;" Reference="&#233;&#x20AC;&#x1F601;" )"
         R"(IPAddress="a&#10;b&#9;c" Port="&#49;02" Time="1000" Position="0" StartBit="0" MoltFact="1"/>)"),
     true},
    {"line ends, tabs and several blanks between attributes",
     accessFile(
         "<DA_Item\n\tbType=\"b\"  fc=\"ST\"\r\n  Reference=\"r\" IPAddress=\"i\"\tPort=\"1\" Time=\"1\" "
         "Position=\"1\" StartBit=\"1\" MoltFact=\"1\"\n/>"),
     true},
    {"duplicate attribute names: the first counts",
     accessFile(
         R"(<DA_Item bType="A" bType="B" fc="ST" fc="MX" Reference="r" IPAddress="i" Port="1" Port="2" )"
         R"(Time="1" Position="1" StartBit="1" MoltFact="1" ReadWrite="Read" ReadWrite="Write"/>)"),
     true},
    {"lists in another order, second copies and other elements ignored",
     "<IEC_68850_Client><Other><List_DA_Selected/></Other><List_DataSet_Selected>" + kDataSet +
         "</List_DataSet_Selected><List_DA_Selected>text" + kVariable +
         "</List_DA_Selected><List_DA_Selected><DA_Item/></List_DA_Selected></IEC_68850_Client>",
     true},
    {"names and flag words that differ only at their ends, non-ASCII after the first word",
     accessFile(
         R"(<DA_Item bTypf="X" bType="INT32" fc="ST" Referencf="no" Reference="abcdefghijklmnopéq" )"
         R"(IPAddress="i" Port="1" OnChange="YY" OnCMD="y" OnTimer="Y" Time="1" Position="1" StartBit="1" )"
         R"(ReadWrite="Rea" Convertion="ItoF/FtoI " MoltFact="1" ConvertioN="ItoF/FtoI"/>)"
         R"(<DA_Item bType="b" fc="M" Reference="r" IPAddress="i" Port="1" Time="1" Position="1" )"
         R"(StartBit="1" ReadWrite="Read" Convertion="ItoF/FtoI" MoltFact="1" OnChange="Y" OnCMD="Y"/>)",
         R"(<DataSet_Item Index="0" Reference="r" GooseName="g" EnGoose="YES" IPAddress="i" Port="1" )"
         R"(Time="1"><DataSet_List_DAs><DataSet_DA_Item bType="b" Reference="r" Position="1" )"
         R"(StartBit="0" Convertion="ItoF/FtoI" MoltFact="1"/></DataSet_List_DAs></DataSet_Item>)"),
     true},
    {"every attribute in the editor's order but one misspelt",
     accessFile(kVariable,
                R"(<DataSet_Item Index="0" Reference="r" GooseName="g" EnGoose="Y" IPAddress="i" )"
                R"(Port="1" Time="1" Mnemonic=""><DataSet_List_DAs><DataSet_DA_Item bType="b" )"
                R"(Reference="r" Position="1" StartBiT="0" Convertion="None" MoltFact="1" Mnemonic=""/>)"
                R"(</DataSet_List_DAs></DataSet_Item>)"),
     true},
    {"a missing attribute", accessFile(R"(<DA_Item fc="ST"/>)"), true},
    {"a variable fault outranks an earlier data set fault",
     "<IEC_68850_Client><List_DataSet_Selected><DataSet_Item/></List_DataSet_Selected><List_DA_Selected>"
     "<DA_Item/></List_DA_Selected></IEC_68850_Client>",
     true},
    {"no List_DA_Selected outranks a data set fault",
     "<IEC_68850_Client><List_DataSet_Selected><DataSet_Item/></List_DataSet_Selected></IEC_68850_Client>",
     true},
    {"a data set without its member list",
     accessFile(kVariable, R"(<DataSet_Item Port="1" Time="1" GooseName="g" Reference="r" IPAddress="i"/>)"),
     true},
    {"another root element", "<Other/>", true},
    {"CDATA", accessFile("<![CDATA[x]]>" + kVariable), false},
    {"DOCTYPE", "<!DOCTYPE IEC_68850_Client>" + accessFile(kVariable), false},
    {"processing instruction", accessFile("<?pi x?>" + kVariable), false},
    {"declared Latin-1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + accessFile(kVariable), false},
    {"UTF-16 byte order mark", std::string("\xFF\xFE<\0", 4), false},
    {"literal line end in a value", accessFile(R"(<DA_Item bType="a
b" fc="ST" Reference="r" IPAddress="i" Port="1" Time="1" Position="1" StartBit="1" MoltFact="1"/>)"),
     false},
    {"literal tab and CR LF in values",
     accessFile(
         "<DA_Item bType=\"a\tb\" fc=\"ST\" Reference=\"r\r\ns\" IPAddress=\"i\" Port=\"1\" Time=\"1\" "
         "Position=\"1\" StartBit=\"1\" MoltFact=\"1\"/>"),
     false},
    {"unknown entity", accessFile(R"(<DA_Item bType="&nbsp;"/>)"), false},
    {"'--' inside a comment", accessFile("<!-- a -- b -->" + kVariable), false},
    {"'<' in a value", accessFile(R"(<DA_Item bType="a<b"/>)"), false},
    {"mismatched end tag", "<IEC_68850_Client><List_DA_Selected></List_DA></IEC_68850_Client>", false},
    {"unclosed root", "<IEC_68850_Client><List_DA_Selected/>", false},
    {"text after the root", accessFile(kVariable) + "x", false},
    {"empty file", "", false},
    {"zero byte", accessFile(kVariable) + std::string(1, '\0'), false},
};

TEST(AccessReading, StreamingReaderGivesTheFullParsersImageAndErrors) {
    sw::test::TempDir dir;
    const std::filesystem::path file = dir / "IEC_61850_Client.xml";
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        sw::test::writeFile(file, c.xml);
        const Outcome fast = read(file, AccessReading::Fastest);
        const Outcome full = read(file, AccessReading::DocumentOnly);
        EXPECT_EQ(fast.result, full.result);
        EXPECT_EQ(fast.streamed, c.streamed);
        EXPECT_FALSE(full.streamed);
    }
}

TEST(AccessReading, StreamedValuesAreDecoded) {
    sw::test::TempDir dir;
    const std::filesystem::path file = dir / "IEC_61850_Client.xml";
    sw::test::writeFile(file, kCases[3].xml);
    const Outcome fast = read(file, AccessReading::Fastest);
    ASSERT_TRUE(fast.streamed);
    // bType, the address and the reference in image form: one byte per UTF-16 unit.
    EXPECT_NE(fast.result.find(std::string("<>&\"'\0a\nb\tc\0\xE9\xAC\x3D\x00", 15)), std::string::npos);
    EXPECT_EQ(fast.result.substr(6 + 24, 2), "ST");
}

} // namespace
