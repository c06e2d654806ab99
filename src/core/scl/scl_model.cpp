#include "core/scl/scl_model.h"

#include "core/common/path_text.h"
#include "core/scl/scl_loader.h"
#include "core/scl/string_pool.h"

#include <functional>
#include <string_view>
#include <unordered_map>

namespace sw {

// A big ICD expands into millions of objects: the array size lives in what the other fields leave over.
static_assert(sizeof(void*) != 8 || sizeof(SclObject) == 16);

namespace {

template <class T> const T& as(const SclObject* object) {
    return *static_cast<const T*>(object);
}

void appendReference(const SclObject& object, std::string& out);

// An object built outside a device has no parent; its reference starts at itself.
void appendParentReference(const SclObject* parent, std::string& out) {
    if (parent != nullptr) {
        appendReference(*parent, out);
    }
}

void appendReference(const SclObject& object, std::string& out) {
    switch (object.kind()) {
    case SclKind::Device:
        out += as<SclIed>(&object).fName();
        break;
    case SclKind::LDevice:
        appendParentReference(object.parent(), out);
        out += as<SclLogicalDevice>(&object).fName();
        break;
    case SclKind::LN: {
        const auto& ln = as<SclLogicalNode>(&object);
        appendParentReference(object.parent(), out);
        out += '/';
        out += ln.fPrefix();
        out += ln.flnClass();
        out += ln.fInst();
        break;
    }
    case SclKind::DO:
        appendParentReference(object.parent(), out);
        out += '.';
        out += as<SclDataObject>(&object).fName();
        break;
    case SclKind::DA:
        appendParentReference(object.parent(), out);
        out += '.';
        out += as<SclDataAttribute>(&object).fName();
        break;
    case SclKind::DataSet:
        appendParentReference(object.parent(), out);
        out += '.';
        out += as<SclDataSet>(&object).fName();
        break;
    }
}

std::string referenceOf(const SclObject& object) {
    std::string out;
    out.reserve(64);
    appendReference(object, out);
    return out;
}

const SclDataAttribute* findDa(SclList<SclDataAttribute> list, std::string_view name) {
    for (const SclDataAttribute* da : list) {
        if (da->fName() == name) {
            return da;
        }
        if (const SclDataAttribute* found = findDa(da->dataAttributes(), name)) {
            return found;
        }
    }
    return nullptr;
}

const SclDataObject* findDo(SclList<SclDataObject> list, std::string_view name) {
    for (const SclDataObject* object : list) {
        if (object->fName() == name) {
            return object;
        }
        if (const SclDataObject* found = findDo(object->dataObjects(), name)) {
            return found;
        }
    }
    return nullptr;
}

const SclDataAttribute* firstLeaf(SclList<SclDataAttribute> list) {
    while (!list.empty()) {
        const SclDataAttribute& first = *list.front();
        if (first.isLeaf()) {
            return &first;
        }
        list = first.dataAttributes();
    }
    return nullptr;
}

} // namespace

// --- tree navigation ---

std::size_t SclObject::treeChildCount() const {
    switch (m_kind) {
    case SclKind::Device:
        return as<SclIed>(this).logicalDevices().size();
    case SclKind::LDevice:
        return as<SclLogicalDevice>(this).logicalNodes().size();
    case SclKind::LN:
        return as<SclLogicalNode>(this).dataObjects().size() + as<SclLogicalNode>(this).dataSets().size();
    case SclKind::DO:
        return as<SclDataObject>(this).dataObjects().size() + as<SclDataObject>(this).dataAttributes().size();
    case SclKind::DA:
        return as<SclDataAttribute>(this).dataAttributes().size();
    case SclKind::DataSet:
        return 0;
    }
    return 0;
}

const SclObject* SclObject::treeChild(std::size_t row) const {
    if (row >= treeChildCount()) {
        return nullptr;
    }
    switch (m_kind) {
    case SclKind::Device:
        return as<SclIed>(this).logicalDevices()[row];
    case SclKind::LDevice:
        return as<SclLogicalDevice>(this).logicalNodes()[row];
    case SclKind::LN: {
        const auto& ln = as<SclLogicalNode>(this);
        if (row < ln.dataObjects().size()) {
            return ln.dataObjects()[row];
        }
        return ln.dataSets()[row - ln.dataObjects().size()];
    }
    case SclKind::DO: {
        const auto& object = as<SclDataObject>(this);
        if (row < object.dataObjects().size()) {
            return object.dataObjects()[row];
        }
        return object.dataAttributes()[row - object.dataObjects().size()];
    }
    case SclKind::DA:
        return as<SclDataAttribute>(this).dataAttributes()[row];
    case SclKind::DataSet:
        break;
    }
    return nullptr;
}

std::size_t SclObject::treeRow() const {
    if (m_parent == nullptr) {
        return 0;
    }
    if (m_kind == SclKind::DataSet) {
        return as<SclLogicalNode>(m_parent).dataObjects().size() + m_index;
    }
    if (m_kind == SclKind::DA && m_parent->kind() == SclKind::DO) {
        return as<SclDataObject>(m_parent).dataObjects().size() + m_index;
    }
    return m_index;
}

// --- SclDataAttribute ---

SclDataAttribute::SclDataAttribute()
    : SclObject(SclKind::DA), m_name(StringPool::empty()), m_fc(StringPool::empty()),
      m_bType(StringPool::empty()) {}

std::string SclDataAttribute::fReference() const {
    return referenceOf(*this);
}

const SclDataAttribute* SclDataAttribute::findAttribute(std::string_view DA_Name) const {
    return findDa(dataAttributes(), DA_Name);
}

const SclDataAttribute* SclDataAttribute::firstAttribute() const {
    return firstLeaf(dataAttributes());
}

// --- SclDataObject ---

SclDataObject::SclDataObject() : SclObject(SclKind::DO), m_name(StringPool::empty()) {}

std::string SclDataObject::reference() const {
    return referenceOf(*this);
}

const SclDataObject* SclDataObject::findDataObject(std::string_view DO_Name) const {
    return findDo(dataObjects(), DO_Name);
}

const SclDataAttribute* SclDataObject::findAttribute(std::string_view DA_Name) const {
    return findDa(dataAttributes(), DA_Name);
}

const SclDataAttribute* SclDataObject::firstAttribute() const {
    return firstLeaf(dataAttributes());
}

// --- SclDataSet ---

SclDataSet::SclDataSet()
    : SclObject(SclKind::DataSet), m_name(StringPool::empty()), m_gooseName(StringPool::empty()) {}

std::string SclDataSet::fReference() const {
    return referenceOf(*this);
}

std::string SclDataSet::classOnlyReference() const {
    std::string out;
    if (const SclObject* ln = parent()) {
        appendParentReference(ln->parent(), out);
        out += '/';
        out += as<SclLogicalNode>(ln).flnClass();
    }
    out += '.';
    out += fName();
    return out;
}

std::string SclDataSet::memberReference(std::size_t found) const {
    const std::string* element = found < m_listReference.size() ? m_listReference[found] : nullptr;
    return element != nullptr ? *element : m_listDA[found]->fReference();
}

std::string SclDataSetMember::fReference() const {
    if (elementReference != nullptr) {
        return *elementReference;
    }
    return attribute != nullptr ? attribute->fReference() : std::string();
}

std::size_t SclDataSet::firstUnresolvedMember() const {
    for (std::size_t k = 0; k < m_members.size(); ++k) {
        if (m_members[k].attribute == nullptr) {
            return k + 1;
        }
    }
    return 0;
}

// --- SclLogicalNode ---

SclLogicalNode::SclLogicalNode()
    : SclObject(SclKind::LN), m_lnClass(StringPool::empty()), m_lnType(StringPool::empty()),
      m_prefix(StringPool::empty()), m_inst(StringPool::empty()) {}

std::string SclLogicalNode::reference() const {
    return referenceOf(*this);
}

const SclDataObject* SclLogicalNode::findDataObject(std::string_view DO_Name) const {
    return findDo(dataObjects(), DO_Name);
}

// --- SclLogicalDevice ---

SclLogicalDevice::SclLogicalDevice() : SclObject(SclKind::LDevice), m_name(StringPool::empty()) {}

std::string SclLogicalDevice::reference() const {
    return referenceOf(*this);
}

const SclLogicalNode* SclLogicalDevice::findLogicalNode(std::string_view LN_Class) const {
    for (const SclLogicalNode* ln : m_listLN) {
        if (ln->flnClass() == LN_Class) {
            return ln;
        }
    }
    return nullptr;
}

const SclLogicalNode* SclLogicalDevice::findNode(std::string_view prefix, std::string_view lnClass,
                                                 std::string_view inst) const {
    for (const SclLogicalNode* ln : m_listLN) {
        if (ln->flnClass() == lnClass && ln->fPrefix() == prefix && ln->fInst() == inst) {
            return ln;
        }
    }
    return nullptr;
}

// --- SclIed ---

SclIed::SclIed(const std::filesystem::path& FileName_icd, const SclLoadLimits& limits)
    : SclObject(SclKind::Device), m_pool(std::make_unique<StringPool>()),
      m_fileName(utf8Of(FileName_icd.filename())), m_name(StringPool::empty()) {
    SclLoader(*this, limits).decodeDevice(FileName_icd);
}

SclIed::SclIed(std::string_view bytes, const std::string& fileName, const SclLoadLimits& limits)
    : SclObject(SclKind::Device), m_pool(std::make_unique<StringPool>()),
      m_fileName(utf8Of(pathFromUtf8(fileName).filename())), m_name(StringPool::empty()) {
    SclLoader(*this, limits).decodeBuffer(bytes, fileName);
}

SclIed::SclIed(Unloaded, const std::string& fileName)
    : SclObject(SclKind::Device), m_pool(std::make_unique<StringPool>()),
      m_fileName(utf8Of(pathFromUtf8(fileName).filename())), m_name(StringPool::empty()) {}

// The objects and lists live in the arena and hold nothing else: releasing the arena is all it takes.
SclIed::~SclIed() = default;

namespace {

std::vector<std::unique_ptr<SclIed>> buildIeds(const SclDocument& document,
                                               const std::vector<std::string>& iedNames,
                                               const std::function<std::unique_ptr<SclIed>()>& make,
                                               const SclLoadLimits& limits) {
    std::vector<std::unique_ptr<SclIed>> devices;
    devices.reserve(iedNames.size());
    for (const std::string& name : iedNames) {
        const pugi::xml_node ied = document.missing ? pugi::xml_node() : document.ied(name);
        if (!ied && !name.empty()) {
            devices.emplace_back();
            continue;
        }
        std::unique_ptr<SclIed> device = make();
        if (!document.missing) {
            SclLoader(*device, limits).decodeIed(document, ied);
        }
        devices.push_back(std::move(device));
    }
    return devices;
}

std::vector<SclIedSummary> summaries(const SclDocument& document) {
    std::vector<SclIedSummary> list;
    if (document.missing) {
        return list;
    }
    std::unordered_map<std::string_view, std::size_t> sameName;
    for (pugi::xml_node ied : document.ieds()) {
        SclIedSummary& summary = list.emplace_back();
        summary.name = document.source.name(ied, "name");
        summary.desc = document.source.name(ied, "desc");
        summary.manufacturer = document.source.name(ied, "manufacturer");
        summary.type = document.source.name(ied, "type");
        summary.sameNamePosition = ++sameName[document.source.name(ied, "name")];
        for (const SclAddress& address : document.addressesOf(ied)) {
            if (!address.ip.empty()) {
                summary.ipAddress = address.ip;
                break;
            }
        }
    }
    for (SclIedSummary& summary : list) {
        summary.sameNameCount = sameName[summary.name];
    }
    return list;
}

} // namespace

std::vector<std::unique_ptr<SclIed>> SclIed::loadIeds(const std::filesystem::path& file,
                                                      const std::vector<std::string>& iedNames,
                                                      const SclLoadLimits& limits) {
    SclDocument document;
    document.parseFile(file);
    const std::string name = utf8Of(file.filename());
    return buildIeds(
        document, iedNames, [&name] { return std::unique_ptr<SclIed>(new SclIed(Unloaded{}, name)); },
        limits);
}

std::vector<std::unique_ptr<SclIed>> SclIed::loadIeds(std::string_view bytes, const std::string& fileName,
                                                      const std::vector<std::string>& iedNames,
                                                      const SclLoadLimits& limits) {
    SclDocument document;
    document.parseBuffer(bytes, fileName);
    return buildIeds(
        document, iedNames, [&fileName] { return std::unique_ptr<SclIed>(new SclIed(Unloaded{}, fileName)); },
        limits);
}

std::unique_ptr<SclIed> SclIed::loadIedAt(const std::filesystem::path& file, const std::string& name,
                                          std::size_t position, std::size_t& sameNameCount,
                                          const SclLoadLimits& limits) {
    SclDocument document;
    document.parseFile(file);
    sameNameCount = 0;
    if (document.missing) {
        return nullptr;
    }
    for (pugi::xml_node ied : document.ieds()) {
        if (document.source.name(ied, "name") == name) {
            ++sameNameCount;
        }
    }
    const pugi::xml_node ied = document.ied(name, position);
    if (!ied || name.empty()) {
        return nullptr;
    }
    std::unique_ptr<SclIed> device(new SclIed(Unloaded{}, utf8Of(file.filename())));
    SclLoader(*device, limits).decodeIed(document, ied);
    return device;
}

std::vector<SclIedSummary> listIeds(const std::filesystem::path& file) {
    SclDocument document;
    document.parseFile(file);
    return summaries(document);
}

std::vector<SclIedSummary> listIeds(std::string_view bytes, const std::string& fileName) {
    SclDocument document;
    document.parseBuffer(bytes, fileName);
    return summaries(document);
}

const std::string* SclIed::initialValue(const SclDataAttribute& attribute) const {
    const auto found = m_initialValues.find(&attribute);
    return found == m_initialValues.end() ? nullptr : found->second;
}

const SclLogicalDevice* SclIed::findLogicalDevice(std::string_view LD_Name) const {
    for (const SclLogicalDevice* ld : m_listLDevice) {
        if (ld->fName() == LD_Name) {
            return ld;
        }
    }
    return nullptr;
}

} // namespace sw
