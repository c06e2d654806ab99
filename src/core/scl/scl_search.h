#pragma once

#include "core/scl/scl_model.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sw {

// The objects of a device tree whose name or reference contains a text, ignoring the case of ASCII
// letters, and what a tree filtered by it shows: the matches with all their ancestors. Every name a
// tree shows is the end of its object's reference, so the reference alone decides.
class SclSearch {
public:
    // Searches `root` and everything below it in the tree. An empty text matches nothing.
    SclSearch(const SclObject& root, std::string_view text);

    // The matching objects in tree order (an object before its children, children in row order).
    const std::vector<const SclObject*>& matches() const { return m_matches; }
    // Whether the filtered tree shows the object: it matches, or something below it does.
    bool shown(const SclObject& object) const { return m_shown.count(&object) != 0; }
    // The shown children of an object in tree order; none for an object not shown.
    std::span<const SclObject* const> shownChildren(const SclObject& object) const;
    // The row of a shown object among the shown children of its parent (0 for one not shown).
    std::size_t shownRow(const SclObject& object) const;

private:
    struct Shown {
        std::size_t row = 0;
        std::vector<const SclObject*> children;
    };
    bool visit(const SclObject& object, bool parentMatches);

    std::string m_needle;
    std::string m_reference; // the visited object's reference, lowered
    std::vector<const SclObject*> m_matches;
    std::unordered_map<const SclObject*, Shown> m_shown;
};

// The object of the device whose reference is `reference` (as fReference() or reference() composes
// it): a logical device, a node, a data object or an attribute; null when there is none. Names are
// compared exactly; of equal names the first in list order is taken.
const SclObject* findByReference(const TIEC_Device& device, std::string_view reference);

} // namespace sw
