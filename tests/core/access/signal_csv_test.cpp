#include "core/access/access_list.h"
#include "core/access/csv.h"
#include "core/access/signal_csv.h"
#include "core/common/config_error.h"
#include "core/language/builtin_texts.h"
#include "core/language/lang_table.h"
#include "test_support.h"

#include "test_project.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace sw::access;

VariableRow validRow(std::string mnemonic = "m") {
    VariableRow row;
    const char* cells[] = {"0",        "FLOAT32", "MX",  "LD0/MMXU1.TotW.mag.f",
                           "10.0.0.1", "102",     "Y",   "N",
                           "Y",        "1000",    "12",  "3",
                           "Read",     "None",    "0,5", ""};
    for (std::size_t c = 0; c < VariableColumn::Count; ++c) {
        row.cells[c] = cells[c];
    }
    row.cells[VariableColumn::Mnemonic] = std::move(mnemonic);
    row.present.set();
    return row;
}

AccessFile sampleList() {
    AccessFile access;
    access.hasRoot = access.hasCatalogList = access.hasVariableList = access.hasDataSetList = true;
    access.catalog.resize(2);
    for (auto& item : access.catalog) {
        item.cells = {"IED", "ied.icd"};
        item.present.set();
    }
    access.variables = {validRow("plain"), validRow("comma, \"quoted\"; semi"),
                        validRow("two\r\nlines\nand\rcr"), validRow("Größe °C"), validRow("")};
    access.variables[4].cells[VariableColumn::Index] = "1";
    DataSetRow dataSet;
    dataSet.cells = {"1", "LD0/LLN0$DS1", "gcb", "Y", "10.0.0.2", "102", "", "set, one"};
    dataSet.present.set();
    dataSet.hasMemberList = true;
    MemberRow member;
    member.cells = {"BOOLEAN", "LD0/XCBR1.Pos.stVal", "7", "1", "None", "1", "pos"};
    member.present.set();
    dataSet.members = {member};
    access.dataSets = {dataSet};
    return access;
}

const std::string kNotUtf8 =
    "signals.csv is not UTF-8 text. Save it from the spreadsheet program as \"CSV UTF-8\".";

std::vector<VariableRow> import(const std::string& bytes, std::size_t catalogSize = 2) {
    return readVariablesCsv(bytes, "signals.csv", catalogSize, ',', sw::builtinTexts());
}

std::string importError(const std::string& bytes, std::size_t catalogSize = 2) {
    try {
        import(bytes, catalogSize);
    } catch (const sw::ConfigError& error) {
        return error.what();
    }
    return "accepted";
}

TEST(SignalCsv, ExportThenImportGivesBackTheSameAccessFile) {
    const AccessFile original = sampleList();
    const std::string exported = variablesCsv(original);
    ASSERT_TRUE(
        exported.starts_with("\xEF\xBB\xBFIndex,bType,fc,Reference,IPAddress,Port,OnChange,OnCMD,"
                             "OnTimer,Time,Position,StartBit,ReadWrite,Convertion,MoltFact,Mnemonic\r\n"));
    EXPECT_NE(exported.find(",\"comma, \"\"quoted\"\"; semi\"\r\n"), std::string::npos);

    AccessFile imported = original;
    imported.variables = import(exported);
    EXPECT_EQ(accessFileBytes(imported), accessFileBytes(original));

    imported.variables = import(variablesCsv(AccessFile{}));
    EXPECT_TRUE(imported.variables.empty());
}

TEST(SignalCsv, ReadsWhatSpreadsheetProgramsWrite) {
    // Semicolons and CR LF, as a program in a comma-decimal region saves; no byte-order mark; columns
    // in another order; a last line without line break.
    const std::string semicolons =
        "Mnemonic;Index;bType;fc;Reference;IPAddress;Port;OnChange;OnCMD;OnTimer;Time;Position;StartBit;"
        "ReadWrite;Convertion;MoltFact\r\n"
        "\"a;b\";0;FLOAT32;MX;r;10.0.0.1;102;N;N;N;;12;;Read;None;0,5\r\n"
        "\r\n"
        "x;1;BOOLEAN;ST;s;10.0.0.1;102;N;N;N;;13;;Write;None;1";
    const auto rows = import(semicolons);
    ASSERT_EQ(rows.size(), 2U);
    EXPECT_EQ(rows[0][VariableColumn::Mnemonic], "a;b");
    EXPECT_EQ(rows[0][VariableColumn::MoltFact], "0,5");
    EXPECT_EQ(rows[1][VariableColumn::Position], "13");
    EXPECT_TRUE(rows[1].present.all());

    std::string lf = variablesCsv(sampleList());
    for (std::size_t at = lf.find("\r\n"); at != std::string::npos; at = lf.find("\r\n", at)) {
        lf.erase(at, 1);
    }
    EXPECT_EQ(import(lf).size(), 5U);
}

TEST(SignalCsv, OneFailingCellRejectsTheImportNamingRowAndColumn) {
    AccessFile access = sampleList();
    access.variables.resize(8, validRow());
    const auto withCell = [&](std::size_t row, std::size_t column, const char* text) {
        AccessFile changed = access;
        changed.variables[row - 1].cells[column] = text;
        return variablesCsv(changed);
    };
    const struct {
        std::string csv;
        std::string message;
    } cases[] = {
        {withCell(7, VariableColumn::Port, "99999"), "signals.csv: Error row 7!! Port must be between 0 and "
                                                     "65535 (column \"Port\", line 11). Nothing was "
                                                     "imported."},
        {withCell(2, VariableColumn::Index, "2"),
         "signals.csv: Error row 2!! Index \"2\" names no device of the catalog (0 to 1) (column \"Index\", "
         "line 3). Nothing was imported."},
        // Only what the editor's lists could have made.
        {withCell(2, VariableColumn::bType, "NoSuchType"),
         "signals.csv: Error row 2!! bType \"NoSuchType\" is not a basic type an SCL file can name (column "
         "\"bType\", line 3). Nothing was imported."},
        {withCell(2, VariableColumn::fc, "ZZ"),
         "signals.csv: Error row 2!! fc \"ZZ\" must be one of: ST, MX, SP, SV, CF, DC, SG, SE, SR, OR, BL, "
         "EX, "
         "CO, US, MS, RP, BR, LG, GO, GS, SC (column \"fc\", line 3). Nothing was imported."},
        {withCell(2, VariableColumn::ReadWrite, "Sideways"),
         "signals.csv: Error row 2!! ReadWrite \"Sideways\" must be one of: Read, Write (column "
         "\"ReadWrite\", "
         "line 3). Nothing was imported."},
        {withCell(2, VariableColumn::StartBit, "300"),
         "signals.csv: Error row 2!! Start Bit must be empty or between 0 and 7, not \"300\" (column "
         "\"StartBit\", line 3). Nothing was imported."},
        {withCell(2, VariableColumn::OnChange, "maybe"),
         "signals.csv: Error row 2!! OnChange must be Y or N, not \"maybe\" (column \"OnChange\", line 3). "
         "Nothing was imported."},
        {withCell(2, VariableColumn::Mnemonic, "a\x01"),
         "signals.csv: Error row 2!! Mnemonic holds the control character U+0001, which an XML file cannot "
         "hold (column \"Mnemonic\", line 3). Nothing was imported."},
        {withCell(2, VariableColumn::bType, ""),
         "signals.csv: Error row 2!! bType must not be empty (column \"bType\", line 3). Nothing was "
         "imported."},
        {withCell(3, VariableColumn::Position, "1400"),
         "signals.csv: Error row 3!! Position must be between 0 and 1399 (column \"Position\", line 4). "
         "Nothing was imported."},
        {withCell(8, VariableColumn::MoltFact, "x"),
         "signals.csv: Error row 8!! Mult. Factor must be a valid Float (column \"MoltFact\", line 12). "
         "Nothing was imported."},
        {withCell(5, VariableColumn::IPAddress, "1.2.3"),
         "signals.csv: Error row 5!! IP Address must be a valid TCP IP Address (Ex. 192.168.1.125) (column "
         "\"IPAddress\", line 9). Nothing was imported."},
        {"Index,bType\r\n", "signals.csv, line 1: the column \"fc\" is missing."},
        {"Index,Colour\r\n", "signals.csv, line 1: \"Colour\" is not a column of the variables table."},
        {"Index,Index\r\n", "signals.csv, line 1: the column \"Index\" appears twice."},
        {"", "signals.csv is empty: the first line must name the columns (Index, bType, ...)."},
        {"a,\"b\r\nc\r\n", "signals.csv, line 1: a quoted field is not closed"},
        {"a,\"b\"c\r\n", "signals.csv, line 1: a quoted field is followed by text before the next separator"},
        {variablesCsv(AccessFile{}) + std::string("b\0c\r\n", 5),
         "signals.csv, line 2: the text holds a NUL character"},
        {"Gr\xF6\xDF"
         "e\r\n",
         "signals.csv is not UTF-8 text. Save it from the spreadsheet program as \"CSV UTF-8\"."}, // UTF-16
                                                                                                   // without
                                                                                                   // and with
                                                                                                   // byte-order
                                                                                                   // mark,
                                                                                                   // little
                                                                                                   // and big
                                                                                                   // end
                                                                                                   // first.
        {std::string("I\0n\0d\0e\0x\0,\0b\0", 14), kNotUtf8},
        {std::string("\0I\0n\0d\0e\0x", 10), kNotUtf8},
        {"\xFF\xFEI", kNotUtf8},
        {"\xFE\xFF", kNotUtf8},
        {"Index, index \r\n", "signals.csv, line 1: the column \"Index\" appears twice."},
        {"\r\nsep=;\r\n\r\nIndex;Colour\r\n",
         "signals.csv, line 4: \"Colour\" is not a column of the variables table."},
        // The header decides before the body is read: its faults are never reached.
        {"Index,Colour\r\n\"\xFF\0",
         "signals.csv, line 1: \"Colour\" is not a column of the variables table."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(importError(c.csv), c.message);
    }
    std::string shortRow = variablesCsv(access);
    shortRow += "0,1\r\n";
    EXPECT_EQ(importError(shortRow),
              "signals.csv, line 13: 2 fields where the first line names 16. Nothing was imported.");
    // Reading stops at the first row past the device's limit; the body's fault after it is never reached.
    // The sample's third mnemonic spans four lines.
    AccessFile tooMany = access;
    tooMany.variables.resize(kMaxImportedVariables + 1, validRow());
    EXPECT_EQ(importError(variablesCsv(tooMany) + "broken,\"\r\n"),
              "signals.csv, line 14983: more than 14978 rows, the most the device takes is 14978 variables. "
              "Nothing was imported.");
    tooMany.variables.resize(kMaxImportedVariables);
    EXPECT_EQ(import(variablesCsv(tooMany)).size(), kMaxImportedVariables);
    EXPECT_EQ(importError(variablesCsv(access), 0), "signals.csv: Error row 1!! Index \"0\" names no device: "
                                                    "the catalog is empty (column \"Index\", line "
                                                    "2). Nothing was imported.");
}

TEST(SignalCsv, ReadsTheVariantsSpreadsheetProgramsAndUsersLeave) {
    const std::string header = "Index,bType,fc,Reference,IPAddress,Port,OnChange,OnCMD,OnTimer,Time,Position,"
                               "StartBit,ReadWrite,Convertion,MoltFact,Mnemonic";
    const std::string row = "0,FLOAT32,MX,r,10.0.0.1,102,N,N,N,,12,,Read,None,\"0,5\",a;b";
    const std::string semicolonRow = "0;FLOAT32;MX;r;10.0.0.1;102;N;N;N;;12;;Read;None;0,5;\"a;b\"";
    std::string semicolonHeader = header;
    std::replace(semicolonHeader.begin(), semicolonHeader.end(), ',', ';');
    const struct {
        const char* what;
        std::string csv;
    } cases[] = {
        {"a blank first line before a \";\" header", "\r\n\r\n" + semicolonHeader + "\r\n" + semicolonRow},
        {"sep=; names the separator", "\xEF\xBB\xBFsep=;\r\n" + semicolonHeader + "\n" + semicolonRow + "\n"},
        {"sep=, names the separator", "sep=,\n" + header + "\n" + row},
        {"names in any case, blanks around",
         " index ,BTYPE,Fc,reference,\tIPAddress,PORT,onchange,OnCmd,ontimer,TIME, position ,startbit,"
         "readWrite,CONVERTION,moltfact,mnemonic\t\r\n" +
             row},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto rows = import(c.csv);
        ASSERT_EQ(rows.size(), 1U);
        EXPECT_EQ(rows[0][VariableColumn::MoltFact], "0,5");
        EXPECT_EQ(rows[0][VariableColumn::Mnemonic], "a;b");
        EXPECT_EQ(rows[0][VariableColumn::Position], "12");
    }
}

TEST(SignalCsv, FormulaCellsGetAnApostropheThatTheImportTakesOff) {
    const char* mnemonics[] = {"=1+1", "-5", "'=x", "@SUM(A1)", "+", "''-y", "'plain", "a=b", "'"};
    AccessFile access = sampleList();
    access.variables.clear();
    for (const char* mnemonic : mnemonics) {
        access.variables.push_back(validRow(mnemonic));
    }
    access.variables[1].cells[VariableColumn::MoltFact] = "-5";
    const std::string exported = variablesCsv(access);
    for (const char* cell : {",'=1+1\r\n", ",'-5,'-5\r\n", ",''=x\r\n", ",'@SUM(A1)\r\n", ",'+\r\n",
                             ",'''-y\r\n", ",'plain\r\n", ",a=b\r\n", ",'\r\n"}) {
        EXPECT_NE(exported.find(cell), std::string::npos) << cell;
    }
    AccessFile imported = access;
    imported.variables = import(exported);
    EXPECT_EQ(accessFileBytes(imported), accessFileBytes(access));
    EXPECT_EQ(variablesCsv(imported), exported);

    // A file written by hand: one apostrophe before a formula character goes, any other stays.
    std::string byHand = variablesCsv(AccessFile{});
    for (const char* mnemonic : {"'=x", "\"'-1\"", "'a", "'"}) {
        byHand += "0,FLOAT32,MX,r,10.0.0.1,102,N,N,N,,12,,Read,None,1,";
        byHand += mnemonic;
        byHand += "\r\n";
    }
    const auto rows = import(byHand);
    ASSERT_EQ(rows.size(), 4U);
    EXPECT_EQ(rows[0][VariableColumn::Mnemonic], "=x");
    EXPECT_EQ(rows[1][VariableColumn::Mnemonic], "-1");
    EXPECT_EQ(rows[2][VariableColumn::Mnemonic], "'a");
    EXPECT_EQ(rows[3][VariableColumn::Mnemonic], "'");
}

TEST(CsvReader, HandsOverOneRecordAtATimeWithItsLine) {
    // Quoted fields across lines and with doubled quotes, CR, LF and CR LF line ends, empty lines.
    const std::string text = "a,\"b\r\nc\",\"say \"\"hi\"\"\"\r\r\n\"x\"\"\",,\ry\n\n\"\"";
    sw::csv::Reader reader(text, "t.csv");
    const struct {
        std::size_t line;
        std::vector<std::string> fields;
    } expected[] = {{1, {"a", "b\r\nc", "say \"hi\""}}, {4, {"x\"", "", ""}}, {5, {"y"}}, {7, {""}}};
    for (const auto& record : expected) {
        ASSERT_TRUE(reader.next());
        EXPECT_EQ(reader.line(), record.line);
        EXPECT_EQ(std::vector<std::string>(reader.fields().begin(), reader.fields().end()), record.fields);
    }
    EXPECT_FALSE(reader.next());
    EXPECT_EQ(reader.separator(), ',');
}

TEST(SignalCsv, DataSetsGoToTheirOwnFileWithAKindColumn) {
    EXPECT_EQ(
        dataSetsCsv(sampleList()),
        "\xEF\xBB\xBFKind,Index,Reference,GooseName,EnGoose,IPAddress,Port,Time,Mnemonic,bType,Position,"
        "StartBit,Convertion,MoltFact\r\n"
        "DataSet_Item,1,LD0/LLN0$DS1,gcb,Y,10.0.0.2,102,,\"set, one\",,,,,\r\n"
        "DataSet_DA_Item,,LD0/XCBR1.Pos.stVal,,,,,,pos,BOOLEAN,7,1,None,1\r\n");
    EXPECT_EQ(dataSetsCsvPath("/p/signals.csv"), std::filesystem::path("/p/signals.datasets.csv"));
    EXPECT_EQ(dataSetsCsvPath("/p/signals"), std::filesystem::path("/p/signals.datasets.csv"));
}

TEST(SignalCsv, ImportReplacesTheEditorsVariablesTable) {
    AccessList list;
    replaceVariables(list, sampleList().variables);
    ASSERT_EQ(list.variables().size(), 5U);
    EXPECT_EQ(list.variables()[4][0], "5");
    EXPECT_EQ(list.variables()[1][tableColumn(VariableColumn::Mnemonic)], "comma, \"quoted\"; semi");
    replaceVariables(list, {});
    EXPECT_TRUE(list.variablesEmpty());
}

} // namespace

namespace {

// An import replaces the variables list and nothing else: a hand-edited file keeps its comment, its
// extra attribute, a member without a place and a data set without members byte for byte.
TEST(SignalCsv, ImportIntoAFileKeepsEveryByteItDoesNotReplace) {
    sw::test::TempDir dir;
    const auto accessFile = dir / "IEC_61850_Client.xml";
    const std::string before = "<?xml version=\"1.0\"?>\n<!-- site notes -->\n<IEC_68850_Client>\n  "
                               "<List_ICD_Files><ICD_File Name=\"IED\" FileName=\"ied.icd\" Vendor=\"x\"/>"
                               "<ICD_File Name=\"IED2\" FileName=\"ied2.icd\"/></List_ICD_Files>\n  ";
    const std::string after =
        "\n  <!-- between -->\n  <List_DataSet_Selected><DataSet_Item Index=\"0\" Reference=\"LD0/LLN0.DS1\">"
        "<DataSet_List_DAs><DataSet_DA_Item bType=\"BOOLEAN\" Reference=\"r\"/></DataSet_List_DAs>"
        "</DataSet_Item><DataSet_Item "
        "Index=\"1\"><DataSet_List_DAs/></DataSet_Item></List_DataSet_Selected>\n"
        "</IEC_68850_Client>\n<!--SW_VERSION = 1.000-->\n";
    for (const std::string& list :
         {std::string("<List_DA_Selected>\n    <DA_Item Index=\"0\"/>\n  </List_DA_Selected>"),
          std::string("<List_DA_Selected/>")}) {
        sw::test::writeFile(accessFile, before + list + after);
        sw::test::writeFile(dir / "signals.csv", variablesCsv(sampleList()));
        EXPECT_EQ(importVariablesCsv(dir / "signals.csv", accessFile, ',', sw::builtinTexts()), 5U);
        const std::string bytes = sw::test::readFile(accessFile);
        EXPECT_TRUE(bytes.starts_with(before + "<List_DA_Selected><DA_Item Index=\"0\" bType=\"FLOAT32\""))
            << bytes;
        EXPECT_TRUE(bytes.ends_with("</List_DA_Selected>" + after)) << bytes;
        EXPECT_EQ(readAccessFile(accessFile).variables.size(), 5U);
    }
}

// The parser stops at a zero byte; what follows it may look like an end tag. The import must still
// leave a file that reads back, with the catalog kept and the new variables.
TEST(SignalCsv, ImportIntoAFileWithMarkupLikeBytesAfterTheRootLeavesAReadableFile) {
    sw::test::TempDir dir;
    const auto accessFile = dir / "IEC_61850_Client.xml";
    sw::test::writeFile(accessFile,
                        std::string("<IEC_68850_Client><List_ICD_Files><ICD_File Name=\"IED\"/>"
                                    "<ICD_File Name=\"IED2\"/></List_ICD_Files><List_DA_Selected>"
                                    "<DA_Item Index=\"0\"/></List_DA_Selected></IEC_68850_Client>") +
                            '\0' + " notes </x>");
    sw::test::writeFile(dir / "signals.csv", variablesCsv(sampleList()));
    EXPECT_EQ(importVariablesCsv(dir / "signals.csv", accessFile, ',', sw::builtinTexts()), 5U);
    const AccessFile again = readAccessFile(accessFile);
    EXPECT_EQ(again.variables.size(), 5U);
    EXPECT_EQ(again.catalog.size(), 2U);
}

// The converter's limits are the import's: a list the device cannot take is refused before anything is
// written, so that no command writes a file the program then refuses.
TEST(SignalCsv, ImportBeyondTheVariableImageIsRefusedWithNothingWritten) {
    sw::test::TempDir dir;
    const auto accessFile = dir / "IEC_61850_Client.xml";
    AccessFile access = sampleList();
    access.variables.assign(5000, validRow());
    for (VariableRow& row : access.variables) {
        row.cells[VariableColumn::Reference] = "LD0/" + std::string(100, 'r');
    }
    sw::test::writeFile(dir / "signals.csv", variablesCsv(access));
    const std::string stored = accessFileBytes(sampleList());
    sw::test::writeFile(accessFile, stored);
    try {
        importVariablesCsv(dir / "signals.csv", accessFile, ',', sw::builtinTexts());
        ADD_FAILURE() << "imported";
    } catch (const sw::ConfigError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("The variable image would take "), std::string::npos) << message;
        EXPECT_NE(message.find("more than the converter's limit of 524287"), std::string::npos) << message;
        EXPECT_TRUE(message.ends_with("Nothing was imported.")) << message;
    }
    EXPECT_EQ(sw::test::readFile(accessFile), stored);
}

} // namespace
