#include "core/mms/mms_server.h"
#include "core/mms/osi_stack.h"

#include <cstddef>
#include <cstdint>

namespace mms = sw::mms;

namespace {

mms::ServedModel model() {
    mms::ServedModel served;
    mms::ServedDomain& domain = served.domains.emplace_back();
    domain.name = "LD0";
    mms::ServedNode& node = domain.variables.emplace_back();
    node.name = "GGIO1";
    mms::ServedNode& fc = node.components.emplace_back();
    fc.name = "ST";
    for (const char* name : {"stVal", "q"}) {
        mms::ServedNode& leaf = fc.components.emplace_back();
        leaf.name = name;
        leaf.type = name[0] == 's' ? mms::DataType::Boolean : mms::DataType::BitString;
        leaf.size = name[0] == 's' ? 0 : 13;
        leaf.value = mms::neutralData(leaf);
    }
    mms::ServedNode& array = fc.components.emplace_back();
    array.name = "arr";
    array.type = mms::DataType::Array;
    array.components.resize(3, fc.components.front());
    // A select-before-operate control: its model, and the attributes a select, operate and cancel use.
    const auto leafOf = [](mms::ServedNode& parent, const char* name, mms::DataType type, std::int32_t size,
                           mms::Bytes value) -> mms::ServedNode& {
        mms::ServedNode& leaf = parent.components.emplace_back();
        leaf.name = name;
        leaf.type = type;
        leaf.size = size;
        leaf.value = std::move(value);
        return leaf;
    };
    const auto structureOf = [](mms::ServedNode& parent, const char* name) -> mms::ServedNode& {
        mms::ServedNode& structure = parent.components.emplace_back();
        structure.name = name;
        return structure;
    };
    mms::ServedNode& settings = structureOf(structureOf(node, "CF"), "SPCSO1");
    leafOf(settings, "ctlModel", mms::DataType::Integer, 8, mms::integerData(2));
    leafOf(settings, "sboTimeout", mms::DataType::Unsigned, 32, mms::unsignedData(100));
    mms::ServedNode& control = structureOf(structureOf(node, "CO"), "SPCSO1");
    leafOf(control, "SBO", mms::DataType::VisibleString, -129, mms::visibleStringData(""));
    for (const char* name : {"Oper", "Cancel"}) {
        mms::ServedNode& request = structureOf(control, name);
        leafOf(request, "ctlVal", mms::DataType::Boolean, 0, mms::booleanData(false));
        leafOf(request, "ctlNum", mms::DataType::Unsigned, 8, mms::unsignedData(0, 8));
    }
    domain.lists["LLN0$DataSet"] = {{{"LD0", "GGIO1$ST$stVal"}, {}},
                                    {{"LD0", "GGIO1$ST$arr"}, {{true, 1, {}}}}};
    return served;
}

} // namespace

// The server's readers of what a client sends: the first byte picks the transport connection request,
// the session connect (with the initiate request inside) or a PDU of the data phase. Each must answer
// or refuse with a ConfigError, never crash, hang or read outside the bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static mms::MmsServer server(model());
    const mms::ByteView bytes(data + 1, size - 1);
    try {
        switch (data[0] % 3) {
        case 0:
            mms::osi::connectionConfirm(mms::osi::parseConnectionRequest(bytes));
            break;
        case 1: {
            const mms::osi::ConnectIndication connect = mms::osi::parseConnectSpdu(bytes);
            mms::MmsServer::Association association;
            mms::osi::acceptSpdu(connect, server.initiate(connect.mmsInitiateRequest, association));
            break;
        }
        default: {
            mms::MmsServer::Association association{65000, false};
            server.answer(bytes, association); // never throws
            break;
        }
        }
    } catch (const sw::ConfigError&) {
    }
    return 0;
}
