#include "scl_test_util.h"

#include "core/scl/scl_model.h"

#include <gtest/gtest.h>

#include <memory>

namespace sw {
namespace {

class SclModel : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_device = std::make_unique<SclIed>(test::fixture("bay1.icd")); }
    static void TearDownTestSuite() { s_device.reset(); }

    static const SclLogicalNode& node(const char* ld, const char* lnClass) {
        const SclLogicalDevice* logicalDevice = s_device->findLogicalDevice(ld);
        EXPECT_NE(logicalDevice, nullptr) << ld;
        const SclLogicalNode* ln = logicalDevice->findLogicalNode(lnClass);
        EXPECT_NE(ln, nullptr) << lnClass;
        return *ln;
    }

    static std::unique_ptr<SclIed> s_device;
};

std::unique_ptr<SclIed> SclModel::s_device;

TEST_F(SclModel, ReferencesJoinTheLevelsWithTheirSeparators) {
    const SclDataAttribute* stVal = node("CTRL", "XCBR").findDataObject("Pos")->findAttribute("stVal");
    ASSERT_NE(stVal, nullptr);
    EXPECT_EQ(stVal->fReference(), "Bay1CTRL/Q0XCBR1.Pos.stVal");
    EXPECT_EQ(stVal->fFC(), "ST");

    const SclDataAttribute* f = node("CTRL", "MMXU").findDataObject("TotW")->findAttribute("f");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->fReference(), "Bay1CTRL/MMXU1.TotW.mag.f");

    const SclLogicalNode& lln0 = node("CTRL", "LLN0");
    ASSERT_EQ(lln0.dataSets().size(), 2u);
    EXPECT_EQ(lln0.dataSets()[0]->fReference(), "Bay1CTRL/LLN0.DS1");
    // A data set's reference names its node whole; older files named it by the class alone.
    EXPECT_EQ(node("CTRL", "MMXU").dataSets()[0]->fReference(), "Bay1CTRL/MMXU1.DS2");
    EXPECT_EQ(node("CTRL", "MMXU").dataSets()[0]->classOnlyReference(), "Bay1CTRL/MMXU.DS2");
    EXPECT_EQ(lln0.dataSets()[0]->classOnlyReference(), "Bay1CTRL/LLN0.DS1");

    EXPECT_EQ(node("CTRL", "XCBR").reference(), "Bay1CTRL/Q0XCBR1");
    EXPECT_EQ(s_device->findLogicalDevice("MEAS")->reference(), "Bay1MEAS");
    EXPECT_EQ(node("MEAS", "GGIO").findDataObject("Sub")->reference(), "Bay1MEAS/GGIO1.Ind.Sub");
}

TEST_F(SclModel, LookupsCompareWholeNamesAndReturnTheFirstMatch) {
    const SclDataObject* totW = node("CTRL", "MMXU").findDataObject("TotW");
    ASSERT_NE(totW, nullptr);
    EXPECT_EQ(totW->findAttribute("mag.f"), nullptr);
    EXPECT_EQ(totW->findAttribute("MAG"), nullptr);
    EXPECT_EQ(node("CTRL", "MMXU").findDataObject("TotW.mag"), nullptr);
    EXPECT_EQ(s_device->findLogicalDevice("Bay1CTRL"), nullptr);

    // The first node of a class, whatever instance was meant.
    EXPECT_EQ(node("CTRL", "MMXU").fInst(), "1");
    EXPECT_EQ(s_device->findLogicalDevice("CTRL")->findLogicalNode("XCBR")->fPrefix(), "Q0");
    EXPECT_EQ(s_device->findLogicalDevice("CTRL")->findLogicalNode("Q0XCBR"), nullptr);

    // Pre-order: a sub-data object shadows a later data object of the same name.
    const SclLogicalNode& ggio = node("MEAS", "GGIO");
    ASSERT_NE(ggio.findDataObject("Alm"), nullptr);
    EXPECT_EQ(ggio.findDataObject("Alm")->reference(), "Bay1MEAS/GGIO1.Grp.Alm");
    // A data object does not compare itself, and its attributes are not searched in its sub-data objects.
    EXPECT_EQ(ggio.findDataObject("Grp")->findDataObject("Grp"), nullptr);
    EXPECT_EQ(ggio.findDataObject("Grp")->findAttribute("stVal"), nullptr);
    EXPECT_EQ(ggio.findDataObject("Ind")->findAttribute("stVal")->fReference(), "Bay1MEAS/GGIO1.Ind.stVal");
}

TEST_F(SclModel, FirstLeafFollowsFirstChildrenOnly) {
    const SclLogicalNode& mmxu = node("CTRL", "MMXU");
    // cVal is a structure and q a later leaf: the first leaf inside cVal wins.
    const SclDataAttribute* first = mmxu.findDataObject("A")->firstAttribute();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->fReference(), "Bay1CTRL/MMXU1.A.cVal.mag.f");
    EXPECT_EQ(first->firstAttribute(), nullptr);
    EXPECT_EQ(mmxu.findDataObject("A")->findAttribute("cVal")->firstAttribute(), first);
    EXPECT_EQ(node("MEAS", "GGIO").findDataObject("Grp")->firstAttribute(), nullptr);
}

TEST_F(SclModel, SubDataObjectsComeBeforeAttributesWhateverTheFileOrder) {
    const SclDataObject* ind = node("MEAS", "GGIO").findDataObject("Ind");
    ASSERT_NE(ind, nullptr);
    ASSERT_EQ(ind->dataObjects().size(), 1u);
    EXPECT_EQ(ind->dataObjects()[0]->fName(), "Sub");
    ASSERT_EQ(ind->dataAttributes().size(), 2u);
    EXPECT_EQ(ind->treeChild(0), ind->dataObjects()[0]);
    EXPECT_EQ(ind->treeChild(1), ind->dataAttributes()[0]);
}

// Every object is found again from its parent at the row it reports, as a tree view needs.
void checkTreeLinks(const SclObject& object, std::size_t& visited) {
    ++visited;
    for (std::size_t row = 0; row < object.treeChildCount(); ++row) {
        const SclObject* child = object.treeChild(row);
        ASSERT_NE(child, nullptr);
        ASSERT_EQ(child->parent(), &object);
        ASSERT_EQ(child->treeRow(), row);
        checkTreeLinks(*child, visited);
    }
    EXPECT_EQ(object.treeChild(object.treeChildCount()), nullptr);
}

TEST_F(SclModel, TreeLinksLeadFromEveryObjectToItsParentAndRow) {
    std::size_t visited = 0;
    checkTreeLinks(*s_device, visited);
    EXPECT_EQ(visited, s_device->objectCount() + 1);

    const SclLogicalNode& lln0 = node("CTRL", "LLN0");
    const SclObject* dataSet = lln0.dataSets()[1];
    EXPECT_EQ(dataSet->kind(), SclKind::DataSet);
    EXPECT_EQ(dataSet->indexInList(), 1u);
    EXPECT_EQ(dataSet->treeRow(), lln0.dataObjects().size() + 1);
    EXPECT_EQ(s_device->parent(), nullptr);
    EXPECT_EQ(s_device->treeRow(), 0u);
}

TEST(SclModelOwnership, NewObjectsAreEmpty) {
    const SclDataAttribute attribute;
    EXPECT_EQ(attribute.fName(), "");
    EXPECT_EQ(attribute.fFC(), "");
    EXPECT_TRUE(attribute.isLeaf());
    EXPECT_EQ(attribute.firstAttribute(), nullptr);
    const SclLogicalNode ln;
    EXPECT_EQ(ln.flnClass(), "");
    EXPECT_TRUE(ln.dataSets().empty());
    EXPECT_EQ(ln.findDataObject(""), nullptr);
}

} // namespace
} // namespace sw
