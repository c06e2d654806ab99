#include "core/access/device_references.h"

#include "core/scl/scl_model.h"

#include <string>
#include <unordered_map>
#include <unordered_set>

namespace sw::access {

struct DeviceReferences::Index {
    std::unordered_set<std::string> attributes;
    std::unordered_map<std::string, const SclDataSet*> dataSets; // first of each reference
};

DeviceReferences::DeviceReferences(const SclIed& device) : m_device(&device) {}
DeviceReferences::~DeviceReferences() = default;
DeviceReferences::DeviceReferences(DeviceReferences&&) noexcept = default;
DeviceReferences& DeviceReferences::operator=(DeviceReferences&&) noexcept = default;

namespace {

void gatherAttributes(SclList<SclDataAttribute> list, std::unordered_set<std::string>& out) {
    for (const SclDataAttribute* da : list) {
        out.insert(da->fReference());
        gatherAttributes(da->dataAttributes(), out);
    }
}

void gatherObjects(SclList<SclDataObject> list, std::unordered_set<std::string>& out) {
    for (const SclDataObject* object : list) {
        gatherAttributes(object->dataAttributes(), out);
        gatherObjects(object->dataObjects(), out);
    }
}

} // namespace

const DeviceReferences::Index& DeviceReferences::index() const {
    if (!m_index) {
        m_index = std::make_unique<Index>();
        for (const SclLogicalDevice* ld : m_device->logicalDevices()) {
            for (const SclLogicalNode* ln : ld->logicalNodes()) {
                gatherObjects(ln->dataObjects(), m_index->attributes);
                for (const SclDataSet* dataSet : ln->dataSets()) {
                    m_index->dataSets.try_emplace(dataSet->fReference(), dataSet);
                }
            }
        }
        // Older access files name a data set by its node's class alone; such a name still finds it when
        // no data set has it as its own.
        for (const SclLogicalDevice* ld : m_device->logicalDevices()) {
            for (const SclLogicalNode* ln : ld->logicalNodes()) {
                for (const SclDataSet* dataSet : ln->dataSets()) {
                    m_index->dataSets.try_emplace(dataSet->classOnlyReference(), dataSet);
                }
            }
        }
    }
    return *m_index;
}

bool DeviceReferences::hasAttribute(std::string_view reference) const {
    return index().attributes.contains(std::string(reference));
}

bool DeviceReferences::hasDataSet(std::string_view reference) const {
    return index().dataSets.contains(std::string(reference));
}

const SclDataSet* DeviceReferences::dataSet(std::string_view reference) const {
    const auto found = index().dataSets.find(std::string(reference));
    return found == m_index->dataSets.end() ? nullptr : found->second;
}

bool DeviceReferences::dataSetHasMember(std::string_view dataSet, std::string_view memberReference) const {
    const auto found = index().dataSets.find(std::string(dataSet));
    if (found == m_index->dataSets.end()) {
        return false;
    }
    const SclDataSet& model = *found->second;
    for (std::size_t k = 0; k < model.dataAttributes().size(); ++k) {
        if (model.memberReference(k) == memberReference) {
            return true;
        }
    }
    return false;
}

std::string incompleteDataSetText(const SclDataSet& dataSet) {
    const std::size_t place = dataSet.firstUnresolvedMember();
    if (place == 0) {
        return {};
    }
    const SclDataSetMember& member = dataSet.members()[place - 1];
    return "member " + std::to_string(place) + " of " + std::to_string(dataSet.members().size()) + " (" +
           *member.written +
           ") is not in the SCL file, so the members after it no longer line up with "
           "the values the server sends";
}

} // namespace sw::access
