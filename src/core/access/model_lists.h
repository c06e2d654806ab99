#pragma once

#include "core/scl/scl_model.h"

#include <memory>
#include <vector>

// Walks over the device model that the access editor needs, written against the lists' elements only
// (owning pointer, plain pointer or the object itself), so the editor does not depend on how the model
// stores its lists.
namespace sw::access::detail {

template <class T> const T& object(const std::unique_ptr<T>& element) {
    return *element;
}
template <class T> const T& object(const T* element) {
    return *element;
}
template <class T> const T& object(const T& element) {
    return element;
}

// The device an object belongs to.
inline const SclObject* deviceOf(const SclObject& object) {
    const SclObject* at = &object;
    while (at->parent() != nullptr) {
        at = at->parent();
    }
    return at;
}

// Every data set of the device: logical devices, their nodes, the nodes' data sets, in list order.
template <class Visit> void forEachDataSet(const SclIed& device, Visit&& visit) {
    for (const auto& ld : device.logicalDevices()) {
        for (const auto& ln : object(ld).logicalNodes()) {
            for (const auto& dataSet : object(ln).dataSets()) {
                visit(object(dataSet));
            }
        }
    }
}

// The members of a data set in member order.
inline std::vector<const SclDataAttribute*> membersOf(const SclDataSet& dataSet) {
    std::vector<const SclDataAttribute*> members;
    for (const auto& member : dataSet.dataAttributes()) {
        members.push_back(&object(member));
    }
    return members;
}

} // namespace sw::access::detail
