#include "core/access/access_editor.h"
#include "core/common/config_error.h"
#include "core/image/image_builder.h"
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

const std::filesystem::path kThree = std::filesystem::path(SW_FIXTURES_DIR) / "scl" / "three_ieds.scd";

struct Project : sw::test::TestProject {
    AccessEditor editor;

    Project() { std::filesystem::create_directories(paths.icdCatalog()); }
    std::optional<std::size_t> add(const std::filesystem::path& file, const IedPicker& pick) {
        return editor.addDevice(
            paths, file, [] { return OverwriteAnswer::Yes; }, pick);
    }
    std::string saved() {
        editor.save(paths.accessFile());
        return readFile(paths.accessFile());
    }
    // Adds the first leaf attribute of device `index` in tree order as a variable row.
    void addFirstLeaf(std::size_t index) {
        editor.chooseDevice(index);
        std::vector<const sw::SclObject*> stack{editor.chosenModel()};
        while (!stack.empty() &&
               !(stack.back()->kind() == sw::SclKind::DA && stack.back()->treeChildCount() == 0)) {
            const sw::SclObject* at = stack.back();
            stack.pop_back();
            for (std::size_t row = at->treeChildCount(); row-- > 0;) {
                stack.push_back(at->treeChild(row));
            }
        }
        ASSERT_FALSE(stack.empty());
        editor.selectTreeNode(stack.back());
        ASSERT_EQ(editor.addVar(), AddVarResult::Variable);
    }
    void addFirstDataSet(std::size_t index) {
        editor.chooseDevice(index);
        for (const auto* ld : editor.chosenModel()->logicalDevices()) {
            for (const auto* ln : ld->logicalNodes()) {
                if (!ln->dataSets().empty()) {
                    editor.selectTreeNode(ln->dataSets()[0]);
                    ASSERT_EQ(editor.addVar(), AddVarResult::DataSet);
                    return;
                }
            }
        }
        FAIL() << "no data set in device " << index;
    }
};

std::vector<std::string> listTexts(const AccessList& list) {
    std::vector<std::string> texts;
    for (const CatalogDevice& device : list.devices()) {
        texts.push_back(device.listText());
    }
    return texts;
}

std::string treeOf(const sw::SclIed& device) {
    std::string out;
    std::vector<const sw::SclObject*> stack{&device};
    while (!stack.empty()) {
        const sw::SclObject* at = stack.back();
        stack.pop_back();
        out +=
            std::to_string(static_cast<int>(at->kind())) + ":" + std::to_string(at->treeChildCount()) + " ";
        if (at->kind() == sw::SclKind::DA) {
            out += static_cast<const sw::SclDataAttribute*>(at)->fReference() + "\n";
        }
        for (std::size_t row = at->treeChildCount(); row-- > 0;) {
            stack.push_back(at->treeChild(row));
        }
    }
    return out;
}

TEST(AccessIeds, PickedIedsBecomeDevicesOfTheirOwnThatBuildReopenAndFallBackToTheFirstWithoutIedName) {
    Project p;
    std::vector<std::string> offered;
    ASSERT_EQ(p.add(kThree,
                    [&](const std::vector<sw::SclIedSummary>& ieds) {
                        for (const auto& ied : ieds) {
                            offered.push_back(ied.name + " " + ied.ipAddress);
                        }
                        return std::vector<std::string>{"Feeder2", "Trafo"};
                    }),
              0u);
    EXPECT_EQ(offered,
              (std::vector<std::string>{"Feeder1 10.0.0.11", "Feeder2 10.0.0.22", "Trafo 10.0.1.33"}));
    const auto expected = sw::SclIed::loadIeds(kThree, {"Feeder2", "Trafo"});
    ASSERT_EQ(p.editor.list().devices().size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(treeOf(*p.editor.list().devices()[i].device), treeOf(*expected[i])) << i;
    }
    EXPECT_EQ(listTexts(p.editor.list()), (std::vector<std::string>{"Feeder2", "Trafo"}));

    p.addFirstLeaf(0);
    p.addFirstLeaf(1);
    for (std::size_t row : {1u, 2u}) {
        p.editor.list().setVariableCell(row, tableColumn(VariableColumn::Position), std::to_string(row * 10));
        p.editor.list().setVariableCell(row, tableColumn(VariableColumn::MoltFact), "None");
    }
    EXPECT_EQ(p.editor.list().fillAddressesFromScl(Page::Variables, {1, 2}), 2u);
    const std::string saved = p.saved();
    EXPECT_NE(saved.find(R"(<ICD_File Name="Feeder2" FileName="three_ieds.scd" IEDName="Feeder2"/>)"
                         R"(<ICD_File Name="Trafo" FileName="three_ieds.scd" IEDName="Trafo"/>)"),
              std::string::npos)
        << saved;
    const auto built = sw::buildImages(p.dir.path() / "absent.xml", p.paths.accessFile(), '.');
    EXPECT_GT(built.bank2.size(), 24u);

    p.editor.open(p.paths);
    EXPECT_EQ(listTexts(p.editor.list()), (std::vector<std::string>{"Feeder2", "Trafo"}));
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(treeOf(*p.editor.list().devices()[i].device), treeOf(*expected[i])) << i;
    }
    EXPECT_EQ(p.saved(), saved);
    EXPECT_TRUE(staleRows(p.editor.list()).empty());

    std::string stripped = saved;
    for (const char* attribute : {R"( IEDName="Feeder2")", R"( IEDName="Trafo")"}) {
        stripped.erase(stripped.find(attribute), std::string(attribute).size());
    }
    writeFile(p.paths.accessFile(), stripped);
    p.editor.open(p.paths);
    EXPECT_EQ(listTexts(p.editor.list()), (std::vector<std::string>{"Feeder1", "Feeder1"}));
    EXPECT_EQ(staleRows(p.editor.list()).size(), 2u) << "the rows name attributes of the other IEDs";
}

TEST(AccessIeds, AFileOfOneIedIsAddedWithoutAskingAndWritesNoIedName) {
    Project p;
    const auto fixtures = std::filesystem::path(SW_FIXTURES_DIR) / "scl";
    const IedPicker refuse = [](const std::vector<sw::SclIedSummary>&) -> std::vector<std::string> {
        ADD_FAILURE() << "asked for a file of one IED";
        return {};
    };
    ASSERT_EQ(p.add(fixtures / "bay1.icd", refuse), 0u);
    EXPECT_NE(
        p.saved().find(R"(<List_ICD_Files><ICD_File Name="Bay1" FileName="bay1.icd"/></List_ICD_Files>)"),
        std::string::npos);

    EXPECT_EQ(p.add(kThree, [](const auto&) { return std::vector<std::string>{}; }), std::nullopt)
        << "nothing picked, nothing added";
    EXPECT_EQ(p.editor.list().devices().size(), 1u);
    EXPECT_EQ(p.add(kThree, {}), 1u) << "without a picker the first IED, as before";
    EXPECT_EQ(p.editor.list().devices()[1].name, "Feeder1");
    EXPECT_EQ(p.editor.list().devices()[1].iedName, "");
}

TEST(AccessIeds, ItemsOfOneFileLoadFromOneParseAndAnIedTheFileLacksStaysAPlaceholderNamingIt) {
    Project p;
    std::filesystem::copy_file(kThree, p.paths.icdCatalog() / "three.scd");
    const std::string access =
        R"(<IEC_68850_Client><List_ICD_Files><ICD_File Name="Feeder2" FileName="three.scd" IEDName="Feeder2"/>)"
        R"(<ICD_File Name="Gone" FileName="three.scd" IEDName="Gone"/>)"
        R"(<ICD_File Name="X" FileName="absent.scd" IEDName="X"/>)"
        R"(<ICD_File Name="Feeder1" FileName="three.scd"/></List_ICD_Files>)"
        R"(<List_DA_Selected/><List_DataSet_Selected/></IEC_68850_Client><!--SW_VERSION = 1.000-->)";
    writeFile(p.paths.accessFile(), access);
    std::vector<std::vector<std::string>> calls;
    p.editor.setDeviceLoader([&](const std::filesystem::path& file, const std::vector<std::string>& names) {
        calls.push_back(names);
        return sw::SclIed::loadIeds(file, names);
    });
    p.editor.open(p.paths);
    EXPECT_EQ(calls, (std::vector<std::vector<std::string>>{{"Feeder2", "Gone", ""}}));
    const auto& devices = p.editor.list().devices();
    EXPECT_EQ(listTexts(p.editor.list()), (std::vector<std::string>{"Feeder2", "three.scd [Gone] (missing)",
                                                                    "absent.scd [X] (missing)", "Feeder1"}));
    EXPECT_NE(devices[1].problem.find("no IED named \"Gone\""), std::string::npos) << devices[1].problem;
    EXPECT_EQ(p.saved(), access) << "placeholders are written back as they were read";
}

// "Dev" with the data objects A, B and C of GGIO1, the data set "Set" of A and C, and optionally without B.
std::string revision(bool withB, bool withDataSet) {
    std::string scl = R"(<SCL><IED name="Dev"><AccessPoint name="AP"><Server><LDevice inst="LD">)"
                      R"(<LN0 lnClass="LLN0" lnType="L0">)";
    if (withDataSet) {
        scl +=
            R"(<DataSet name="Set"><FCDA ldInst="LD" lnClass="GGIO" lnInst="1" doName="A" daName="stVal"/></DataSet>)";
    }
    scl += R"(</LN0><LN lnClass="GGIO" inst="1" lnType="G"/></LDevice></Server></AccessPoint></IED>)"
           R"(<DataTypeTemplates><LNodeType id="L0" lnClass="LLN0"/><LNodeType id="G" lnClass="GGIO">)"
           R"(<DO name="A" type="S"/>)";
    scl += withB ? R"(<DO name="B" type="S"/>)" : "";
    return scl +
           R"(<DO name="C" type="S"/></LNodeType><DOType id="S"><DA name="stVal" bType="BOOLEAN" fc="ST"/>)"
           R"(</DOType></DataTypeTemplates></SCL>)";
}

TEST(AccessIeds, StaleRowsAreExactlyThoseWhoseReferenceOrDeviceIsGoneAndNothingChanges) {
    Project p;
    writeFile(p.paths.icdCatalog() / "dev.icd", revision(true, true));
    writeFile(
        p.paths.accessFile(),
        R"(<IEC_68850_Client><List_ICD_Files><ICD_File Name="Dev" FileName="dev.icd"/>)"
        R"(<ICD_File Name="Old" FileName="old.icd"/></List_ICD_Files><List_DA_Selected>)"
        R"(<DA_Item Index="0" Reference="DevLD/GGIO1.A.stVal"/><DA_Item Index="0" Reference="DevLD/GGIO1.B.stVal"/>)"
        R"(<DA_Item Index="0" Reference="DevLD/GGIO1.C.stVal"/><DA_Item Index="0" Reference="DevLD/GGIO1.B.stVal"/>)"
        R"(<DA_Item Index="0" Reference="DevLD/GGIO1.B"/><DA_Item Index="1" Reference="DevLD/GGIO1.A.stVal"/>)"
        R"(<DA_Item Index="7" Reference="DevLD/GGIO1.A.stVal"/><DA_Item Index="x" Reference=""/>)"
        R"(</List_DA_Selected><List_DataSet_Selected><DataSet_Item Index="0" Reference="DevLD/LLN0.Set">)"
        R"(<DataSet_List_DAs><DataSet_DA_Item bType="BOOLEAN" Reference="DevLD/GGIO1.A.stVal"/>)"
        R"(</DataSet_List_DAs></DataSet_Item>)"
        R"(<DataSet_Item Index="0" Reference="DevLD/LLN0.Other"/></List_DataSet_Selected></IEC_68850_Client>)");
    const auto rows = [&p] {
        std::vector<std::string> out;
        for (const StaleRow& stale : staleRows(p.editor.list())) {
            out.push_back((stale.page == Page::Variables ? "V" : "D") + std::to_string(stale.row));
        }
        return out;
    };
    p.editor.open(p.paths);
    EXPECT_EQ(rows(), (std::vector<std::string>{"V5", "V6", "V7", "V8", "D2"}));
    const auto stale = staleRows(p.editor.list());
    EXPECT_NE(stale[0].problem.find("\"DevLD/GGIO1.B\" is not an attribute"), std::string::npos)
        << stale[0].problem;
    EXPECT_NE(stale[1].problem.find("old.icd (missing)"), std::string::npos) << stale[1].problem;
    EXPECT_NE(stale[2].problem.find("names no device"), std::string::npos) << stale[2].problem;

    writeFile(p.paths.icdCatalog() / "dev.icd", revision(false, true));
    const std::string before = p.saved();
    p.editor.open(p.paths);
    EXPECT_EQ(rows(), (std::vector<std::string>{"V2", "V4", "V5", "V6", "V7", "V8", "D2"}));
    EXPECT_EQ(p.saved(), before);
}

TEST(AccessIeds, FillAddressesLeavesRowsWhoseDeviceHasNoUsableAddress) {
    Project p;
    const auto file = p.dir.path() / "v6.scd";
    std::string scl = revision(true, false);
    scl.insert(scl.find("<IED"),
               R"(<Communication><SubNetwork name="S"><ConnectedAP iedName="Dev" apName="AP">)"
               R"(<Address><P type="IP">fe80::1</P></Address></ConnectedAP></SubNetwork></Communication>)");
    writeFile(file, scl);
    ASSERT_EQ(p.add(file, {}), 0u);
    p.addFirstLeaf(0);
    EXPECT_EQ(p.editor.chosenModel()->ipAddress(), "fe80::1");
    EXPECT_EQ(p.editor.list().fillAddressesFromScl(Page::Variables, {1}), 0u);
    EXPECT_EQ(p.editor.list().variables()[0][tableColumn(VariableColumn::Port)], "");
}

TEST(AccessIeds, FillAddressesGivesEachRowItsOwnIedsAddressOfAPublicSampleAndKeepsTypedCells) {
    const std::filesystem::path samples = sw::test::sharedSamplesFolder();
    const auto file = samples / "open-scd/packages/openscd/test/testfiles/valid2007B4.scd";
    if (samples.empty() || !std::filesystem::is_regular_file(file)) {
        GTEST_SKIP() << "the public samples are not here";
    }
    Project p;
    ASSERT_EQ(p.add(file,
                    [](const std::vector<sw::SclIedSummary>& ieds) {
                        std::vector<std::string> all;
                        for (const auto& ied : ieds) {
                            all.push_back(ied.name);
                        }
                        return all;
                    }),
              0u);
    ASSERT_EQ(p.editor.list().devices().size(), 3u);
    for (std::size_t device = 0; device < 3; ++device) {
        p.addFirstLeaf(device);
        p.addFirstDataSet(device);
    }
    AccessList& list = p.editor.list();
    list.setVariableCell(2, tableColumn(VariableColumn::IPAddress), "1.2.3.4");
    list.setDataSetCell(3, tableColumn(DataSetColumn::Port), "5000");
    EXPECT_EQ(list.fillAddressesFromScl(Page::Variables, {1, 2, 3, 9}), 3u);
    EXPECT_EQ(list.fillAddressesFromScl(Page::DataSet, {1, 3}), 2u);
    const auto ip = [&](std::size_t row) {
        return list.variables()[row - 1][tableColumn(VariableColumn::IPAddress)];
    };
    EXPECT_EQ(ip(1), "192.168.210.111");
    EXPECT_EQ(ip(2), "1.2.3.4");
    EXPECT_EQ(ip(3), "192.168.0.113");
    for (std::size_t row = 1; row <= 3; ++row) {
        EXPECT_EQ(list.variables()[row - 1][tableColumn(VariableColumn::Port)], "102");
    }
    const auto& sets = list.dataSetRows();
    EXPECT_EQ(sets[0][tableColumn(DataSetColumn::IPAddress)], "192.168.210.111");
    EXPECT_EQ(sets[0][tableColumn(DataSetColumn::Port)], "102");
    EXPECT_EQ(sets[1][tableColumn(DataSetColumn::IPAddress)], "") << "not selected";
    EXPECT_EQ(sets[2][tableColumn(DataSetColumn::IPAddress)], "192.168.0.113");
    EXPECT_EQ(sets[2][tableColumn(DataSetColumn::Port)], "5000");
}

} // namespace
