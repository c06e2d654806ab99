#include "core/scl/scl_search.h"

#include <algorithm>
#include <functional>

namespace sw {

namespace {

char lowered(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

void appendLowered(std::string& out, std::string_view text) {
    for (const char c : text) {
        out += lowered(c);
    }
}

// The part a child adds to its parent's reference, for every kind but a data set.
void appendOwnPart(const SclObject& object, std::string& out) {
    switch (object.kind()) {
    case SclKind::Device:
        appendLowered(out, static_cast<const SclIed&>(object).fName());
        break;
    case SclKind::LDevice:
        appendLowered(out, static_cast<const SclLogicalDevice&>(object).fName());
        break;
    case SclKind::LN: {
        const auto& ln = static_cast<const SclLogicalNode&>(object);
        out += '/';
        appendLowered(out, ln.fPrefix());
        appendLowered(out, ln.flnClass());
        appendLowered(out, ln.fInst());
        break;
    }
    case SclKind::DO:
        out += '.';
        appendLowered(out, static_cast<const SclDataObject&>(object).fName());
        break;
    case SclKind::DA:
        out += '.';
        appendLowered(out, static_cast<const SclDataAttribute&>(object).fName());
        break;
    case SclKind::DataSet:
        break;
    }
}

// A reference made of the parent's and the object's own part, like fReference() composes it.
void appendFullReference(const SclObject& object, std::string& out) {
    if (object.kind() == SclKind::DataSet) {
        out.clear();
        appendLowered(out, static_cast<const SclDataSet&>(object).fReference());
        return;
    }
    appendOwnPart(object, out);
}

// The name of a node as prefix + class + instance, compared without composing it.
bool lnNameIs(const SclLogicalNode& ln, std::string_view name) {
    const std::string& prefix = ln.fPrefix();
    const std::string& lnClass = ln.flnClass();
    const std::string& inst = ln.fInst();
    return name.size() == prefix.size() + lnClass.size() + inst.size() && name.starts_with(prefix) &&
           name.substr(prefix.size()).starts_with(lnClass) && name.ends_with(inst);
}

std::string_view treeName(const SclObject& object) {
    switch (object.kind()) {
    case SclKind::DO:
        return static_cast<const SclDataObject&>(object).fName();
    case SclKind::DA:
        return static_cast<const SclDataAttribute&>(object).fName();
    default:
        return {};
    }
}

} // namespace

SclSearch::SclSearch(const SclObject& root, std::string_view text) {
    appendLowered(m_needle, text);
    if (m_needle.empty()) {
        return;
    }
    // The reference of an object below the root starts with the references above it.
    for (const SclObject* above = root.parent(); above != nullptr; above = above->parent()) {
        std::string part;
        appendOwnPart(*above, part);
        m_reference.insert(0, part);
    }
    std::size_t first = 0;
    std::size_t count = 0;
    if (visit(root, false, first, count)) {
        m_shown.push_back({&root, 0, first, count});
    }
    std::sort(m_shown.begin(), m_shown.end(),
              [](const Shown& a, const Shown& b) { return std::less<>()(a.object, b.object); });
    m_pending = {};
}

bool SclSearch::visit(const SclObject& object, bool parentMatches, std::size_t& first, std::size_t& count) {
    const std::size_t parentLength = m_reference.size();
    const std::string saved = object.kind() == SclKind::DataSet ? m_reference : std::string();
    appendFullReference(object, m_reference);
    bool matches = false;
    if (object.kind() == SclKind::DataSet) {
        matches = m_reference.find(m_needle) != std::string::npos;
    } else {
        // What the parent's reference holds was searched already: only the new end can add a match.
        const std::size_t overlap = m_needle.size() - 1;
        matches = parentMatches ||
                  m_reference.find(m_needle, parentLength > overlap ? parentLength - overlap : 0) !=
                      std::string::npos;
    }
    if (matches) {
        m_matches.push_back(&object);
    }
    const std::size_t mark = m_pending.size();
    const std::size_t children = object.treeChildCount();
    for (std::size_t row = 0; row < children; ++row) {
        const SclObject* child = object.treeChild(row);
        std::size_t childFirst = 0;
        std::size_t childCount = 0;
        if (visit(*child, matches, childFirst, childCount)) {
            m_shown.push_back({child, m_pending.size() - mark, childFirst, childCount});
            m_pending.push_back(child);
        }
    }
    if (object.kind() == SclKind::DataSet) {
        m_reference = saved;
    } else {
        m_reference.resize(parentLength);
    }
    first = m_children.size();
    count = m_pending.size() - mark;
    m_children.insert(m_children.end(), m_pending.begin() + static_cast<std::ptrdiff_t>(mark),
                      m_pending.end());
    m_pending.resize(mark);
    return matches || count > 0;
}

const SclSearch::Shown* SclSearch::find(const SclObject& object) const {
    const auto at = std::lower_bound(
        m_shown.begin(), m_shown.end(), &object,
        [](const Shown& shown, const SclObject* wanted) { return std::less<>()(shown.object, wanted); });
    return at != m_shown.end() && at->object == &object ? &*at : nullptr;
}

std::span<const SclObject* const> SclSearch::shownChildren(const SclObject& object) const {
    const Shown* shown = find(object);
    if (shown == nullptr) {
        return {};
    }
    return {m_children.data() + shown->first, shown->count};
}

std::size_t SclSearch::shownRow(const SclObject& object) const {
    const Shown* shown = find(object);
    return shown == nullptr ? 0 : shown->row;
}

const SclObject* findByReference(const SclIed& device, std::string_view reference) {
    if (device.fName().empty() || !reference.starts_with(device.fName())) {
        return nullptr;
    }
    std::string_view rest = reference.substr(device.fName().size());
    const std::size_t slash = rest.find('/');
    const SclLogicalDevice* ld = device.findLogicalDevice(rest.substr(0, slash));
    if (ld == nullptr || slash == std::string_view::npos) {
        return ld;
    }
    rest = rest.substr(slash + 1);
    std::size_t dot = rest.find('.');
    const std::string_view lnName = rest.substr(0, dot);
    const auto ln = std::find_if(ld->logicalNodes().begin(), ld->logicalNodes().end(),
                                 [lnName](const SclLogicalNode* each) { return lnNameIs(*each, lnName); });
    if (ln == ld->logicalNodes().end()) {
        return nullptr;
    }
    const SclObject* at = *ln;
    while (dot != std::string_view::npos) {
        rest = rest.substr(dot + 1);
        dot = rest.find('.');
        const std::string_view name = rest.substr(0, dot);
        const SclObject* next = nullptr;
        const std::size_t count = at->treeChildCount();
        for (std::size_t row = 0; row < count && next == nullptr; ++row) {
            const SclObject* child = at->treeChild(row);
            if (child->kind() != SclKind::DataSet && treeName(*child) == name) {
                next = child;
            }
        }
        if (next == nullptr) {
            return nullptr;
        }
        at = next;
    }
    return at;
}

} // namespace sw
