#include "core/scl/scl_templates.h"

#include "core/common/atomic_file.h"
#include "core/common/config_error.h"
#include "core/scl/scl_model.h"
#include "core/scl/string_pool.h"
#include "core/xml/xml.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

namespace sw {

namespace {

constexpr std::uint64_t kSaturated = std::numeric_limits<std::uint64_t>::max();
constexpr std::size_t kNoPath = std::numeric_limits<std::size_t>::max();

// Saturating, without compiler built-ins, which MSVC lacks.
std::uint64_t add(std::uint64_t a, std::uint64_t b) {
    return a > kSaturated - b ? kSaturated : a + b;
}

std::uint64_t multiply(std::uint64_t a, std::uint64_t b) {
    return a != 0 && b > kSaturated / a ? kSaturated : a * b;
}

// One child object whose reference adds ownText bytes to its owner's (separator and name), with
// extraText more of its own (basic type), and what its type expands into below it.
void addChild(Expansion& total, std::uint64_t ownText, std::uint64_t extraText, const Expansion& below) {
    const std::uint64_t objects = add(1, below.objects);
    total.objects = add(total.objects, objects);
    total.text = add(total.text, add(add(multiply(ownText, objects), extraText), below.text));
    total.height = std::max(total.height, below.height + 1);
}

} // namespace

std::string SclSource::position(pugi::xml_node element) const {
    // The parser places an element at its name; the user looks for its "<".
    const auto offset = static_cast<std::size_t>(std::max<std::ptrdiff_t>(element.offset_debug() - 1, 0));
    std::pair<std::size_t, std::size_t> place;
    if (file.empty()) {
        place = xml::lineAndColumn(bytes, offset);
    } else {
        try {
            place = xml::lineAndColumn(readFileBytes(file, limits::kSclFile), offset);
        } catch (const ConfigError&) {
            return "byte " + std::to_string(offset + 1);
        }
    }
    return "line " + std::to_string(place.first) + ", column " + std::to_string(place.second);
}

std::string_view SclSource::name(pugi::xml_node element, const char* attribute) const {
    const std::string_view value = element.attribute(attribute).value();
    if (value.size() > kMaxNameLength) {
        throw ConfigError(ErrorCode::SclNameTooLong,
                          {displayName, attribute, std::to_string(value.size()), element.name(),
                           position(element), std::to_string(kMaxNameLength)});
    }
    return value;
}

bool hasLocalName(pugi::xml_node node, std::string_view name) {
    const char* full = node.name();
    const char* colon = std::strrchr(full, ':');
    return name == (colon == nullptr ? full : colon + 1);
}

TemplateIndex::TemplateIndex(pugi::xml_node templates, StringPool& pool, const SclSource& source)
    : m_pool(pool), m_source(source), m_enum(pool.intern("Enum")) {
    for (pugi::xml_node type = templates.first_child(); type; type = type.next_sibling()) {
        if (type.type() != pugi::node_element) {
            continue;
        }
        // A type without an id is indexed under the empty id, which is what its id reads as.
        const std::string_view id = m_source.name(type, "id");
        if (hasLocalName(type, "LNodeType")) {
            m_lNodeTypes[id].elements.push_back(type);
        } else if (hasLocalName(type, "DOType")) {
            m_doTypes[id].elements.push_back(type);
        } else if (hasLocalName(type, "DAType")) {
            m_daTypes[id].elements.push_back(type);
        } else if (hasLocalName(type, "EnumType")) {
            m_enumTypes.try_emplace(id, type);
        }
    }
}

template <class T> T* TemplateIndex::lookup(Index<T>& index, std::string_view id) {
    auto found = index.find(id);
    if (found == index.end()) {
        return nullptr;
    }
    Entry<T>& entry = found->second;
    if (!entry.compiled) {
        entry.compiled = std::make_unique<T>();
        compile(entry.elements, *entry.compiled);
        entry.elements = {};
    }
    return entry.compiled.get();
}

LNodeTypeTemplate* TemplateIndex::lNodeType(std::string_view id) {
    return lookup(m_lNodeTypes, id);
}

DoTypeTemplate* TemplateIndex::doType(std::string_view id) {
    return lookup(m_doTypes, id);
}

DaTypeTemplate* TemplateIndex::daType(std::string_view id) {
    return lookup(m_daTypes, id);
}

DoTypeTemplate* TemplateIndex::resolve(ObjectTemplate& object) {
    if (!object.typeResolved) {
        object.type = object.typeId.empty() ? nullptr : doType(object.typeId);
        object.typeResolved = true;
    }
    return object.type;
}

DaTypeTemplate* TemplateIndex::resolve(AttributeTemplate& attribute) {
    if (!attribute.typeResolved) {
        attribute.type = attribute.followsType ? daType(attribute.typeId) : nullptr;
        attribute.typeResolved = true;
    }
    return attribute.type;
}

bool TemplateIndex::step(Expansion& total, std::size_t depth) {
    if (depth + 1 > m_maxDepth) {
        // The child lies beyond the deepest level allowed; what it holds no longer matters.
        total.height = std::max<std::size_t>(total.height, 1);
        return false;
    }
    if (++m_steps > m_stepLimit) {
        total.objects = kSaturated;
        return false;
    }
    return true;
}

Expansion TemplateIndex::countLNodeType(LNodeTypeTemplate& type, std::size_t maxDepth,
                                        std::uint64_t maxObjects) {
    if (type.counted) {
        return type.expansion;
    }
    m_maxDepth = maxDepth;
    m_stepLimit = maxObjects;
    Expansion total;
    for (ObjectTemplate& object : type.dataObjects) {
        if (!step(total, 0)) {
            break;
        }
        std::size_t dependsOn = kNoPath;
        DoTypeTemplate* child = resolve(object);
        addChild(total, 1 + object.name->size(), 0,
                 child != nullptr ? countDo(*child, 1, dependsOn) : Expansion{});
    }
    if (total.height <= m_maxDepth && m_steps <= m_stepLimit) {
        type.counted = true;
        type.expansion = total;
    }
    return total;
}

template <class Type, class CountChildren>
Expansion TemplateIndex::countOnce(Type& type, std::size_t depth, std::size_t& dependsOn, std::size_t& path,
                                   CountChildren countChildren) {
    ExpansionMemo& memo = type.memo;
    if (memo.counted) {
        return memo.expansion;
    }
    memo.onPath = true;
    memo.pathIndex = path++;
    std::size_t below = kNoPath;
    Expansion total;
    countChildren(total, below);
    --path;
    memo.onPath = false;
    dependsOn = std::min(dependsOn, below);
    // A type whose count was cut by a repetition further up depends on that path and is counted again.
    if ((below == kNoPath || below > memo.pathIndex) && depth + total.height <= m_maxDepth &&
        m_steps <= m_stepLimit) {
        memo.counted = true;
        memo.expansion = total;
    }
    return total;
}

template <class Child, class Count>
bool TemplateIndex::countNested(std::vector<Child>& children, Expansion& total, std::size_t depth,
                                std::size_t& below, Count count) {
    for (Child& child : children) {
        auto* childType = resolve(child);
        if (childType != nullptr && childType->memo.onPath) {
            below = std::min(below, childType->memo.pathIndex);
            continue;
        }
        if (!step(total, depth)) {
            return false;
        }
        addChild(total, 1 + child.name->size(), kindTextSize(child),
                 childType != nullptr ? count(*childType, depth + 1, below) : Expansion{});
    }
    return true;
}

Expansion TemplateIndex::countDo(DoTypeTemplate& type, std::size_t depth, std::size_t& dependsOn) {
    return countOnce(type, depth, dependsOn, m_doPath, [&](Expansion& total, std::size_t& below) {
        const auto countSub = [this](DoTypeTemplate& sub, std::size_t at, std::size_t& subBelow) {
            return countDo(sub, at, subBelow);
        };
        if (!countNested(type.subObjects, total, depth, below, countSub)) {
            return;
        }
        for (AttributeTemplate& attribute : type.attributes) {
            if (!step(total, depth)) {
                break;
            }
            // Attribute types form a path of their own, which starts empty under a data object.
            std::size_t attributeDependsOn = kNoPath;
            DaTypeTemplate* attributeType = resolve(attribute);
            addChild(total, 1 + attribute.name->size(), attribute.bType->size(),
                     attributeType != nullptr ? countDa(*attributeType, depth + 1, attributeDependsOn)
                                              : Expansion{});
        }
    });
}

Expansion TemplateIndex::countDa(DaTypeTemplate& type, std::size_t depth, std::size_t& dependsOn) {
    return countOnce(type, depth, dependsOn, m_daPath, [&](Expansion& total, std::size_t& below) {
        countNested(type.attributes, total, depth, below,
                    [this](DaTypeTemplate& sub, std::size_t at, std::size_t& subBelow) {
                        return countDa(sub, at, subBelow);
                    });
    });
}

// An element's "count": a number of array elements, or the name of the attribute that holds it.
std::uint16_t TemplateIndex::arraySizeOf(pugi::xml_node element) const {
    const std::string_view count = m_source.name(element, "count");
    if (count.empty()) {
        return 0;
    }
    std::uint32_t size = 0;
    const auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), size);
    if (error != std::errc{} || end != count.data() + count.size()) {
        return static_cast<std::uint16_t>(SclObject::kUnknownArraySize);
    }
    return static_cast<std::uint16_t>(std::min<std::uint32_t>(size, SclObject::kUnknownArraySize));
}

AttributeTemplate TemplateIndex::attributeOf(pugi::xml_node element) {
    AttributeTemplate attribute;
    attribute.arraySize = arraySizeOf(element);
    attribute.name = m_pool.intern(m_source.name(element, "name"));
    attribute.bType = m_pool.intern(m_source.name(element, "bType"));
    if (element.attribute("fc")) {
        attribute.fc = m_pool.intern(m_source.name(element, "fc"));
    }
    // An enumeration's type names an EnumType, never a structure: the attribute stays a leaf.
    if (element.attribute("type")) {
        attribute.typeId = m_source.name(element, "type");
        attribute.followsType = attribute.bType != m_enum;
    }
    attribute.value =
        initialValue(element, attribute.bType == m_enum ? attribute.typeId : std::string_view());
    return attribute;
}

const std::string* TemplateIndex::initialValue(pugi::xml_node element, std::string_view enumType) {
    pugi::xml_node val;
    for (pugi::xml_node child = element.first_child(); child && !val; child = child.next_sibling()) {
        val = child.type() == pugi::node_element && hasLocalName(child, "Val") ? child : pugi::xml_node();
    }
    if (!val) {
        return nullptr;
    }
    const std::string_view text = val.text().get();
    if (!enumType.empty()) {
        if (const auto found = m_enumTypes.find(enumType); found != m_enumTypes.end()) {
            for (pugi::xml_node literal = found->second.first_child(); literal;
                 literal = literal.next_sibling()) {
                if (literal.type() == pugi::node_element && hasLocalName(literal, "EnumVal") &&
                    text == literal.text().get()) {
                    return m_pool.intern(literal.attribute("ord").value());
                }
            }
        }
    }
    return m_pool.intern(text);
}

ObjectTemplate TemplateIndex::objectOf(pugi::xml_node element) {
    ObjectTemplate object;
    object.name = m_pool.intern(m_source.name(element, "name"));
    object.arraySize = arraySizeOf(element);
    object.typeId = m_source.name(element, "type");
    return object;
}

void TemplateIndex::compile(const std::vector<pugi::xml_node>& elements, LNodeTypeTemplate& out) {
    for (pugi::xml_node type : elements) {
        for (pugi::xml_node child = type.first_child(); child; child = child.next_sibling()) {
            if (child.type() == pugi::node_element && hasLocalName(child, "DO")) {
                out.dataObjects.push_back(objectOf(child));
            }
        }
    }
}

void TemplateIndex::compile(const std::vector<pugi::xml_node>& elements, DoTypeTemplate& out) {
    for (pugi::xml_node type : elements) {
        for (pugi::xml_node child = type.first_child(); child; child = child.next_sibling()) {
            if (child.type() != pugi::node_element) {
                continue;
            }
            if (hasLocalName(child, "SDO")) {
                out.subObjects.push_back(objectOf(child));
            } else if (hasLocalName(child, "DA")) {
                out.attributes.push_back(attributeOf(child));
            }
        }
    }
}

void TemplateIndex::compile(const std::vector<pugi::xml_node>& elements, DaTypeTemplate& out) {
    for (pugi::xml_node type : elements) {
        for (pugi::xml_node child = type.first_child(); child; child = child.next_sibling()) {
            if (child.type() == pugi::node_element && hasLocalName(child, "BDA")) {
                out.attributes.push_back(attributeOf(child));
            }
        }
    }
}

} // namespace sw
