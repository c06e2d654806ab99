#include "core/common/config_error.h"
#include "core/scl/scl_model.h"
#include "core/scl/scl_search.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

void require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

const sw::SclObject* deviceOf(const sw::SclObject* object) {
    while (object->parent() != nullptr) {
        object = object->parent();
    }
    return object;
}

// Every object is reachable again from its parent at its row, and a name lookup finds an object of
// that name; data-set members belong to the same device.
void check(const sw::SclIed& device, const sw::SclObject& object) {
    for (std::size_t row = 0; row < object.treeChildCount(); ++row) {
        const sw::SclObject* child = object.treeChild(row);
        require(child != nullptr && child->parent() == &object && child->treeRow() == row);
        check(device, *child);
    }
    switch (object.kind()) {
    case sw::SclKind::LN: {
        const auto& ln = static_cast<const sw::SclLogicalNode&>(object);
        for (const auto& dataObject : ln.dataObjects()) {
            const sw::SclDataObject* found = ln.findDataObject(dataObject->fName());
            require(found != nullptr && found->fName() == dataObject->fName());
        }
        for (const auto& dataSet : ln.dataSets()) {
            require(!dataSet->fReference().empty());
            for (const sw::SclDataAttribute* member : dataSet->dataAttributes()) {
                require(deviceOf(member) == &device && !member->fReference().empty());
            }
            for (const sw::SclDataSetMember& member : dataSet->members()) {
                require((member.attribute == nullptr) == (member.written != nullptr));
            }
            require(dataSet->members().size() >= dataSet->dataAttributes().size());
        }
        break;
    }
    case sw::SclKind::DO: {
        const auto& dataObject = static_cast<const sw::SclDataObject&>(object);
        const sw::SclDataAttribute* first = dataObject.firstAttribute();
        require(first == nullptr || first->isLeaf());
        break;
    }
    default:
        break;
    }
}

} // namespace

// Any bytes as an SCL file: the loader either builds a consistent model or reports a ConfigError; so do
// the list of its IEDs and the load of each IED it lists, and a search or a reference look-up finds only
// objects of the device.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const sw::SclLoadLimits limits{64, 200'000};
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        const sw::SclIed device(bytes, "fuzz.icd", limits);
        require(device.objectCount() <= limits.maxObjects);
        check(device, device);
        const sw::SclSearch search(device, "a");
        for (const sw::SclObject* match : search.matches()) {
            require(deviceOf(match) == &device && search.shown(*match));
        }
    } catch (const sw::ConfigError&) {
    }
    try {
        std::vector<std::string> names{"", "missing"};
        for (const sw::SclIedSummary& ied : sw::listIeds(bytes, "fuzz.scd")) {
            names.push_back(ied.name);
        }
        const auto devices = sw::SclIed::loadIeds(bytes, "fuzz.scd", names, limits);
        require(devices.size() == names.size());
        for (std::size_t i = 0; i < devices.size(); ++i) {
            if (devices[i] == nullptr) {
                require(!names[i].empty());
                continue;
            }
            check(*devices[i], *devices[i]);
            for (const sw::SclObject* leaf = devices[i].get(); leaf != nullptr; leaf = leaf->treeChild(0)) {
                if (leaf->kind() == sw::SclKind::DA) {
                    const auto* attribute = static_cast<const sw::SclDataAttribute*>(leaf);
                    const sw::SclObject* found = sw::findByReference(*devices[i], attribute->fReference());
                    // Names holding a separator cannot be told apart in a reference: not always found.
                    require(found == nullptr || deviceOf(found) == devices[i].get());
                }
            }
        }
    } catch (const sw::ConfigError&) {
    }
    return 0;
}
