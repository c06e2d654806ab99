#include "core/scl/scl_search.h"

#include <algorithm>

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
        appendLowered(out, static_cast<const TIEC_Device&>(object).fName());
        break;
    case SclKind::LDevice:
        appendLowered(out, static_cast<const TIEC_LDevice&>(object).fName());
        break;
    case SclKind::LN: {
        const auto& ln = static_cast<const TIEC_LN&>(object);
        out += '/';
        appendLowered(out, ln.fPrefix());
        appendLowered(out, ln.flnClass());
        appendLowered(out, ln.fInst());
        break;
    }
    case SclKind::DO:
        out += '.';
        appendLowered(out, static_cast<const TIEC_DO&>(object).fName());
        break;
    case SclKind::DA:
        out += '.';
        appendLowered(out, static_cast<const TIEC_DA&>(object).fName());
        break;
    case SclKind::DataSet:
        break;
    }
}

// A reference made of the parent's and the object's own part, like fReference() composes it.
void appendFullReference(const SclObject& object, std::string& out) {
    if (object.kind() == SclKind::DataSet) {
        out.clear();
        appendLowered(out, static_cast<const TIEC_DataSet&>(object).fReference());
        return;
    }
    appendOwnPart(object, out);
}

// The name of a node as prefix + class + instance, compared without composing it.
bool lnNameIs(const TIEC_LN& ln, std::string_view name) {
    const std::string& prefix = ln.fPrefix();
    const std::string& lnClass = ln.flnClass();
    const std::string& inst = ln.fInst();
    return name.size() == prefix.size() + lnClass.size() + inst.size() && name.starts_with(prefix) &&
           name.substr(prefix.size()).starts_with(lnClass) && name.ends_with(inst);
}

std::string_view treeName(const SclObject& object) {
    switch (object.kind()) {
    case SclKind::DO:
        return static_cast<const TIEC_DO&>(object).fName();
    case SclKind::DA:
        return static_cast<const TIEC_DA&>(object).fName();
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
    if (visit(root, false)) {
        m_shown[&root].row = 0;
    }
}

bool SclSearch::visit(const SclObject& object, bool parentMatches) {
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
    std::vector<const SclObject*> children;
    const std::size_t count = object.treeChildCount();
    for (std::size_t row = 0; row < count; ++row) {
        const SclObject* child = object.treeChild(row);
        if (visit(*child, matches)) {
            m_shown[child].row = children.size();
            children.push_back(child);
        }
    }
    if (object.kind() == SclKind::DataSet) {
        m_reference = saved;
    } else {
        m_reference.resize(parentLength);
    }
    if (!matches && children.empty()) {
        return false;
    }
    if (!children.empty()) {
        m_shown[&object].children = std::move(children);
    }
    return true;
}

std::span<const SclObject* const> SclSearch::shownChildren(const SclObject& object) const {
    const auto found = m_shown.find(&object);
    if (found == m_shown.end()) {
        return {};
    }
    return {found->second.children.data(), found->second.children.size()};
}

std::size_t SclSearch::shownRow(const SclObject& object) const {
    const auto found = m_shown.find(&object);
    return found == m_shown.end() ? 0 : found->second.row;
}

const SclObject* findByReference(const TIEC_Device& device, std::string_view reference) {
    if (device.fName().empty() || !reference.starts_with(device.fName())) {
        return nullptr;
    }
    std::string_view rest = reference.substr(device.fName().size());
    const std::size_t slash = rest.find('/');
    const TIEC_LDevice* ld = device.Find_LDevice(rest.substr(0, slash));
    if (ld == nullptr || slash == std::string_view::npos) {
        return ld;
    }
    rest = rest.substr(slash + 1);
    std::size_t dot = rest.find('.');
    const std::string_view lnName = rest.substr(0, dot);
    const auto ln = std::find_if(ld->List_LN().begin(), ld->List_LN().end(),
                                 [lnName](const TIEC_LN* each) { return lnNameIs(*each, lnName); });
    if (ln == ld->List_LN().end()) {
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
