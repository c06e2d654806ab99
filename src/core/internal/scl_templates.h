#pragma once

#include <pugixml.hpp>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sw {

class StringPool;
struct DoTypeTemplate;
struct DaTypeTemplate;

// A DA of a DOType or a BDA of a DAType, read once from the file.
struct AttributeTemplate {
    const std::string* name = nullptr;
    const std::string* bType = nullptr;
    const std::string* fc = nullptr; // null when the element has no fc: the inherited one applies
    std::string_view typeId;         // only followed when the element has a type and is not an "Enum"
    bool followsType = false;
    bool typeResolved = false;
    DaTypeTemplate* type = nullptr;
};

// A DO of an LNodeType or an SDO of a DOType.
struct ObjectTemplate {
    const std::string* name = nullptr;
    std::string_view typeId; // empty: no children
    bool typeResolved = false;
    DoTypeTemplate* type = nullptr;
};

// Every type element sharing one id contributes, in template order, so one template holds the
// children of all of them.
struct LNodeTypeTemplate {
    std::vector<ObjectTemplate> dataObjects;
};

struct DoTypeTemplate {
    std::vector<ObjectTemplate> subObjects;
    std::vector<AttributeTemplate> attributes;
    bool onPath = false; // being expanded above the current object
};

struct DaTypeTemplate {
    std::vector<AttributeTemplate> attributes;
    bool onPath = false;
};

// The DataTypeTemplates section indexed by id once per file. A type is read from the document the
// first time an object asks for it, so the types of IEDs that are not modelled cost only the index.
class TemplateIndex {
public:
    TemplateIndex(pugi::xml_node templates, StringPool& pool);

    LNodeTypeTemplate* lNodeType(std::string_view id);
    DoTypeTemplate* doType(std::string_view id);
    DaTypeTemplate* daType(std::string_view id);

    DoTypeTemplate* resolve(ObjectTemplate& object);
    DaTypeTemplate* resolve(AttributeTemplate& attribute);

private:
    template <class T> struct Entry {
        std::vector<pugi::xml_node> elements;
        std::unique_ptr<T> compiled;
    };
    template <class T> using Index = std::unordered_map<std::string_view, Entry<T>>;

    template <class T> T* lookup(Index<T>& index, std::string_view id);

    void compile(const std::vector<pugi::xml_node>& elements, LNodeTypeTemplate& out);
    void compile(const std::vector<pugi::xml_node>& elements, DoTypeTemplate& out);
    void compile(const std::vector<pugi::xml_node>& elements, DaTypeTemplate& out);
    AttributeTemplate attributeOf(pugi::xml_node element);
    ObjectTemplate objectOf(pugi::xml_node element);

    StringPool& m_pool;
    const std::string* m_enum;
    Index<LNodeTypeTemplate> m_lNodeTypes;
    Index<DoTypeTemplate> m_doTypes;
    Index<DaTypeTemplate> m_daTypes;
};

// SCL element names compared without a namespace prefix: "scl:IED" reads as "IED".
bool hasLocalName(pugi::xml_node node, std::string_view name);

} // namespace sw
