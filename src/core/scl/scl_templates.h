#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sw {

class StringPool;
struct DoTypeTemplate;
struct DaTypeTemplate;

// Where the loader's input comes from: named in every error, and read again to place an element by
// line and column when one is refused.
struct SclSource {
    // No name, instance, class, type id or other reference of an SCL file is longer.
    static constexpr std::size_t kMaxNameLength = 255;

    std::string displayName;
    std::filesystem::path file; // set when the bytes came from a file
    std::string_view bytes;     // set when the bytes were handed over
    std::size_t size = 0;

    // The attribute's value, or empty when it is missing; throws ConfigError naming the file, the
    // element's line and column and the attribute when the value is longer than kMaxNameLength.
    std::string_view name(pugi::xml_node element, const char* attribute) const;
    // "line L, column C" of the element's start.
    std::string position(pugi::xml_node element) const;
};

// What a type expands into below the object that has it: objects, the text of their references
// (counted from the owner's reference on) and basic types, and the number of levels.
struct Expansion {
    std::uint64_t objects = 0;
    std::uint64_t text = 0;
    std::size_t height = 0;
};

// A DA of a DOType or a BDA of a DAType, read once from the file.
struct AttributeTemplate {
    const std::string* name = nullptr;
    const std::string* bType = nullptr;
    const std::string* fc = nullptr; // null when the element has no fc: the inherited one applies
    std::string_view typeId;         // only followed when the element has a type and is not an "Enum"
    bool followsType = false;
    bool typeResolved = false;
    std::uint16_t arraySize = 0; // as SclObject::arraySize()
    DaTypeTemplate* type = nullptr;
    const std::string* value = nullptr; // the initial value (Val) the type gives, an enumeration's as its ord
};

// A DO of an LNodeType or an SDO of a DOType.
struct ObjectTemplate {
    const std::string* name = nullptr;
    std::string_view typeId; // empty: no children
    bool typeResolved = false;
    std::uint16_t arraySize = 0; // as SclObject::arraySize()
    DoTypeTemplate* type = nullptr;
};

// Every type element sharing one id contributes, in template order, so one template holds the
// children of all of them.
struct LNodeTypeTemplate {
    std::vector<ObjectTemplate> dataObjects;
    bool counted = false;
    Expansion expansion;
};

// The expansion of a type depends on the types of its kind on the path above it only when the type lies
// on a cycle of types: its expansion then leaves out, as a repetition, the type itself or one above it.
// Any other type is counted once and its expansion kept.
struct ExpansionMemo {
    bool onPath = false;       // being expanded above the current object
    std::size_t pathIndex = 0; // its position on that path while onPath
    bool counted = false;
    Expansion expansion;
};

struct DoTypeTemplate {
    std::vector<ObjectTemplate> subObjects;
    std::vector<AttributeTemplate> attributes;
    ExpansionMemo memo;
};

struct DaTypeTemplate {
    std::vector<AttributeTemplate> attributes;
    ExpansionMemo memo;
};

// The DataTypeTemplates section indexed by id once per file. A type is read from the document the
// first time an object asks for it, so the types of IEDs that are not modelled cost only the index.
class TemplateIndex {
public:
    TemplateIndex(pugi::xml_node templates, StringPool& pool, const SclSource& source);

    LNodeTypeTemplate* lNodeType(std::string_view id);
    DoTypeTemplate* doType(std::string_view id);
    DaTypeTemplate* daType(std::string_view id);

    DoTypeTemplate* resolve(ObjectTemplate& object);
    DaTypeTemplate* resolve(AttributeTemplate& attribute);
    // The text of an element's first Val, as the model keeps it: an enumeration's literal as the ord the
    // EnumType `enumType` gives it (the literal itself when it gives none). Null without a Val.
    const std::string* initialValue(pugi::xml_node element, std::string_view enumType);

    // What a logical node of that type expands into below itself, counted from the types without
    // building anything, as the loader would build it (repeated types left out). Counting stops at
    // maxDepth levels (the height then exceeds maxDepth) and after maxObjects objects (the count then
    // exceeds maxObjects), so it costs little whatever the file.
    Expansion countLNodeType(LNodeTypeTemplate& type, std::size_t maxDepth, std::uint64_t maxObjects);

private:
    // Lowers dependsOn to the lowest path index of a type that was left out below as a repetition.
    Expansion countDo(DoTypeTemplate& type, std::size_t depth, std::size_t& dependsOn);
    Expansion countDa(DaTypeTemplate& type, std::size_t depth, std::size_t& dependsOn);
    // The walk both share: a type counted once unless a repetition above cut its count, `path` being
    // the index of the next type on its kind's path.
    template <class Type, class CountChildren>
    Expansion countOnce(Type& type, std::size_t depth, std::size_t& dependsOn, std::size_t& path,
                        CountChildren countChildren);
    // Children of the type's own kind, leaving out those whose type is already on the path; false when
    // counting must stop.
    template <class Child, class Count>
    bool countNested(std::vector<Child>& children, Expansion& total, std::size_t depth, std::size_t& below,
                     Count count);
    // The text a child adds beside its name: an attribute's basic type, nothing for a data object.
    static std::size_t kindTextSize(const ObjectTemplate&) { return 0; }
    static std::size_t kindTextSize(const AttributeTemplate& attribute) { return attribute.bType->size(); }
    // Accounts for one more child below an object at that depth; false when counting must stop.
    bool step(Expansion& total, std::size_t depth);

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
    std::uint16_t arraySizeOf(pugi::xml_node element) const;

    StringPool& m_pool;
    const SclSource& m_source;
    const std::string* m_enum;
    std::size_t m_maxDepth = 0;
    std::uint64_t m_stepLimit = 0;
    std::uint64_t m_steps = 0;
    std::size_t m_doPath = 0;
    std::size_t m_daPath = 0;
    Index<LNodeTypeTemplate> m_lNodeTypes;
    Index<DoTypeTemplate> m_doTypes;
    Index<DaTypeTemplate> m_daTypes;
    std::unordered_map<std::string_view, pugi::xml_node> m_enumTypes; // the first of each id
};

// SCL element names compared without a namespace prefix: "scl:IED" reads as "IED".
bool hasLocalName(pugi::xml_node node, std::string_view name);

} // namespace sw
