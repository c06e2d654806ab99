#include "core/internal/scl_templates.h"

#include "core/scl/string_pool.h"

#include <cstring>

namespace sw {

bool hasLocalName(pugi::xml_node node, std::string_view name) {
    const char* full = node.name();
    const char* colon = std::strrchr(full, ':');
    return name == (colon == nullptr ? full : colon + 1);
}

TemplateIndex::TemplateIndex(pugi::xml_node templates, StringPool& pool)
    : m_pool(pool), m_enum(pool.intern("Enum")) {
    for (pugi::xml_node type = templates.first_child(); type; type = type.next_sibling()) {
        if (type.type() != pugi::node_element) {
            continue;
        }
        // A type without an id is indexed under the empty id, which is what its id reads as.
        const std::string_view id = type.attribute("id").value();
        if (hasLocalName(type, "LNodeType")) {
            m_lNodeTypes[id].elements.push_back(type);
        } else if (hasLocalName(type, "DOType")) {
            m_doTypes[id].elements.push_back(type);
        } else if (hasLocalName(type, "DAType")) {
            m_daTypes[id].elements.push_back(type);
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

AttributeTemplate TemplateIndex::attributeOf(pugi::xml_node element) {
    AttributeTemplate attribute;
    attribute.name = m_pool.intern(element.attribute("name").value());
    attribute.bType = m_pool.intern(element.attribute("bType").value());
    if (pugi::xml_attribute fc = element.attribute("fc")) {
        attribute.fc = m_pool.intern(fc.value());
    }
    // An enumeration's type names an EnumType, never a structure: the attribute stays a leaf.
    if (pugi::xml_attribute type = element.attribute("type")) {
        attribute.typeId = type.value();
        attribute.followsType = attribute.bType != m_enum;
    }
    return attribute;
}

ObjectTemplate TemplateIndex::objectOf(pugi::xml_node element) {
    ObjectTemplate object;
    object.name = m_pool.intern(element.attribute("name").value());
    object.typeId = element.attribute("type").value();
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
