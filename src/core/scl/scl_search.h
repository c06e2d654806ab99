#pragma once

#include "core/scl/scl_model.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
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
    bool shown(const SclObject& object) const { return find(object) != nullptr; }
    // The shown children of an object in tree order; none for an object not shown.
    std::span<const SclObject* const> shownChildren(const SclObject& object) const;
    // The row of a shown object among the shown children of its parent (0 for one not shown).
    std::size_t shownRow(const SclObject& object) const;

private:
    // A shown object: its row among its parent's shown children, and its own shown children as a
    // block of m_children. Kept sorted by object address, so a look-up needs no table per object.
    struct Shown {
        const SclObject* object = nullptr;
        std::size_t row = 0;
        std::size_t first = 0;
        std::size_t count = 0;
    };
    // Whether the object is shown; its shown children are then the block [first, first + count).
    bool visit(const SclObject& object, bool parentMatches, std::size_t& first, std::size_t& count);
    const Shown* find(const SclObject& object) const;

    std::string m_needle;
    std::string m_reference; // the visited object's reference, lowered
    std::vector<const SclObject*> m_matches;
    std::vector<Shown> m_shown;
    std::vector<const SclObject*> m_children;
    std::vector<const SclObject*> m_pending; // shown children of the objects being visited
};

// The object of the device whose reference is `reference` (as fReference() or reference() composes
// it): a logical device, a node, a data object or an attribute; null when there is none. Names are
// compared exactly; of equal names the first in list order is taken.
const SclObject* findByReference(const SclIed& device, std::string_view reference);

} // namespace sw
