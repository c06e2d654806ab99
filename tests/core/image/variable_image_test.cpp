#include "image_test_helpers.h"

#include "core/common/config_error.h"
#include "core/image/image_builder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace sw::test::image;
using Attrs = std::vector<std::pair<std::string, std::string>>;
using Changes = std::map<std::string, std::optional<std::string>>;

// The attributes of the one-variable example, in the order the access editor writes them.
const Attrs kVariable = {{"Index", "0"},
                         {"bType", "BOOLEAN"},
                         {"fc", "ST"},
                         {"Reference", "IED1CTRL/XCBR1.Pos.stVal"},
                         {"IPAddress", "192.168.2.10"},
                         {"Port", "102"},
                         {"OnChange", "Y"},
                         {"OnCMD", "N"},
                         {"OnTimer", "N"},
                         {"Time", "1000"},
                         {"Position", "0"},
                         {"StartBit", "0"},
                         {"ReadWrite", "Read"},
                         {"Convertion", "None"},
                         {"MoltFact", "1"},
                         {"Mnemonic", ""}};
const Attrs kDataSet = {{"Index", "0"},
                        {"Reference", "IED1CTRL/LLN0.Events"},
                        {"GooseName", "GoosePub01"},
                        {"EnGoose", "Y"},
                        {"IPAddress", "192.168.2.11"},
                        {"Port", "102"},
                        {"Time", "1000"},
                        {"Mnemonic", ""}};
const Attrs kMember = {{"bType", "BOOLEAN"},   {"Reference", "IED1CTRL/GGIO1.Ind10.q"},
                       {"Position", "1"},      {"StartBit", "0"},
                       {"Convertion", "None"}, {"MoltFact", "1"},
                       {"Mnemonic", ""}};

std::string escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '"':
            out += "&quot;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string element(const std::string& name, const Attrs& attrs, const Changes& changes = {},
                    const std::string& content = {}, bool selfClosing = true) {
    std::string xml = "<" + name;
    for (const auto& [key, value] : attrs) {
        std::optional<std::string> text = value;
        if (const auto change = changes.find(key); change != changes.end()) {
            text = change->second;
        }
        if (text) {
            xml += " " + key + "=\"" + escape(*text) + "\"";
        }
    }
    if (selfClosing && content.empty()) {
        return xml + "/>";
    }
    return xml + ">" + content + "</" + name + ">";
}

std::string accessFile(const std::string& variables, const std::string& dataSets) {
    return "<IEC_68850_Client><List_ICD_Files><ICD_File Name=\"IED1\" "
           "FileName=\"IED1.icd\"/></List_ICD_Files>"
           "<List_DA_Selected>" +
           variables + "</List_DA_Selected>" + "<List_DataSet_Selected>" + dataSets +
           "</List_DataSet_Selected></IEC_68850_Client><!--SW_VERSION = 1.000-->";
}

std::string dataSetItem(const std::string& members, const Changes& changes = {}) {
    return element("DataSet_Item", kDataSet, changes, "<DataSet_List_DAs>" + members + "</DataSet_List_DAs>");
}

sw::BuildResult buildAccess(const std::string& xml, char separator = ',') {
    sw::test::TempDir dir;
    sw::test::writeFile(dir / "IEC_61850_Client.xml", xml);
    return sw::buildImages(absentFile(), dir / "IEC_61850_Client.xml", separator);
}

std::string buildError(const std::string& xml) {
    try {
        buildAccess(xml);
    } catch (const sw::ConfigError& error) {
        return error.what();
    }
    return "(no error)";
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

const Bytes kOneVariableImage = concat({
    {0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x18, 0x00, 0x08, 0x00, 0x38, 0x00, 0x08, 0x00},
    {0x53, 0x54, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x66, 0x00, 0xE8, 0x03, 0x00, 0x00,
     0x00, 0x00, 0x80, 0x3F, 0x38, 0x00, 0x08, 0x00, 0x40, 0x00, 0x08, 0x00, 0x4D, 0x00, 0x08, 0x00},
    latin1(std::string("BOOLEAN") + '\0' + "192.168.2.10" + '\0' + "IED1CTRL/XCBR1.Pos.stVal" + '\0'),
});

TEST(VariableImage, OneVariableGivesTheExactImage) {
    const sw::BuildResult images = sw::buildImages(absentFile(), fixture("access_one_variable.xml"), ',');
    EXPECT_EQ(images.bank2.size(), 102u);
    EXPECT_EQ(images.bank2, kOneVariableImage);
}

TEST(VariableImage, IndentedFileWithCommentsReadsLikeTheRawOne) {
    const std::string xml = "<?xml version=\"1.0\"?>\n<!-- project -->\n<IEC_68850_Client>\n  "
                            "<List_ICD_Files><ICD_File/></List_ICD_Files>\n"
                            "  <List_DA_Selected>\n    <!-- one -->\n    " +
                            element("DA_Item", kVariable) +
                            "\n  </List_DA_Selected>\n  <List_DataSet_Selected>\n  </List_DataSet_Selected>\n"
                            "</IEC_68850_Client>\n<!--SW_VERSION = 1.000-->\n";
    EXPECT_EQ(buildAccess(xml).bank2, kOneVariableImage);
}

TEST(VariableImage, DataSetWithTwoMembersGivesTheListedLayout) {
    const sw::BuildResult images = sw::buildImages(absentFile(), fixture("access_data_set.xml"), ',');
    const Bytes& b = images.bank2;
    ASSERT_EQ(b.size(), 267u);
    EXPECT_EQ(slice(b, 0, 8), (Bytes{1, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(u32At(b, 16), 0x80018u);
    EXPECT_EQ(u32At(b, 20), 0x80038u);
    EXPECT_EQ(slice(b, 0x38, 28),
              (Bytes{0x02, 0x04, 0x66, 0x00, 0x01, 0x00, 0x00, 0x00, 0xE8, 0x03, 0x00, 0x00, 0xA2, 0x00,
                     0x08, 0x00, 0xAD, 0x00, 0x08, 0x00, 0xC2, 0x00, 0x08, 0x00, 0x54, 0x00, 0x08, 0x00}));
    EXPECT_EQ(u32At(b, 24 + 20), 0x80074u);
    EXPECT_EQ(u32At(b, 24 + 24), 0x8007Cu);
    EXPECT_EQ(u32At(b, 24 + 28), 0x80089u);
    // Members: position, start bit, conversion, factor, then the two string addresses.
    EXPECT_EQ(slice(b, 0x54, 16), (Bytes{0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F, 0xCF, 0x00, 0x08,
                                         0x00, 0xD7, 0x00, 0x08, 0x00}));
    // "2,5" read with the comma as the regional separator.
    EXPECT_EQ(slice(b, 0x64, 16), (Bytes{0x02, 0x00, 0x00, 0x01, 0x00, 0x00, 0x20, 0x40, 0xEE, 0x00, 0x08,
                                         0x00, 0xF4, 0x00, 0x08, 0x00}));
    const std::string strings(b.begin() + 0x74, b.end());
    EXPECT_EQ(strings, std::string("BOOLEAN") + '\0' + "192.168.2.10" + '\0' + "IED1CTRL/XCBR1.Pos.stVal" +
                           '\0' + "GoosePub01" + '\0' + "IED1CTRL/LLN0.Events" + '\0' + "192.168.2.11" +
                           '\0' + "BOOLEAN" + '\0' + "IED1CTRL/GGIO1.Ind10.q" + '\0' + "INT32" + '\0' +
                           "IED1CTRL/GGIO1.Int.mag" + '\0');
}

TEST(VariableImage, StringsCountUtf16UnitsAndKeepTheirLowBytes) {
    // U+00DC, U+20AC and U+1D11E (two units): four bytes before the zero byte.
    const sw::BuildResult images = buildAccess(
        accessFile(element("DA_Item", kVariable,
                           {{"bType", "INT8"}, {"Reference", "\xC3\x9C\xE2\x82\xAC\xF0\x9D\x84\x9E"}}),
                   ""));
    const Bytes& b = images.bank2;
    ASSERT_EQ(b.size(), 56u + 5 + 13 + 5);
    EXPECT_EQ(u32At(b, 24 + 20), 0x80038u);
    EXPECT_EQ(u32At(b, 24 + 24), 0x8003Du);
    EXPECT_EQ(u32At(b, 24 + 28), 0x8004Au);
    EXPECT_EQ(slice(b, 0x4A, 5), (Bytes{0xDC, 0xAC, 0x34, 0x1E, 0x00}));
}

struct FieldCase {
    const char* name;
    Changes changes;
    std::size_t offset; // within the variable entry
    Bytes expected;
    char separator = ',';
};

// What the check accepts, as the image stores it. A cell means what it means to the check: blanks around
// a flag or a choice do not count, an empty direction is a write, a factor may use either mark.
const FieldCase kFieldCases[] = {
    {"ReadWriteWrite", {{"ReadWrite", "Write"}}, 2, {1}},
    {"ReadWriteEmpty", {{"ReadWrite", ""}}, 2, {1}},
    {"ReadWriteMissing", {{"ReadWrite", std::nullopt}}, 2, {1}},
    {"ReadWithABlank", {{"ReadWrite", "Read "}}, 2, {0}},
    {"StartBitSeven", {{"StartBit", "7"}}, 3, {7}},
    {"StartBitEmpty", {{"StartBit", ""}}, 3, {0}},
    {"AllTriggers", {{"OnCMD", "Y"}, {"OnTimer", "Y"}}, 4, {0x07}},
    {"TriggerWithABlank", {{"OnChange", "Y "}, {"OnTimer", " N"}}, 4, {0x01}},
    {"TriggersMissing",
     {{"OnChange", std::nullopt}, {"OnCMD", std::nullopt}, {"OnTimer", std::nullopt}},
     4,
     {0}},
    {"ConversionOn", {{"Convertion", "ItoF/FtoI"}}, 5, {1}},
    {"ConversionEmpty", {{"Convertion", ""}}, 5, {0}},
    {"ConversionMissing", {{"Convertion", std::nullopt}}, 5, {0}},
    {"PositionLast", {{"Position", "1399"}}, 8, {0x77, 0x05}},
    {"PortLast", {{"Port", "65535"}}, 10, {0xFF, 0xFF}},
    {"TimeEmpty", {{"Time", ""}}, 12, {0xE8, 0x03, 0x00, 0x00}},
    // Without the timer the converter does not look at the time: what is no valid time is the default.
    {"TimeNegativeWithoutTimer", {{"Time", "-1"}}, 12, {0xE8, 0x03, 0x00, 0x00}},
    {"TimeTooLargeWithoutTimer", {{"Time", "4294967295"}}, 12, {0xE8, 0x03, 0x00, 0x00}},
    {"TimeLastWithTimer", {{"Time", "100000000"}, {"OnTimer", "Y"}}, 12, {0x00, 0xE1, 0xF5, 0x05}},
    {"FactorRegionalComma", {{"MoltFact", "2,5"}}, 16, {0x00, 0x00, 0x20, 0x40}},
    {"FactorPointWhereCommaIsRegional", {{"MoltFact", "2.5"}}, 16, {0x00, 0x00, 0x20, 0x40}},
    {"FactorRegionalPoint", {{"MoltFact", "2.5"}}, 16, {0x00, 0x00, 0x20, 0x40}, '.'},
    {"FactorNegative", {{"MoltFact", "-0,5"}}, 16, {0x00, 0x00, 0x00, 0xBF}},
    {"FactorRoundedToSingle", {{"MoltFact", "0,1"}}, 16, {0xCD, 0xCC, 0xCC, 0x3D}},
    {"FactorNone", {{"MoltFact", "None"}}, 16, {0x00, 0x00, 0x80, 0x3F}},
};

class VariableField : public testing::TestWithParam<FieldCase> {};

TEST_P(VariableField, TakesItsValue) {
    const FieldCase& c = GetParam();
    const sw::BuildResult images =
        buildAccess(accessFile(element("DA_Item", kVariable, c.changes), ""), c.separator);
    EXPECT_EQ(slice(images.bank2, 24 + c.offset, c.expected.size()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(AllAttributes, VariableField, testing::ValuesIn(kFieldCases),
                         [](const testing::TestParamInfo<FieldCase>& testCase) {
                             return std::string(testCase.param.name);
                         });

// What the check refuses is never built: no number is wrapped or cut into a field, no unknown text
// taken for a default. The build names the row and the rule as the check does.
TEST(VariableImage, RefusesWhatTheCheckRefusesWithItsMessage) {
    const struct {
        Changes changes;
        std::string message;
    } cases[] = {
        {{{"fc", "S"}}, "Error row 1!! fc \"S\" must be one of"},
        {{{"fc", "STX"}}, "Error row 1!! fc \"STX\" must be one of"},
        {{{"ReadWrite", "read"}}, "Error row 1!! ReadWrite \"read\" must be one of: Read, Write"},
        {{{"StartBit", "257"}}, "Error row 1!! Start Bit must be empty or between 0 and 7, not \"257\""},
        {{{"StartBit", "-3"}}, "Error row 1!! Start Bit must be empty or between 0 and 7"},
        {{{"OnChange", "y"}}, "Error row 1!! OnChange must be Y or N, not \"y\""},
        {{{"Position", "65537"}}, "Error row 1!! Position must be between 0 and 1399"},
        {{{"Position", "-1"}}, "Error row 1!! Position must be between 0 and 1399"},
        {{{"Position", "2147483647"}}, "Error row 1!! Position must be between 0 and 1399"},
        {{{"Position", "99999999999"}}, "Error row 1!! Position must be between 0 and 1399"},
        {{{"Position", "12a"}}, "Error row 1!! Position must be between 0 and 1399"},
        {{{"Port", "70000"}}, "Error row 1!! Port must be between 0 and 65535"},
        {{{"Port", ""}}, "Error row 1!! Port must be between 0 and 65535"},
        {{{"Time", "-1"}, {"OnTimer", "Y"}}, "Error row 1!! Time must be between 1 and 100000000 ms"},
        {{{"MoltFact", "abc"}}, "Error row 1!! Mult. Factor must be a valid Float"},
        {{{"MoltFact", ""}}, "Error row 1!! Mult. Factor must be a valid Float"},
        {{{"MoltFact", "1e39"}}, "Error row 1!! Mult. Factor must be a valid Float"},
        {{{"bType", ""}}, "Error row 1!! bType must not be empty"},
        {{{"bType", "NoSuchType"}}, "Error row 1!! bType \"NoSuchType\" is not a basic type"},
        {{{"IPAddress", "not-an-ip"}, {"bType", ""}},
         "Error row 1!! IP Address must be a valid TCP IP Address"},
        {{{"Index", "1"}}, "Error row 1!! Index \"1\" names no device of the catalog (0 to 0)"},
        {{{"Mnemonic", "a\x01"}}, "Error row 1!! Mnemonic holds the control character U+0001"},
    };
    for (const auto& c : cases) {
        const std::string message = buildError(accessFile(element("DA_Item", kVariable, c.changes), ""));
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
        EXPECT_NE(message.find("No image was written"), std::string::npos) << message;
    }
    const Changes memberCases[] = {{{"Position", "65576"}}, {{"Position", ""}}, {{"StartBit", "264"}}};
    for (const Changes& changes : memberCases) {
        const std::string message =
            buildError(accessFile("", dataSetItem(element("DataSet_DA_Item", kMember) +
                                                  element("DataSet_DA_Item", kMember, changes))));
        EXPECT_NE(message.find("Error data set row 1 member 2!!"), std::string::npos) << message;
    }
    EXPECT_NE(buildError(accessFile("", dataSetItem("", {{"Port", "99999"}})))
                  .find("Error data set row 1!! Port must be between 0 and 65535"),
              std::string::npos);
}

// The address the check approved, in its plain form: the converter never reads "010" as octal.
TEST(VariableImage, AddressesAreStoredInTheirPlainForm) {
    const sw::BuildResult images =
        buildAccess(accessFile(element("DA_Item", kVariable, {{"IPAddress", "192.168.002.010"}}), ""));
    const std::string strings(images.bank2.begin() + 56, images.bank2.end());
    EXPECT_EQ(strings,
              std::string("BOOLEAN") + '\0' + "192.168.2.10" + '\0' + "IED1CTRL/XCBR1.Pos.stVal" + '\0');
}

TEST(VariableImage, DataSetFieldsTakeTheirConversionsAndFallbacks) {
    const std::string members =
        element("DataSet_DA_Item", kMember,
                {{"Position", "1399"}, {"StartBit", ""}, {"Convertion", "ItoF/FtoI"}, {"MoltFact", "None"}});
    const sw::BuildResult images = buildAccess(
        accessFile("", dataSetItem(members, {{"Port", "65535"}, {"EnGoose", "Y "}, {"Time", ""}}) +
                           dataSetItem("", {{"EnGoose", std::nullopt}, {"Port", "0"}, {"Time", "5"}})));
    const Bytes& b = images.bank2;
    EXPECT_EQ(slice(b, 0, 8), (Bytes{0, 0, 0, 0, 2, 0, 0, 0}));
    EXPECT_EQ(u32At(b, 20), 0x80018u);
    EXPECT_EQ(slice(b, 24, 12),
              (Bytes{0x01, 0x04, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00, 0xE8, 0x03, 0x00, 0x00}));
    EXPECT_EQ(slice(b, 52, 12),
              (Bytes{0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00}));
    // Both member tables start after the data-set table; the empty one where its entries would begin.
    EXPECT_EQ(u32At(b, 24 + 24), 0x80018u + 56);
    EXPECT_EQ(u32At(b, 52 + 24), 0x80018u + 56 + 16);
    EXPECT_EQ(slice(b, 80, 8), (Bytes{0x77, 0x05, 0x00, 0x01, 0x00, 0x00, 0x80, 0x3F}));
}

TEST(VariableImage, MissingDataSetListMeansNoDataSets) {
    const std::string xml =
        "<IEC_68850_Client><List_ICD_Files><ICD_File/></List_ICD_Files><List_DA_Selected>" +
        element("DA_Item", kVariable) + "</List_DA_Selected></IEC_68850_Client>";
    EXPECT_EQ(buildAccess(xml).bank2, kOneVariableImage);
}

TEST(VariableImage, RootIsFoundAmongTheTopLevelNodes) {
    const std::string xml = "<?xml version=\"1.0\"?><!--c-->" + accessFile(element("DA_Item", kVariable), "");
    EXPECT_EQ(buildAccess(xml).bank2, kOneVariableImage);
}

// The file with the one "@" in it replaced by a reference, which element() would otherwise escape.
std::string withReference(std::string xml, const std::string& reference) {
    return xml.replace(xml.find('@'), 1, reference);
}

struct ErrorCase {
    const char* name;
    std::string xml;
    std::vector<std::string> mentions;
};

std::vector<ErrorCase> errorCases() {
    std::vector<ErrorCase> cases = {
        {"NoRoot", "<IEC_61850_Client><List_DA_Selected/></IEC_61850_Client>", {"IEC_68850_Client"}},
        {"NoVariableList",
         "<IEC_68850_Client><List_DataSet_Selected/></IEC_68850_Client>",
         {"List_DA_Selected"}},
        {"NoMemberList",
         accessFile("", dataSetItem("") + element("DataSet_Item", kDataSet, {}, "", true)),
         {"row 2 of List_DataSet_Selected", "DataSet_List_DAs"}},
        {"EmptyFc",
         accessFile(element("DA_Item", kVariable) + element("DA_Item", kVariable, {{"fc", ""}}), ""),
         {"Error row 2!! fc must not be empty"}},
        {"NotWellFormed", "<IEC_68850_Client><List_DA_Selected></IEC_68850_Client>", {"not well-formed"}},
        // A character whose image byte is zero would end the text early on the device.
        {"UnstorableCharacter",
         accessFile(element("DA_Item", kVariable) +
                        element("DA_Item", kVariable, {{"Reference", "LD/\xC4\x80.x"}}),
                    ""),
         {"\"Reference\" in row 2 of List_DA_Selected", "U+0100", "cannot store"}},
        {"UnstorableCharacterInMember",
         accessFile("", dataSetItem(element("DataSet_DA_Item", kMember, {{"Reference", "LD/\xE3\x88\x80"}}))),
         {"\"Reference\" in member 1", "U+3200"}},
        // References to what no text holds: a zero would cut the text short, a lone surrogate is no
        // character at all.
        {"ReferenceToZero",
         withReference(accessFile(element("DA_Item", kVariable) +
                                      element("DA_Item", kVariable, {{"Reference", "LD@x"}}),
                                  ""),
                       "&#0;"),
         {"\"Reference\" in row 2 of List_DA_Selected", "U+0000"}},
        {"ReferenceToZeroInHex",
         withReference(accessFile("", dataSetItem(element("DataSet_DA_Item", kMember, {{"bType", "@"}}))),
                       "&#x000;"),
         {"\"bType\" in member 1 of the data set in row 1", "U+0000"}},
        {"ReferenceToLoneSurrogate",
         withReference(accessFile(element("DA_Item", kVariable, {{"IPAddress", "a@"}}), ""), "&#xD800;"),
         {"\"IPAddress\" in row 1 of List_DA_Selected", "U+D800"}},
        {"ReferenceBeyondUnicode",
         withReference(accessFile(element("DA_Item", kVariable, {{"fc", "@"}}), ""), "&#x110000;"),
         {"\"fc\" in row 1 of List_DA_Selected", "U+110000"}},
    };
    for (const char* name :
         {"bType", "fc", "Reference", "IPAddress", "Port", "Time", "Position", "StartBit", "MoltFact"}) {
        cases.push_back({"VariableWithout",
                         accessFile(element("DA_Item", kVariable, {{name, std::nullopt}}), ""),
                         {"row 1 of List_DA_Selected", "\"" + std::string(name) + "\""}});
    }
    for (const char* name : {"Port", "Time", "GooseName", "Reference", "IPAddress"}) {
        cases.push_back(
            {"DataSetWithout",
             accessFile("", dataSetItem(element("DataSet_DA_Item", kMember), {{name, std::nullopt}})),
             {"row 1 of List_DataSet_Selected", "\"" + std::string(name) + "\""}});
    }
    for (const char* name : {"bType", "Reference", "Position", "StartBit", "MoltFact"}) {
        const std::string members =
            element("DataSet_DA_Item", kMember) + element("DataSet_DA_Item", kMember, {{name, std::nullopt}});
        cases.push_back({"MemberWithout",
                         accessFile("", dataSetItem("") + dataSetItem(members)),
                         {"member 2 of the data set in row 2", "\"" + std::string(name) + "\""}});
    }
    return cases;
}

TEST(VariableImage, IncompleteAccessFileStopsTheBuildSayingWhatAndWhere) {
    for (const ErrorCase& c : errorCases()) {
        const std::string message = buildError(c.xml);
        SCOPED_TRACE(std::string(c.name) + ": " + message);
        EXPECT_NE(message.find("IEC_61850_Client.xml"), std::string::npos);
        for (const std::string& mention : c.mentions) {
            EXPECT_NE(message.find(mention), std::string::npos) << mention;
        }
    }
}

TEST(VariableImage, DataSetMemberCountIsLimitedTo255) {
    std::string members;
    for (int i = 0; i < 255; ++i) {
        members += element("DataSet_DA_Item", kMember);
    }
    const sw::BuildResult images = buildAccess(accessFile("", dataSetItem(members)));
    EXPECT_EQ(images.bank2[24], 255);

    const std::string message =
        buildError(accessFile("", dataSetItem(members + element("DataSet_DA_Item", kMember) +
                                              element("DataSet_DA_Item", kMember))));
    EXPECT_NE(message.find("257 members, 2 more than the 255"), std::string::npos) << message;
}

TEST(VariableImage, ImageLongerThanTheDeviceHoldsIsRefusedWithTheExcess) {
    // 56 bytes of header and entry, 8 + 13 bytes of bType and host name, and the reference's text and zero.
    const std::size_t fits = 0x7FFFF - 56 - 8 - 13 - 1;
    EXPECT_EQ(
        buildAccess(accessFile(element("DA_Item", kVariable, {{"Reference", std::string(fits, 'r')}}), ""))
            .bank2.size(),
        0x7FFFFu);
    const std::string message = buildError(
        accessFile(element("DA_Item", kVariable, {{"Reference", std::string(fits + 3, 'r')}}), ""));
    EXPECT_NE(message.find("524290 bytes, 3 more than its limit of 524287"), std::string::npos) << message;
}

} // namespace
