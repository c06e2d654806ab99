#include "core/scl/scl_loader.h"

#include "core/common/atomic_file.h"
#include "core/common/path_text.h"
#include "core/common/trim.h"

#include "core/common/config_error.h"
#include "core/common/numbers.h"
#include "core/scl/string_pool.h"
#include "core/xml/xml.h"

#include <algorithm>
#include <charconv>
#include <initializer_list>
#include <new>
#include <optional>
#include <system_error>
#include <type_traits>

namespace sw {

namespace {

pugi::xml_node firstChildNamed(pugi::xml_node parent, std::string_view name) {
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && hasLocalName(child, name)) {
            return child;
        }
    }
    return {};
}

// Calls visit on every element child with the given local name, in document order; comments and
// other names are passed over.
template <class Visit> void forEachChild(pugi::xml_node parent, std::string_view name, Visit visit) {
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && hasLocalName(child, name)) {
            visit(child);
        }
    }
}

std::size_t countChildren(pugi::xml_node parent, std::string_view name) {
    std::size_t count = 0;
    forEachChild(parent, name, [&count](pugi::xml_node) { ++count; });
    return count;
}

// Saturating, without compiler built-ins, which MSVC lacks.
std::uint64_t add(std::uint64_t a, std::uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

std::uint64_t multiply(std::uint64_t a, std::uint64_t b) {
    return a != 0 && b > UINT64_MAX / a ? UINT64_MAX : a * b;
}

// Small files get a fixed allowance, so that a tiny file with a few rich types is never refused.
constexpr std::uint64_t kMinObjectAllowance = 100'000;
constexpr std::uint64_t kMinTextAllowance = 16u * 1024 * 1024;

bool isLogicalNode(pugi::xml_node node) {
    return node.type() == pugi::node_element && (hasLocalName(node, "LN0") || hasLocalName(node, "LN"));
}

template <class Visit> bool eachDoPreOrder(SclList<SclDataObject> list, Visit& visit) {
    for (const SclDataObject* object : list) {
        if (!visit(*object) || !eachDoPreOrder(object->dataObjects(), visit)) {
            return false;
        }
    }
    return true;
}

template <class Visit> bool eachDaPreOrder(SclList<SclDataAttribute> list, Visit& visit) {
    for (const SclDataAttribute* attribute : list) {
        if (!visit(*attribute) || !eachDaPreOrder(attribute->dataAttributes(), visit)) {
            return false;
        }
    }
    return true;
}

template <class T> T* findNamed(std::span<T*> list, std::string_view name) {
    for (T* each : list) {
        if (each->fName() == name) {
            return each;
        }
    }
    return nullptr;
}

} // namespace

template <class Obj, class ForEach, class Key>
const Obj* FirstMatchIndex::find(const void* scope, const std::string* wanted, ForEach forEach, Key key) {
    auto lookup = [wanted](const std::unordered_map<const std::string*, const void*>& map) -> const Obj* {
        auto hit = map.find(wanted);
        return hit == map.end() ? nullptr : static_cast<const Obj*>(hit->second);
    };
    if (auto indexed = m_maps.find(scope); indexed != m_maps.end()) {
        return lookup(indexed->second);
    }
    const Obj* hit = nullptr;
    std::size_t seen = 0;
    const bool complete = forEach([&](const Obj& object) {
        if (key(object) == wanted) {
            hit = &object;
            return false;
        }
        return ++seen < kScanLimit;
    });
    if (hit != nullptr || complete) {
        return hit;
    }
    auto& map = m_maps[scope];
    forEach([&](const Obj& object) {
        map.emplace(key(object), &object); // emplace keeps the first object of a name
        return true;
    });
    return lookup(map);
}

void SclDocument::parseFile(const std::filesystem::path& file) {
    source.displayName = utf8Of(file);
    source.file = file;
    std::error_code error;
    if (!std::filesystem::exists(file, error) && !error) {
        missing = true;
        return;
    }
    xml::loadFileFast(document, file, limits::kSclFile);
    const auto size = std::filesystem::file_size(file, error);
    source.size = error ? 0 : static_cast<std::size_t>(size);
}

void SclDocument::parseBuffer(std::string_view bytes, const std::string& displayName) {
    source.displayName = displayName;
    source.bytes = bytes;
    source.size = bytes.size();
    xml::loadBuffer(document, bytes, displayName);
}

pugi::xml_node SclDocument::scl() const {
    return firstChildNamed(document, "SCL");
}

std::vector<pugi::xml_node> SclDocument::ieds() const {
    std::vector<pugi::xml_node> found;
    forEachChild(scl(), "IED", [&found](pugi::xml_node ied) { found.push_back(ied); });
    return found;
}

pugi::xml_node SclDocument::ied(std::string_view name, std::size_t position) const {
    for (pugi::xml_node child = scl().first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && hasLocalName(child, "IED") &&
            (name.empty() || source.name(child, "name") == name) && position-- == 0) {
            return child;
        }
    }
    return {};
}

const std::vector<SclAddress>& SclDocument::addressesOf(pugi::xml_node ied) const {
    static const std::vector<SclAddress> kNone;
    if (!m_addressesIndexed) {
        indexAddresses();
        m_addressesIndexed = true;
    }
    const auto found = m_addresses.find(ied.internal_object());
    return found == m_addresses.end() ? kNone : found->second;
}

void SclDocument::indexAddresses() const {
    // The IEDs of each name in document order, and how many ConnectedAPs of a name and access point
    // were seen: both by hash, so that a file of many IEDs costs one pass.
    std::unordered_map<std::string_view, std::vector<const void*>> iedsByName;
    forEachChild(scl(), "IED", [&](pugi::xml_node ied) {
        iedsByName[source.name(ied, "name")].push_back(ied.internal_object());
    });
    std::unordered_map<std::string, std::size_t> seen;
    forEachChild(firstChildNamed(scl(), "Communication"), "SubNetwork", [&](pugi::xml_node subNetwork) {
        forEachChild(subNetwork, "ConnectedAP", [&](pugi::xml_node connected) {
            const std::string_view iedName = source.name(connected, "iedName");
            const auto named = iedsByName.find(iedName);
            if (iedName.empty() || named == iedsByName.end()) {
                return;
            }
            const std::string_view accessPoint = source.name(connected, "apName");
            std::string key(iedName);
            key += '\0';
            key += accessPoint;
            const std::size_t occurrence = seen[key]++;
            const void* owner = named->second[std::min(occurrence, named->second.size() - 1)];
            SclAddress& address = m_addresses[owner].emplace_back();
            address.subNetwork = source.name(subNetwork, "name");
            address.accessPoint = accessPoint;
            forEachChild(firstChildNamed(connected, "Address"), "P", [&](pugi::xml_node p) {
                if (address.ip.empty() && std::string_view(p.attribute("type").value()) == "IP") {
                    const std::string_view ip = trimmedBy(p.child_value(), [](char c) {
                        return c == ' ' || c == '\t' || c == '\r' || c == '\n';
                    });
                    // Nothing longer than a name is a usable address; a hostile file gets no further.
                    address.ip = ip.substr(0, std::min(ip.size(), SclSource::kMaxNameLength));
                }
            });
        });
    });
}

SclLoader::SclLoader(SclIed& device, const SclLoadLimits& limits)
    : m_device(device), m_pool(*device.m_pool), m_limits(limits) {}

SclLoader::~SclLoader() = default;

void SclLoader::decodeDevice(const std::filesystem::path& file) {
    SclDocument document;
    document.parseFile(file);
    if (!document.missing) {
        decodeIed(document, document.ied({}));
    }
}

void SclLoader::decodeBuffer(std::string_view bytes, const std::string& displayName) {
    SclDocument document;
    document.parseBuffer(bytes, displayName);
    decodeIed(document, document.ied({}));
}

void SclLoader::decodeIed(const SclDocument& document, pugi::xml_node ied) {
    m_source = document.source;
    if (!ied) {
        return;
    }
    decodeServer(document.scl(), ied);
    m_device.m_addresses = document.addressesOf(ied);
    // The server built is the one of the first access point: its address comes first.
    const std::string_view firstAccessPoint = m_source.name(firstChildNamed(ied, "AccessPoint"), "name");
    for (const SclAddress& address : m_device.m_addresses) {
        if (!address.ip.empty() && address.accessPoint == firstAccessPoint) {
            m_device.m_ipAddress = address.ip;
            break;
        }
    }
    for (const SclAddress& address : m_device.m_addresses) {
        if (m_device.m_ipAddress.empty() && !address.ip.empty()) {
            m_device.m_ipAddress = address.ip;
        }
    }
}

void SclLoader::decodeServer(pugi::xml_node scl, pugi::xml_node ied) {
    const pugi::xml_node templates = firstChildNamed(scl, "DataTypeTemplates");
    if (!templates) {
        return;
    }
    m_device.m_name = pooled(ied, "name");
    const pugi::xml_node server = firstChildNamed(firstChildNamed(ied, "AccessPoint"), "Server");
    if (!server) {
        return;
    }
    m_templates = std::make_unique<TemplateIndex>(templates, m_pool, m_source);
    checkExpansion(server);

    auto& lDevices = m_device.m_listLDevice;
    lDevices = reserveList<SclLogicalDevice>(countChildren(server, "LDevice"));
    std::size_t count = 0;
    forEachChild(server, "LDevice", [&](pugi::xml_node element) {
        SclLogicalDevice* ld = create<SclLogicalDevice>(m_device, count, 0);
        decodeLogicalDevice(*ld, element, false);
        lDevices[count++] = ld;
    });
    std::size_t k = 0;
    forEachChild(server, "LDevice", [&](pugi::xml_node element) {
        if (k < lDevices.size()) {
            decodeLogicalDevice(*lDevices[k], element, true);
        }
        ++k;
    });
}

void SclLoader::checkExpansion(pugi::xml_node server) {
    const std::uint64_t fileBytes = m_source.size;
    const std::uint64_t objectLimit = std::min<std::uint64_t>(
        m_limits.maxObjects, std::max(kMinObjectAllowance, multiply(m_limits.objectsPerFileByte, fileBytes)));
    const std::uint64_t textLimit =
        std::max(kMinTextAllowance, multiply(m_limits.textPerFileByte, fileBytes));
    const std::size_t iedName = m_device.m_name->size();
    std::uint64_t objects = 0;
    std::uint64_t text = 0;
    forEachChild(server, "LDevice", [&](pugi::xml_node ld) {
        const std::size_t ldReference = iedName + m_source.name(ld, "inst").size();
        objects = add(objects, 1);
        text = add(text, ldReference);
        for (pugi::xml_node ln = ld.first_child(); ln; ln = ln.next_sibling()) {
            if (!isLogicalNode(ln)) {
                continue;
            }
            const std::size_t lnReference = ldReference + 1 + m_source.name(ln, "prefix").size() +
                                            m_source.name(ln, "lnClass").size() +
                                            m_source.name(ln, "inst").size();
            Expansion below;
            const std::string_view lnType = m_source.name(ln, "lnType");
            LNodeTypeTemplate* type = lnType.empty() ? nullptr : m_templates->lNodeType(lnType);
            if (type != nullptr) {
                below = m_templates->countLNodeType(*type, m_limits.maxDepth, objectLimit);
            }
            if (below.height > m_limits.maxDepth) {
                tooDeep();
            }
            const std::uint64_t nodeObjects = add(1, below.objects);
            objects = add(objects, nodeObjects);
            text = add(text, add(multiply(lnReference, nodeObjects), below.text));
        }
    });
    if (objects > objectLimit && objectLimit == m_limits.maxObjects) {
        tooManyObjects();
    }
    const std::string size = std::to_string(fileBytes);
    if (objects > objectLimit) {
        throw ConfigError(ErrorCode::SclTooManyObjects,
                          {m_source.displayName, std::to_string(objectLimit), size});
    }
    if (text > textLimit) {
        throw ConfigError(ErrorCode::SclTooMuchText,
                          {m_source.displayName, std::to_string(objects), std::to_string(textLimit), size});
    }
}

void SclLoader::tooDeep() const {
    throw ConfigError(ErrorCode::SclTooDeep, {m_source.displayName, std::to_string(m_limits.maxDepth)});
}

void SclLoader::tooManyObjects() const {
    throw ConfigError(ErrorCode::SclModelTooLarge,
                      {m_source.displayName, std::to_string(m_limits.maxObjects)});
}

void SclLoader::decodeLogicalDevice(SclLogicalDevice& ld, pugi::xml_node element, bool DataSetSearch) {
    ld.m_name = pooled(element, "inst");
    auto& nodes = ld.m_listLN;
    if (!DataSetSearch) {
        std::size_t count = 0;
        for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
            if (isLogicalNode(child)) {
                ++count;
            }
        }
        nodes = reserveList<SclLogicalNode>(count);
    }
    std::size_t k = 0;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        if (!isLogicalNode(child)) {
            continue;
        }
        if (!DataSetSearch) {
            SclLogicalNode* ln = create<SclLogicalNode>(ld, k, 0);
            decodeLogicalNode(*ln, child);
            nodes[k] = ln;
        } else if (k < nodes.size()) {
            decodeDataSets(*nodes[k], child);
        }
        ++k;
    }
}

void SclLoader::decodeLogicalNode(SclLogicalNode& ln, pugi::xml_node element) {
    ln.m_lnClass = pooled(element, "lnClass");
    ln.m_lnType = pooled(element, "lnType");
    ln.m_prefix = pooled(element, "prefix");
    ln.m_inst = pooled(element, "inst");
    if (ln.m_lnType->empty()) {
        return;
    }
    LNodeTypeTemplate* type = m_templates->lNodeType(*ln.m_lnType);
    if (type == nullptr) {
        return;
    }
    m_nodeHasValues = static_cast<bool>(firstChildNamed(element, "DOI"));
    ln.m_listDO = reserveList<SclDataObject>(type->dataObjects.size());
    std::size_t count = 0;
    for (ObjectTemplate& dataObject : type->dataObjects) {
        SclDataObject* object = create<SclDataObject>(ln, count, 1);
        decodeDataObject(*object, dataObject, 1);
        ln.m_listDO[count++] = object;
    }
    if (m_nodeHasValues) {
        decodeInstanceValues(ln, element);
        m_enumTypes.clear();
    }
}

void SclLoader::decodeInstanceValues(SclLogicalNode& ln, pugi::xml_node element) {
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element || !hasLocalName(child, "DOI")) {
            continue;
        }
        const std::string_view name = m_source.name(child, "name");
        for (SclDataObject* object : ln.m_listDO) {
            if (object->fName() == name) {
                decodeInstanceValues(*object, child);
                break;
            }
        }
    }
}

template <class Parent> void SclLoader::decodeInstanceValues(Parent& parent, pugi::xml_node element) {
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        const bool sdi = child.type() == pugi::node_element && hasLocalName(child, "SDI");
        // An array element's value (ix) is not kept: the elements share one attribute.
        if ((!sdi && (child.type() != pugi::node_element || !hasLocalName(child, "DAI"))) ||
            child.attribute("ix")) {
            continue;
        }
        const std::string_view name = m_source.name(child, "name");
        if constexpr (std::is_same_v<Parent, SclDataObject>) {
            if (sdi) {
                if (SclDataObject* object = findNamed(parent.m_listDO, name)) {
                    decodeInstanceValues(*object, child);
                    continue;
                }
            }
        }
        SclDataAttribute* attribute = findNamed(parent.m_listDA, name);
        if (attribute == nullptr) {
            continue;
        }
        if (sdi) {
            decodeInstanceValues(*attribute, child);
        } else {
            const auto enumType = m_enumTypes.find(attribute);
            if (const std::string* value = m_templates->initialValue(
                    child, enumType == m_enumTypes.end() ? std::string_view() : enumType->second)) {
                m_device.m_initialValues[attribute] = value;
            }
        }
    }
}

void SclLoader::decodeDataObject(SclDataObject& object, ObjectTemplate& element, std::size_t depth) {
    object.m_name = element.name;
    object.m_arraySize = element.arraySize;
    DoTypeTemplate* type = m_templates->resolve(element);
    if (type == nullptr) {
        return;
    }
    // A sub-data object whose type is already being expanded above would repeat forever: left out.
    type->memo.onPath = true;
    std::span<SclDataObject*> subObjects = reserveList<SclDataObject>(type->subObjects.size());
    std::size_t count = 0;
    for (ObjectTemplate& sub : type->subObjects) {
        const DoTypeTemplate* subType = m_templates->resolve(sub);
        if (subType != nullptr && subType->memo.onPath) {
            continue;
        }
        SclDataObject* child = create<SclDataObject>(object, count, depth + 1);
        decodeDataObject(*child, sub, depth + 1);
        subObjects[count++] = child;
    }
    object.m_listDO = subObjects.first(count);
    object.m_listDA = reserveList<SclDataAttribute>(type->attributes.size());
    count = 0;
    for (AttributeTemplate& attributeElement : type->attributes) {
        SclDataAttribute* child = create<SclDataAttribute>(object, count, depth + 1);
        decodeAttribute(*child, attributeElement, StringPool::empty(), depth + 1);
        object.m_listDA[count++] = child;
    }
    type->memo.onPath = false;
}

void SclLoader::decodeAttribute(SclDataAttribute& attribute, AttributeTemplate& element,
                                const std::string* FC_Father, std::size_t depth) {
    attribute.m_name = element.name;
    attribute.m_arraySize = element.arraySize;
    attribute.m_bType = element.bType;
    attribute.m_fc = element.fc != nullptr ? element.fc : FC_Father;
    if (element.value != nullptr) {
        m_device.m_initialValues[&attribute] = element.value;
    }
    if (m_nodeHasValues && !element.followsType && !element.typeId.empty()) {
        m_enumTypes[&attribute] = element.typeId;
    }
    DaTypeTemplate* type = m_templates->resolve(element);
    if (type == nullptr) {
        return;
    }
    type->memo.onPath = true;
    std::span<SclDataAttribute*> subAttributes = reserveList<SclDataAttribute>(type->attributes.size());
    std::size_t count = 0;
    for (AttributeTemplate& sub : type->attributes) {
        const DaTypeTemplate* subType = m_templates->resolve(sub);
        if (subType != nullptr && subType->memo.onPath) {
            continue;
        }
        SclDataAttribute* child = create<SclDataAttribute>(attribute, count, depth + 1);
        decodeAttribute(*child, sub, attribute.m_fc, depth + 1);
        subAttributes[count++] = child;
    }
    attribute.m_listDA = subAttributes.first(count);
    type->memo.onPath = false;
}

void SclLoader::decodeDataSets(SclLogicalNode& ln, pugi::xml_node element) {
    ln.m_lnClass = pooled(element, "lnClass");
    if (*element.attribute("lnType").value() == '\0') {
        return;
    }
    ln.m_listDataSet = reserveList<SclDataSet>(countChildren(element, "DataSet"));
    std::size_t count = 0;
    forEachChild(element, "DataSet", [&](pugi::xml_node dataSetElement) {
        SclDataSet* dataSet = create<SclDataSet>(ln, count, 0);
        decodeDataSet(*dataSet, dataSetElement);
        ln.m_listDataSet[count++] = dataSet;
    });
    forEachChild(element, "GSEControl", [&](pugi::xml_node control) { decodeGooseControls(ln, control); });
    forEachChild(element, "ReportControl", [&](pugi::xml_node control) { decodeReportControl(ln, control); });
}

void SclLoader::decodeReportControl(const SclLogicalNode& ln, pugi::xml_node element) {
    SclReportControl block;
    block.node = &ln;
    block.name = m_source.name(element, "name");
    if (block.name.empty()) {
        return;
    }
    block.dataSet = m_source.name(element, "datSet");
    block.reportId = m_source.name(element, "rptID");
    const auto number = [&element](const char* attribute, std::uint32_t fallback) {
        const std::optional<double> value = parseFloat(element.attribute(attribute).value(), '.');
        return value && *value >= 0 && *value <= 4294967295.0 ? static_cast<std::uint32_t>(*value) : fallback;
    };
    block.confRev = number("confRev", 0);
    block.bufferTime = number("bufTime", 0);
    block.integrityPeriod = number("intgPd", 0);
    block.buffered = std::string_view(element.attribute("buffered").value()) == "true";
    block.indexed = std::string_view(element.attribute("indexed").value()) != "false";
    const auto bits = [](pugi::xml_node flags, std::initializer_list<std::pair<const char*, int>> names) {
        std::uint64_t set = 0;
        for (const auto& [name, bit] : names) {
            set |= std::string_view(flags.attribute(name).value()) == "true" ? std::uint64_t{1} << bit : 0;
        }
        return set;
    };
    block.triggers = bits(firstChildNamed(element, "TrgOps"),
                          {{"dchg", 1}, {"qchg", 2}, {"dupd", 3}, {"period", 4}, {"gi", 5}});
    block.options = bits(firstChildNamed(element, "OptFields"), {{"seqNum", 1},
                                                                 {"timeStamp", 2},
                                                                 {"reasonCode", 3},
                                                                 {"dataSet", 4},
                                                                 {"dataRef", 5},
                                                                 {"bufOvfl", 6},
                                                                 {"entryID", 7},
                                                                 {"configRef", 8}});
    // Every instance is served: a bound keeps a hostile max from making millions.
    if (const pugi::xml_node enabled = firstChildNamed(element, "RptEnabled")) {
        const std::optional<double> max = parseFloat(enabled.attribute("max").value(), '.');
        block.instances = max && *max >= 1 ? static_cast<std::uint32_t>(std::min(*max, 99.0)) : 1;
    }
    m_device.m_reportControls.push_back(std::move(block));
}

void SclLoader::decodeGooseControls(SclLogicalNode& ln, pugi::xml_node element) {
    const std::string_view name = m_source.name(element, "name");
    const std::string_view dataSetName = m_source.name(element, "datSet");
    if (name.empty() || dataSetName.empty()) {
        return;
    }
    const std::string* key = m_pool.find(dataSetName);
    if (key == nullptr) {
        return;
    }
    // Only this node's data sets; when two blocks name one data set the later one wins.
    const SclDataSet* dataSet = m_dataSetByName.find<SclDataSet>(
        &ln, key,
        [&ln](auto visit) {
            for (const SclDataSet* each : ln.m_listDataSet) {
                if (!visit(*each)) {
                    return false;
                }
            }
            return true;
        },
        [](const SclDataSet& each) { return &each.fName(); });
    if (dataSet != nullptr) {
        ln.m_listDataSet[dataSet->indexInList()]->m_gooseName = m_pool.intern(name);
    }
}

void SclLoader::decodeDataSet(SclDataSet& dataSet, pugi::xml_node element) {
    dataSet.m_name = pooled(element, "name");
    const std::size_t capacity = countChildren(element, "FCDA");
    std::span<const SclDataAttribute*> found = reserveList<const SclDataAttribute>(capacity);
    std::span<const std::string*> references = reserveList<const std::string>(capacity);
    std::span<SclDataSetMember> members;
    if (capacity > 0) {
        void* room =
            m_device.m_arena.allocate(capacity * sizeof(SclDataSetMember), alignof(SclDataSetMember));
        members = {static_cast<SclDataSetMember*>(room), capacity};
    }
    std::size_t count = 0;
    std::size_t foundCount = 0;
    forEachChild(element, "FCDA", [&](pugi::xml_node fcda) {
        SclDataSetMember& member = *::new (&members[count++]) SclDataSetMember(resolveMember(fcda));
        if (member.attribute != nullptr) {
            references[foundCount] = member.elementReference;
            found[foundCount++] = member.attribute;
        }
    });
    dataSet.m_listDA = found.first(foundCount);
    dataSet.m_listReference = references.first(foundCount);
    dataSet.m_members = members.first(count);
}

namespace {

// The next part of a dotted name: "mag.f" gives "mag", then "f".
std::string_view nextPart(std::string_view& path) {
    const std::size_t dot = path.find('.');
    const std::string_view part = path.substr(0, dot);
    path = dot == std::string_view::npos ? std::string_view{} : path.substr(dot + 1);
    return part;
}

template <class T> const T* childNamed(SclList<T> list, std::string_view name) {
    for (const T* each : list) {
        if (each->fName() == name) {
            return each;
        }
    }
    return nullptr;
}

// An array index as SCL writes one, in "ix" or between parentheses: decimal digits only.
std::optional<std::uint32_t> arrayIndex(std::string_view text) {
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// One part of a doName or daName: "phsAHar(7)" names element 7 of the array phsAHar.
struct NamePart {
    std::string_view name;
    std::optional<std::uint32_t> index;
    bool valid = true;
};

NamePart namePart(std::string_view part) {
    NamePart out{part, std::nullopt};
    const std::size_t open = part.find('(');
    if (open == std::string_view::npos) {
        out.valid = part.find(')') == std::string_view::npos;
        return out;
    }
    out.name = part.substr(0, open);
    out.index = part.back() == ')' ? arrayIndex(part.substr(open + 1, part.size() - open - 2)) : std::nullopt;
    out.valid = out.index.has_value();
    return out;
}

bool withinArray(const SclObject& object, std::uint32_t index) {
    return object.arraySize() != 0 &&
           (object.arraySize() == SclObject::kUnknownArraySize || index < object.arraySize());
}

const std::string& nameOf(const SclObject& object) {
    return object.kind() == SclKind::DO ? static_cast<const SclDataObject&>(object).fName()
                                        : static_cast<const SclDataAttribute&>(object).fName();
}

} // namespace

SclDataSetMember SclLoader::resolveMember(pugi::xml_node fcda) {
    SclDataSetMember member;
    std::vector<ArrayElement> elements;
    member.attribute = findMember(fcda, member.wholeObject, elements);
    if (member.attribute != nullptr && !elements.empty()) {
        member.elementReference = m_pool.intern(elementReference(*member.attribute, elements));
    }
    if (member.attribute == nullptr) {
        std::string written(m_source.name(fcda, "ldInst"));
        written += '/';
        written += m_source.name(fcda, "prefix");
        written += m_source.name(fcda, "lnClass");
        written += m_source.name(fcda, "lnInst");
        written += '.';
        written += m_source.name(fcda, "doName");
        if (const std::string_view daName = m_source.name(fcda, "daName"); !daName.empty()) {
            written += '.';
            written += daName;
        }
        if (const std::string_view ix = m_source.name(fcda, "ix"); !ix.empty()) {
            written += " ix ";
            written += ix;
        }
        written += " [";
        written += m_source.name(fcda, "fc");
        written += ']';
        member.written = m_pool.intern(written);
    }
    return member;
}

std::string SclLoader::elementReference(const SclDataAttribute& attribute,
                                        const std::vector<ArrayElement>& elements) {
    std::vector<const SclObject*> chain;
    const SclObject* at = &attribute;
    while (at != nullptr && (at->kind() == SclKind::DA || at->kind() == SclKind::DO)) {
        chain.push_back(at);
        at = at->parent();
    }
    std::string out =
        at != nullptr && at->kind() == SclKind::LN ? static_cast<const SclLogicalNode*>(at)->reference() : "";
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        out += '.';
        out += nameOf(**it);
        for (const ArrayElement& element : elements) {
            if (element.array == *it) {
                out += '(' + std::to_string(element.index) + ')';
            }
        }
    }
    return out;
}

const SclLogicalNode* SclLoader::findMemberNode(const SclLogicalDevice& ld, pugi::xml_node fcda) {
    const std::string_view lnClass = m_source.name(fcda, "lnClass");
    if (lnClass == "LLN0") {
        // There is one LLN0 per logical device; its prefix and instance are empty whatever an FCDA says.
        const std::string* key = m_pool.find(lnClass);
        return key == nullptr ? nullptr
                              : m_firstMatch.find<SclLogicalNode>(
                                    &ld, key,
                                    [&ld](auto visit) {
                                        for (const SclLogicalNode* each : ld.logicalNodes()) {
                                            if (!visit(*each)) {
                                                return false;
                                            }
                                        }
                                        return true;
                                    },
                                    [](const SclLogicalNode& each) { return &each.flnClass(); });
    }
    // Indexed by the whole node name once per logical device; the first node of each name counts.
    auto& nodes = m_nodeByName[&ld];
    if (nodes.empty()) {
        for (const SclLogicalNode* ln : ld.logicalNodes()) {
            nodes.try_emplace(nodeKey(ln->fPrefix(), ln->flnClass(), ln->fInst()), ln);
        }
    }
    const auto found =
        nodes.find(nodeKey(m_source.name(fcda, "prefix"), lnClass, m_source.name(fcda, "lnInst")));
    return found == nodes.end() ? nullptr : found->second;
}

std::string SclLoader::nodeKey(std::string_view prefix, std::string_view lnClass, std::string_view inst) {
    // A separator no name holds, so that "A"+"BCD" and "AB"+"CD" stay apart.
    std::string key(prefix);
    key += '\n';
    key += lnClass;
    key += '\n';
    key += inst;
    return key;
}

const SclDataAttribute* SclLoader::findMember(pugi::xml_node fcda, bool& wholeObject,
                                              std::vector<ArrayElement>& elements) {
    // A text missing from the pool names no object of the model; an empty one names none either.
    auto key = [this](std::string_view text) -> const std::string* {
        return text.empty() ? nullptr : m_pool.find(text);
    };
    // An element of an array is named by an index after the array's name, "phsAHar(7)", or by "ix",
    // which belongs to the first array on the path. Where both are written they must agree.
    const SclObject* firstArray = nullptr;
    const auto step = [&](const SclObject& object, const NamePart& part) {
        if (part.index) {
            if (!withinArray(object, *part.index)) {
                return false;
            }
            elements.push_back({&object, *part.index});
        } else if (firstArray == nullptr && object.arraySize() != 0) {
            firstArray = &object;
        }
        return true;
    };
    const std::string* ldInst = key(m_source.name(fcda, "ldInst"));
    std::string_view doPath = m_source.name(fcda, "doName");
    NamePart part = namePart(nextPart(doPath));
    const std::string* doName = key(part.name);
    if (ldInst == nullptr || doName == nullptr || !part.valid) {
        return nullptr;
    }

    const auto& lDevices = m_device.m_listLDevice;
    const SclLogicalDevice* ld = m_firstMatch.find<SclLogicalDevice>(
        &m_device, ldInst,
        [&lDevices](auto visit) {
            for (const SclLogicalDevice* each : lDevices) {
                if (!visit(*each)) {
                    return false;
                }
            }
            return true;
        },
        [](const SclLogicalDevice& each) { return &each.fName(); });
    if (ld == nullptr) {
        return nullptr;
    }
    const SclLogicalNode* ln = findMemberNode(*ld, fcda);
    if (ln == nullptr) {
        return nullptr;
    }
    // The first part of a path anywhere in the node, as a plain name is found; each further part among
    // the sub-data objects of the one before.
    const SclDataObject* object = m_firstMatch.find<SclDataObject>(
        ln, doName, [ln](auto visit) { return eachDoPreOrder(ln->dataObjects(), visit); },
        [](const SclDataObject& each) { return &each.fName(); });
    for (;;) {
        if (object == nullptr || !step(*object, part)) {
            return nullptr;
        }
        if (doPath.empty()) {
            break;
        }
        part = namePart(nextPart(doPath));
        object = part.valid ? childNamed(object->dataObjects(), part.name) : nullptr;
    }
    const SclDataAttribute* attribute = nullptr;
    std::string_view daPath = m_source.name(fcda, "daName");
    if (daPath.empty()) {
        wholeObject = true;
        attribute = object->firstAttribute();
    } else {
        part = namePart(nextPart(daPath));
        const std::string* daKey = part.valid ? key(part.name) : nullptr;
        if (daKey == nullptr) {
            return nullptr;
        }
        attribute = m_firstMatch.find<SclDataAttribute>(
            object, daKey, [object](auto visit) { return eachDaPreOrder(object->dataAttributes(), visit); },
            [](const SclDataAttribute& each) { return &each.fName(); });
        for (;;) {
            if (attribute == nullptr || !step(*attribute, part)) {
                return nullptr;
            }
            if (daPath.empty()) {
                break;
            }
            part = namePart(nextPart(daPath));
            attribute = part.valid ? childNamed(attribute->dataAttributes(), part.name) : nullptr;
        }
    }
    if (const std::string_view ixText = m_source.name(fcda, "ix"); !ixText.empty()) {
        const std::optional<std::uint32_t> ix = arrayIndex(ixText);
        if (!ix) {
            return nullptr;
        }
        if (!elements.empty()) {
            return elements.front().index == *ix ? attribute : nullptr;
        }
        if (firstArray == nullptr || !withinArray(*firstArray, *ix)) {
            return nullptr;
        }
        elements.push_back({firstArray, *ix});
    }
    return attribute;
}

template <class T> T* SclLoader::create(SclObject& parent, std::size_t index, std::size_t depth) {
    // The expansion was counted before building; these hold however the two ever come to differ.
    if (depth > m_limits.maxDepth) {
        tooDeep();
    }
    if (++m_device.m_objectCount > m_limits.maxObjects) {
        tooManyObjects();
    }
    // Never destroyed one by one: the objects hold nothing that needs releasing, and the arena goes
    // with the device.
    T* object = ::new (m_device.m_arena.allocate(sizeof(T), alignof(T))) T();
    object->m_parent = &parent;
    object->m_index = static_cast<std::uint32_t>(index);
    return object;
}

template <class T> std::span<T*> SclLoader::reserveList(std::size_t capacity) {
    if (capacity == 0) {
        return {};
    }
    void* room = m_device.m_arena.allocate(capacity * sizeof(T*), alignof(T*));
    return {static_cast<T**>(room), capacity};
}

const std::string* SclLoader::pooled(pugi::xml_node element, const char* attribute) {
    return m_pool.intern(m_source.name(element, attribute));
}

} // namespace sw
