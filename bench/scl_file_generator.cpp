#include "scl_file_generator.h"

#include <string>

namespace sw::bench {

namespace {

const char* const kClasses[] = {"MMXU", "GGIO", "XCBR", "CSWI", "PTOC", "MSQI", "TCTR", "TVTR"};
constexpr int kClassCount = 8;

std::string templates(int variants) {
    std::string out = "<DataTypeTemplates>\n";
    const auto n = [](const char* base, int k) { return std::string(base) + std::to_string(k); };
    for (int k = 0; k < variants; ++k) {
        out += "<LNodeType id=\"" + n("LNT_", k) + "\" lnClass=\"" + kClasses[k % kClassCount] + "\">";
        for (int d = 0; d < 8; ++d) {
            out += "<DO name=\"" + n("Mv", d) + "\" type=\"" + n("MV_", (k + d) % variants) + "\"/>";
        }
        for (int d = 0; d < 4; ++d) {
            out += "<DO name=\"" + n("Cmv", d) + "\" type=\"" + n("CMV_", (k + d) % variants) + "\"/>";
        }
        for (int d = 0; d < 2; ++d) {
            out += "<DO name=\"" + n("Wye", d) + "\" type=\"" + n("WYE_", (k + d) % variants) + "\"/>";
        }
        out += "</LNodeType>\n";
    }
    for (int k = 0; k < variants; ++k) {
        out += "<DOType id=\"" + n("MV_", k) + "\" cdc=\"MV\"><DA name=\"mag\" bType=\"Struct\" type=\"" +
               n("AV_", k) +
               "\" fc=\"MX\"/><DA name=\"q\" bType=\"Quality\" fc=\"MX\"/><DA name=\"t\" bType=\"Timestamp\" "
               "fc=\"MX\"/><DA name=\"d\" bType=\"VisString255\" fc=\"DC\"/><DA name=\"ctlModel\" "
               "bType=\"Enum\" type=\"CtlModels\" fc=\"CF\"/></DOType>\n";
        out += "<DOType id=\"" + n("CMV_", k) + "\" cdc=\"CMV\"><DA name=\"cVal\" bType=\"Struct\" type=\"" +
               n("Vec_", k) +
               "\" fc=\"MX\"/><DA name=\"q\" bType=\"Quality\" fc=\"MX\"/><DA name=\"t\" bType=\"Timestamp\" "
               "fc=\"MX\"/></DOType>\n";
        out += "<DOType id=\"" + n("WYE_", k) + "\" cdc=\"WYE\"><SDO name=\"phsA\" type=\"" + n("CMV_", k) +
               "\"/><SDO name=\"phsB\" type=\"" + n("CMV_", k) + "\"/><SDO name=\"phsC\" type=\"" +
               n("CMV_", k) + "\"/><SDO name=\"neut\" type=\"" + n("CMV_", k) +
               "\"/><DA name=\"d\" bType=\"VisString255\" fc=\"DC\"/></DOType>\n";
        out += "<DAType id=\"" + n("AV_", k) +
               "\"><BDA name=\"f\" bType=\"FLOAT32\"/><BDA name=\"i\" bType=\"INT32\"/></DAType>\n";
        out += "<DAType id=\"" + n("Vec_", k) + "\"><BDA name=\"mag\" bType=\"Struct\" type=\"" +
               n("AV_", k) + "\"/><BDA name=\"ang\" bType=\"Struct\" type=\"" + n("AV_", k) +
               "\"/></DAType>\n";
    }
    out += "<EnumType id=\"CtlModels\"><EnumVal ord=\"0\">status-only</EnumVal></EnumType>\n";
    out += "</DataTypeTemplates>\n";
    return out;
}

// Members naming attributes, sub-attributes, whole data objects and sub-data objects of the device.
void appendMember(std::string& out, const std::string& ldInst, int seed) {
    static const char* const kMembers[][2] = {{"Mv0", "f"},      {"Mv3", "q"},  {"Cmv1", "ang"},
                                              {"Mv5", nullptr},  {"phsB", "f"}, {"Wye1", "d"},
                                              {"Cmv2", nullptr}, {"Mv7", "mag"}};
    const auto& member = kMembers[seed % 8];
    out += "<FCDA ldInst=\"";
    out += ldInst;
    out += "\" lnClass=\"";
    out += kClasses[(seed / 8) % kClassCount];
    out += "\" lnInst=\"1\" doName=\"";
    out += member[0];
    if (member[1] != nullptr) {
        out += "\" daName=\"";
        out += member[1];
    }
    out += "\" fc=\"MX\"/>";
}

void appendIed(std::string& out, const std::string& name, int lDevices, int nodesPerDevice, int members,
               int variants) {
    out += "<IED name=\"" + name + "\" manufacturer=\"Example\"><AccessPoint name=\"AP1\"><Server>\n";
    int node = 0;
    for (int ld = 0; ld < lDevices; ++ld) {
        const std::string ldInst = "LD" + std::to_string(ld);
        out += "<LDevice inst=\"" + ldInst + "\">\n";
        out += "<LN0 lnClass=\"LLN0\" inst=\"\" lnType=\"LNT_0\"><DataSet name=\"Events\">";
        for (int m = 0; m < members; ++m) {
            appendMember(out, ldInst, m * 7 + ld);
        }
        out += "</DataSet><GSEControl name=\"Go1\" datSet=\"Events\" appID=\"" + ldInst + "\"/></LN0>\n";
        for (int k = 1; k < nodesPerDevice; ++k, ++node) {
            const char* lnClass = kClasses[node % kClassCount];
            out += "<LN prefix=\"P\" lnClass=\"";
            out += lnClass;
            out += "\" inst=\"" + std::to_string(k) + "\" lnType=\"LNT_" + std::to_string(node % variants) +
                   "\"><DataSet name=\"DS" + std::to_string(k) + "\">";
            for (int m = 0; m < members; ++m) {
                appendMember(out, ldInst, m + node);
            }
            out += "</DataSet></LN>\n";
        }
        out += "</LDevice>\n";
    }
    out += "</Server></AccessPoint></IED>\n";
}

const char* const kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<SCL xmlns=\"http://www.iec.ch/61850/2003/SCL\" version=\"2007\" revision=\"B\">\n"
    "<Header id=\"synthetic\"/>\n";

} // namespace

std::string generateIcd(const IcdShape& shape, const std::string& iedName) {
    std::string out = kHeader;
    appendIed(out, iedName, shape.lDevices, shape.nodesPerDevice, shape.membersPerDataSet,
              shape.typeVariants);
    out += templates(shape.typeVariants);
    out += "</SCL>\n";
    return out;
}

std::string generateScd(std::size_t targetBytes) {
    const int variants = 500;
    std::string ieds;
    ieds.reserve(targetBytes + (1u << 20));
    appendIed(ieds, "First", 2, 10, 8, variants);
    const std::string tail = templates(variants) + "</SCL>\n";
    // Each IED connected with an address, as a substation file has them.
    std::string communication = "<Communication><SubNetwork name=\"Station\" type=\"8-MMS\">\n";
    const auto connect = [&communication](const std::string& name, int k) {
        communication += "<ConnectedAP iedName=\"" + name +
                         "\" apName=\"AP1\"><Address><P type=\"IP\">10.0." + std::to_string(k / 250) + "." +
                         std::to_string(k % 250 + 1) + "</P></Address></ConnectedAP>\n";
    };
    connect("First", 0);
    const std::size_t header = std::string(kHeader).size();
    for (int ied = 1; header + communication.size() + ieds.size() + tail.size() < targetBytes; ++ied) {
        const std::string name = "Ied" + std::to_string(ied);
        appendIed(ieds, name, 4, 50, 16, variants);
        connect(name, ied);
    }
    communication += "</SubNetwork></Communication>\n";
    std::string out = kHeader;
    out.reserve(out.size() + communication.size() + ieds.size() + tail.size());
    out += communication;
    out += ieds;
    out += tail;
    return out;
}

std::string generateManyIeds(int count) {
    std::string communication = "<Communication><SubNetwork name=\"Station\" type=\"8-MMS\">\n";
    std::string ieds;
    for (int k = 1; k <= count; ++k) {
        const std::string name = "Ied" + std::to_string(k);
        communication += "<ConnectedAP iedName=\"" + name + "\" apName=\"AP1\"><Address><P type=\"IP\">10." +
                         std::to_string(k / 62500) + "." + std::to_string(k / 250 % 250) + "." +
                         std::to_string(k % 250 + 1) + "</P></Address></ConnectedAP>\n";
        ieds += "<IED name=\"" + name + "\" desc=\"Bay " + std::to_string(k) +
                "\" manufacturer=\"Example\"><AccessPoint name=\"AP1\"><Server><LDevice inst=\"LD0\">"
                "<LN0 lnClass=\"LLN0\" inst=\"\" lnType=\"LNT_0\"/></LDevice></Server></AccessPoint></IED>\n";
    }
    communication += "</SubNetwork></Communication>\n";
    return kHeader + communication + ieds + templates(1) + "</SCL>\n";
}

namespace {

// One IED whose logical nodes all have the type "N", filled up to targetBytes, then the templates.
std::string hostile(const std::string& types, std::size_t targetBytes) {
    const std::string tail = "</LDevice></Server></AccessPoint></IED><DataTypeTemplates><LNodeType id=\"N\">"
                             "<DO name=\"d\" type=\"T0\"/></LNodeType>" +
                             types + "</DataTypeTemplates></SCL>\n";
    std::string out = kHeader;
    out += "<IED name=\"H\"><AccessPoint><Server><LDevice inst=\"L\">";
    for (int k = 1; out.size() + tail.size() < targetBytes || k == 1; ++k) {
        out += "<LN lnClass=\"GGIO\" inst=\"" + std::to_string(k) + "\" lnType=\"N\"/>\n";
    }
    out += tail;
    return out;
}

} // namespace

std::string generateDoublingTypes(int levels, std::size_t targetBytes) {
    std::string types;
    for (int level = 0; level < levels; ++level) {
        const std::string next = "T" + std::to_string(level + 1);
        types += "<DOType id=\"T" + std::to_string(level) + "\"><SDO name=\"a\" type=\"" + next +
                 "\"/><SDO name=\"b\" type=\"" + next + "\"/></DOType>\n";
    }
    return hostile(types, targetBytes);
}

std::string generateNameChain(int levels, std::size_t nameLength, std::size_t targetBytes) {
    std::string types;
    for (int level = 0; level < levels; ++level) {
        std::string name(nameLength, 'n');
        const std::string number = std::to_string(level);
        name.replace(0, number.size(), number);
        types += "<DOType id=\"T" + number + "\"><SDO name=\"" + name + "\" type=\"T" +
                 std::to_string(level + 1) + "\"/><DA name=\"v\" bType=\"INT32\" fc=\"ST\"/></DOType>\n";
    }
    return hostile(types, targetBytes);
}

} // namespace sw::bench
