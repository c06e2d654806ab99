#include "core/internal/scl_loader.h"
#include "core/common/atomic_file.h"

#include "core/common/config_error.h"
#include "core/internal/xml.h"
#include "core/scl/string_pool.h"

#include <system_error>

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

bool isLogicalNode(pugi::xml_node node) {
    return node.type() == pugi::node_element && (hasLocalName(node, "LN0") || hasLocalName(node, "LN"));
}

template <class Visit> bool eachDoPreOrder(const std::vector<std::unique_ptr<TIEC_DO>>& list, Visit& visit) {
    for (const auto& object : list) {
        if (!visit(*object) || !eachDoPreOrder(object->List_DO(), visit)) {
            return false;
        }
    }
    return true;
}

template <class Visit> bool eachDaPreOrder(const std::vector<std::unique_ptr<TIEC_DA>>& list, Visit& visit) {
    for (const auto& attribute : list) {
        if (!visit(*attribute) || !eachDaPreOrder(attribute->List_DA(), visit)) {
            return false;
        }
    }
    return true;
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

SclLoader::SclLoader(TIEC_Device& device, const SclLoadLimits& limits)
    : m_device(device), m_pool(*device.m_pool), m_limits(limits) {}

SclLoader::~SclLoader() = default;

void SclLoader::Decode_Device(const std::filesystem::path& file) {
    m_displayName = file.string();
    std::error_code error;
    if (!std::filesystem::exists(file, error) && !error) {
        return;
    }
    pugi::xml_document document;
    xml::loadFileFast(document, file, limits::kSclFile);
    decodeDocument(document);
}

void SclLoader::Decode_Buffer(std::string_view bytes, const std::string& displayName) {
    m_displayName = displayName;
    pugi::xml_document document;
    xml::loadBuffer(document, bytes, displayName);
    decodeDocument(document);
}

void SclLoader::decodeDocument(const pugi::xml_document& document) {
    const pugi::xml_node scl = firstChildNamed(document, "SCL");
    const pugi::xml_node ied = firstChildNamed(scl, "IED");
    const pugi::xml_node templates = firstChildNamed(scl, "DataTypeTemplates");
    if (!ied || !templates) {
        return;
    }
    m_device.m_name = pooled(ied, "name");
    const pugi::xml_node server = firstChildNamed(firstChildNamed(ied, "AccessPoint"), "Server");
    if (!server) {
        return;
    }
    m_templates = std::make_unique<TemplateIndex>(templates, m_pool);

    auto& lDevices = m_device.m_listLDevice;
    forEachChild(server, "LDevice", [&](pugi::xml_node element) {
        auto ld = create<TIEC_LDevice>(m_device, lDevices.size(), 0);
        Decode_LDevice(*ld, element, false);
        lDevices.push_back(std::move(ld));
    });
    std::size_t k = 0;
    forEachChild(server, "LDevice", [&](pugi::xml_node element) {
        if (k < lDevices.size()) {
            Decode_LDevice(*lDevices[k], element, true);
        }
        ++k;
    });
}

void SclLoader::Decode_LDevice(TIEC_LDevice& ld, pugi::xml_node element, bool DataSetSearch) {
    ld.m_name = pooled(element, "inst");
    auto& nodes = ld.m_listLN;
    std::size_t k = 0;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        if (!isLogicalNode(child)) {
            continue;
        }
        if (!DataSetSearch) {
            auto ln = create<TIEC_LN>(ld, nodes.size(), 0);
            Decode_LN(*ln, child);
            nodes.push_back(std::move(ln));
        } else if (k < nodes.size()) {
            Decode_LN_DataSet(*nodes[k], child);
        }
        ++k;
    }
}

void SclLoader::Decode_LN(TIEC_LN& ln, pugi::xml_node element) {
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
    ln.m_listDO.reserve(type->dataObjects.size());
    for (ObjectTemplate& dataObject : type->dataObjects) {
        auto object = create<TIEC_DO>(ln, ln.m_listDO.size(), 1);
        Decode_DO(*object, dataObject, 1);
        ln.m_listDO.push_back(std::move(object));
    }
}

void SclLoader::Decode_DO(TIEC_DO& object, ObjectTemplate& element, std::size_t depth) {
    object.m_name = element.name;
    DoTypeTemplate* type = m_templates->resolve(element);
    if (type == nullptr) {
        return;
    }
    // A sub-data object whose type is already being expanded above would repeat forever: left out.
    type->onPath = true;
    object.m_listDO.reserve(type->subObjects.size());
    for (ObjectTemplate& sub : type->subObjects) {
        const DoTypeTemplate* subType = m_templates->resolve(sub);
        if (subType != nullptr && subType->onPath) {
            continue;
        }
        auto child = create<TIEC_DO>(object, object.m_listDO.size(), depth + 1);
        Decode_DO(*child, sub, depth + 1);
        object.m_listDO.push_back(std::move(child));
    }
    object.m_listDA.reserve(type->attributes.size());
    for (AttributeTemplate& attributeElement : type->attributes) {
        auto child = create<TIEC_DA>(object, object.m_listDA.size(), depth + 1);
        Decode_DA(*child, attributeElement, StringPool::empty(), depth + 1);
        object.m_listDA.push_back(std::move(child));
    }
    type->onPath = false;
}

void SclLoader::Decode_DA(TIEC_DA& attribute, AttributeTemplate& element, const std::string* FC_Father,
                          std::size_t depth) {
    attribute.m_name = element.name;
    attribute.m_bType = element.bType;
    attribute.m_fc = element.fc != nullptr ? element.fc : FC_Father;
    DaTypeTemplate* type = m_templates->resolve(element);
    if (type == nullptr) {
        return;
    }
    type->onPath = true;
    attribute.m_listDA.reserve(type->attributes.size());
    for (AttributeTemplate& sub : type->attributes) {
        const DaTypeTemplate* subType = m_templates->resolve(sub);
        if (subType != nullptr && subType->onPath) {
            continue;
        }
        auto child = create<TIEC_DA>(attribute, attribute.m_listDA.size(), depth + 1);
        Decode_DA(*child, sub, attribute.m_fc, depth + 1);
        attribute.m_listDA.push_back(std::move(child));
    }
    type->onPath = false;
}

void SclLoader::Decode_LN_DataSet(TIEC_LN& ln, pugi::xml_node element) {
    ln.m_lnClass = pooled(element, "lnClass");
    if (*element.attribute("lnType").value() == '\0') {
        return;
    }
    forEachChild(element, "DataSet", [&](pugi::xml_node dataSetElement) {
        auto dataSet = create<TIEC_DataSet>(ln, ln.m_listDataSet.size(), 0);
        Decode_DataSet(*dataSet, dataSetElement);
        ln.m_listDataSet.push_back(std::move(dataSet));
    });
    forEachChild(element, "GSEControl", [&](pugi::xml_node control) { Decode_LN_Goose(ln, control); });
}

void SclLoader::Decode_LN_Goose(TIEC_LN& ln, pugi::xml_node element) {
    const std::string_view name = element.attribute("name").value();
    const std::string_view dataSetName = element.attribute("datSet").value();
    if (name.empty() || dataSetName.empty()) {
        return;
    }
    const std::string* key = m_pool.find(dataSetName);
    if (key == nullptr) {
        return;
    }
    // Only this node's data sets; when two blocks name one data set the later one wins.
    const TIEC_DataSet* dataSet = m_dataSetByName.find<TIEC_DataSet>(
        &ln, key,
        [&ln](auto visit) {
            for (const auto& each : ln.m_listDataSet) {
                if (!visit(*each)) {
                    return false;
                }
            }
            return true;
        },
        [](const TIEC_DataSet& each) { return &each.fName(); });
    if (dataSet != nullptr) {
        ln.m_listDataSet[dataSet->indexInList()]->m_gooseName = m_pool.intern(name);
    }
}

void SclLoader::Decode_DataSet(TIEC_DataSet& dataSet, pugi::xml_node element) {
    dataSet.m_name = pooled(element, "name");
    forEachChild(element, "FCDA", [&](pugi::xml_node fcda) {
        if (const TIEC_DA* member = resolveMember(fcda)) {
            dataSet.m_listDA.push_back(member);
        }
    });
}

const TIEC_DA* SclLoader::resolveMember(pugi::xml_node fcda) {
    // A text missing from the pool names no object of the model; an empty one names none either.
    auto key = [this, fcda](const char* attribute) -> const std::string* {
        const char* text = fcda.attribute(attribute).value();
        return *text == '\0' ? nullptr : m_pool.find(text);
    };
    const std::string* ldInst = key("ldInst");
    const std::string* lnClass = key("lnClass");
    const std::string* doName = key("doName");
    if (ldInst == nullptr || lnClass == nullptr || doName == nullptr) {
        return nullptr;
    }

    const auto& lDevices = m_device.m_listLDevice;
    const TIEC_LDevice* ld = m_firstMatch.find<TIEC_LDevice>(
        &m_device, ldInst,
        [&lDevices](auto visit) {
            for (const auto& each : lDevices) {
                if (!visit(*each)) {
                    return false;
                }
            }
            return true;
        },
        [](const TIEC_LDevice& each) { return &each.fName(); });
    if (ld == nullptr) {
        return nullptr;
    }
    const TIEC_LN* ln = m_firstMatch.find<TIEC_LN>(
        ld, lnClass,
        [ld](auto visit) {
            for (const auto& each : ld->List_LN()) {
                if (!visit(*each)) {
                    return false;
                }
            }
            return true;
        },
        [](const TIEC_LN& each) { return &each.flnClass(); });
    if (ln == nullptr) {
        return nullptr;
    }
    const TIEC_DO* object = m_firstMatch.find<TIEC_DO>(
        ln, doName, [ln](auto visit) { return eachDoPreOrder(ln->List_DO(), visit); },
        [](const TIEC_DO& each) { return &each.fName(); });
    if (object == nullptr) {
        return nullptr;
    }
    const char* daName = fcda.attribute("daName").value();
    if (*daName == '\0') {
        return object->Find_First_DA();
    }
    const std::string* daKey = m_pool.find(daName);
    if (daKey == nullptr) {
        return nullptr;
    }
    return m_firstMatch.find<TIEC_DA>(
        object, daKey, [object](auto visit) { return eachDaPreOrder(object->List_DA(), visit); },
        [](const TIEC_DA& each) { return &each.fName(); });
}

template <class T>
std::unique_ptr<T> SclLoader::create(SclObject& parent, std::size_t index, std::size_t depth) {
    if (depth > m_limits.maxDepth) {
        throw ConfigError("The file \"" + m_displayName + "\" nests its data types deeper than " +
                          std::to_string(m_limits.maxDepth) + " levels.");
    }
    if (++m_device.m_objectCount > m_limits.maxObjects) {
        throw ConfigError("The file \"" + m_displayName + "\" expands into more than " +
                          std::to_string(m_limits.maxObjects) + " model objects.");
    }
    auto object = std::make_unique<T>();
    object->m_parent = &parent;
    object->m_index = static_cast<std::uint32_t>(index);
    return object;
}

const std::string* SclLoader::pooled(pugi::xml_node element, const char* attribute) {
    return m_pool.intern(element.attribute(attribute).value());
}

} // namespace sw
