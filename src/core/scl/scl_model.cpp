#include "core/scl/scl_model.h"

#include "core/common/path_text.h"
#include "core/internal/scl_loader.h"
#include "core/scl/string_pool.h"

#include <functional>

namespace sw {

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
        out += as<TIEC_Device>(&object).fName();
        break;
    case SclKind::LDevice:
        appendParentReference(object.parent(), out);
        out += as<TIEC_LDevice>(&object).fName();
        break;
    case SclKind::LN: {
        const auto& ln = as<TIEC_LN>(&object);
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
        out += as<TIEC_DO>(&object).fName();
        break;
    case SclKind::DA:
        appendParentReference(object.parent(), out);
        out += '.';
        out += as<TIEC_DA>(&object).fName();
        break;
    case SclKind::DataSet:
        appendParentReference(object.parent(), out);
        out += '.';
        out += as<TIEC_DataSet>(&object).fName();
        break;
    }
}

std::string referenceOf(const SclObject& object) {
    std::string out;
    out.reserve(64);
    appendReference(object, out);
    return out;
}

const TIEC_DA* findDa(SclList<TIEC_DA> list, std::string_view name) {
    for (const TIEC_DA* da : list) {
        if (da->fName() == name) {
            return da;
        }
        if (const TIEC_DA* found = findDa(da->List_DA(), name)) {
            return found;
        }
    }
    return nullptr;
}

const TIEC_DO* findDo(SclList<TIEC_DO> list, std::string_view name) {
    for (const TIEC_DO* object : list) {
        if (object->fName() == name) {
            return object;
        }
        if (const TIEC_DO* found = findDo(object->List_DO(), name)) {
            return found;
        }
    }
    return nullptr;
}

const TIEC_DA* firstLeaf(SclList<TIEC_DA> list) {
    while (!list.empty()) {
        const TIEC_DA& first = *list.front();
        if (first.isLeaf()) {
            return &first;
        }
        list = first.List_DA();
    }
    return nullptr;
}

} // namespace

// --- tree navigation ---

std::size_t SclObject::treeChildCount() const {
    switch (m_kind) {
    case SclKind::Device:
        return as<TIEC_Device>(this).List_LDevice().size();
    case SclKind::LDevice:
        return as<TIEC_LDevice>(this).List_LN().size();
    case SclKind::LN:
        return as<TIEC_LN>(this).List_DO().size() + as<TIEC_LN>(this).List_DataSet().size();
    case SclKind::DO:
        return as<TIEC_DO>(this).List_DO().size() + as<TIEC_DO>(this).List_DA().size();
    case SclKind::DA:
        return as<TIEC_DA>(this).List_DA().size();
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
        return as<TIEC_Device>(this).List_LDevice()[row];
    case SclKind::LDevice:
        return as<TIEC_LDevice>(this).List_LN()[row];
    case SclKind::LN: {
        const auto& ln = as<TIEC_LN>(this);
        if (row < ln.List_DO().size()) {
            return ln.List_DO()[row];
        }
        return ln.List_DataSet()[row - ln.List_DO().size()];
    }
    case SclKind::DO: {
        const auto& object = as<TIEC_DO>(this);
        if (row < object.List_DO().size()) {
            return object.List_DO()[row];
        }
        return object.List_DA()[row - object.List_DO().size()];
    }
    case SclKind::DA:
        return as<TIEC_DA>(this).List_DA()[row];
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
        return as<TIEC_LN>(m_parent).List_DO().size() + m_index;
    }
    if (m_kind == SclKind::DA && m_parent->kind() == SclKind::DO) {
        return as<TIEC_DO>(m_parent).List_DO().size() + m_index;
    }
    return m_index;
}

// --- TIEC_DA ---

TIEC_DA::TIEC_DA()
    : SclObject(SclKind::DA), m_name(StringPool::empty()), m_fc(StringPool::empty()),
      m_bType(StringPool::empty()) {}

std::string TIEC_DA::fReference() const {
    return referenceOf(*this);
}

const TIEC_DA* TIEC_DA::Find_DA(std::string_view DA_Name) const {
    return findDa(List_DA(), DA_Name);
}

const TIEC_DA* TIEC_DA::Find_First_DA() const {
    return firstLeaf(List_DA());
}

// --- TIEC_DO ---

TIEC_DO::TIEC_DO() : SclObject(SclKind::DO), m_name(StringPool::empty()) {}

std::string TIEC_DO::reference() const {
    return referenceOf(*this);
}

const TIEC_DO* TIEC_DO::Find_DO(std::string_view DO_Name) const {
    return findDo(List_DO(), DO_Name);
}

const TIEC_DA* TIEC_DO::Find_DA(std::string_view DA_Name) const {
    return findDa(List_DA(), DA_Name);
}

const TIEC_DA* TIEC_DO::Find_First_DA() const {
    return firstLeaf(List_DA());
}

// --- TIEC_DataSet ---

TIEC_DataSet::TIEC_DataSet()
    : SclObject(SclKind::DataSet), m_name(StringPool::empty()), m_gooseName(StringPool::empty()) {}

std::string TIEC_DataSet::fReference() const {
    return referenceOf(*this);
}

std::string TIEC_DataSet::classOnlyReference() const {
    std::string out;
    if (const SclObject* ln = parent()) {
        appendParentReference(ln->parent(), out);
        out += '/';
        out += as<TIEC_LN>(ln).flnClass();
    }
    out += '.';
    out += fName();
    return out;
}

std::size_t TIEC_DataSet::firstUnresolvedMember() const {
    for (std::size_t k = 0; k < m_members.size(); ++k) {
        if (m_members[k].attribute == nullptr) {
            return k + 1;
        }
    }
    return 0;
}

// --- TIEC_LN ---

TIEC_LN::TIEC_LN()
    : SclObject(SclKind::LN), m_lnClass(StringPool::empty()), m_lnType(StringPool::empty()),
      m_prefix(StringPool::empty()), m_inst(StringPool::empty()) {}

std::string TIEC_LN::reference() const {
    return referenceOf(*this);
}

const TIEC_DO* TIEC_LN::Find_DO(std::string_view DO_Name) const {
    return findDo(List_DO(), DO_Name);
}

// --- TIEC_LDevice ---

TIEC_LDevice::TIEC_LDevice() : SclObject(SclKind::LDevice), m_name(StringPool::empty()) {}

std::string TIEC_LDevice::reference() const {
    return referenceOf(*this);
}

const TIEC_LN* TIEC_LDevice::Find_LN(std::string_view LN_Class) const {
    for (const TIEC_LN* ln : m_listLN) {
        if (ln->flnClass() == LN_Class) {
            return ln;
        }
    }
    return nullptr;
}

const TIEC_LN* TIEC_LDevice::findNode(std::string_view prefix, std::string_view lnClass,
                                      std::string_view inst) const {
    for (const TIEC_LN* ln : m_listLN) {
        if (ln->flnClass() == lnClass && ln->fPrefix() == prefix && ln->fInst() == inst) {
            return ln;
        }
    }
    return nullptr;
}

// --- TIEC_Device ---

TIEC_Device::TIEC_Device(const std::filesystem::path& FileName_icd, const SclLoadLimits& limits)
    : SclObject(SclKind::Device), m_pool(std::make_unique<StringPool>()),
      m_fileName(utf8Of(FileName_icd.filename())), m_name(StringPool::empty()) {
    SclLoader(*this, limits).Decode_Device(FileName_icd);
}

TIEC_Device::TIEC_Device(std::string_view bytes, const std::string& fileName, const SclLoadLimits& limits)
    : SclObject(SclKind::Device), m_pool(std::make_unique<StringPool>()),
      m_fileName(utf8Of(pathFromUtf8(fileName).filename())), m_name(StringPool::empty()) {
    SclLoader(*this, limits).Decode_Buffer(bytes, fileName);
}

TIEC_Device::TIEC_Device(Unloaded, const std::string& fileName)
    : SclObject(SclKind::Device), m_pool(std::make_unique<StringPool>()),
      m_fileName(utf8Of(pathFromUtf8(fileName).filename())), m_name(StringPool::empty()) {}

// The objects and lists live in the arena and hold nothing else: releasing the arena is all it takes.
TIEC_Device::~TIEC_Device() = default;

namespace {

std::vector<std::unique_ptr<TIEC_Device>> buildIeds(const SclDocument& document,
                                                    const std::vector<std::string>& iedNames,
                                                    const std::function<std::unique_ptr<TIEC_Device>()>& make,
                                                    const SclLoadLimits& limits) {
    std::vector<std::unique_ptr<TIEC_Device>> devices;
    devices.reserve(iedNames.size());
    for (const std::string& name : iedNames) {
        const pugi::xml_node ied = document.missing ? pugi::xml_node() : document.ied(name);
        if (!ied && !name.empty()) {
            devices.emplace_back();
            continue;
        }
        std::unique_ptr<TIEC_Device> device = make();
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
    for (pugi::xml_node ied : document.ieds()) {
        SclIedSummary& summary = list.emplace_back();
        summary.name = document.source.name(ied, "name");
        summary.desc = document.source.name(ied, "desc");
        summary.manufacturer = document.source.name(ied, "manufacturer");
        summary.type = document.source.name(ied, "type");
        for (const SclAddress& address : document.addresses(summary.name)) {
            if (!address.ip.empty()) {
                summary.ipAddress = address.ip;
                break;
            }
        }
    }
    return list;
}

} // namespace

std::vector<std::unique_ptr<TIEC_Device>> TIEC_Device::loadIeds(const std::filesystem::path& file,
                                                                const std::vector<std::string>& iedNames,
                                                                const SclLoadLimits& limits) {
    SclDocument document;
    document.parseFile(file);
    const std::string name = utf8Of(file.filename());
    return buildIeds(
        document, iedNames,
        [&name] { return std::unique_ptr<TIEC_Device>(new TIEC_Device(Unloaded{}, name)); }, limits);
}

std::vector<std::unique_ptr<TIEC_Device>> TIEC_Device::loadIeds(std::string_view bytes,
                                                                const std::string& fileName,
                                                                const std::vector<std::string>& iedNames,
                                                                const SclLoadLimits& limits) {
    SclDocument document;
    document.parseBuffer(bytes, fileName);
    return buildIeds(
        document, iedNames,
        [&fileName] { return std::unique_ptr<TIEC_Device>(new TIEC_Device(Unloaded{}, fileName)); }, limits);
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

const TIEC_LDevice* TIEC_Device::Find_LDevice(std::string_view LD_Name) const {
    for (const TIEC_LDevice* ld : m_listLDevice) {
        if (ld->fName() == LD_Name) {
            return ld;
        }
    }
    return nullptr;
}

} // namespace sw
