#include "core/live/simulation.h"

#include "core/common/config_error.h"
#include "core/common/ip_address.h"
#include "core/common/numbers.h"
#include "core/common/path_text.h"
#include "core/live/live_check.h"
#include "core/scl/scl_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

namespace sw::live {

namespace {

using mms::DataType;
using mms::ServedNode;

struct LeafType {
    DataType type;
    std::int32_t size;
};

// The MMS type and size of each basic type, as servers of this field declare them.
std::optional<LeafType> leafType(std::string_view bType) {
    static const std::map<std::string_view, LeafType> kTypes = {
        {"BOOLEAN", {DataType::Boolean, 0}},         {"INT8", {DataType::Integer, 8}},
        {"INT16", {DataType::Integer, 16}},          {"INT24", {DataType::Integer, 24}},
        {"INT32", {DataType::Integer, 32}},          {"INT64", {DataType::Integer, 64}},
        {"INT128", {DataType::Integer, 64}},         {"Enum", {DataType::Integer, 8}},
        {"INT8U", {DataType::Unsigned, 8}},          {"INT16U", {DataType::Unsigned, 16}},
        {"INT24U", {DataType::Unsigned, 24}},        {"INT32U", {DataType::Unsigned, 32}},
        {"INT64U", {DataType::Unsigned, 64}},        {"FLOAT32", {DataType::FloatingPoint, 32}},
        {"FLOAT64", {DataType::FloatingPoint, 64}},  {"Dbpos", {DataType::BitString, 2}},
        {"Tcmd", {DataType::BitString, 2}},          {"Quality", {DataType::BitString, 13}},
        {"Check", {DataType::BitString, 2}},         {"TrgOps", {DataType::BitString, 6}},
        {"OptFlds", {DataType::BitString, 10}},      {"SvOptFlds", {DataType::BitString, 5}},
        {"Timestamp", {DataType::UtcTime, 0}},       {"EntryTime", {DataType::BinaryTime, 6}},
        {"ObjRef", {DataType::VisibleString, -129}}, {"Currency", {DataType::VisibleString, -3}},
        {"EntryID", {DataType::OctetString, 8}},     {"Octet64", {DataType::OctetString, -64}},
    };
    if (const auto it = kTypes.find(bType); it != kTypes.end()) {
        return it->second;
    }
    for (const auto& [prefix, type] : {std::pair{std::string_view("VisString"), DataType::VisibleString},
                                       std::pair{std::string_view("Unicode"), DataType::MmsString}}) {
        if (bType.starts_with(prefix)) {
            int size = 0;
            for (const char c : bType.substr(prefix.size())) {
                size = c >= '0' && c <= '9' && size < 100000 ? size * 10 + (c - '0') : size;
            }
            return LeafType{type, -std::max(size, 1)};
        }
    }
    return std::nullopt;
}

ServedNode leaf(std::string name, DataType type, std::int32_t size, bool moving = false) {
    ServedNode node;
    node.name = std::move(name);
    node.type = type;
    node.size = size;
    node.value = mms::neutralData(node);
    node.moving = moving;
    return node;
}

ServedNode structure(std::string name) {
    ServedNode node;
    node.name = std::move(name);
    node.type = DataType::Structure;
    return node;
}

// An array of `count` copies of the element (one when the file gives no number).
ServedNode arrayOf(ServedNode element, std::size_t count) {
    ServedNode array;
    array.name = std::move(element.name);
    array.type = DataType::Array;
    element.name.clear();
    count = count == SclObject::kUnknownArraySize ? 1 : count;
    array.size = static_cast<std::int32_t>(count);
    array.components.assign(count, element);
    return array;
}

bool hasFc(const SclDataAttribute& attribute, const std::string& fc) {
    return attribute.fFC() == fc;
}

bool hasFc(const SclDataObject& object, const std::string& fc) {
    for (const SclDataAttribute* attribute : object.dataAttributes()) {
        if (hasFc(*attribute, fc)) {
            return true;
        }
    }
    for (const SclDataObject* child : object.dataObjects()) {
        if (hasFc(*child, fc)) {
            return true;
        }
    }
    return false;
}

// A leaf's value from the text the SCL gives it, or nothing when the text is not one of its type.
std::optional<mms::Bytes> initialData(const ServedNode& node, std::string_view text) {
    const std::optional<double> number = parseFloat(text, '.');
    const bool integral = number && std::trunc(*number) == *number && std::abs(*number) < 9.0e15;
    switch (node.type) {
    case DataType::Boolean:
        if (text == "true" || text == "false" || text == "1" || text == "0") {
            return mms::booleanData(text == "true" || text == "1");
        }
        return std::nullopt;
    case DataType::Integer:
        return integral ? std::optional(mms::integerData(static_cast<std::int64_t>(*number))) : std::nullopt;
    case DataType::Unsigned:
        return integral && *number >= 0
                   ? std::optional(mms::unsignedData(static_cast<std::uint64_t>(*number), node.size))
                   : std::nullopt;
    case DataType::FloatingPoint:
        if (!number) {
            return std::nullopt;
        }
        return node.size == 64 ? mms::float64Data(*number) : mms::float32Data(static_cast<float>(*number));
    case DataType::VisibleString:
        return text.size() <= static_cast<std::size_t>(-std::int64_t{node.size})
                   ? std::optional(mms::visibleStringData(text))
                   : std::nullopt;
    case DataType::MmsString:
        return text.size() <= static_cast<std::size_t>(-std::int64_t{node.size})
                   ? std::optional(mms::mmsStringData(text))
                   : std::nullopt;
    default:
        return std::nullopt;
    }
}

ServedNode attributeNode(const SclIed& ied, const SclDataAttribute& attribute, bool measured) {
    ServedNode node;
    if (attribute.fbType() == "PhyComAddr") {
        node = structure(attribute.fName());
        node.components = {leaf("Addr", DataType::OctetString, 6), leaf("PRIORITY", DataType::Unsigned, 8),
                           leaf("VID", DataType::Unsigned, 16), leaf("APPID", DataType::Unsigned, 16)};
    } else if (!attribute.isLeaf()) {
        node = structure(attribute.fName());
        for (const SclDataAttribute* child : attribute.dataAttributes()) {
            node.components.push_back(attributeNode(ied, *child, measured));
        }
    } else {
        const LeafType type = leafType(attribute.fbType()).value_or(LeafType{DataType::VisibleString, -255});
        node = leaf(attribute.fName(), type.type, type.size,
                    measured && (type.type == DataType::FloatingPoint || type.type == DataType::Integer) &&
                        attribute.fName() != "q");
        if (const std::string* text = ied.initialValue(attribute)) {
            if (auto value = initialData(node, *text)) {
                node.value = std::move(*value);
            }
        }
    }
    return attribute.arraySize() != 0 ? arrayOf(std::move(node), attribute.arraySize()) : node;
}

ServedNode objectNode(const SclIed& ied, const SclDataObject& object, const std::string& fc) {
    ServedNode node = structure(object.fName());
    for (const SclDataObject* child : object.dataObjects()) {
        if (hasFc(*child, fc)) {
            node.components.push_back(objectNode(ied, *child, fc));
        }
    }
    for (const SclDataAttribute* attribute : object.dataAttributes()) {
        if (hasFc(*attribute, fc)) {
            node.components.push_back(attributeNode(ied, *attribute, fc == "MX"));
        }
    }
    return object.arraySize() != 0 ? arrayOf(std::move(node), object.arraySize()) : node;
}

// The functional constraints in the order servers list a node's components; others follow by name.
constexpr std::array<std::string_view, 13> kFcOrder = {"ST", "MX", "SP", "SV", "CF", "DC", "SG",
                                                       "SE", "SR", "OR", "BL", "EX", "CO"};

std::size_t fcRank(const std::string& fc) {
    const auto found = std::find(kFcOrder.begin(), kFcOrder.end(), fc);
    return static_cast<std::size_t>(found - kFcOrder.begin());
}

void collectFcs(const SclDataObject& object, std::vector<std::string>& fcs) {
    for (const SclDataAttribute* attribute : object.dataAttributes()) {
        if (!attribute->fFC().empty() && std::find(fcs.begin(), fcs.end(), attribute->fFC()) == fcs.end()) {
            fcs.push_back(attribute->fFC());
        }
    }
    for (const SclDataObject* child : object.dataObjects()) {
        collectFcs(*child, fcs);
    }
}

// A GOOSE control block as servers present one: publishing off, the data set it names.
ServedNode gooseControl(const std::string& name, const std::string& dataSet) {
    ServedNode block = structure(name);
    block.components.push_back(leaf("GoEna", DataType::Boolean, 0));
    block.components.push_back(leaf("GoID", DataType::VisibleString, -129));
    block.components.back().value = mms::visibleStringData(name);
    block.components.push_back(leaf("DatSet", DataType::VisibleString, -129));
    block.components.back().value = mms::visibleStringData(dataSet);
    block.components.push_back(leaf("ConfRev", DataType::Unsigned, 32));
    block.components.back().value = mms::unsignedData(1);
    block.components.push_back(leaf("NdsCom", DataType::Boolean, 0));
    ServedNode address = structure("DstAddress");
    const std::uint8_t multicast[] = {0x01, 0x0C, 0xCD, 0x01, 0x00, 0x00};
    address.components = {leaf("Addr", DataType::OctetString, 6), leaf("PRIORITY", DataType::Unsigned, 8),
                          leaf("VID", DataType::Unsigned, 16), leaf("APPID", DataType::Unsigned, 16)};
    address.components[0].value = mms::octetStringData(multicast);
    address.components[1].value = mms::unsignedData(4, 8);
    block.components.push_back(std::move(address));
    for (const char* time : {"MinTime", "MaxTime"}) {
        block.components.push_back(leaf(time, DataType::Unsigned, 32));
    }
    block.components.push_back(leaf("FixedOffs", DataType::Boolean, 0));
    return block;
}

// A report control block as servers present one: disabled, its data set and settings as the SCL gives
// them. Unbuffered blocks carry a reservation, buffered ones their entry attributes.
ServedNode reportControl(const SclReportControl& control, const std::string& name, const std::string& dataSet,
                         const std::string& reference) {
    ServedNode block = structure(name);
    const auto add = [&block](const char* component, DataType type, std::int32_t size,
                              mms::Bytes value = {}) {
        ServedNode& added = block.components.emplace_back(leaf(component, type, size));
        if (!value.empty()) {
            added.value = std::move(value);
        }
    };
    add("RptID", DataType::VisibleString, -129,
        mms::visibleStringData(control.reportId.empty() ? reference : control.reportId));
    add("RptEna", DataType::Boolean, 0);
    if (!control.buffered) {
        add("Resv", DataType::Boolean, 0);
    }
    add("DatSet", DataType::VisibleString, -129, mms::visibleStringData(dataSet));
    add("ConfRev", DataType::Unsigned, 32, mms::unsignedData(control.confRev));
    add("OptFlds", DataType::BitString, 10, mms::bitStringData(control.options, 10));
    add("BufTm", DataType::Unsigned, 32, mms::unsignedData(control.bufferTime));
    add("SqNum", DataType::Unsigned, control.buffered ? 16 : 8,
        mms::unsignedData(0, control.buffered ? 16 : 8));
    add("TrgOps", DataType::BitString, 6, mms::bitStringData(control.triggers, 6));
    add("IntgPd", DataType::Unsigned, 32, mms::unsignedData(control.integrityPeriod));
    add("GI", DataType::Boolean, 0);
    if (control.buffered) {
        add("PurgeBuf", DataType::Boolean, 0);
        add("EntryID", DataType::OctetString, 8);
        add("TimeofEntry", DataType::BinaryTime, 6);
        add("ResvTms", DataType::Integer, 16);
    }
    add("Owner", DataType::OctetString, -64);
    return block;
}

// A member's reference ("LD/LN.DO.DA(2).x") with its fc as a list member: the variable up to the first
// array element, the rest as alternate access.
std::optional<mms::ListMember> listMember(const std::string& reference, const std::string& fc) {
    const std::size_t open = reference.find('(');
    const std::string base = reference.substr(0, open);
    const auto name = variableName(base, fc);
    if (!name) {
        return std::nullopt;
    }
    mms::ListMember member{*name, {}};
    std::string_view rest =
        open == std::string::npos ? std::string_view() : std::string_view(reference).substr(open);
    while (!rest.empty()) {
        if (rest.front() == '(') {
            const std::size_t close = rest.find(')');
            if (close == std::string_view::npos) {
                return std::nullopt;
            }
            std::uint32_t index = 0;
            for (const char c : rest.substr(1, close - 1)) {
                index = index * 10 + static_cast<std::uint32_t>(c - '0');
            }
            member.access.push_back({true, index, {}});
            rest.remove_prefix(close + 1);
        } else if (rest.front() == '.') {
            rest.remove_prefix(1);
            const std::size_t end = rest.find_first_of(".(");
            member.access.push_back({false, 0, std::string(rest.substr(0, end))});
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
        } else {
            return std::nullopt;
        }
    }
    return member;
}

// The reference a data set member stands for: the data object's for a member naming a whole object.
std::string memberReference(const SclDataSet& dataSet, std::size_t found) {
    const SclDataSetMember* member = nullptr;
    std::size_t seen = 0;
    for (const SclDataSetMember& each : dataSet.members()) {
        if (each.attribute != nullptr && seen++ == found) {
            member = &each;
            break;
        }
    }
    if (member != nullptr && member->wholeObject) {
        const SclObject* object = member->attribute;
        while (object != nullptr && object->kind() != SclKind::DO) {
            object = object->parent();
        }
        if (object != nullptr) {
            return static_cast<const SclDataObject*>(object)->reference();
        }
    }
    return dataSet.memberReference(found);
}

} // namespace

mms::ServedModel simulatedModel(const SclIed& ied) {
    mms::ServedModel model;
    std::map<const SclLogicalNode*, std::vector<const SclReportControl*>> reports;
    for (const SclReportControl& control : ied.reportControls()) {
        reports[control.node].push_back(&control);
    }
    for (const SclLogicalDevice* device : ied.logicalDevices()) {
        mms::ServedDomain& domain = model.domains.emplace_back();
        domain.name = device->reference();
        ServedNode* lln0 = nullptr;
        for (const SclLogicalNode* node : device->logicalNodes()) {
            ServedNode& served =
                domain.variables.emplace_back(structure(node->fPrefix() + node->flnClass() + node->fInst()));
            if (const auto found = reports.find(node); found != reports.end()) {
                for (const char* fc : {"BR", "RP"}) {
                    ServedNode group = structure(fc);
                    for (const SclReportControl* control : found->second) {
                        if (control->buffered != (fc == std::string_view("BR"))) {
                            continue;
                        }
                        const std::string dataSet =
                            control->dataSet.empty()
                                ? std::string()
                                : domain.name + "/" + served.name + "$" + control->dataSet;
                        for (std::uint32_t k = 1; k <= control->instances; ++k) {
                            const std::string index = k < 10 ? "0" + std::to_string(k) : std::to_string(k);
                            const std::string name = control->name + (control->indexed ? index : "");
                            group.components.push_back(
                                reportControl(*control, name, dataSet,
                                              domain.name + "/" + served.name + "$" + fc + "$" + name));
                            if (!control->indexed) {
                                break;
                            }
                        }
                    }
                    if (!group.components.empty()) {
                        served.components.push_back(std::move(group));
                    }
                }
            }
            std::vector<std::string> fcs;
            for (const SclDataObject* object : node->dataObjects()) {
                collectFcs(*object, fcs);
            }
            std::stable_sort(fcs.begin(), fcs.end(), [](const std::string& a, const std::string& b) {
                return fcRank(a) != fcRank(b) ? fcRank(a) < fcRank(b)
                                              : (fcRank(a) == kFcOrder.size() && a < b);
            });
            for (const std::string& fc : fcs) {
                ServedNode& group = served.components.emplace_back(structure(fc));
                for (const SclDataObject* object : node->dataObjects()) {
                    if (hasFc(*object, fc)) {
                        group.components.push_back(objectNode(ied, *object, fc));
                    }
                }
            }
            for (const SclDataSet* dataSet : node->dataSets()) {
                std::vector<mms::ListMember>& members = domain.lists[served.name + "$" + dataSet->fName()];
                const auto attributes = dataSet->dataAttributes();
                for (std::size_t i = 0; i < attributes.size(); ++i) {
                    if (auto member = listMember(memberReference(*dataSet, i), attributes[i]->fFC())) {
                        members.push_back(std::move(*member));
                    }
                }
                if (!dataSet->fGooseName().empty() && node->flnClass() == "LLN0") {
                    lln0 = &served;
                    ServedNode* go = lln0->component("GO");
                    if (go == nullptr) {
                        go = &lln0->components.emplace_back(structure("GO"));
                    }
                    go->components.push_back(gooseControl(
                        dataSet->fGooseName(), domain.name + "/" + served.name + "$" + dataSet->fName()));
                }
            }
        }
    }
    return model;
}

SimulatedDevice::SimulatedDevice(const SclIed& ied, std::uint32_t address, std::uint16_t port)
    : m_server(std::make_shared<mms::MmsServer>(simulatedModel(ied))), m_listener(m_server, address, port) {}

SimulatedCatalog::SimulatedCatalog(const std::filesystem::path& catalogFolder,
                                   const std::vector<access::CatalogRow>& catalog, std::uint32_t address) {
    for (const access::CatalogRow& row : catalog) {
        const std::string& fileName = row[access::CatalogColumn::FileName];
        const std::string& iedName = row[access::CatalogColumn::IEDName];
        Device device;
        try {
            device.ied =
                std::move(SclIed::loadIeds(catalogFolder / pathFromUtf8(fileName), {iedName}).front());
        } catch (const ConfigError& error) {
            m_skipped.push_back(error.what());
            continue;
        }
        if (!device.ied) {
            m_skipped.push_back("The catalog file \"" + fileName + "\" holds no IED \"" + iedName + "\".");
            continue;
        }
        device.served = std::make_unique<SimulatedDevice>(*device.ied, address, 0);
        m_devices.push_back(std::move(device));
    }
}

SimulatedCatalog::~SimulatedCatalog() = default;

std::optional<std::uint16_t> SimulatedCatalog::portFor(const LiveRow& row) const {
    if (const auto address = canonicalIpAddress(row.address)) {
        for (const Device& device : m_devices) {
            if (canonicalIpAddress(device.ied->ipAddress()) == address) {
                return device.served->port();
            }
        }
    }
    const std::string_view domain = std::string_view(row.reference).substr(0, row.reference.find('/'));
    if (domain.size() != row.reference.size()) {
        for (const Device& device : m_devices) {
            for (const SclLogicalDevice* logicalDevice : device.ied->logicalDevices()) {
                if (logicalDevice->reference() == domain) {
                    return device.served->port();
                }
            }
        }
    }
    return std::nullopt;
}

} // namespace sw::live
