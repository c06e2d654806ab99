#include "scl_test_util.h"

#include "core/common/config_error.h"
#include "core/scl/scl_model.h"
#include "core/scl/scl_search.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace sw {
namespace {

std::string lowered(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string referenceOf(const SclObject& object) {
    switch (object.kind()) {
    case SclKind::Device:
        return static_cast<const SclIed&>(object).fName();
    case SclKind::LDevice:
        return static_cast<const SclLogicalDevice&>(object).reference();
    case SclKind::LN:
        return static_cast<const SclLogicalNode&>(object).reference();
    case SclKind::DO:
        return static_cast<const SclDataObject&>(object).reference();
    case SclKind::DA:
        return static_cast<const SclDataAttribute&>(object).fReference();
    case SclKind::DataSet:
        return static_cast<const SclDataSet&>(object).fReference();
    }
    return {};
}

TEST(SclIeds, ListsEveryIedWithItsTextsAndTheFirstIpOfItsAccessPoints) {
    const std::vector<SclIedSummary> ieds = listIeds(test::fixture("three_ieds.scd"));
    ASSERT_EQ(ieds.size(), 3u);
    const struct {
        const char* name;
        const char* desc;
        const char* manufacturer;
        const char* type;
        const char* ip;
    } expected[] = {{"Feeder1", "Feeder one", "Maker A", "F100", "10.0.0.11"},
                    {"Feeder2", "Feeder two", "Maker A", "F100", "10.0.0.22"},
                    {"Trafo", "", "Maker B", "", "10.0.1.33"}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(ieds[i].name, expected[i].name);
        EXPECT_EQ(ieds[i].desc, expected[i].desc);
        EXPECT_EQ(ieds[i].manufacturer, expected[i].manufacturer);
        EXPECT_EQ(ieds[i].type, expected[i].type);
        EXPECT_EQ(ieds[i].ipAddress, expected[i].ip);
    }
    EXPECT_TRUE(listIeds(test::fixture("absent.scd")).empty());
    EXPECT_THROW(listIeds(std::string_view("<SCL><IED>"), "broken.scd"), ConfigError);
}

TEST(SclIeds, LoadsTheNamedIedsFromOneParseAndNullForNamesTheFileLacks) {
    const auto devices =
        SclIed::loadIeds(test::fixture("three_ieds.scd"), {"Trafo", "Nope", "Feeder2", "", "Trafo"});
    ASSERT_EQ(devices.size(), 5u);
    EXPECT_EQ(devices[1], nullptr);
    EXPECT_EQ(devices[0]->fName(), "Trafo");
    EXPECT_EQ(devices[2]->fName(), "Feeder2");
    EXPECT_EQ(devices[2]->fFileName(), "three_ieds.scd");
    EXPECT_EQ(devices[2]
                  ->findLogicalDevice("CTRL")
                  ->findLogicalNode("XCBR")
                  ->findDataObject("Pos")
                  ->findAttribute("ctlVal")
                  ->fReference(),
              "Feeder2CTRL/Q0XCBR1.Pos.ctlVal");
    EXPECT_EQ(test::dump(*devices[3]), test::dump(SclIed(test::fixture("three_ieds.scd"))))
        << "an empty name is the first IED, as the constructor loads it";
    EXPECT_EQ(test::dump(*devices[0]), test::dump(*devices[4]));
    // Each IED's data sets resolve in its own logical devices.
    ASSERT_EQ(devices[2]
                  ->findLogicalDevice("CTRL")
                  ->findLogicalNode("LLN0")
                  ->dataSets()[0]
                  ->dataAttributes()
                  .size(),
              1u);
}

TEST(SclIeds, KeepsTheAddressesOfTheIedsAccessPointsAndPrefersTheLoadedServers) {
    const auto devices = SclIed::loadIeds(test::fixture("three_ieds.scd"), {"Feeder1", "Feeder2"});
    ASSERT_EQ(devices[1]->addresses().size(), 2u);
    EXPECT_EQ(devices[1]->addresses()[0].subNetwork, "Station");
    EXPECT_EQ(devices[1]->addresses()[0].accessPoint, "AP2");
    EXPECT_EQ(devices[1]->addresses()[0].ip, "10.0.0.22");
    EXPECT_EQ(devices[1]->addresses()[1].subNetwork, "Process");
    EXPECT_EQ(devices[1]->addresses()[1].ip, "");
    EXPECT_EQ(devices[1]->ipAddress(), "10.0.0.22") << "the server's own access point has no IP";
    EXPECT_EQ(devices[0]->ipAddress(), "10.0.0.11");
    EXPECT_EQ(SclIed(test::fixture("bay1.icd")).ipAddress(), "") << "connected without an address";
}

TEST(SclSearch, FindsByReferenceEveryKindOfObjectAndNothingForAWrongPart) {
    const SclIed device(test::fixture("bay1.icd"));
    const SclLogicalNode& xcbr = *device.findLogicalDevice("CTRL")->findLogicalNode("XCBR");
    const struct {
        const char* reference;
        const SclObject* expected;
    } cases[] = {
        {"Bay1CTRL", device.findLogicalDevice("CTRL")},
        {"Bay1CTRL/Q0XCBR1", &xcbr},
        {"Bay1CTRL/Q0XCBR1.Pos", xcbr.findDataObject("Pos")},
        {"Bay1CTRL/Q0XCBR1.Pos.stVal", xcbr.findDataObject("Pos")->findAttribute("stVal")},
        {"Bay1CTRL/MMXU1.TotW.mag.f",
         device.findLogicalDevice("CTRL")->findLogicalNode("MMXU")->findDataObject("TotW")->findAttribute(
             "f")},
        {"Bay1CTRL/XCBR1.Pos.stVal", nullptr},
        {"Bay2CTRL/Q0XCBR1.Pos.stVal", nullptr},
        {"Bay1CTRL/Q0XCBR1.Pos.nope", nullptr},
        {"Bay1CTRL/Q0XCBR1.Pos.stVal.more", nullptr},
        {"Bay1CTRL/LLN0.DS1", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(findByReference(device, c.reference), c.expected) << c.reference;
    }
}

// A device of several hundred thousand objects: 20 logical devices of 60 nodes, each node's data
// objects holding structured attributes, and one deep attribute of a unique name.
std::string bigDevice() {
    std::string scl = "<SCL><IED name='Big'><AccessPoint name='AP'><Server>";
    for (int ld = 0; ld < 20; ++ld) {
        scl += "<LDevice inst='LD" + std::to_string(ld) + "'>";
        scl += "<LN0 lnClass='LLN0' lnType='N0'><DataSet name='DSMag" + std::to_string(ld) + "'/></LN0>";
        for (int ln = 0; ln < 60; ++ln) {
            scl += "<LN prefix='P' lnClass='MMXU' inst='" + std::to_string(ln) + "' lnType='" +
                   (ld == 13 && ln == 42 ? "Deep" : "N") + "'/>";
        }
        scl += "</LDevice>";
    }
    scl += "</Server></AccessPoint></IED><DataTypeTemplates><LNodeType id='N0'/><LNodeType id='N'>";
    for (int d = 0; d < 20; ++d) {
        scl += "<DO name='Ph" + std::to_string(d) + "' type='WYE'/>";
    }
    scl +=
        "</LNodeType><LNodeType id='Deep'><DO name='Ph0' type='WYE'/><DO name='Odd' type='ODD'/></LNodeType>"
        "<DOType id='WYE'><SDO name='phsA' type='CMV'/><SDO name='phsB' type='CMV'/><DA name='q' "
        "bType='Quality' fc='MX'/></DOType><DOType id='CMV'><DA name='cVal' bType='Struct' type='V' "
        "fc='MX'/><DA name='t' bType='Timestamp' fc='MX'/></DOType><DOType id='ODD'><DA name='cVal' "
        "bType='Struct' type='W' fc='MX'/></DOType><DAType id='V'><BDA name='mag' bType='Struct' "
        "type='F'/><BDA name='ang' bType='Struct' type='F'/></DAType><DAType id='W'><BDA name='MagWeird' "
        "bType='Struct' type='F'/></DAType><DAType id='F'><BDA name='f' bType='FLOAT32'/><BDA name='i' "
        "bType='INT32'/></DAType></DataTypeTemplates></SCL>";
    return scl;
}

TEST(SclSearch, MatchesAndShownTreeAgreeWithABruteForceWalk) {
    const std::string bytes = bigDevice();
    const SclIed device(bytes, "big.icd");
    ASSERT_GT(device.objectCount(), 300'000u);
    for (const char* text : {"MAGWEIRD", "ld13/p", "mag", "Big", ".cval.ang.", "dsmag1", "", "zzz"}) {
        std::vector<const SclObject*> expected;
        std::vector<const SclObject*> stack{&device};
        const std::string needle = lowered(text);
        while (!stack.empty()) {
            const SclObject* at = stack.back();
            stack.pop_back();
            if (!needle.empty() && lowered(referenceOf(*at)).find(needle) != std::string::npos) {
                expected.push_back(at);
            }
            for (std::size_t row = at->treeChildCount(); row-- > 0;) {
                stack.push_back(at->treeChild(row));
            }
        }
        const SclSearch search(device, text);
        ASSERT_EQ(search.matches(), expected) << text;
        for (const SclObject* match : search.matches()) {
            for (const SclObject* at = match; at != nullptr; at = at->parent()) {
                ASSERT_TRUE(search.shown(*at)) << text;
                if (at->parent() != nullptr) {
                    ASSERT_EQ(search.shownChildren(*at->parent())[search.shownRow(*at)], at) << text;
                }
            }
        }
        EXPECT_EQ(search.shown(device), !expected.empty()) << text;
    }
    const SclSearch deep(device, "magweird.F");
    ASSERT_EQ(deep.matches().size(), 1u);
    EXPECT_EQ(referenceOf(*deep.matches()[0]), "BigLD13/PMMXU42.Odd.cVal.MagWeird.f");
    EXPECT_EQ(deep.shownChildren(device).size(), 1u) << "only the logical device holding it";
}

// Two IEDs of one name: the Communication section names IEDs by name alone, so the k-th ConnectedAP of
// a name and access point stands for the k-th IED of that name.
TEST(SclIeds, IedsSharingANameEachGetTheirOwnAddressAndPlace) {
    test::TempDir dir;
    const auto file = dir / "twins.scd";
    test::writeFile(
        file,
        R"(<SCL><Communication><SubNetwork name="S">)"
        R"(<ConnectedAP iedName="Twin" apName="A"><Address><P type="IP">10.0.0.1</P></Address></ConnectedAP>)"
        R"(<ConnectedAP iedName="Solo" apName="A"><Address><P type="IP">10.0.0.9</P></Address></ConnectedAP>)"
        R"(<ConnectedAP iedName="Twin" apName="A"><Address><P type="IP">10.0.0.2</P></Address></ConnectedAP>)"
        R"(</SubNetwork></Communication><IED name="Twin" desc="first"><AccessPoint name="A"/></IED>)"
        R"(<IED name="Solo"/><IED name="Twin" desc="second"><AccessPoint name="A"/></IED>)"
        R"(<DataTypeTemplates/></SCL>)");
    const std::vector<SclIedSummary> ieds = listIeds(file);
    ASSERT_EQ(ieds.size(), 3u);
    const struct {
        const char* ip;
        std::size_t position;
        std::size_t count;
    } expected[] = {{"10.0.0.1", 1, 2}, {"10.0.0.9", 1, 1}, {"10.0.0.2", 2, 2}};
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(ieds[k].ipAddress, expected[k].ip) << k;
        EXPECT_EQ(ieds[k].sameNamePosition, expected[k].position) << k;
        EXPECT_EQ(ieds[k].sameNameCount, expected[k].count) << k;
    }

    std::size_t count = 0;
    const auto second = SclIed::loadIedAt(file, "Twin", 1, count);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(second->ipAddress(), "10.0.0.2");
    EXPECT_EQ(SclIed::loadIeds(file, {"Twin"}).front()->ipAddress(), "10.0.0.1") << "a name alone: the first";
    EXPECT_EQ(SclIed::loadIedAt(file, "Twin", 2, count), nullptr);
    EXPECT_EQ(SclIed::loadIedAt(file, "None", 0, count), nullptr);
    EXPECT_EQ(count, 0u);
}

} // namespace
} // namespace sw
