#include "core/live/live_check.h"
#include "core/live/simulation.h"
#include "core/mms/mms_client.h"
#include "core/scl/scl_model.h"

#include "test_project.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

// A device simulated from its SCL, seen through our own client as the live check sees a server.
namespace {

using namespace sw;

void forEachLeaf(const SclObject& object, const std::function<void(const SclDataAttribute&)>& visit) {
    for (std::size_t i = 0; i < object.treeChildCount(); ++i) {
        const SclObject* child = object.treeChild(i);
        if (child->kind() == SclKind::DA && static_cast<const SclDataAttribute*>(child)->isLeaf() &&
            child->arraySize() == 0) {
            visit(*static_cast<const SclDataAttribute*>(child));
        }
        forEachLeaf(*child, visit);
    }
}

TEST(Simulation, ServesEveryAttributeAndDataSetOfTheDevice) {
    const SclIed device(test::fixturesFolder() / "scl" / "bay1.icd");
    live::SimulatedDevice simulated(device, 0x7F000001, 0);
    std::chrono::milliseconds now{0};
    simulated.server().setClock([&now] { return now; });
    mms::MmsClient client;
    client.connect("127.0.0.1", simulated.port(), {});

    std::vector<std::string> domains;
    for (const SclLogicalDevice* ld : device.logicalDevices()) {
        domains.push_back(ld->reference());
    }
    std::sort(domains.begin(), domains.end());
    EXPECT_EQ(client.getNameList(mms::ObjectClass::Domain, "").value, domains);

    // Every leaf the loader built reads, under its reference and fc, as a value of its basic type.
    std::vector<mms::ObjectName> names;
    std::vector<const SclDataAttribute*> leaves;
    forEachLeaf(device, [&](const SclDataAttribute& attribute) {
        // A sub-attribute is served under the functional constraint of the attribute holding it.
        const SclDataAttribute* top = &attribute;
        while (top->parent()->kind() == SclKind::DA) {
            top = static_cast<const SclDataAttribute*>(top->parent());
        }
        if (const auto name = live::variableName(attribute.fReference(), top->fFC())) {
            names.push_back(*name);
            leaves.push_back(&attribute);
        }
    });
    ASSERT_FALSE(names.empty());
    const std::vector<mms::AccessResult> read = client.readMany(names);
    for (std::size_t i = 0; i < names.size(); ++i) {
        ASSERT_TRUE(read[i].value) << names[i].text() << ": " << read[i].errorText();
        if (const auto type = live::expectedType(leaves[i]->fbType())) {
            EXPECT_EQ(read[i].value->type, *type) << names[i].text();
        }
    }

    // Data sets: the members the loader resolved, in order, as the live check names them.
    for (const SclLogicalDevice* ld : device.logicalDevices()) {
        for (const SclLogicalNode* node : ld->logicalNodes()) {
            for (const SclDataSet* dataSet : node->dataSets()) {
                const auto list =
                    client.getNamedVariableListAttributes(*live::dataSetName(dataSet->fReference()));
                ASSERT_TRUE(list.value) << dataSet->fReference();
                std::vector<std::string> expected;
                for (std::size_t i = 0; i < dataSet->dataAttributes().size(); ++i) {
                    expected.push_back(dataSet->memberReference(i));
                }
                std::vector<std::string> served;
                for (const mms::ListMember& member : list.value->members) {
                    served.push_back(live::memberReference(member));
                }
                // A member naming a whole data object is served as that object, above its first leaf.
                ASSERT_EQ(served.size(), expected.size()) << dataSet->fReference();
                for (std::size_t i = 0; i < served.size(); ++i) {
                    EXPECT_TRUE(expected[i] == served[i] || expected[i].starts_with(served[i] + "."))
                        << served[i] << " for " << expected[i];
                }
            }
        }
    }

    // A measured value moves with time, a status value does not; the GOOSE control block names its set.
    const mms::ObjectName measured{"Bay1CTRL", "MMXU1$MX$TotW$mag$f"};
    const mms::ObjectName status{"Bay1CTRL", "Q0XCBR1$ST$Pos$stVal"};
    const auto first = client.read({measured, status});
    now = std::chrono::milliseconds(5000);
    const auto second = client.read({measured, status});
    ASSERT_TRUE(first.value && second.value);
    EXPECT_NE((*first.value)[0].value->text, (*second.value)[0].value->text);
    EXPECT_EQ((*first.value)[1].value->text, (*second.value)[1].value->text);
    const auto gooseDataSet = client.read({{"Bay1CTRL", "LLN0$GO$GoCB1$DatSet"}});
    ASSERT_TRUE(gooseDataSet.value);
    EXPECT_EQ((*gooseDataSet.value)[0].value->text, "\"Bay1CTRL/LLN0$DS1\"");
    client.conclude();
}

// Initial values from the SCL: a DAI's Val over its DA's, through SDI, enumerations as their ord, and
// report control blocks (an indexed one once per instance); the control model the values give decides
// whether SBO selects.
TEST(Simulation, ServesTheInitialValuesAndControlModelsTheSclGives) {
    const std::string scl = R"(<SCL><IED name="Sim"><AccessPoint name="AP1"><Server><LDevice inst="LD0">
  <LN0 lnClass="LLN0" inst="" lnType="LLN0T">
    <DataSet name="Events"><FCDA ldInst="LD0" lnClass="CSWI" lnInst="1" doName="Pos" daName="stVal" fc="ST"/></DataSet>
    <ReportControl name="urcbA" datSet="Events" rptID="Events" confRev="3" intgPd="1000">
      <TrgOps dchg="true" gi="true"/><OptFields seqNum="true" dataSet="true"/><RptEnabled max="2"/></ReportControl>
    <ReportControl name="brcb" datSet="Events" buffered="true" indexed="false" bufTime="50"/>
  </LN0>
  <LN lnClass="CSWI" inst="1" lnType="CSWIT">
    <DOI name="Pos"><DAI name="ctlModel"><Val>sbo-with-normal-security</Val></DAI>
      <DAI name="sboTimeout"><Val>500</Val></DAI>
      <SDI name="pulseConfig"><DAI name="onDur"><Val>250</Val></DAI></SDI></DOI>
    <DOI name="NamPlt"><DAI name="vendor"><Val>Bench</Val></DAI></DOI>
  </LN>
  <LN lnClass="CSWI" inst="2" lnType="CSWIT"/>
</LDevice></Server></AccessPoint></IED>
<DataTypeTemplates>
  <LNodeType id="LLN0T" lnClass="LLN0"/>
  <LNodeType id="CSWIT" lnClass="CSWI"><DO name="Pos" type="DPCT"/><DO name="NamPlt" type="LPLT"/></LNodeType>
  <DOType id="DPCT" cdc="DPC">
    <DA name="stVal" bType="Dbpos" fc="ST"/>
    <DA name="ctlModel" bType="Enum" type="CtlModels" fc="CF"><Val>direct-with-normal-security</Val></DA>
    <DA name="sboTimeout" bType="INT32U" fc="CF"/>
    <DA name="pulseConfig" bType="Struct" type="PulseT" fc="CF"/>
    <DA name="SBO" bType="ObjRef" fc="CO"/>
    <DA name="Oper" bType="Struct" type="OperT" fc="CO"/>
  </DOType>
  <DOType id="LPLT" cdc="LPL"><DA name="vendor" bType="VisString255" fc="DC"><Val>Nobody</Val></DA>
    <DA name="swRev" bType="VisString255" fc="DC"><Val>1.2</Val></DA></DOType>
  <DAType id="PulseT"><BDA name="onDur" bType="INT32U"><Val>100</Val></BDA><BDA name="offDur" bType="INT32U"/></DAType>
  <DAType id="OperT"><BDA name="ctlVal" bType="BOOLEAN"/><BDA name="ctlNum" bType="INT8U"/></DAType>
  <EnumType id="CtlModels"><EnumVal ord="0">status-only</EnumVal><EnumVal ord="1">direct-with-normal-security</EnumVal>
    <EnumVal ord="2">sbo-with-normal-security</EnumVal></EnumType>
</DataTypeTemplates></SCL>)";
    const SclIed device(scl, "sim.icd");
    live::SimulatedDevice simulated(device, 0x7F000001, 0);
    std::chrono::milliseconds now{0};
    simulated.server().setClock([&now] { return now; });
    mms::MmsClient first;
    mms::MmsClient second;
    first.connect("127.0.0.1", simulated.port(), {});
    second.connect("127.0.0.1", simulated.port(), {});
    const auto text = [](mms::MmsClient& client, const std::string& item) {
        const auto read = client.read({{"SimLD0", item}});
        return read.value && (*read.value)[0].value ? (*read.value)[0].value->text : "(not read)";
    };
    const struct {
        const char* item;
        const char* value;
    } values[] = {
        {"CSWI1$CF$Pos$ctlModel", "2"},
        {"CSWI2$CF$Pos$ctlModel", "1"},
        {"CSWI1$CF$Pos$sboTimeout", "500"},
        {"CSWI2$CF$Pos$sboTimeout", "0"},
        {"CSWI1$CF$Pos$pulseConfig$onDur", "250"},
        {"CSWI2$CF$Pos$pulseConfig$onDur", "100"},
        {"CSWI1$DC$NamPlt$vendor", "\"Bench\""},
        {"CSWI1$DC$NamPlt$swRev", "\"1.2\""},
    };
    for (const auto& v : values) {
        EXPECT_EQ(text(first, v.item), v.value) << v.item;
    }

    // Only the select-before-operate object selects, for one association at a time until sboTimeout.
    EXPECT_EQ(text(first, "CSWI2$CO$Pos$SBO"), "\"\"");
    EXPECT_EQ(text(first, "CSWI1$CO$Pos$SBO"), "\"SimLD0/CSWI1$CO$Pos\"");
    EXPECT_EQ(text(second, "CSWI1$CO$Pos$SBO"), "\"\"");
    now = std::chrono::milliseconds(500);
    EXPECT_EQ(text(second, "CSWI1$CO$Pos$SBO"), "\"SimLD0/CSWI1$CO$Pos\"");
    first.conclude();
    second.conclude();

    // An operate of the direct control, then the live check sees the position it set.
    mms::BerWriter write;
    write.begin(mms::context(0, true));
    write.unsignedInteger(mms::kInteger, 1);
    write.begin(mms::context(5, true));
    write.begin(mms::context(0, true));
    write.begin(mms::kSequence);
    write.begin(mms::context(0, true));
    mms::encodeObjectName(write, {"SimLD0", "CSWI2$CO$Pos$Oper"});
    write.end();
    write.end();
    write.end();
    write.begin(mms::context(0, true));
    write.begin(mms::context(2, true));
    write.raw(mms::booleanData(true));
    write.raw(mms::unsignedData(1, 8));
    write.end();
    write.end();
    write.end();
    write.end();
    mms::MmsServer::Association operating{65000, false};
    const mms::Bytes done = simulated.server().answer(write.take(), operating);
    EXPECT_EQ(done.back(), 0x00); // the write's one result: success, [1] NULL
    live::LiveRow row;
    row.address = "10.0.0.1";
    row.port = "102";
    row.reference = "SimLD0/CSWI2.Pos.stVal";
    row.fc = "ST";
    row.bType = "Dbpos";
    live::LiveCheckOptions options;
    options.simulatedPort = [&simulated](const live::LiveRow&) { return simulated.port(); };
    const auto results = live::runLiveCheck({row}, options);
    EXPECT_EQ(live::resultLine(results.at(0)), "var 0 ok 10");
}

} // namespace
