#include "core/access/access_editor.h"
#include "core/common/config_error.h"
#include "core/project/project_paths.h"
#include "core/scl/scl_model.h"
#include "test_project.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace sw::access;
using sw::test::readFile;
using sw::test::writeFile;

const std::string kBay1 = readFile(std::filesystem::path(SW_FIXTURES_DIR) / "scl" / "bay1.icd");

// An IED "Dev" whose LLN0 holds the data set "Four" with a BOOLEAN stVal of each named data object of
// GGIO1: a device whose data set can be revised member by member.
std::string deviceWithDataSet(const std::vector<std::string>& members) {
    std::string scl = R"(<SCL><IED name="Dev"><AccessPoint name="AP"><Server><LDevice inst="LD">)"
                      R"(<LN0 lnClass="LLN0" lnType="L0"><DataSet name="Four">)";
    for (const std::string& m : members) {
        scl +=
            R"(<FCDA ldInst="LD" lnClass="GGIO" lnInst="1" doName=")" + m + R"(" daName="stVal" fc="ST"/>)";
    }
    scl += R"(</DataSet><GSEControl name="Go" datSet="Four"/></LN0><LN lnClass="GGIO" inst="1" lnType="G"/>)"
           R"(</LDevice></Server></AccessPoint></IED><DataTypeTemplates><LNodeType id="L0" lnClass="LLN0"/>)"
           R"(<LNodeType id="G" lnClass="GGIO">)";
    for (const char* name : {"A", "B", "C", "D", "X"}) {
        scl += std::string(R"(<DO name=")") + name + R"(" type="S"/>)";
    }
    return scl + R"(</LNodeType><DOType id="S"><DA name="stVal" bType="BOOLEAN" fc="ST"/></DOType>)"
                 R"(</DataTypeTemplates></SCL>)";
}

constexpr const char* kFour = "DevLD/LLN0.Four";

struct Project : sw::test::TestProject {
    AccessEditor editor;

    Project() { std::filesystem::create_directories(paths.icdCatalog()); }
    void catalogFile(const std::string& name, const std::string& bytes) const {
        writeFile(paths.icdCatalog() / name, bytes);
    }
    void accessFile(const std::string& xml) const { writeFile(paths.accessFile(), xml); }
    OpenReport open() { return editor.open(paths); }
    std::string saved() {
        editor.save(paths.accessFile());
        return readFile(paths.accessFile());
    }
    // Chooses device `index` and clicks the node the path leads to.
    void selectAttribute(std::size_t index, const char* ld, const char* ln, const char* dataObject,
                         const char* attribute) {
        editor.chooseDevice(index);
        const sw::SclDataObject* object =
            editor.chosenModel()->findLogicalDevice(ld)->findLogicalNode(ln)->findDataObject(dataObject);
        editor.selectTreeNode(object->findAttribute(attribute));
    }
    void selectDataSet(std::size_t index, const std::string& reference) {
        editor.chooseDevice(index);
        editor.selectTreeNode(editor.list().findDataSet(static_cast<std::int64_t>(index), reference));
    }
};

std::string cell(const AccessList& list, std::size_t row, std::size_t attribute) {
    return list.variables().at(row - 1)[tableColumn(attribute)];
}

TEST(AccessEditor, OpeningWithoutAccessFileForgetsThePreviousProjectAndSavesTheEmptyLists) {
    Project first;
    first.catalogFile("bay1.icd", kBay1);
    first.accessFile(
        R"(<IEC_68850_Client><List_ICD_Files><ICD_File Name="Bay1" FileName="bay1.icd"/>)"
        R"(</List_ICD_Files><List_DA_Selected><DA_Item Index="0" bType="BOOLEAN"/></List_DA_Selected>)"
        R"(<List_DataSet_Selected><DataSet_Item Index="0" Reference="Bay1CTRL/LLN0.DS1"/>)"
        R"(</List_DataSet_Selected></IEC_68850_Client>)");
    AccessEditor& editor = first.editor;
    first.open();
    ASSERT_EQ(editor.list().devices().size(), 1u);
    editor.showDataSetMembers(1);

    Project second;
    editor.open(second.paths);
    EXPECT_TRUE(editor.list().devices().empty());
    ASSERT_EQ(editor.list().variables().size(), 1u);
    EXPECT_EQ(editor.list().variables()[0], VariableCells{"1"});
    ASSERT_EQ(editor.list().dataSetRows().size(), 1u);
    EXPECT_EQ(editor.list().dataSetRows()[0], DataSetCells{"1"});
    EXPECT_EQ(editor.shownMembers(), std::vector<MemberCells>(1));
    EXPECT_EQ(editor.DataSet_Row_Select(), 0u);

    editor.save(second.paths.accessFile());
    EXPECT_EQ(readFile(second.paths.accessFile()), "<IEC_68850_Client><List_ICD_Files/><List_DA_Selected/>"
                                                   "<List_DataSet_Selected/></IEC_68850_Client>"
                                                   "<!--SW_VERSION = 1.000-->");
}

TEST(AccessEditor, ChangesAreWhatDiffersFromTheListOpenedOrLastSaved) {
    Project p;
    p.catalogFile("bay1.icd", kBay1);
    p.open();
    EXPECT_FALSE(p.editor.hasChanges()) << "a project without an access file";
    ASSERT_TRUE(
        p.editor.addDevice(p.paths, p.paths.icdCatalog() / "bay1.icd", [] { return OverwriteAnswer::No; }));
    EXPECT_TRUE(p.editor.hasChanges());
    p.saved();
    EXPECT_FALSE(p.editor.hasChanges());
    p.open();
    EXPECT_FALSE(p.editor.hasChanges());
    ASSERT_TRUE(p.editor.list().removeDevice(0));
    EXPECT_TRUE(p.editor.hasChanges());
}

TEST(AccessEditor, AddVarFillsTheBlankRowThenAppendsAndRemoveVarRenumbers) {
    Project p;
    p.catalogFile("bay1.icd", kBay1);
    ASSERT_TRUE(
        p.editor.addDevice(p.paths, p.paths.icdCatalog() / "bay1.icd", [] { return OverwriteAnswer::No; }));
    AccessList& list = p.editor.list();

    EXPECT_EQ(p.editor.addVar(), AddVarResult::Nothing) << "nothing selected";
    p.selectAttribute(0, "CTRL", "MMXU", "TotW", "f");
    ASSERT_EQ(p.editor.addVar(), AddVarResult::Variable);
    ASSERT_EQ(list.variables().size(), 1u) << "the blank row is filled";
    EXPECT_EQ(list.variables()[0],
              (VariableCells{"1", "0", "FLOAT32", "MX", "Bay1CTRL/MMXU1.TotW.mag.f", "", "", "N", "N", "N"}));

    p.selectAttribute(0, "CTRL", "MMXU", "TotW", "mag");
    EXPECT_EQ(p.editor.selectedAttribute(), nullptr) << "a structured attribute is not selectable";
    EXPECT_EQ(p.editor.addVar(), AddVarResult::Nothing);

    p.selectAttribute(0, "CTRL", "XCBR", "Pos", "stVal");
    p.editor.addVar();
    p.editor.addVar();
    ASSERT_EQ(list.variables().size(), 3u);
    list.setVariableCell(3, tableColumn(VariableColumn::Mnemonic), "third");
    p.editor.removeVar(Page::Variables, 2);
    ASSERT_EQ(list.variables().size(), 2u);
    EXPECT_EQ(list.variables()[0][0], "1");
    EXPECT_EQ(list.variables()[1][0], "2");
    EXPECT_EQ(cell(list, 2, VariableColumn::Mnemonic), "third");

    p.editor.removeVar(Page::Variables, 1);
    p.editor.removeVar(Page::Variables, 1);
    EXPECT_EQ(list.variables(), std::vector<VariableCells>{VariableCells{"1"}})
        << "the last row stays, blank";
    EXPECT_TRUE(list.variablesEmpty());
}

TEST(AccessEditor, DataSetAddedTwiceHasIndependentMemberSettingsThatOkWrites) {
    Project p;
    p.catalogFile("dev.icd", deviceWithDataSet({"A", "B", "C", "D"}));
    p.accessFile(
        R"(<IEC_68850_Client><List_ICD_Files><ICD_File Name="x" FileName="dev.icd"/></List_ICD_Files>)"
        R"(</IEC_68850_Client>)");
    p.open();
    p.selectDataSet(0, kFour);
    ASSERT_EQ(p.editor.addVar(), AddVarResult::DataSet);
    ASSERT_EQ(p.editor.addVar(), AddVarResult::DataSet);
    const AccessList& list = p.editor.list();
    ASSERT_EQ(list.dataSetRows().size(), 2u);
    EXPECT_EQ(list.dataSetRows()[1], (DataSetCells{"2", "0", kFour, "Go", "Y", "", "", "", ""}));
    ASSERT_EQ(list.memberRows(1).size(), 4u);
    EXPECT_EQ(list.memberRows(1)[3],
              (MemberCells{"4", "BOOLEAN", "DevLD/GGIO1.D.stVal", "", "", "", "", ""}));

    p.editor.showDataSetMembers(1);
    p.editor.setShownMemberCell(2, tableColumn(MemberColumn::Position), "17");
    p.editor.setShownMemberCell(2, tableColumn(MemberColumn::Reference), "ignored");
    p.editor.showDataSetMembers(2);
    EXPECT_EQ(p.editor.shownMembers()[1][tableColumn(MemberColumn::Position)], "")
        << "the second set is apart";
    p.editor.showDataSetMembers(1);
    EXPECT_EQ(p.editor.shownMembers()[1][tableColumn(MemberColumn::Position)], "17");
    EXPECT_EQ(p.editor.shownMembers()[1][tableColumn(MemberColumn::Reference)], "DevLD/GGIO1.B.stVal");

    const std::string file = p.saved();
    EXPECT_NE(file.find(R"(<DataSet_DA_Item bType="BOOLEAN" Reference="DevLD/GGIO1.B.stVal" Position="17" )"
                        R"(StartBit="" Convertion="" MoltFact="" Mnemonic=""/>)"),
              std::string::npos)
        << file;
    p.open();
    EXPECT_EQ(p.editor.list().memberRows(1)[1][tableColumn(MemberColumn::Position)], "17");
}

TEST(AccessEditor, RemovingADataSetRowEmptiesTheMembersViewSoNoEditReachesTheSetBelow) {
    Project p;
    p.catalogFile("dev.icd", deviceWithDataSet({"A", "B", "C", "D"}));
    ASSERT_TRUE(
        p.editor.addDevice(p.paths, p.paths.icdCatalog() / "dev.icd", [] { return OverwriteAnswer::No; }));
    p.selectDataSet(0, kFour);
    p.editor.addVar();
    p.editor.addVar();
    p.editor.showDataSetMembers(1);
    p.editor.removeVar(Page::DataSet, 1);
    EXPECT_EQ(p.editor.DataSet_Row_Select(), 0u);
    EXPECT_EQ(p.editor.shownMembers(), std::vector<MemberCells>(1));
    p.editor.setShownMemberCell(1, tableColumn(MemberColumn::Position), "5");
    EXPECT_EQ(p.editor.list().memberRows(1)[0][tableColumn(MemberColumn::Position)], "");

    p.editor.removeVar(Page::DataSet, 1);
    EXPECT_TRUE(p.editor.list().dataSetsEmpty());
    EXPECT_TRUE(p.editor.list().dataSets().empty());
    EXPECT_TRUE(p.editor.list().memberRows(1).empty());
}

TEST(AccessEditor, RemovingADeviceShiftsLaterIndexesAndIsRefusedWhileARowNamesIt) {
    Project p;
    p.catalogFile("bay1.icd", kBay1);
    for (int i = 0; i < 3; ++i) {
        p.editor.addDevice(p.paths, p.paths.icdCatalog() / "bay1.icd", [] { return OverwriteAnswer::No; });
    }
    p.selectAttribute(0, "CTRL", "XCBR", "Pos", "stVal");
    p.editor.addVar();
    p.selectAttribute(2, "CTRL", "XCBR", "Pos", "stVal");
    p.editor.addVar();
    p.selectDataSet(2, "Bay1CTRL/LLN0.DS1");
    p.editor.addVar();
    const AccessList& list = p.editor.list();

    p.editor.chooseDevice(2);
    EXPECT_FALSE(p.editor.removeChosenDevice()) << "in use";
    EXPECT_EQ(list.devices().size(), 3u);

    p.selectAttribute(1, "CTRL", "XCBR", "Pos", "stVal");
    ASSERT_TRUE(p.editor.removeChosenDevice());
    EXPECT_EQ(list.devices().size(), 2u);
    EXPECT_EQ(cell(list, 1, VariableColumn::Index), "0");
    EXPECT_EQ(cell(list, 2, VariableColumn::Index), "1");
    EXPECT_EQ(list.dataSetRows()[0][tableColumn(DataSetColumn::Index)], "1");
    EXPECT_FALSE(p.editor.chosenDevice());
    EXPECT_EQ(p.editor.selectedAttribute(), nullptr);
    EXPECT_EQ(p.editor.addVar(), AddVarResult::Nothing) << "the removed device is out of reach";
}

TEST(AccessEditor, AddingADeviceAsksBeforeOverwritingAndClearsTheSelection) {
    const struct {
        OverwriteAnswer answer;
        bool added;
        const char* catalogName; // the IED name the catalog copy has afterwards
    } cases[] = {{OverwriteAnswer::Yes, true, "Dev"},
                 {OverwriteAnswer::No, true, "Bay1"},
                 {OverwriteAnswer::Cancel, false, "Bay1"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        Project p;
        p.catalogFile("bay1.icd", kBay1);
        writeFile(p.dir / "bay1.icd", deviceWithDataSet({"A"}));
        ASSERT_TRUE(p.editor.addDevice(p.paths, p.paths.icdCatalog() / "bay1.icd",
                                       [] { return OverwriteAnswer::No; }));
        p.selectAttribute(0, "CTRL", "XCBR", "Pos", "stVal");
        int asked = 0;
        const auto added = p.editor.addDevice(p.paths, p.dir / "bay1.icd", [&] {
            ++asked;
            return c.answer;
        });
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(added.has_value(), c.added);
        EXPECT_EQ(sw::SclIed(p.paths.icdCatalog() / "bay1.icd").fName(), c.catalogName);
        if (c.added) {
            EXPECT_EQ(p.editor.list().devices().at(1).name, c.catalogName);
            EXPECT_EQ(p.editor.selectedAttribute(), nullptr);
            EXPECT_FALSE(p.editor.chosenDevice());
        }
    }
}

TEST(AccessEditor, AddedFileThatIsNotWellFormedStaysInTheCatalogWithoutADevice) {
    Project p;
    writeFile(p.dir / "broken.icd", "<SCL>\n<IED name=\"x\">\n</SCL>");
    try {
        p.editor.addDevice(p.paths, p.dir / "broken.icd", [] { return OverwriteAnswer::Yes; });
        FAIL() << "no error";
    } catch (const sw::ConfigError& error) {
        EXPECT_NE(std::string(error.what()).find("line 3"), std::string::npos) << error.what();
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(p.paths.icdCatalog() / "broken.icd"));
    EXPECT_TRUE(p.editor.list().devices().empty());
}

TEST(AccessEditor, CatalogFilesThatCannotBeLoadedStayAsPlaceholdersSoLaterIndexesHold) {
    Project p;
    p.catalogFile("bay1.icd", kBay1);
    p.catalogFile("broken.icd", "<SCL><IED>");
    writeFile(p.dir / "outside.icd", kBay1);
    const char* names[] = {"gone.icd", "broken.icd", "../outside.icd", "sub/x.icd", "a\\b.icd", "/abs.icd",
                           ""};
    std::string catalog;
    for (const char* name : names) {
        catalog += std::string(R"(<ICD_File Name="N" FileName=")") + name + R"("/>)";
    }
    const std::string lists =
        "<List_ICD_Files>" + catalog + R"(<ICD_File Name="old" FileName="bay1.icd"/>)" + "</List_ICD_Files>";
    p.accessFile(
        "<IEC_68850_Client>" + lists +
        R"(<List_DataSet_Selected><DataSet_Item Index="7" Reference="Bay1CTRL/LLN0.DS1"><DataSet_List_DAs>)"
        R"(<DataSet_DA_Item bType="Dbpos" Reference="Bay1CTRL/Q0XCBR1.Pos.stVal" Position="4"/>)"
        R"(</DataSet_List_DAs></DataSet_Item><DataSet_Item Index="0" Reference="r"><DataSet_List_DAs>)"
        R"(<DataSet_DA_Item bType="b" Reference="kept" Position="9"/></DataSet_List_DAs></DataSet_Item>)"
        R"(</List_DataSet_Selected></IEC_68850_Client>)");
    const OpenReport report = p.open();
    const auto& devices = p.editor.list().devices();
    ASSERT_EQ(devices.size(), 8u);
    EXPECT_EQ(devices[0].state, CatalogDevice::State::Missing);
    EXPECT_EQ(devices[0].listText(), "gone.icd (missing)");
    EXPECT_EQ(devices[1].state, CatalogDevice::State::Unreadable);
    for (std::size_t i = 2; i < 7; ++i) {
        EXPECT_EQ(devices[i].state, CatalogDevice::State::Missing) << devices[i].fileName;
    }
    EXPECT_EQ(devices[7].state, CatalogDevice::State::Loaded);
    EXPECT_EQ(devices[7].listText(), "Bay1");
    EXPECT_TRUE(report.droppedMembers.empty()) << report.message();
    ASSERT_NE(p.editor.list().dataSets()[0].Select_DataSet, nullptr) << "index 7 still names bay1.icd";
    EXPECT_EQ(p.editor.list().memberRows(1).at(0)[tableColumn(MemberColumn::Position)], "4");
    EXPECT_EQ(p.editor.list().memberRows(2).at(0)[tableColumn(MemberColumn::Position)], "9")
        << "settings of a data set of a missing file are kept as read";

    p.editor.chooseDevice(0);
    EXPECT_EQ(p.editor.chosenModel(), nullptr);
    const std::string file = p.saved();
    EXPECT_NE(file.find("<List_ICD_Files>" + std::string(R"(<ICD_File Name="N" FileName="gone.icd"/>)")),
              std::string::npos)
        << file;
    EXPECT_NE(file.find(R"(<ICD_File Name="Bay1" FileName="bay1.icd"/></List_ICD_Files>)"),
              std::string::npos);
    EXPECT_NE(file.find(R"(Reference="kept" Position="9")"), std::string::npos);
}

TEST(AccessEditor, MemberSettingsFollowTheirMemberWhenTheDataSetIsRevised) {
    Project p;
    p.catalogFile("dev.icd", deviceWithDataSet({"A", "B", "C", "D"}));
    p.accessFile(
        R"(<IEC_68850_Client><List_ICD_Files><ICD_File Name="x" FileName="dev.icd"/></List_ICD_Files>)"
        R"(</IEC_68850_Client>)");
    p.open();
    p.selectDataSet(0, kFour);
    p.editor.addVar();
    p.editor.showDataSetMembers(1);
    for (std::size_t k = 1; k <= 4; ++k) {
        p.editor.setShownMemberCell(k, tableColumn(MemberColumn::Position), std::to_string(10 * k));
    }
    p.saved();

    const auto positions = [&p] {
        std::string shown;
        for (const MemberCells& row : p.editor.list().memberRows(1)) {
            shown += row[tableColumn(MemberColumn::Reference)].substr(12, 1) + "=" +
                     row[tableColumn(MemberColumn::Position)] + " ";
        }
        return shown;
    };
    const struct {
        std::vector<std::string> revised;
        const char* expected;
        std::size_t dropped;
        std::size_t added; // a member no setting takes joins without settings, at its place
    } cases[] = {
        {{"A", "B", "C", "D"}, "A=10 B=20 C=30 D=40 ", 0, 0},
        {{"X", "A", "B", "C", "D"}, "X= A=10 B=20 C=30 D=40 ", 0, 1},
        {{"D", "C", "B", "A"}, "D=40 C=30 B=20 A=10 ", 0, 0},
        {{"A", "C", "D"}, "A=10 C=30 D=40 ", 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        p.catalogFile("dev.icd", deviceWithDataSet(c.revised));
        const OpenReport report = p.open();
        EXPECT_EQ(positions(), c.expected);
        ASSERT_EQ(report.droppedMembers.size(), c.dropped);
        ASSERT_EQ(report.addedMembers.size(), c.added);
        if (c.added > 0) {
            EXPECT_NE(report.message().find("row 1 member 1: DevLD/GGIO1.X.stVal"), std::string::npos)
                << report.message();
        }
        if (c.dropped > 0) {
            EXPECT_EQ(report.droppedMembers[0].dataSetRow, 1u);
            EXPECT_EQ(report.droppedMembers[0].reference, "DevLD/GGIO1.B.stVal");
            EXPECT_NE(report.message().find("row 1: DevLD/GGIO1.B.stVal"), std::string::npos)
                << report.message();
        }
    }
}

TEST(AccessEditor, DataSetsThatAreNotFoundReportTheirSettings) {
    Project p;
    p.catalogFile("bay1.icd", kBay1);
    p.accessFile(
        R"(<IEC_68850_Client><List_ICD_Files><ICD_File FileName="bay1.icd"/></List_ICD_Files>)"
        R"(<List_DataSet_Selected><DataSet_Item Index="x" Reference="Bay1CTRL/LLN0.DS1"><DataSet_List_DAs>)"
        R"(<DataSet_DA_Item Reference="m1"/></DataSet_List_DAs></DataSet_Item>)"
        R"(<DataSet_Item Index="0" Reference="Bay1CTRL/LLN0.Nope"><DataSet_List_DAs>)"
        R"(<DataSet_DA_Item Reference="m2"/></DataSet_List_DAs></DataSet_Item></List_DataSet_Selected>)"
        R"(</IEC_68850_Client>)");
    const OpenReport report = p.open();
    ASSERT_EQ(report.droppedMembers.size(), 2u);
    EXPECT_EQ(report.droppedMembers[0].reference, "m1");
    EXPECT_EQ(report.droppedMembers[1].dataSetRow, 2u);
    EXPECT_EQ(p.editor.list().dataSetRows().size(), 2u) << "the rows are shown all the same";
    EXPECT_EQ(p.editor.list().dataSets()[1].Select_DataSet, nullptr);
}

TEST(AccessEditor, ClickOnAnObjectOfAnotherDeviceOrAnInnerNodeSelectsNothing) {
    Project p;
    p.catalogFile("bay1.icd", kBay1);
    p.editor.addDevice(p.paths, p.paths.icdCatalog() / "bay1.icd", [] { return OverwriteAnswer::No; });
    p.editor.addDevice(p.paths, p.paths.icdCatalog() / "bay1.icd", [] { return OverwriteAnswer::No; });
    p.editor.chooseDevice(0);
    const sw::SclLogicalDevice* ld = p.editor.chosenModel()->findLogicalDevice("CTRL");
    const sw::SclDataAttribute* leaf =
        ld->findLogicalNode("XCBR")->findDataObject("Pos")->findAttribute("stVal");
    const sw::SclObject* inner[] = {p.editor.chosenModel(), ld, ld->findLogicalNode("XCBR"),
                                    ld->findLogicalNode("XCBR")->findDataObject("Pos")};
    for (const sw::SclObject* node : inner) {
        p.editor.selectTreeNode(leaf);
        p.editor.selectTreeNode(node);
        EXPECT_EQ(p.editor.selectedAttribute(), nullptr);
        EXPECT_EQ(p.editor.selectedDataSet(), nullptr);
    }
    p.editor.chooseDevice(1);
    p.editor.selectTreeNode(leaf);
    EXPECT_EQ(p.editor.selectedAttribute(), nullptr) << "device 0's attribute while device 1 is shown";
}

TEST(AccessEditor, EveryCatalogFileIsReadThroughTheDeviceLoaderWhoseErrorsCountAsTheConstructors) {
    Project p;
    p.catalogFile("bay1.icd", kBay1);
    p.catalogFile("other.icd", kBay1);
    std::vector<std::string> loaded;
    p.editor.setDeviceLoader([&](const std::filesystem::path& file, const std::vector<std::string>& names) {
        loaded.push_back(file.filename().string());
        if (file.filename() == "other.icd") {
            throw sw::ConfigError("refused");
        }
        return sw::SclIed::loadIeds(file, names);
    });
    p.accessFile(R"(<IEC_68850_Client><List_ICD_Files><ICD_File FileName="other.icd"/>)"
                 R"(<ICD_File FileName="bay1.icd"/></List_ICD_Files></IEC_68850_Client>)");
    p.open();
    ASSERT_EQ(p.editor.list().devices().size(), 2u);
    EXPECT_EQ(p.editor.list().devices()[0].state, CatalogDevice::State::Unreadable);
    EXPECT_EQ(p.editor.list().devices()[1].name, "Bay1");
    EXPECT_EQ(
        p.editor.addDevice(p.paths, p.paths.icdCatalog() / "bay1.icd", [] { return OverwriteAnswer::No; }),
        2u);
    EXPECT_EQ(loaded, (std::vector<std::string>{"other.icd", "bay1.icd", "bay1.icd"}));
}

} // namespace

namespace sw::access {
namespace {

// A generic I/O node whose LLN0 data set "Measurements" names each analogue input's value (a path into
// its magnitude) and quality, and whose own data set "Events" lives on GGIO1.
std::string measurementsDevice() {
    std::string scl = R"(<SCL><IED name="Io"><AccessPoint name="AP"><Server><LDevice inst="LD">)"
                      R"(<LN0 lnClass="LLN0" lnType="L0"><DataSet name="Measurements">)";
    for (const char* input : {"AnIn1", "AnIn2", "AnIn3", "AnIn4"}) {
        for (const char* attribute : {"mag.f", "q"}) {
            scl += std::string(R"(<FCDA ldInst="LD" lnClass="GGIO" lnInst="1" doName=")") + input +
                   R"(" daName=")" + attribute + R"(" fc="MX"/>)";
        }
    }
    scl +=
        R"(</DataSet></LN0><LN lnClass="GGIO" inst="1" lnType="G"><DataSet name="Events">)"
        R"(<FCDA ldInst="LD" lnClass="GGIO" lnInst="1" doName="AnIn1" daName="q" fc="MX"/></DataSet></LN>)"
        R"(</LDevice></Server></AccessPoint></IED><DataTypeTemplates><LNodeType id="L0" lnClass="LLN0"/>)"
        R"(<LNodeType id="G" lnClass="GGIO"><DO name="AnIn1" type="M"/><DO name="AnIn2" type="M"/>)"
        R"(<DO name="AnIn3" type="M"/><DO name="AnIn4" type="M"/></LNodeType><DOType id="M">)"
        R"(<DA name="mag" bType="Struct" type="A" fc="MX"/><DA name="q" bType="Quality" fc="MX"/></DOType>)"
        R"(<DAType id="A"><BDA name="f" bType="FLOAT32"/></DAType></DataTypeTemplates></SCL>)";
    return scl;
}

// Saved when dotted attribute names were not followed: the data set held the four qualities only, and the
// data set of GGIO1 was named by its node's class alone.
TEST(AccessEditor, ProjectSavedWithTheShortMemberListKeepsItsSettingsAndNamesTheNewMembers) {
    Project p;
    p.catalogFile("io.icd", measurementsDevice());
    std::string stored =
        R"(<IEC_68850_Client><List_ICD_Files><ICD_File Name="Io" FileName="io.icd"/></List_ICD_Files>)"
        R"(<List_DataSet_Selected><DataSet_Item Index="0" Reference="IoLD/LLN0.Measurements"><DataSet_List_DAs>)";
    for (int k = 1; k <= 4; ++k) {
        stored += R"(<DataSet_DA_Item bType="Quality" Reference="IoLD/GGIO1.AnIn)" + std::to_string(k) +
                  R"(.q" Position=")" + std::to_string(100 + k) + R"("/>)";
    }
    stored +=
        R"(</DataSet_List_DAs></DataSet_Item><DataSet_Item Index="0" Reference="IoLD/GGIO.Events">)"
        R"(<DataSet_List_DAs><DataSet_DA_Item bType="Quality" Reference="IoLD/GGIO1.AnIn1.q" Position="7"/>)"
        R"(</DataSet_List_DAs></DataSet_Item></List_DataSet_Selected></IEC_68850_Client>)";
    p.accessFile(stored);

    const OpenReport report = p.open();
    EXPECT_TRUE(report.droppedMembers.empty());
    std::string members;
    for (const MemberCells& row : p.editor.list().memberRows(1)) {
        members += row[tableColumn(MemberColumn::Reference)].substr(11) + "=" +
                   row[tableColumn(MemberColumn::Position)] + " ";
    }
    EXPECT_EQ(members, "AnIn1.mag.f= AnIn1.q=101 AnIn2.mag.f= AnIn2.q=102 AnIn3.mag.f= AnIn3.q=103 "
                       "AnIn4.mag.f= AnIn4.q=104 ");
    std::vector<std::size_t> added;
    for (const AddedMember& member : report.addedMembers) {
        EXPECT_EQ(member.dataSetRow, 1u);
        added.push_back(member.place);
    }
    EXPECT_EQ(added, (std::vector<std::size_t>{1, 3, 5, 7}));
    EXPECT_NE(report.message().find("row 1 member 3: IoLD/GGIO1.AnIn2.mag.f"), std::string::npos)
        << report.message();

    ASSERT_EQ(report.renamedDataSets.size(), 1u);
    EXPECT_EQ(report.renamedDataSets[0].dataSetRow, 2u);
    EXPECT_NE(report.message().find("row 2: IoLD/GGIO.Events -> IoLD/GGIO1.Events"), std::string::npos);
    EXPECT_EQ(p.editor.list().memberRows(2).at(0)[tableColumn(MemberColumn::Position)], "7");
    const std::string file = p.saved();
    EXPECT_NE(file.find(R"(Reference="IoLD/GGIO1.Events")"), std::string::npos) << file;
    EXPECT_NE(file.find(R"(<DataSet_DA_Item bType="FLOAT32" Reference="IoLD/GGIO1.AnIn1.mag.f")"),
              std::string::npos)
        << file;
}

// Members that are elements of an array keep their index from the model to the file and back: a list
// saved when the data set was named by its node's class alone finds it, is renamed, and keeps each
// element's settings.
TEST(AccessEditor, ArrayElementMembersKeepTheirIndexThroughOpeningAndSaving) {
    Project p;
    p.catalogFile("arrays.icd", readFile(sw::test::fixturesFolder() / "scl" / "arrays.icd"));
    const std::string array = "ILD/myMHAI3.HA.phsAHar";
    const std::vector<std::pair<std::string, std::string>> members = {{"FLOAT32", array + "(7).cVal.mag.f"},
                                                                      {"FLOAT32", array + "(8).cVal.mag.f"},
                                                                      {"Struct", array + "(9).cVal"},
                                                                      {"Struct", array + "(10).cVal.mag"},
                                                                      {"FLOAT32", array + "(11).cVal.mag.f"}};
    std::string stored =
        R"(<IEC_68850_Client><List_ICD_Files><ICD_File Name="I" FileName="arrays.icd"/></List_ICD_Files>)"
        R"(<List_DataSet_Selected><DataSet_Item Index="0" Reference="ILD/MHAI.TestMHAI"><DataSet_List_DAs>)";
    for (std::size_t k = 0; k < members.size(); ++k) {
        stored += R"(<DataSet_DA_Item bType=")" + members[k].first + R"(" Reference=")" + members[k].second +
                  R"(" Position=")" + std::to_string(20 + k) + R"("/>)";
    }
    stored += R"(</DataSet_List_DAs></DataSet_Item></List_DataSet_Selected></IEC_68850_Client>)";
    p.accessFile(stored);

    const OpenReport report = p.open();
    EXPECT_TRUE(report.droppedMembers.empty()) << report.message();
    EXPECT_TRUE(report.addedMembers.empty()) << report.message();
    ASSERT_EQ(report.renamedDataSets.size(), 1u);
    std::vector<std::string> shown;
    for (const MemberCells& row : p.editor.list().memberRows(1)) {
        shown.push_back(row[tableColumn(MemberColumn::bType)] + " " +
                        row[tableColumn(MemberColumn::Reference)] + " " +
                        row[tableColumn(MemberColumn::Position)]);
    }
    std::vector<std::string> expected;
    for (std::size_t k = 0; k < members.size(); ++k) {
        expected.push_back(members[k].first + " " + members[k].second + " " + std::to_string(20 + k));
    }
    EXPECT_EQ(shown, expected);
    const std::string file = p.saved();
    EXPECT_NE(file.find(R"(Reference="ILD/myMHAI3.TestMHAI")"), std::string::npos) << file;

    // Added anew, the data set's members come with the same references.
    p.selectDataSet(0, "ILD/myMHAI3.TestMHAI");
    ASSERT_EQ(p.editor.addVar(), AddVarResult::DataSet);
    ASSERT_EQ(p.editor.list().memberRows(2).size(), members.size());
    for (std::size_t k = 0; k < members.size(); ++k) {
        EXPECT_EQ(p.editor.list().memberRows(2)[k][tableColumn(MemberColumn::Reference)], members[k].second);
    }
}

} // namespace
} // namespace sw::access
