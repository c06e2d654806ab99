#include "core/access/access_check.h"
#include "core/language/builtin_texts.h"
#include "core/language/lang_table.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace sw::access;

// A row as Add Var leaves it, completed with values that pass.
void addValidRow(AccessList& list) {
    const std::size_t row = list.addVariableRow();
    const struct {
        std::size_t attribute;
        const char* text;
    } cells[] = {{VariableColumn::Index, "0"},
                 {VariableColumn::bType, "FLOAT32"},
                 {VariableColumn::IPAddress, "192.168.1.125"},
                 {VariableColumn::Port, "102"},
                 {VariableColumn::OnTimer, "N"},
                 {VariableColumn::Position, "0"},
                 {VariableColumn::MoltFact, "1"}};
    for (const auto& c : cells) {
        list.setVariableCell(row, tableColumn(c.attribute), c.text);
    }
}

std::string check(const AccessList& list, char separator) {
    sw::LangTable texts;
    sw::fillBuiltinTexts(texts);
    const auto failure = checkAccessList(list, separator);
    return failure ? accessCheckMessage(texts, *failure) : "OK";
}

TEST(AccessCheck, EachRuleAtItsEdges) {
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
        {VariableColumn::IPAddress, "0.0.0.0", ',', "OK"},
        {VariableColumn::Port, "65535", ',', "OK"},
        {VariableColumn::Port, "0", ',', "OK"},
        {VariableColumn::Port, "65536", ',', port},
        {VariableColumn::Port, "", ',', port},
        {VariableColumn::Port, "-1", ',', port},
        {VariableColumn::Time, "", ',', "OK"},
        {VariableColumn::Time, "", ',', time, "Y"},
        {VariableColumn::Time, "0", ',', time, " Y "},
        {VariableColumn::Time, "100000000", ',', "OK", "Y"},
        {VariableColumn::Time, "100000001", ',', time, "Y"},
        {VariableColumn::Position, "1399", ',', "OK"},
        {VariableColumn::Position, "1400", ',', position},
        {VariableColumn::Position, "-1", ',', position},
        {VariableColumn::MoltFact, " none ", ',', "OK"},
        {VariableColumn::MoltFact, "NoNe", '.', "OK"},
        {VariableColumn::MoltFact, "0.5", ',', "OK"},
        {VariableColumn::MoltFact, "0,5", ',', "OK"},
        {VariableColumn::MoltFact, "0,5", '.', "OK"},
        {VariableColumn::MoltFact, "", ',', factor},
        {VariableColumn::MoltFact, "abc", '.', factor},
        {VariableColumn::MoltFact, "1e39", '.', factor},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " in column " + std::to_string(tableColumn(c.attribute)));
        AccessList list;
        addValidRow(list);
        addValidRow(list);
        list.setVariableCell(2, tableColumn(VariableColumn::OnTimer), c.onTimer);
        list.setVariableCell(2, tableColumn(c.attribute), c.text);
        EXPECT_EQ(check(list, c.separator), c.expected);
    }
}

TEST(AccessCheck, OnlyTheFirstFailingRowCountsAndRowsWithoutTypeAreSkipped) {
    AccessList list;
    EXPECT_EQ(check(list, ','), "OK") << "an empty table passes";

    for (int i = 0; i < 5; ++i) {
        addValidRow(list);
    }
    list.setVariableCell(1, tableColumn(VariableColumn::bType), "");
    list.setVariableCell(1, tableColumn(VariableColumn::Port), "x");
    list.setVariableCell(2, tableColumn(VariableColumn::Position), "1400");
    list.setVariableCell(5, tableColumn(VariableColumn::Port), "99999");
    EXPECT_EQ(check(list, ','), "Error row 2!! Position must be between 0 and 1399");

    const std::size_t row = list.addDataSetRow({});
    list.setDataSetCell(row, tableColumn(DataSetColumn::Port), "99999");
    list.setVariableCell(2, tableColumn(VariableColumn::Position), "1");
    EXPECT_EQ(check(list, ','), "Error row 5!! Port must be between 0 and 65535")
        << "data-set rows are not checked";
}

} // namespace
