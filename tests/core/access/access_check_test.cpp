#include "core/access/access_check.h"
#include "core/access/data_array_map.h"
#include "core/access/lint.h"
#include "core/language/builtin_texts.h"
#include "core/language/lang_table.h"
#include "core/live/live_check.h"

#include "test_project.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace sw::access;

CatalogDevice placeholder() {
    CatalogDevice device;
    device.state = CatalogDevice::State::Missing;
    device.name = device.fileName = "gone.icd";
    return device;
}

// A row as Add Var leaves it, completed with values that pass.
void addValidRow(AccessList& list) {
    const std::size_t row = list.addVariableRow();
    const struct {
        std::size_t attribute;
        const char* text;
    } cells[] = {{VariableColumn::Index, "0"},
                 {VariableColumn::bType, "FLOAT32"},
                 {VariableColumn::fc, "MX"},
                 {VariableColumn::Reference, "LD0/MMXU1.Hz.mag.f"},
                 {VariableColumn::IPAddress, "192.168.1.125"},
                 {VariableColumn::Port, "102"},
                 {VariableColumn::OnTimer, "N"},
                 {VariableColumn::Position, "0"},
                 {VariableColumn::MoltFact, "1"}};
    for (const auto& c : cells) {
        list.setVariableCell(row, tableColumn(c.attribute), c.text);
    }
}

// A data set of two members, every cell as the editor leaves it once the engineer has filled it.
void addValidDataSet(AccessList& list) {
    SelectedDataSet dataSet;
    for (int m = 0; m < 2; ++m) {
        MemberSetting& member = dataSet.List_DAs.emplace_back();
        member.bType = "BOOLEAN";
        member.reference = "LD0/GGIO1.Ind" + std::to_string(m + 1) + ".stVal";
        member.Position = std::to_string(100 + m);
        member.multFactor = "None";
    }
    const std::size_t row = list.addDataSetRow(std::move(dataSet));
    list.setDataSetCell(row, tableColumn(DataSetColumn::Index), "0");
    list.setDataSetCell(row, tableColumn(DataSetColumn::Reference), "LD0/LLN0.DS1");
    list.setDataSetCell(row, tableColumn(DataSetColumn::IPAddress), "192.168.1.125");
    list.setDataSetCell(row, tableColumn(DataSetColumn::Port), "102");
}

std::vector<std::string> check(const AccessList& list, char separator = ',') {
    std::vector<std::string> messages;
    for (const CellFault& fault : checkAccessList(list, separator)) {
        messages.push_back(fault.message(sw::builtinTexts()));
    }
    return messages;
}

std::string first(const AccessList& list, char separator = ',') {
    const auto messages = check(list, separator);
    return messages.empty() ? "OK" : messages.front();
}

TEST(AccessCheck, EachVariableRuleAtItsEdges) {
    const std::string ip = "Error row 2!! IP Address must be a valid TCP IP Address (Ex. 192.168.1.125)";
    const std::string port = "Error row 2!! Port must be between 0 and 65535";
    const std::string time = "Error row 2!! Time must be between 1 and 100000000 ms";
    const std::string position = "Error row 2!! Position must be between 0 and 1399";
    const std::string factor = "Error row 2!! Mult. Factor must be a valid Float";
    const struct {
        std::size_t attribute;
        const char* text;
        char separator;
        std::string expected;
        const char* onTimer = "N";
    } cases[] = {
        {VariableColumn::IPAddress, "", ',', ip},
        {VariableColumn::IPAddress, "192.168.1.256", ',', ip},
        {VariableColumn::IPAddress, "not-an-ip", ',', ip},
        {VariableColumn::IPAddress, "0.0.0.0", ',', "OK"},
        {VariableColumn::Port, "65535", ',', "OK"},
        {VariableColumn::Port, "0", ',', "OK"},
        {VariableColumn::Port, "65536", ',', port},
        {VariableColumn::Port, "", ',', port},
        {VariableColumn::Port, "-5", ',', port},
        {VariableColumn::Time, "", ',', "OK"},
        {VariableColumn::Time, "-3", ',', "OK"},
        {VariableColumn::Time, "", ',', time, "Y"},
        {VariableColumn::Time, "0", ',', time, " Y "},
        {VariableColumn::Time, "100000000", ',', "OK", "Y"},
        {VariableColumn::Time, "100000001", ',', time, "Y"},
        {VariableColumn::Position, "1399", ',', "OK"},
        {VariableColumn::Position, "1400", ',', position},
        {VariableColumn::Position, "-1", ',', position},
        {VariableColumn::Position, "2147483647", ',', position},
        {VariableColumn::Position, "99999999999", ',', position},
        {VariableColumn::Position, "abc", ',', position},
        {VariableColumn::MoltFact, " none ", ',', "OK"},
        {VariableColumn::MoltFact, "NoNe", '.', "OK"},
        {VariableColumn::MoltFact, "0.5", ',', "OK"},
        {VariableColumn::MoltFact, "0,5", ',', "OK"},
        {VariableColumn::MoltFact, "0,5", '.', "OK"},
        {VariableColumn::MoltFact, "", ',', factor},
        {VariableColumn::MoltFact, "abc", '.', factor},
        {VariableColumn::MoltFact, "1e39", '.', factor},
        // The columns the editor fills from its lists: what the lists offer passes, nothing else.
        {VariableColumn::Index, "1", ',',
         "Error row 2!! Index \"1\" names no device of the catalog (0 to 0)"},
        {VariableColumn::Index, "x", ',',
         "Error row 2!! Index \"x\" names no device of the catalog (0 to 0)"},
        {VariableColumn::bType, "VisString255", ',', "OK"},
        {VariableColumn::bType, "NoSuchType", ',',
         "Error row 2!! bType \"NoSuchType\" is not a basic type an SCL file can name"},
        {VariableColumn::bType, "", ',', "Error row 2!! bType must not be empty"},
        {VariableColumn::fc, "ZZ", ',',
         "Error row 2!! fc \"ZZ\" must be one of: ST, MX, SP, SV, CF, DC, SG, SE, SR, OR, BL, EX, CO, US, "
         "MS, "
         "RP, BR, LG, GO, GS, SC"},
        {VariableColumn::Reference, "", ',', "Error row 2!! Reference must not be empty"},
        {VariableColumn::OnChange, "Y ", ',', "OK"},
        {VariableColumn::OnChange, "", ',', "OK"},
        {VariableColumn::OnChange, "maybe", ',', "Error row 2!! OnChange must be Y or N, not \"maybe\""},
        {VariableColumn::StartBit, "7", ',', "OK"},
        {VariableColumn::StartBit, "", ',', "OK"},
        {VariableColumn::StartBit, "256", ',',
         "Error row 2!! Start Bit must be empty or between 0 and 7, not \"256\""},
        {VariableColumn::StartBit, "-3", ',',
         "Error row 2!! Start Bit must be empty or between 0 and 7, not \"-3\""},
        {VariableColumn::ReadWrite, "", ',', "OK"},
        {VariableColumn::ReadWrite, "Sideways", ',',
         "Error row 2!! ReadWrite \"Sideways\" must be one of: Read, Write"},
        {VariableColumn::Convertion, "ItoF/FtoI", ',', "OK"},
        {VariableColumn::Convertion, "itof", ',',
         "Error row 2!! Convertion \"itof\" must be one of: None, ItoF/FtoI"},
        {VariableColumn::Mnemonic, "tab\tand line\nbreak", ',', "OK"},
        {VariableColumn::Mnemonic, "bell\x07", ',',
         "Error row 2!! Mnemonic holds the control character U+0007, which an XML file cannot hold"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " in column " + std::string(kVariableAttributes[c.attribute]));
        AccessList list;
        list.appendDevice(placeholder());
        addValidRow(list);
        addValidRow(list);
        list.setVariableCell(2, tableColumn(VariableColumn::OnTimer), c.onTimer);
        list.setVariableCell(2, tableColumn(c.attribute), c.text);
        EXPECT_EQ(first(list, c.separator), c.expected);
    }
}

TEST(AccessCheck, DataSetsAndTheirMembersAreCheckedAsVariablesAre) {
    const struct {
        bool member;
        std::size_t attribute;
        const char* text;
        std::string expected;
    } cases[] = {
        {false, DataSetColumn::Port, "99999", "Error data set row 1!! Port must be between 0 and 65535"},
        {false, DataSetColumn::IPAddress, "",
         "Error data set row 1!! IP Address must be a valid TCP IP Address "
         "(Ex. 192.168.1.125)"},
        {false, DataSetColumn::Time, "", "OK"},
        {false, DataSetColumn::Time, "0", "Error data set row 1!! Time must be between 1 and 100000000 ms"},
        {false, DataSetColumn::EnGoose, " Y", "OK"},
        {false, DataSetColumn::Index, "3",
         "Error data set row 1!! Index \"3\" names no device of the catalog (0 to 0)"},
        {true, MemberColumn::Position, "",
         "Error data set row 1 member 2!! Position must be between 0 and 1399"},
        {true, MemberColumn::Position, "65576",
         "Error data set row 1 member 2!! Position must be between 0 and 1399"},
        {true, MemberColumn::StartBit, "264",
         "Error data set row 1 member 2!! Start Bit must be empty or between 0 and 7, not \"264\""},
        {true, MemberColumn::MoltFact, "",
         "Error data set row 1 member 2!! Mult. Factor must be a valid Float"},
        {true, MemberColumn::Convertion, "", "OK"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + (c.member ? " in member column " : " in data-set column ") +
                     std::to_string(c.attribute));
        AccessList list;
        list.appendDevice(placeholder());
        addValidRow(list);
        addValidDataSet(list);
        if (c.member) {
            list.setMemberCell(1, 2, tableColumn(c.attribute), c.text);
        } else {
            list.setDataSetCell(1, tableColumn(c.attribute), c.text);
        }
        EXPECT_EQ(first(list), c.expected);
    }
}

TEST(AccessCheck, ListsEveryFaultInTableOrderAndTheLimitsLast) {
    AccessList list;
    EXPECT_TRUE(check(list).empty()) << "an empty table passes";
    list.appendDevice(placeholder());
    for (int i = 0; i < 5; ++i) {
        addValidRow(list);
    }
    list.setVariableCell(2, tableColumn(VariableColumn::Position), "1400");
    list.setVariableCell(5, tableColumn(VariableColumn::Port), "99999");
    list.setVariableCell(5, tableColumn(VariableColumn::OnCMD), "maybe");
    addValidDataSet(list);
    list.setMemberCell(1, 1, tableColumn(MemberColumn::Position), "x");
    const std::vector<std::string> expected = {
        "Error row 2!! Position must be between 0 and 1399",
        "Error row 5!! Port must be between 0 and 65535",
        "Error row 5!! OnCMD must be Y or N, not \"maybe\"",
        "Error data set row 1 member 1!! Position must be between 0 and 1399",
    };
    EXPECT_EQ(check(list), expected);

    // The converter's limits: members per data set, then the size of the whole image.
    AccessList big;
    big.appendDevice(placeholder());
    addValidDataSet(big);
    for (std::size_t row = 0; row < 15000; ++row) {
        addValidRow(big);
    }
    SelectedDataSet many;
    many.List_DAs.resize(300);
    for (MemberSetting& member : many.List_DAs) {
        member = {nullptr, "BOOLEAN", "LD0/GGIO1.Ind1.stVal", "5", "", "", "1", ""};
    }
    const std::size_t row = big.addDataSetRow(std::move(many));
    big.setDataSetCell(row, tableColumn(DataSetColumn::Index), "0");
    big.setDataSetCell(row, tableColumn(DataSetColumn::Reference), "LD0/LLN0.DS2");
    big.setDataSetCell(row, tableColumn(DataSetColumn::IPAddress), "192.168.1.125");
    big.setDataSetCell(row, tableColumn(DataSetColumn::Port), "102");
    const std::vector<std::string> limits = check(big);
    ASSERT_EQ(limits.size(), 2U);
    EXPECT_EQ(limits[0],
              "Error data set row 2!! The data set has 300 members, 45 more than the 255 a data set "
              "can hold");
    EXPECT_TRUE(limits[1].starts_with("The variable image would take 1")) << limits[1];
    EXPECT_TRUE(limits[1].ends_with("more than the converter's limit of 524287: shorten the access list"));
}

TEST(AccessCheck, ACellMeansTheSameToTheMapTheLintAndTheLiveCheck) {
    AccessList list;
    list.appendDevice(placeholder());
    addValidRow(list);
    addValidRow(list);
    // Row 1 reads into position 0 with a blank after its flag; row 2, with an empty direction, writes.
    list.setVariableCell(1, tableColumn(VariableColumn::ReadWrite), "Read ");
    list.setVariableCell(2, tableColumn(VariableColumn::ReadWrite), "");
    addValidDataSet(list);
    list.setDataSetCell(1, tableColumn(DataSetColumn::EnGoose), "Y ");
    list.setDataSetCell(1, tableColumn(DataSetColumn::GooseName), "GoCB1");
    EXPECT_TRUE(check(list).empty());

    const AccessFile file = list.toAccessFile();
    const DataArrayMap map = buildDataArrayMap(file);
    ASSERT_EQ(map.at(0).size(), 2U);
    EXPECT_EQ(map.at(0)[0].direction, EntryDirection::Read);
    EXPECT_EQ(map.at(0)[1].direction, EntryDirection::Write);
    EXPECT_EQ(map.conflictCount(), 0U);

    const auto rows = sw::live::liveRows(file);
    ASSERT_EQ(rows.size(), 4U) << "two variables, the data set and its GOOSE block";
    EXPECT_EQ(rows[3].kind, sw::live::RowKind::Goose);

    // Lint and the editor's Check list the errors first, worded as OK words them.
    list.setVariableCell(2, tableColumn(VariableColumn::Position), "99999");
    const auto review = reviewAccessList(list.toAccessFile(), list.devices(), {}, ',', sw::builtinTexts());
    ASSERT_FALSE(review.empty());
    EXPECT_TRUE(review[0].error);
    EXPECT_EQ(review[0].row, 2U);
    EXPECT_EQ(review[0].text, "Error row 2!! Position must be between 0 and 1399");
}

} // namespace
