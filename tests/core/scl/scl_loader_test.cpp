#include "scl_test_util.h"

#include "core/common/config_error.h"
#include "core/scl/scl_model.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <tuple>
#include <vector>

namespace sw {
namespace {

std::vector<std::string> memberReferences(const SclDataSet& dataSet) {
    std::vector<std::string> references;
    for (std::size_t k = 0; k < dataSet.dataAttributes().size(); ++k) {
        references.push_back(dataSet.memberReference(k));
    }
    return references;
}

std::vector<std::string> names(SclList<SclDataObject> list) {
    std::vector<std::string> result;
    for (const SclDataObject* object : list) {
        result.push_back(object->fName());
    }
    return result;
}

TEST(SclLoader, ResolvesDataSetMembersAfterTheWholeIedIsBuilt) {
    const SclIed device(test::fixture("bay1.icd"));
    const SclLogicalNode& lln0 = *device.findLogicalDevice("CTRL")->findLogicalNode("LLN0");
    const SclDataSet& dataSet = *lln0.dataSets()[0];
    // Found: a dotted daName, the second unit of a class by its instance, a member in a later logical
    // device, a duplicate, and a whole data object (its first leaf).
    EXPECT_EQ(memberReferences(dataSet),
              (std::vector<std::string>{"Bay1CTRL/Q0XCBR1.Pos.stVal", "Bay1CTRL/MMXU1.TotW.mag.f",
                                        "Bay1CTRL/MMXU2.TotW.mag.f", "Bay1CTRL/MMXU1.A.cVal.mag.f",
                                        "Bay1MEAS/GGIO1.Grp.Alm.stVal", "Bay1CTRL/Q0XCBR1.Pos.stVal"}));
    // Not found, and kept at their places: an unknown logical device, nodes named without the instance
    // or prefix they have, and a member without ldInst.
    std::vector<std::string> unresolved;
    for (std::size_t k = 0; k < dataSet.members().size(); ++k) {
        if (const SclDataSetMember& member = dataSet.members()[k]; member.attribute == nullptr) {
            unresolved.push_back(std::to_string(k + 1) + " " + *member.written);
        }
    }
    EXPECT_EQ(unresolved,
              (std::vector<std::string>{"6 NOPE/GGIO.Alm.stVal []", "8 MEAS/GGIO.Grp.Alm.stVal []",
                                        "9 CTRL/XCBR.Pos []", "10 /XCBR.Pos.stVal []"}));
    EXPECT_EQ(dataSet.firstUnresolvedMember(), 6u);
    EXPECT_TRUE(dataSet.members()[3].wholeObject);
    EXPECT_FALSE(dataSet.members()[1].wholeObject);
    // Members are the model's own attributes, not copies.
    EXPECT_EQ(dataSet.dataAttributes()[0],
              device.findLogicalDevice("CTRL")->findLogicalNode("XCBR")->findDataObject("Pos")->findAttribute(
                  "stVal"));
}

// Each FCDA names one attribute by the whole name of its node and by paths below it.
TEST(SclLoader, DataSetMembersResolveByTheWholeNodeNameAndByPaths) {
    const std::string scl = R"(<SCL><IED name="I"><AccessPoint><Server><LDevice inst="LD">
        <LN0 lnClass="LLN0" lnType="Z"><DataSet name="Z">
          <FCDA ldInst="LD" lnClass="LLN0" doName="Mod" daName="stVal" fc="ST"/></DataSet></LN0>
        <LN lnClass="MMXU" inst="1" lnType="M"/>
        <LN prefix="PPRE_" lnClass="MMXU" inst="1" lnType="M">
          <DataSet name="DS">
            <FCDA ldInst="LD" prefix="PPRE_" lnClass="MMXU" lnInst="1" doName="TotW" daName="mag.f" fc="MX"/>
            <FCDA ldInst="LD" lnClass="MMXU" lnInst="1" doName="PhV.phsA" daName="cVal.mag.f" fc="MX"/>
            <FCDA ldInst="LD" lnClass="MMXU" lnInst="2" doName="TotW" daName="mag.f" fc="MX"/>
            <FCDA ldInst="LD" prefix="PPRE_" lnClass="MMXU" lnInst="1" doName="PhV.phsB" fc="MX"/>
            <FCDA ldInst="LD" prefix="PPRE_" lnClass="MMXU" lnInst="1" doName="TotW" daName="mag.i" fc="MX"/>
            <FCDA ldInst="LD" prefix="PPRE_" lnClass="MMXU" lnInst="1" doName="TotW" daName="q" fc="MX"/>
          </DataSet>
        </LN>
      </LDevice></Server></AccessPoint></IED>
      <DataTypeTemplates>
        <LNodeType id="Z" lnClass="LLN0"><DO name="Mod" type="S"/></LNodeType>
        <LNodeType id="M" lnClass="MMXU"><DO name="TotW" type="MV"/><DO name="PhV" type="WYE"/></LNodeType>
        <DOType id="S"><DA name="stVal" bType="INT32" fc="ST"/></DOType>
        <DOType id="MV"><DA name="mag" bType="Struct" type="AV" fc="MX"/><DA name="q" bType="Quality" fc="MX"/></DOType>
        <DOType id="WYE"><SDO name="phsA" type="CMV"/><SDO name="phsB" type="CMV"/></DOType>
        <DOType id="CMV"><DA name="cVal" bType="Struct" type="V" fc="MX"/></DOType>
        <DAType id="AV"><BDA name="f" bType="FLOAT32"/></DAType>
        <DAType id="V"><BDA name="mag" bType="Struct" type="AV"/></DAType>
      </DataTypeTemplates></SCL>)";
    const SclIed device(scl, "members.icd");
    const SclLogicalDevice& ld = *device.findLogicalDevice("LD");
    const SclDataSet& lln0Set = *ld.findLogicalNode("LLN0")->dataSets()[0];
    EXPECT_EQ(lln0Set.fReference(), "ILD/LLN0.Z");
    EXPECT_EQ(memberReferences(lln0Set), (std::vector<std::string>{"ILD/LLN0.Mod.stVal"}));

    const SclDataSet& dataSet = *ld.findNode("PPRE_", "MMXU", "1")->dataSets()[0];
    EXPECT_EQ(dataSet.fReference(), "ILD/PPRE_MMXU1.DS");
    EXPECT_EQ(dataSet.classOnlyReference(), "ILD/MMXU.DS");
    const struct {
        const char* found; // the member's reference, or what was written for one not found
        bool wholeObject;
    } expected[] = {
        {"ILD/PPRE_MMXU1.TotW.mag.f", false},     // dotted daName, the prefixed node of two of one class
        {"ILD/MMXU1.PhV.phsA.cVal.mag.f", false}, // dotted doName, the node without prefix
        {"LD/MMXU2.TotW.mag.f [MX]", false},      // no node of that instance
        {"ILD/PPRE_MMXU1.PhV.phsB.cVal.mag.f", true},
        {"LD/PPRE_MMXU1.TotW.mag.i [MX]", false}, // no such part below mag
        {"ILD/PPRE_MMXU1.TotW.q", false},
    };
    ASSERT_EQ(dataSet.members().size(), std::size(expected));
    for (std::size_t k = 0; k < std::size(expected); ++k) {
        const SclDataSetMember& member = dataSet.members()[k];
        const std::string got =
            member.attribute != nullptr ? member.attribute->fReference() : *member.written;
        EXPECT_EQ(got, expected[k].found) << k;
        EXPECT_EQ(member.wholeObject, expected[k].wholeObject) << k;
    }
    EXPECT_EQ(dataSet.dataAttributes().size(), 4u);
    EXPECT_EQ(dataSet.firstUnresolvedMember(), 3u);
}

// An FCDA names an element of an array by an index after the array's name, by "ix" (for the first array
// on its path), or both; the member is the attribute of the element's type and its reference carries
// the index.
TEST(SclLoader, DataSetMembersNameArrayElementsByIndex) {
    const std::string fcdas[][3] = {
        // doName, daName, ix
        {"HA.phsAHar(7)", "", ""},
        {"HA.phsAHar", "", "8"},
        {"HA.phsAHar(9)", "cVal", ""},
        {"HA.phsAHar", "cVal.mag", "10"},
        {"HA.phsAHar(11)", "cVal.mag.f", "11"},
        {"HA", "pts(2).x", ""},
        {"HA", "pts", "40"}, // a count naming the attribute that holds it bounds nothing
        {"HA.phsAHar", "cVal", ""},
        {"HA.phsAHar(16)", "", ""},
        {"HA.phsAHar(7)", "", "8"},
        {"HA(1).phsAHar", "", ""},
        {"HA.phsAHar(x)", "", ""},
        {"HA.phsAHar", "cVal", "-1"},
        {"HA.phsAHar(7)", "cVal(0)", ""},
        {"HA", "frq", "0"},
    };
    std::string members;
    for (const auto& fcda : fcdas) {
        members += "<FCDA ldInst='LD' prefix='my' lnClass='MHAI' lnInst='3' doName='" + fcda[0] + "'" +
                   (fcda[1].empty() ? "" : " daName='" + fcda[1] + "'") +
                   (fcda[2].empty() ? "" : " ix='" + fcda[2] + "'") + " fc='MX'/>";
    }
    const std::string scl = R"(<SCL><IED name="I"><AccessPoint><Server><LDevice inst="LD">
        <LN0 lnClass="LLN0" lnType="Z"/>
        <LN prefix="my" lnClass="MHAI" inst="3" lnType="H"><DataSet name="TestMHAI">)" +
                            members + R"(</DataSet></LN>
      </LDevice></Server></AccessPoint></IED>
      <DataTypeTemplates>
        <LNodeType id="Z" lnClass="LLN0"/>
        <LNodeType id="H" lnClass="MHAI"><DO name="HA" type="HWYE"/></LNodeType>
        <DOType id="HWYE"><SDO name="phsAHar" type="CMV" count="16"/>
          <DA name="pts" bType="Struct" type="P" fc="MX" count="numPts"/><DA name="frq" bType="FLOAT32" fc="MX"/></DOType>
        <DOType id="CMV"><DA name="cVal" bType="Struct" type="V" fc="MX"/></DOType>
        <DAType id="V"><BDA name="mag" bType="Struct" type="AV"/><BDA name="ang" bType="Struct" type="AV"/></DAType>
        <DAType id="AV"><BDA name="f" bType="FLOAT32"/></DAType>
        <DAType id="P"><BDA name="x" bType="INT32"/></DAType>
      </DataTypeTemplates></SCL>)";
    const SclIed device(scl, "arrays.icd");
    const SclDataSet& dataSet = *device.findLogicalDevice("LD")->findNode("my", "MHAI", "3")->dataSets()[0];
    EXPECT_EQ(dataSet.fReference(), "ILD/myMHAI3.TestMHAI");
    const std::string array = "ILD/myMHAI3.HA.phsAHar";
    const std::vector<std::string> expected = {
        array + "(7).cVal.mag.f whole",
        array + "(8).cVal.mag.f whole",
        array + "(9).cVal",
        array + "(10).cVal.mag",
        array + "(11).cVal.mag.f",
        "ILD/myMHAI3.HA.pts(2).x",
        "ILD/myMHAI3.HA.pts(40)",
        array + ".cVal", // the whole array's component, as before indexes were read
        "not found LD/myMHAI3.HA.phsAHar(16) [MX]",        // beyond the count
        "not found LD/myMHAI3.HA.phsAHar(7) ix 8 [MX]",    // index and ix disagree
        "not found LD/myMHAI3.HA(1).phsAHar [MX]",         // not an array
        "not found LD/myMHAI3.HA.phsAHar(x) [MX]",         // no number
        "not found LD/myMHAI3.HA.phsAHar.cVal ix -1 [MX]", // no number
        "not found LD/myMHAI3.HA.phsAHar(7).cVal(0) [MX]", // not an array
        "not found LD/myMHAI3.HA.frq ix 0 [MX]",           // no array on the path
    };
    std::vector<std::string> got;
    for (const SclDataSetMember& member : dataSet.members()) {
        got.push_back(member.attribute == nullptr
                          ? "not found " + *member.written
                          : member.fReference() + (member.wholeObject ? " whole" : ""));
    }
    EXPECT_EQ(got, expected);
    // The element's attribute is the array's own, of the element type; the found members' references
    // carry the index as the members' do.
    const SclDataObject& phsAHar =
        *device.findLogicalDevice("LD")->findNode("my", "MHAI", "3")->findDataObject("phsAHar");
    EXPECT_EQ(phsAHar.arraySize(), 16u);
    EXPECT_EQ(dataSet.dataAttributes()[2], phsAHar.findAttribute("cVal"));
    ASSERT_EQ(dataSet.dataAttributes().size(), 8u);
    EXPECT_EQ(dataSet.memberReference(0), array + "(7).cVal.mag.f");
    EXPECT_EQ(dataSet.memberReference(7), array + ".cVal");
}

TEST(SclLoader, GooseNamesComeFromControlBlocksOfTheSameNode) {
    const SclIed device(test::fixture("bay1.icd"));
    const SclLogicalDevice& ctrl = *device.findLogicalDevice("CTRL");
    const auto& lln0Sets = ctrl.findLogicalNode("LLN0")->dataSets();
    EXPECT_EQ(lln0Sets[0]->fGooseName(), "GoCB1");
    // Named only by a block of another node.
    EXPECT_EQ(lln0Sets[1]->fName(), "DS3");
    EXPECT_EQ(lln0Sets[1]->fGooseName(), "");
    // Two blocks naming one data set: the later one.
    EXPECT_EQ(ctrl.findLogicalNode("MMXU")->dataSets()[0]->fGooseName(), "GoB");
}

TEST(SclLoader, ReadsAttributesFunctionalConstraintsAndTypes) {
    const SclIed device(test::fixture("bay1.icd"));
    const SclLogicalDevice& ctrl = *device.findLogicalDevice("CTRL");
    const SclDataObject& totW = *ctrl.findLogicalNode("MMXU")->findDataObject("TotW");
    EXPECT_EQ(totW.findAttribute("f")->fFC(), "MX"); // a BDA inherits the fc of its attribute
    EXPECT_EQ(totW.findAttribute("i")->fFC(), "CF"); // unless it has its own
    EXPECT_EQ(totW.findAttribute("mag")->fbType(), "Struct");

    const SclDataObject& pos = *ctrl.findLogicalNode("XCBR")->findDataObject("Pos");
    EXPECT_EQ(pos.findAttribute("noFc")->fFC(), "");
    const SclDataAttribute& ctlModel = *pos.findAttribute("ctlModel");
    EXPECT_EQ(ctlModel.fbType(), "Enum");
    EXPECT_TRUE(ctlModel.isLeaf()) << "an enumeration's type must not be followed";

    // Every LNodeType with the node's type id contributes, in template order, to every such node.
    EXPECT_EQ(names(ctrl.findLogicalNode("MMXU")->dataObjects()),
              (std::vector<std::string>{"TotW", "A", "Hz"}));
    EXPECT_EQ(names(ctrl.logicalNodes()[3]->dataObjects()), (std::vector<std::string>{"TotW", "A", "Hz"}));

    // A node without lnType has neither data objects nor data sets; unknown or missing DO types give no
    // children.
    const SclLogicalNode& lphd = *ctrl.findLogicalNode("LPHD");
    EXPECT_TRUE(lphd.dataObjects().empty());
    EXPECT_TRUE(lphd.dataSets().empty());
    const SclLogicalNode& ggio = *device.findLogicalDevice("MEAS")->findLogicalNode("GGIO");
    EXPECT_EQ(ggio.findDataObject("Untyped")->dataAttributes().size() +
                  ggio.findDataObject("Unknown")->dataAttributes().size(),
              0u);

    // Only the first access point's server.
    EXPECT_EQ(device.logicalDevices().size(), 2u);
    EXPECT_EQ(device.findLogicalDevice("IGNORED"), nullptr);
    EXPECT_EQ(device.fFileName(), "bay1.icd");
    EXPECT_EQ(device.objectCount(), 77u);
}

TEST(SclLoader, CommentsAndNamespacePrefixesChangeNothing) {
    const std::string original = test::readFile(test::fixture("bay1.icd"));
    const std::string expected = test::dump(SclIed(original, "bay1.icd"));
    ASSERT_NE(expected.find("member"), std::string::npos);

    const std::string withoutComments = std::regex_replace(original, std::regex("<!--[^>]*-->"), "");
    ASSERT_NE(withoutComments, original);
    EXPECT_EQ(test::dump(SclIed(withoutComments, "bay1.icd")), expected);

    std::string prefixed = std::regex_replace(original, std::regex("<(/?)([A-Za-z])"), "<$1scl:$2");
    prefixed = std::regex_replace(prefixed, std::regex("xmlns="), "xmlns:scl=");
    ASSERT_NE(prefixed.find("<scl:IED"), std::string::npos);
    EXPECT_EQ(test::dump(SclIed(prefixed, "bay1.icd")), expected);
}

TEST(SclLoader, RecursiveTypesStopAtTheRepeatedChild) {
    const SclIed device(test::fixture("recursive.icd"));
    const SclLogicalNode& ln = *device.findLogicalDevice("LD0")->findLogicalNode("GGIO");
    const SclDataObject& loop = *ln.findDataObject("Loop");
    // The SDO of its own type is left out; two siblings of one type both stay.
    EXPECT_EQ(names(loop.dataObjects()), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(loop.dataAttributes().size(), 1u);
    // PING_T -> PONG_T -> PING_T: the second PING_T is left out, the rest of PONG_T stays.
    const SclDataObject& pong = *ln.findDataObject("Ping")->findDataObject("pong");
    EXPECT_TRUE(pong.dataObjects().empty());
    EXPECT_EQ(pong.dataAttributes().size(), 1u);
    // NODE_T -> next (NODE_T) left out; an Enum of the same id stays as a leaf; PAIR_T -> back (NODE_T) left
    // out.
    const SclDataAttribute& head = *ln.findDataObject("Chain")->findAttribute("head");
    ASSERT_EQ(head.dataAttributes().size(), 3u);
    EXPECT_EQ(head.dataAttributes()[1]->fName(), "kind");
    EXPECT_EQ(head.findAttribute("back"), nullptr);
    EXPECT_EQ(head.findAttribute("x")->fReference(), "RecLD0/GGIO1.Chain.head.pair.x");
}

TEST(SclLoader, ModelsOnlyTheFirstIed) {
    const std::string scd = R"(<SCL>
        <IED name="First"><AccessPoint><Server><LDevice inst="A"><LN0 lnClass="LLN0" lnType="T"/></LDevice></Server></AccessPoint></IED>
        <IED name="Second"><AccessPoint><Server><LDevice inst="B"/></Server></AccessPoint></IED>
        <DataTypeTemplates><LNodeType id="T"><DO name="Mod"/></LNodeType></DataTypeTemplates>
        </SCL>)";
    const SclIed device(scd, "two.scd");
    EXPECT_EQ(device.fName(), "First");
    ASSERT_EQ(device.logicalDevices().size(), 1u);
    EXPECT_EQ(device.logicalDevices()[0]->logicalNodes()[0]->dataObjects().size(), 1u);
}

TEST(SclLoader, MissingSectionsGiveAnEmptyOrPartialDevice) {
    const struct {
        const char* text;
        const char* name;
        std::size_t lDevices;
    } cases[] = {
        {"<Other><IED name='X'/></Other>", "", 0},
        {"<SCL><DataTypeTemplates/></SCL>", "", 0},
        {"<SCL><IED name='X'><AccessPoint><Server><LDevice/></Server></AccessPoint></IED></SCL>", "", 0},
        {"<SCL><IED name='X'/><DataTypeTemplates/></SCL>", "X", 0},
        {"<SCL><IED name='X'><AccessPoint/></IED><DataTypeTemplates/></SCL>", "X", 0},
        {"<SCL><IED name='X'><Server><LDevice/></Server></IED><DataTypeTemplates/></SCL>", "X", 0},
        {"<SCL><DataTypeTemplates/><IED "
         "name='X'><AccessPoint><Server><LDevice/></Server></AccessPoint></IED></SCL>",
         "X", 1},
    };
    for (const auto& c : cases) {
        const SclIed device(std::string_view(c.text), "case.icd");
        EXPECT_EQ(device.fName(), c.name) << c.text;
        EXPECT_EQ(device.logicalDevices().size(), c.lDevices) << c.text;
    }

    test::TempDir folder;
    const SclIed missing(folder / "absent.icd");
    EXPECT_EQ(missing.fName(), "");
    EXPECT_TRUE(missing.logicalDevices().empty());
    EXPECT_EQ(missing.fFileName(), "absent.icd");
}

TEST(SclLoader, MalformedFileIsAnErrorNamingFileAndPosition) {
    test::TempDir folder;
    const auto file = folder / "broken.icd";
    test::writeFile(file, "<SCL>\n  <IED name=\"X\">\n  </Server>\n</SCL>\n");
    try {
        SclIed device(file);
        FAIL() << "no error";
    } catch (const ConfigError& error) {
        const std::string text = error.what();
        EXPECT_NE(text.find(file.string()), std::string::npos) << text;
        EXPECT_NE(text.find("line 3"), std::string::npos) << text;
        EXPECT_NE(text.find("column"), std::string::npos) << text;
        EXPECT_NE(text.find("mismatch"), std::string::npos) << text;
    }
}

TEST(SclLoader, TypesExpandingBeyondTheLimitsAreAnError) {
    // Each type holds two sub-data objects of the next: a small file doubling into millions of objects.
    std::string types;
    for (int level = 0; level < 30; ++level) {
        const std::string next = "T" + std::to_string(level + 1);
        types += "<DOType id='T" + std::to_string(level) + "'><SDO name='a' type='" + next +
                 "'/><SDO name='b' type='" + next + "'/></DOType>";
    }
    const std::string doubling =
        "<SCL><IED name='X'><AccessPoint><Server><LDevice inst='L'><LN lnClass='A' "
        "lnType='N'/></LDevice></Server></AccessPoint></IED><DataTypeTemplates><LNodeType "
        "id='N'><DO name='d' type='T0'/></LNodeType>" +
        types + "</DataTypeTemplates></SCL>";
    try {
        SclIed device(doubling, "doubling.icd", SclLoadLimits{200, 10000});
        FAIL() << "no error";
    } catch (const ConfigError& error) {
        EXPECT_NE(std::string(error.what()).find("doubling.icd"), std::string::npos);
    }
    EXPECT_THROW(SclIed(doubling, "doubling.icd", SclLoadLimits{10, 100'000'000}), ConfigError);
    // Within both limits the same shape loads.
    const std::string shallow = std::regex_replace(doubling, std::regex("type='T8'"), "");
    EXPECT_EQ(SclIed(shallow, "shallow.icd").objectCount(), 2u + 511u);
}

// One logical device with the given logical nodes, then the given templates.
std::string iedWith(const std::string& nodes, const std::string& templates) {
    return "<SCL><IED name='X'><AccessPoint><Server><LDevice inst='L'>" + nodes +
           "</LDevice></Server></AccessPoint></IED><DataTypeTemplates>" + templates +
           "</DataTypeTemplates></SCL>";
}

TEST(SclLoader, ExpansionOutOfProportionToTheFileIsRefusedBeforeBuilding) {
    // Thirty levels of types with two sub-data objects of the next: two thousand million objects.
    std::string doubling;
    for (int level = 0; level < 30; ++level) {
        const std::string next = "T" + std::to_string(level + 1);
        doubling += "<DOType id='T" + std::to_string(level) + "'><SDO name='a' type='" + next +
                    "'/><SDO name='b' type='" + next + "'/></DOType>";
    }
    // A chain 198 levels deep of the longest names allowed, under many nodes: a listing of the model
    // would run to thousands of megabytes.
    std::string chain;
    for (int level = 0; level < 198; ++level) {
        chain += "<DOType id='T" + std::to_string(level) + "'><SDO name='" + std::string(255, 'n') +
                 "' type='T" + std::to_string(level + 1) + "'/></DOType>";
    }
    std::string nodes;
    for (int k = 0; k < 200; ++k) {
        nodes += "<LN lnClass='A' inst='" + std::to_string(k) + "' lnType='N'/>";
    }
    const std::string lNodeType = "<LNodeType id='N'><DO name='d' type='T0'/></LNodeType>";
    for (const auto& [file, bytes, reason] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"doubling.icd", iedWith(nodes, lNodeType + doubling), "model objects"},
             {"chain.icd", iedWith(nodes, lNodeType + chain), "references"}}) {
        try {
            SclIed device(bytes, file);
            ADD_FAILURE() << file << " loaded";
        } catch (const ConfigError& error) {
            const std::string text = error.what();
            EXPECT_NE(text.find(file), std::string::npos) << text;
            EXPECT_NE(text.find(reason), std::string::npos) << text;
            EXPECT_NE(text.find("out of all proportion"), std::string::npos) << text;
        }
    }
    // The same chain under one node is in proportion to the file, and loads.
    EXPECT_EQ(SclIed(iedWith("<LN lnClass='A' lnType='N'/>", lNodeType + chain), "one.icd").objectCount(),
              2u + 1u + 198u);
}

TEST(SclLoader, RecursiveTypesAreCountedAsTheyAreBuilt) {
    // A and B refer to each other; B is also used alone, where it expands further than under A.
    const std::string types = "<LNodeType id='N'><DO name='x' type='A'/><DO name='y' type='B'/></LNodeType>"
                              "<DOType id='A'><SDO name='b' type='B'/><DA name='v' bType='INT32'/></DOType>"
                              "<DOType id='B'><SDO name='a' type='A'/><DA name='w' bType='INT32'/></DOType>";
    const std::string bytes = iedWith("<LN lnClass='C' lnType='N'/>", types);
    // LD, LN, x{b{w}, v}, y{a{v}, w}
    const std::size_t objects = SclIed(bytes, "cycle.icd").objectCount();
    EXPECT_EQ(objects, 2u + 8u);
    EXPECT_NO_THROW(SclIed(bytes, "cycle.icd", SclLoadLimits{200, objects}));
    EXPECT_THROW(SclIed(bytes, "cycle.icd", SclLoadLimits{200, objects - 1}), ConfigError);
}

TEST(SclLoader, NamesLongerThanSclAllowsAreRefusedWithTheirPosition) {
    const std::string longName(256, 'n');
    const std::string node = "<LN lnClass='C' lnType='N'/>";
    const std::string types = "<LNodeType id='N'><DO name='d' type='D'/></LNodeType>"
                              "<DOType id='D'><DA name='v' bType='INT32' fc='ST'/></DOType>";
    struct Case {
        std::string nodes;
        std::string templates;
        std::string attribute;
    };
    const std::vector<Case> cases{
        {"<LN lnClass='C' lnType='" + longName + "'/>", types, "lnType"},
        {"<LN prefix='" + longName + "' lnClass='C' lnType='N'/>", types, "prefix"},
        {node, "<LNodeType id='N'><DO name='" + longName + "' type='D'/></LNodeType>", "name"},
        {node, "<LNodeType id='N'><DO name='d' type='" + longName + "'/></LNodeType>", "type"},
        {node, types + "<DAType id='" + longName + "'/>", "id"},
        {"<LN0 lnClass='LLN0' lnType='N'><DataSet name='" + longName + "'/></LN0>", types, "name"},
        {"<LN0 lnClass='LLN0' lnType='N'><DataSet name='S'><FCDA ldInst='L' lnClass='LLN0' doName='d' "
         "daName='" +
             longName + "'/></DataSet></LN0>",
         types, "daName"},
        {"<LN0 lnClass='LLN0' lnType='N'><GSEControl name='G' datSet='" + longName + "'/></LN0>", types,
         "datSet"},
    };
    for (const Case& each : cases) {
        // The offending element on a line of its own.
        const std::string bytes =
            std::regex_replace(iedWith(each.nodes, each.templates),
                               std::regex("<(LN|LN0|DO|DAType|DataSet|FCDA|GSEControl) "), "\n  <$1 ");
        try {
            SclIed device(bytes, "long.icd");
            ADD_FAILURE() << each.attribute << " accepted";
        } catch (const ConfigError& error) {
            const std::string text = error.what();
            EXPECT_NE(text.find("long.icd"), std::string::npos) << text;
            EXPECT_NE(text.find(" " + each.attribute + " of 256 characters"), std::string::npos) << text;
            EXPECT_TRUE(std::regex_search(text, std::regex("line [2-9], column 3;"))) << text;
        }
    }
    // 255 is allowed.
    EXPECT_NO_THROW(SclIed(
        iedWith("<LN lnClass='C' prefix='" + std::string(255, 'p') + "' lnType='N'/>", types), "edge.icd"));
}

} // namespace
} // namespace sw

namespace sw {
namespace {

// Scopes large enough to be indexed must still give the first match in document and pre-order.
TEST(SclLoader, LargeScopesResolveMembersAndGooseNamesLikeTheLinearLookups) {
    std::string nodes;
    for (int k = 0; k < 50; ++k) {
        const std::string lnClass = (k == 40 || k == 45) ? "DUP" : "C" + std::to_string(k);
        nodes += "<LN lnClass='" + lnClass + "' inst='" + std::to_string(k) + "' lnType='T'/>";
    }
    std::string dataSets;
    for (int k = 0; k < 40; ++k) {
        dataSets += "<DataSet name='S" + std::to_string(k % 38) +
                    "'><FCDA ldInst='L' lnClass='DUP' lnInst='40' doName='D30' daName='a35'/>"
                    "<FCDA ldInst='L' lnClass='C3' lnInst='3' doName='D" +
                    std::to_string(k) + "' daName='a" + std::to_string(k) + "'/></DataSet>";
    }
    std::string objects;
    std::string attributes = "<DA name='a0' bType='Struct' type='S' fc='ST'/>";
    for (int k = 0; k < 40; ++k) {
        objects += "<DO name='D" + std::to_string(k) + "' type='" + (k == 5 ? "W" : "V") + "'/>";
        attributes += "<DA name='a" + std::to_string(k + 1) + "' bType='INT32' fc='ST'/>";
    }
    const std::string scl =
        "<SCL><IED name='I'><AccessPoint><Server><LDevice inst='L'><LN0 lnClass='LLN0' lnType='T'>" +
        dataSets + "<GSEControl name='G' datSet='S35'/><GSEControl name='H' datSet='S1'/></LN0>" + nodes +
        "</LDevice></Server></AccessPoint></IED><DataTypeTemplates><LNodeType id='T'>" + objects +
        "</LNodeType><DOType id='V'>" + attributes + "</DOType><DOType id='W'><SDO name='D30' type='V'/>" +
        attributes +
        "</DOType><DAType id='S'><BDA name='a35' bType='BOOLEAN'/></DAType></DataTypeTemplates></SCL>";
    const SclIed device(scl, "large.icd");
    const SclLogicalNode& lln0 = *device.findLogicalDevice("L")->findLogicalNode("LLN0");
    ASSERT_EQ(lln0.dataSets().size(), 40u);

    const SclDataAttribute* shadowed =
        device.findLogicalDevice("L")->findLogicalNode("DUP")->findDataObject("D30")->findAttribute("a35");
    ASSERT_NE(shadowed, nullptr);
    EXPECT_EQ(shadowed->fReference(), "IL/DUP40.D5.D30.a0.a35");
    for (int k = 0; k < 40; ++k) {
        const auto& members = lln0.dataSets()[static_cast<std::size_t>(k)]->dataAttributes();
        ASSERT_EQ(members.size(), 2u) << k;
        EXPECT_EQ(members[0], shadowed);
        const SclLogicalNode& c3 = *device.findLogicalDevice("L")->findLogicalNode("C3");
        EXPECT_EQ(members[1],
                  c3.findDataObject("D" + std::to_string(k))->findAttribute("a" + std::to_string(k)))
            << k;
    }
    EXPECT_EQ(lln0.dataSets()[30]->dataAttributes()[1]->fReference(), "IL/C33.D5.D30.a30");
    EXPECT_EQ(lln0.dataSets()[35]->dataAttributes()[1]->fReference(), "IL/C33.D35.a0.a35");
    // Duplicate data-set names: the first of each name gets the control block.
    EXPECT_EQ(lln0.dataSets()[35]->fGooseName(), "G");
    EXPECT_EQ(lln0.dataSets()[1]->fGooseName(), "H");
    EXPECT_EQ(lln0.dataSets()[39]->fGooseName(), "");
}

} // namespace
} // namespace sw
