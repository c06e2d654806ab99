#pragma once

#include "core/scl/scl_model.h"
#include "core/scl/scl_templates.h"

#include <pugixml.hpp>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sw {

// Finds the first object with a given name in a scope (a logical device's nodes, a node's data objects
// in pre-order, a data object's attributes in pre-order). Small scopes are scanned; a scope whose scan
// runs long is indexed once, keeping the first object of each name, so resolving many data-set
// members stays linear however big the scope.
class FirstMatchIndex {
public:
    // forEach(visit) calls visit(object) in the scope's order until visit returns false; key(object)
    // is the pooled name compared with wanted.
    template <class Obj, class ForEach, class Key>
    const Obj* find(const void* scope, const std::string* wanted, ForEach forEach, Key key);

private:
    static constexpr std::size_t kScanLimit = 32;
    std::unordered_map<const void*, std::unordered_map<const std::string*, const void*>> m_maps;
};

// An SCL file parsed once, for listing its IEDs or building several of them.
struct SclDocument {
    pugi::xml_document document;
    SclSource source;
    bool missing = false; // the file does not exist: nothing was parsed

    // Parses the file (a regular file within the SCL size limit) or the bytes; throws ConfigError.
    void parseFile(const std::filesystem::path& file);
    void parseBuffer(std::string_view bytes, const std::string& displayName);

    pugi::xml_node scl() const;
    // The IED elements in document order.
    std::vector<pugi::xml_node> ieds() const;
    // The IED at `position` (from 0) among those of that name; the first IED of all for an empty name.
    pugi::xml_node ied(std::string_view name, std::size_t position = 0) const;
    // The access points of an IED element of this document that the Communication section connects, in
    // document order. A ConnectedAP names its IED by name alone: where IEDs share a name, the k-th
    // ConnectedAP of that name and access point goes to the k-th IED of the name (to the last one when
    // there are fewer IEDs). The section is read once, on the first call, whatever the number of IEDs.
    const std::vector<SclAddress>& addressesOf(pugi::xml_node ied) const;

private:
    void indexAddresses() const;
    mutable bool m_addressesIndexed = false;
    mutable std::unordered_map<const void*, std::vector<SclAddress>> m_addresses; // by IED element
};

// Builds a SclIed from an SCL document: one IED, in two passes (objects and types first, data
// sets after the whole IED exists, so a member may name a later logical device).
class SclLoader {
public:
    SclLoader(SclIed& device, const SclLoadLimits& limits);
    ~SclLoader();

    void decodeDevice(const std::filesystem::path& file);
    void decodeBuffer(std::string_view bytes, const std::string& displayName);
    // Builds the device from `ied` of a parsed document; the document outlives the call.
    void decodeIed(const SclDocument& document, pugi::xml_node ied);

private:
    void decodeServer(pugi::xml_node scl, pugi::xml_node ied);
    void decodeLogicalDevice(SclLogicalDevice& ld, pugi::xml_node element, bool DataSetSearch);
    void decodeLogicalNode(SclLogicalNode& ln, pugi::xml_node element);
    void decodeDataSets(SclLogicalNode& ln, pugi::xml_node element);
    void decodeGooseControls(SclLogicalNode& ln, pugi::xml_node element);
    void decodeReportControl(const SclLogicalNode& ln, pugi::xml_node element);
    void decodeDataObject(SclDataObject& object, ObjectTemplate& element, std::size_t depth);
    // The values a node's instance gives its attributes (DOI, SDI and DAI with a Val), over the types'.
    void decodeInstanceValues(SclLogicalNode& ln, pugi::xml_node element);
    template <class Parent> void decodeInstanceValues(Parent& parent, pugi::xml_node element);
    void decodeAttribute(SclDataAttribute& attribute, AttributeTemplate& element,
                         const std::string* FC_Father, std::size_t depth);
    void decodeDataSet(SclDataSet& dataSet, pugi::xml_node element);
    // An element of an array on a member's path: the array's data object or attribute and the index.
    struct ArrayElement {
        const SclObject* array = nullptr;
        std::uint32_t index = 0;
    };
    SclDataSetMember resolveMember(pugi::xml_node fcda);
    // The attribute an FCDA names, or null; a dotted doName or daName is a path from the first part.
    // `elements` receives the array elements the path names, in path order.
    const SclDataAttribute* findMember(pugi::xml_node fcda, bool& wholeObject,
                                       std::vector<ArrayElement>& elements);
    // The attribute's reference with "(index)" after each array of `elements`.
    static std::string elementReference(const SclDataAttribute& attribute,
                                        const std::vector<ArrayElement>& elements);
    // The node with the FCDA's prefix, class and instance; for LLN0 the class alone.
    const SclLogicalNode* findMemberNode(const SclLogicalDevice& ld, pugi::xml_node fcda);
    static std::string nodeKey(std::string_view prefix, std::string_view lnClass, std::string_view inst);

    // Counts what the IED's logical nodes expand into and refuses the file before anything is built
    // when that breaks a limit or is out of all proportion to the file's size.
    void checkExpansion(pugi::xml_node server);
    [[noreturn]] void tooDeep() const;
    [[noreturn]] void tooManyObjects() const;

    template <class T> T* create(SclObject& parent, std::size_t index, std::size_t depth);
    // Room for up to capacity entries in the device's arena; the list is cut to what was filled.
    template <class T> std::span<T*> reserveList(std::size_t capacity);
    const std::string* pooled(pugi::xml_node element, const char* attribute);

    SclIed& m_device;
    // The EnumType of each enumeration of the node being built, while its instance gives values.
    bool m_nodeHasValues = false;
    std::unordered_map<const SclDataAttribute*, std::string_view> m_enumTypes;
    StringPool& m_pool;
    SclLoadLimits m_limits;
    SclSource m_source;
    std::unique_ptr<TemplateIndex> m_templates;
    FirstMatchIndex m_firstMatch;
    FirstMatchIndex m_dataSetByName; // scoped by node, like data objects, so kept apart
    std::unordered_map<const SclLogicalDevice*, std::unordered_map<std::string, const SclLogicalNode*>>
        m_nodeByName;
};

} // namespace sw
