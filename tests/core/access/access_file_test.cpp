#include "core/access/access_file.h"
#include "core/common/config_error.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace sw::access;

AccessFile read(const std::string& xml) {
    sw::test::TempDir dir;
    sw::test::writeFile(dir / "IEC_61850_Client.xml", xml);
    return readAccessFile(dir / "IEC_61850_Client.xml");
}

std::string readError(const std::string& xml) {
    try {
        read(xml);
    } catch (const sw::ConfigError& error) {
        return error.what();
    }
    return "(no error)";
}

TEST(AccessFile, ReadsEveryListAsTextsTellingMissingFromEmpty) {
    const AccessFile access = read(
        R"(<IEC_68850_Client><List_ICD_Files><ICD_File Name="IED1" FileName="ied1.icd"/></List_ICD_Files>)"
        R"(<List_DA_Selected><DA_Item Index="3" bType="FLOAT32" fc="MX" Reference=" a " Mnemonic=""/>)"
        R"(</List_DA_Selected><List_DataSet_Selected><DataSet_Item Reference="r" EnGoose="Y">)"
        R"(<DataSet_List_DAs><DataSet_DA_Item bType="b" MoltFact="0,5"/><DataSet_DA_Item/></DataSet_List_DAs>)"
        R"(</DataSet_Item><DataSet_Item/></List_DataSet_Selected></IEC_68850_Client>)");
    ASSERT_TRUE(access.hasRoot && access.hasCatalogList && access.hasVariableList && access.hasDataSetList);
    ASSERT_EQ(access.catalog.size(), 1u);
    EXPECT_EQ(access.catalog[0][CatalogColumn::FileName], "ied1.icd");

    ASSERT_EQ(access.variables.size(), 1u);
    const VariableRow& v = access.variables[0];
    EXPECT_EQ(v[VariableColumn::Index], "3");
    EXPECT_EQ(v[VariableColumn::Reference], " a ") << "texts are kept as written";
    EXPECT_TRUE(v.has(VariableColumn::Mnemonic));
    EXPECT_EQ(v[VariableColumn::Mnemonic], "");
    EXPECT_FALSE(v.has(VariableColumn::Port));
    EXPECT_EQ(v[VariableColumn::Port], "");

    ASSERT_EQ(access.dataSets.size(), 2u);
    EXPECT_TRUE(access.dataSets[0].hasMemberList);
    ASSERT_EQ(access.dataSets[0].members.size(), 2u);
    EXPECT_EQ(access.dataSets[0].members[0][MemberColumn::MoltFact], "0,5");
    EXPECT_FALSE(access.dataSets[0].members[1].present.any());
    EXPECT_FALSE(access.dataSets[1].hasMemberList);
}

TEST(AccessFile, MissingPartsReadAsAbsentAndEmpty) {
    const AccessFile noRoot =
        read("<IEC_61850_Client><List_DA_Selected><DA_Item/></List_DA_Selected></IEC_61850_Client>");
    EXPECT_FALSE(noRoot.hasRoot);
    EXPECT_TRUE(noRoot.variables.empty());

    const AccessFile bare = read("<IEC_68850_Client/>");
    EXPECT_TRUE(bare.hasRoot);
    EXPECT_FALSE(bare.hasCatalogList || bare.hasVariableList || bare.hasDataSetList);
}

TEST(AccessFile, FirstOfEachCountsAndOtherNodesCountForNothing) {
    const AccessFile access =
        read("<?xml version=\"1.0\"?><!-- c --><Other/><IEC_68850_Client><Other><List_DA_Selected><DA_Item/>"
             "</List_DA_Selected></Other><List_DA_Selected>text<!-- c --><DA_Item bType=\"A\" bType=\"B\"/>"
             "<?pi x?></List_DA_Selected><List_DA_Selected><DA_Item/><DA_Item/></List_DA_Selected>"
             "<List_DataSet_Selected><DataSet_Item><DataSet_List_DAs><DataSet_DA_Item/></DataSet_List_DAs>"
             "<DataSet_List_DAs><DataSet_DA_Item/><DataSet_DA_Item/></DataSet_List_DAs></DataSet_Item>"
             "</List_DataSet_Selected></IEC_68850_Client><IEC_68850_Client/>");
    ASSERT_EQ(access.variables.size(), 1u);
    EXPECT_EQ(access.variables[0][VariableColumn::bType], "A") << "the first of equal names";
    ASSERT_EQ(access.dataSets.size(), 1u);
    EXPECT_EQ(access.dataSets[0].members.size(), 1u);
}

TEST(AccessFile, EntitiesAndCharacterReferencesAreDecodedLikeTheParserDoes) {
    const AccessFile access =
        read(R"(<IEC_68850_Client><List_DA_Selected><DA_Item bType="&lt;&gt;&amp;&quot;&apos;" )"
             R"(fc="&#83;&#x54;" Reference="&#233;&#x20AC;&#x1F601;" IPAddress="a&#10;b&#9;c" Port="a&#10)"
             "\t\r\nb\" Time=\"&nbsp;&#;&#x;&#X41;&#12a;\"/></List_DA_Selected></IEC_68850_Client>");
    const VariableRow& v = access.variables.at(0);
    EXPECT_EQ(v[VariableColumn::bType], "<>&\"'");
    EXPECT_EQ(v[VariableColumn::fc], "ST");
    EXPECT_EQ(v[VariableColumn::Reference], "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x81");
    EXPECT_EQ(v[VariableColumn::IPAddress], "a\nb\tc") << "references are not whitespace-normalised";
    EXPECT_EQ(v[VariableColumn::Port], "a&#10  b") << "literal blanks are";
    EXPECT_EQ(v[VariableColumn::Time], "&nbsp;&#;&#x;&#X41;&#12a;")
        << "incomplete references stay as written";
}

TEST(AccessFile, ReferenceToACharacterNoTextHoldsIsRefusedNamingAttributeAndRow) {
    const struct {
        const char* reference;
        const char* code;
    } cases[] = {{"&#0;", "U+0000"},     {"&#x0000;", "U+0000"},     {"&#xD800;", "U+D800"},
                 {"&#57343;", "U+DFFF"}, {"&#x110000;", "U+110000"}, {"&#99999999999;", "U+FFFFFFFF"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reference);
        const std::string message =
            readError(std::string("<IEC_68850_Client><List_DataSet_Selected><DataSet_Item/><DataSet_Item>"
                                  "<DataSet_List_DAs><DataSet_DA_Item/><DataSet_DA_Item Reference=\"x") +
                      c.reference +
                      "y\"/></DataSet_List_DAs></DataSet_Item></List_DataSet_Selected></IEC_68850_Client>");
        EXPECT_NE(message.find("IEC_61850_Client.xml"), std::string::npos) << message;
        EXPECT_NE(message.find("\"Reference\" in member 2 of the data set in row 2 of List_DataSet_Selected"),
                  std::string::npos)
            << message;
        EXPECT_NE(message.find(c.code), std::string::npos) << message;
    }
}

TEST(AccessFile, FileThatIsNotWellFormedIsAnErrorNamingIt) {
    const std::string message = readError("<IEC_68850_Client><List_DA_Selected></IEC_68850_Client>");
    EXPECT_NE(message.find("IEC_61850_Client.xml"), std::string::npos) << message;
    EXPECT_NE(message.find("not well-formed"), std::string::npos) << message;
}

TEST(AccessFile, WritingWhatWasReadKeepsEveryAttributeText) {
    const std::string tricky[] = {"",      " a ", "<&>\"'", "line\nbreak\ttab\r", "\xC3\xA9\xE2\x82\xAC",
                                  "&#10;", "]]>"};
    std::size_t next = 0;
    const auto text = [&] { return tricky[next++ % std::size(tricky)]; };
    AccessFile written;
    written.catalog.resize(2);
    written.variables.resize(3);
    written.dataSets.resize(2);
    for (auto& row : written.catalog) {
        for (auto& c : row.cells)
            c = text();
    }
    for (auto& row : written.variables) {
        for (auto& c : row.cells)
            c = text();
    }
    for (auto& row : written.dataSets) {
        for (auto& c : row.cells)
            c = text();
        row.members.resize(next % 3);
        for (auto& member : row.members) {
            for (auto& c : member.cells)
                c = text();
        }
    }
    const std::string bytes = accessFileBytes(written);
    const AccessFile back = read(bytes);
    ASSERT_EQ(back.catalog.size(), 2u);
    ASSERT_EQ(back.variables.size(), 3u);
    ASSERT_EQ(back.dataSets.size(), 2u);
    for (std::size_t r = 0; r < 2; ++r) {
        EXPECT_EQ(back.catalog[r].cells, written.catalog[r].cells);
        EXPECT_TRUE(back.catalog[r].present.all());
        EXPECT_EQ(back.dataSets[r].cells, written.dataSets[r].cells);
        EXPECT_TRUE(back.dataSets[r].hasMemberList);
        ASSERT_EQ(back.dataSets[r].members.size(), written.dataSets[r].members.size());
        for (std::size_t k = 0; k < back.dataSets[r].members.size(); ++k) {
            EXPECT_EQ(back.dataSets[r].members[k].cells, written.dataSets[r].members[k].cells);
        }
    }
    for (std::size_t r = 0; r < 3; ++r) {
        EXPECT_EQ(back.variables[r].cells, written.variables[r].cells);
        EXPECT_TRUE(back.variables[r].present.all());
    }
    EXPECT_EQ(accessFileBytes(back), bytes);
}

// What a file holds is text any XML reader takes: a control character XML 1.0 does not allow is never
// written (not even as a reference), and bytes that are not UTF-8 are refused on reading, so that no
// export passes them on.
TEST(AccessFile, OnlyTextAnyXmlReaderTakesIsWrittenOrRead) {
    AccessFile list;
    list.variables.resize(2);
    list.variables[1].cells[VariableColumn::Mnemonic] = "bell\x07";
    try {
        accessFileBytes(list);
        ADD_FAILURE() << "a control character was written";
    } catch (const sw::ConfigError& error) {
        EXPECT_STREQ(error.what(), "The access list cannot be saved: the attribute \"Mnemonic\" in row 2 of "
                                   "List_DA_Selected holds the control character U+0007, which an XML file "
                                   "cannot hold");
    }
    const std::string latin1 = "<IEC_68850_Client><List_DA_Selected><DA_Item Mnemonic=\"Gr\xFC\xDF\"/>"
                               "</List_DA_Selected></IEC_68850_Client>";
    try {
        read(latin1);
        ADD_FAILURE() << "a Latin-1 byte was read as text";
    } catch (const sw::ConfigError& error) {
        EXPECT_NE(std::string(error.what())
                      .find("the attribute \"Mnemonic\" in row 1 of List_DA_Selected is not "
                            "UTF-8 text"),
                  std::string::npos)
            << error.what();
    }
    // Other elements in a list count for nothing.
    const AccessFile back =
        read("<IEC_68850_Client><List_DA_Selected><Note Index=\"9\"/><DA_Item Index=\"1\"/>"
             "</List_DA_Selected></IEC_68850_Client>");
    ASSERT_EQ(back.variables.size(), 1U);
    EXPECT_EQ(back.variables[0][VariableColumn::Index], "1");
}

} // namespace
