#include "core/access/access_list.h"
#include "core/access/lint.h"
#include "core/scl/scl_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace sw::access;

const std::filesystem::path kFixtures = SW_FIXTURES_DIR;

VariableRow variable(const char* index, const char* reference, const char* position,
                     const char* direction = "Read", const char* fc = "ST") {
    VariableRow row;
    row.cells[VariableColumn::Index] = index;
    row.cells[VariableColumn::Reference] = reference;
    row.cells[VariableColumn::fc] = fc;
    row.cells[VariableColumn::Position] = position;
    row.cells[VariableColumn::ReadWrite] = direction;
    row.present.set();
    return row;
}

std::vector<std::string> lines(const AccessFile& access, const std::vector<CatalogDevice>& devices) {
    std::vector<std::string> out;
    for (const LintWarning& warning : lintAccessList(access, devices)) {
        out.push_back(warning.line());
    }
    return out;
}

std::vector<CatalogDevice> placeholders(std::size_t count) {
    std::vector<CatalogDevice> devices(count);
    for (auto& device : devices) {
        device.state = CatalogDevice::State::Missing;
        device.fileName = "gone.icd";
    }
    return devices;
}

TEST(Lint, CleanListGivesNoWarning) {
    AccessFile access;
    access.variables = {variable("0", "a", "1"), variable("0", "b", "2"), variable("0", "b", "2", "Write")};
    EXPECT_TRUE(lines(access, placeholders(1)).empty());
    EXPECT_TRUE(lines(AccessFile{}, {}).empty());
}

TEST(Lint, NamesTheRowOfEveryKindOfWarning) {
    AccessFile access;
    access.variables = {variable("0", "a", "10"), variable("1", "b", "10"), variable("2", "c", "20"),
                        variable("x", "d", "30"), variable("0", "a", "40")};
    DataSetRow dataSet;
    dataSet.cells[DataSetColumn::Index] = "1";
    dataSet.cells[DataSetColumn::Reference] = "ds";
    for (const char* position : {"10", "", "1.5", "1400", "12"}) {
        MemberRow member;
        member.cells[MemberColumn::Position] = position;
        dataSet.members.push_back(member);
    }
    access.dataSets = {dataSet, dataSet};
    access.dataSets[1].members.resize(1);
    access.dataSets[1].members[0].cells[MemberColumn::Position] = "99";

    const std::vector<std::string> expected = {
        "Variables row 1: position 10 with no start bit is also filled from the server by variables row 2",
        "Variables row 2: position 10 with no start bit is also filled from the server by variables row 1",
        "Data set 1 member 1: position 10 with no start bit is also filled from the server by variables row "
        "1",
        "Variables row 5: same device, reference, fc and direction as variables row 1",
        "Data set 2: same device and reference as data set 1",
    }; // indexes outside the catalog and members without a place are the check's errors
    EXPECT_EQ(lines(access, placeholders(2)), expected);
}

TEST(Lint, ReferencesAreCheckedAgainstLoadedDevices) {
    std::vector<CatalogDevice> devices(1);
    devices[0].device = std::make_unique<sw::SclIed>(kFixtures / "scl" / "bay1.icd");
    devices[0].name = devices[0].device->fName();
    devices[0].fileName = "bay1.icd";

    // A real attribute and data set of the device, found by walking it.
    const sw::SclLogicalNode* node = nullptr;
    for (const auto* ld : devices[0].device->logicalDevices()) {
        for (const auto* ln : ld->logicalNodes()) {
            if (!ln->dataSets().empty() && node == nullptr) {
                node = ln;
            }
        }
    }
    ASSERT_NE(node, nullptr);
    const sw::SclDataSet* real = node->dataSets()[0];
    ASSERT_FALSE(real->dataAttributes().empty());
    const std::string member = real->dataAttributes()[0]->fReference();

    AccessFile access;
    access.variables = {variable("0", member.c_str(), "1"), variable("0", "LD0/GONE.x", "2")};
    DataSetRow known;
    known.cells[DataSetColumn::Index] = "0";
    known.cells[DataSetColumn::Reference] = real->fReference();
    known.members.resize(2);
    known.members[0].cells[MemberColumn::Reference] = member;
    known.members[0].cells[MemberColumn::Position] = "3";
    known.members[1].cells[MemberColumn::Reference] = "LD0/GONE.y";
    known.members[1].cells[MemberColumn::Position] = "4";
    known.members[1].cells[MemberColumn::StartBit] = "1";
    DataSetRow stale;
    stale.cells[DataSetColumn::Index] = "0";
    stale.cells[DataSetColumn::Reference] = "LD0/GONE$ds";
    // A data set of a node other than LLN0 named by the node's class alone, as older files did.
    DataSetRow classOnly;
    classOnly.cells[DataSetColumn::Index] = "0";
    classOnly.cells[DataSetColumn::Reference] = "Bay1CTRL/MMXU.DS2";
    access.dataSets = {known, stale, classOnly};

    const std::string ied = " (" + devices[0].name + ")";
    const std::vector<std::string> expected = {
        "Variables row 2: reference \"LD0/GONE.x\" is not in device 0" + ied,
        "Data set 1 member 2: reference \"LD0/GONE.y\" is not a member of the data set in its device",
        "Data set 2: data set \"LD0/GONE$ds\" is not in device 0" + ied,
        "Data set 1: member 6 of 10 (NOPE/GGIO.Alm.stVal []) is not in the SCL file, so the members after it "
        "no longer line up with the values the server sends",
        "Data set 3: member 1 of 1 (CTRL/MMXU.Hz.mag []) is not in the SCL file, so the members after it no "
        "longer line up with the values the server sends",
        "Data set 1: member 4 of the SCL's data set names a whole data object: the server sends a structure "
        "where the list takes its first attribute \"Bay1CTRL/MMXU1.A.cVal.mag.f\"",
        "Data set 3: \"Bay1CTRL/MMXU.DS2\" names the data set by its node's class alone; the server names it "
        "\"Bay1CTRL/MMXU1.DS2\" (the access editor renames it when it opens the project)",
    };
    EXPECT_EQ(lines(access, devices), expected);
}

} // namespace
