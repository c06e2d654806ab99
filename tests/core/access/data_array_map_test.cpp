#include "core/access/data_array_map.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace sw::access;

VariableRow variable(const char* position, const char* startBit, const char* direction) {
    VariableRow row;
    row.cells[VariableColumn::Position] = position;
    row.cells[VariableColumn::StartBit] = startBit;
    row.cells[VariableColumn::ReadWrite] = direction;
    row.present.set();
    return row;
}

DataSetRow dataSet(std::vector<std::pair<const char*, const char*>> members) {
    DataSetRow row;
    for (const auto& [position, startBit] : members) {
        MemberRow member;
        member.cells[MemberColumn::Position] = position;
        member.cells[MemberColumn::StartBit] = startBit;
        row.members.push_back(member);
    }
    return row;
}

TEST(DataArrayMap, ConflictsAreValuesFromTheServerOnTheSamePositionAndStartBit) {
    const struct {
        const char* name;
        std::vector<VariableRow> variables;
        std::vector<DataSetRow> dataSets;
        bool conflict;
    } cases[] = {
        {"two reads without start bit", {variable("10", "", "Read"), variable("10", "", "Read")}, {}, true},
        {"reads on start bits 0 and 1",
         {variable("10", "0", "Read"), variable("10", "1", "Read")},
         {},
         false},
        {"empty start bit is its own value",
         {variable("10", "", "Read"), variable("10", "0", "Read")},
         {},
         false},
        {"write beside a read", {variable("10", "", "Write"), variable("10", "", "Read")}, {}, false},
        {"two writes", {variable("10", "", "Write"), variable("10", "", "Write")}, {}, false},
        {"no direction beside a read", {variable("10", "", ""), variable("10", "", "Read")}, {}, false},
        {"member and read variable", {variable("10", "", "Read")}, {dataSet({{"10", ""}})}, true},
        {"member and write variable", {variable("10", "", "Write")}, {dataSet({{"10", ""}})}, false},
        {"two members of one data set", {}, {dataSet({{"10", "3"}, {"10", "3"}})}, true},
        {"members of two data sets", {}, {dataSet({{"10", "3"}}), dataSet({{" 10", "3"}})}, true},
        {"different positions", {variable("10", "", "Read"), variable("11", "", "Read")}, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sw::access::AccessFile access;
        access.variables = c.variables;
        access.dataSets = c.dataSets;
        const DataArrayMap map = buildDataArrayMap(access);
        EXPECT_EQ(map.conflictCount(), c.conflict ? 1U : 0U);
        EXPECT_EQ(map.use(10) == CellUse::Conflict, c.conflict);
    }
}

TEST(DataArrayMap, PlacesEveryEntryOnItsPositionAndLeavesOutPositionsOffTheArray) {
    sw::access::AccessFile access;
    access.variables = {variable("0", "", "Read"),    variable("1399", "7", "Write"),
                        variable("1400", "", "Read"), variable("x", "", "Read"),
                        variable("-1", "", "Read"),   variable("5", "", "Write"),
                        variable("5", "", "Read")};
    access.dataSets = {dataSet({{"5", "2"}, {"", ""}, {"7", "9"}})};
    const DataArrayMap map = buildDataArrayMap(access);

    EXPECT_EQ(map.entries().size(), 6U);
    ASSERT_EQ(map.at(1399).size(), 1U);
    EXPECT_EQ(map.at(1399)[0].row, 2U);
    EXPECT_EQ(map.at(1399)[0].startBit, 7);
    EXPECT_TRUE(map.at(1400).empty());
    ASSERT_EQ(map.at(5).size(), 3U);
    EXPECT_EQ(map.at(5)[2].dataSet, 1U);
    EXPECT_EQ(map.at(5)[2].row, 1U);
    EXPECT_EQ(map.at(7)[0].startBit, -2);

    EXPECT_EQ(map.use(0), CellUse::Read);
    EXPECT_EQ(map.use(1399), CellUse::Write);
    EXPECT_EQ(map.use(5), CellUse::Mixed);
    EXPECT_EQ(map.use(7), CellUse::Member);
    EXPECT_EQ(map.use(2), CellUse::Free);
    EXPECT_EQ(map.conflictCount(), 0U);

    EXPECT_EQ(describePosition(map, 5),
              "Position 5\nvariables row 6 (Write, no start bit)\nvariables row 7 (Read, "
              "no start bit)\ndata set 1 member 1 (start bit 2)");
    EXPECT_EQ(describePosition(map, 5, 1),
              "Position 5\nvariables row 6 (Write, no start bit)\n... and 2 more");
    EXPECT_EQ(describePosition(map, 2), "Position 2: free");
}

} // namespace
