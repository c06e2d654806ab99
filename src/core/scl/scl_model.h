#pragma once

// The in-memory model of one IEC 61850 server, read from an SCL file: the device (IED), its logical
// devices, logical nodes, data objects (with sub-data objects), data attributes (with sub-attributes)
// and data sets. The model is read-only once loaded.
//
// Storage choices, made because a big ICD expands into millions of objects:
// - Every text field is an accessor returning a reference to a text shared through the device's
//   StringPool; the pointers stay valid as long as the device lives.
// - Object references (fReference) are composed on request from the parent chain instead of being
//   stored. The model never changes after loading, so the composed text is the one the loader would
//   have stored.
// - The link to a tree-view node is the object itself: every object knows its kind, its parent and its
//   position in its parent's list, so a view can keep the object's address as the node's identity and
//   find row and parent in constant time (treeRow(), parent(), treeChild()).
// - Every object and every list of a device lives in one arena owned by the device. Objects are never
//   released one by one: a device with millions of objects goes in a few large blocks.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <memory_resource>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sw {

class SclLoader;
class StringPool;

// The children of an object in document order; the objects belong to the device's arena.
template <class T> using SclList = std::span<const T* const>;

enum class SclKind : std::uint8_t { Device, LDevice, LN, DO, DA, DataSet };

// Common root of the six model classes; no virtual functions, so it costs two words per object.
class SclObject {
public:
    SclObject(const SclObject&) = delete;
    SclObject& operator=(const SclObject&) = delete;

    SclKind kind() const { return m_kind; }
    // The owning object; null for a device.
    const SclObject* parent() const { return m_parent; }
    // Position in the owning list of the parent (logicalDevices, logicalNodes, dataObjects, dataAttributes,
    // dataSets).
    std::size_t indexInList() const { return m_index; }

    // The children a tree view shows, in its order: logical devices; logical nodes; a node's data
    // objects then its data sets; a data object's sub-data objects then its attributes; an attribute's
    // sub-attributes. Data-set members are not children.
    std::size_t treeChildCount() const;
    const SclObject* treeChild(std::size_t row) const;
    // Row of this object under its parent in that order.
    std::size_t treeRow() const;

    // Elements of a data object or attribute that is an array (its type's "count"): 0 when it is none,
    // kUnknownArraySize when the file gives no number or one beyond what is kept.
    static constexpr std::size_t kUnknownArraySize = 0xFFFF;
    std::size_t arraySize() const { return m_arraySize; }

protected:
    explicit SclObject(SclKind kind) : m_kind(kind) {}
    ~SclObject() = default;

private:
    friend class SclLoader;
    const SclObject* m_parent = nullptr;
    std::uint32_t m_index = 0;
    SclKind m_kind;
    std::uint16_t m_arraySize = 0; // in what the other fields leave over: objects stay two words
};

class SclDataAttribute;

// A data attribute (DA) or a sub-attribute (BDA) of a structured attribute.
class SclDataAttribute : public SclObject {
public:
    SclDataAttribute();

    // Reference of the enclosing data object or attribute + "." + fName; no functional constraint.
    std::string fReference() const;
    const std::string& fFC() const { return *m_fc; }
    const std::string& fbType() const { return *m_bType; }
    const std::string& fName() const { return *m_name; }
    SclList<SclDataAttribute> dataAttributes() const { return {m_listDA.data(), m_listDA.size()}; }

    bool isLeaf() const { return m_listDA.empty(); }
    // Depth-first, pre-order over the sub-attributes (this one not compared); whole names only.
    const SclDataAttribute* findAttribute(std::string_view DA_Name) const;
    // The first leaf on the path of first children; null for a leaf.
    const SclDataAttribute* firstAttribute() const;

private:
    friend class SclLoader;
    const std::string* m_name;
    const std::string* m_fc;
    const std::string* m_bType;
    std::span<SclDataAttribute*> m_listDA;
};

// A data object (DO) or a sub-data object (SDO).
class SclDataObject : public SclObject {
public:
    SclDataObject();

    const std::string& fName() const { return *m_name; }
    // Reference of the enclosing logical node or data object + "." + fName.
    std::string reference() const;
    SclList<SclDataObject> dataObjects() const { return {m_listDO.data(), m_listDO.size()}; }
    SclList<SclDataAttribute> dataAttributes() const { return {m_listDA.data(), m_listDA.size()}; }

    // Depth-first, pre-order over the sub-data objects (this one not compared).
    const SclDataObject* findDataObject(std::string_view DO_Name) const;
    // Depth-first, pre-order over the attributes and their sub-attributes; sub-data objects are not searched.
    const SclDataAttribute* findAttribute(std::string_view DA_Name) const;
    // The first leaf on the path of first children; null when the object has no attributes.
    const SclDataAttribute* firstAttribute() const;

private:
    friend class SclLoader;
    const std::string* m_name;
    std::span<SclDataObject*> m_listDO;
    std::span<SclDataAttribute*> m_listDA;
};

// One FCDA of a data set, in the order the server sends the data set's values.
struct SclDataSetMember {
    // The attribute it names; null when the model holds no such attribute.
    const SclDataAttribute* attribute = nullptr;
    // The FCDA as written, "ldInst/prefix lnClass lnInst.doName.daName [fc]" without the blanks, for
    // messages about a member that could not be found.
    const std::string* written = nullptr;
    // The member's reference where the FCDA names an element of an array ("LD/MHAI1.HA.phsAHar(7).cVal"),
    // null where it is the attribute's own.
    const std::string* elementReference = nullptr;
    // The FCDA names a whole data object: the server sends a structure where `attribute` is its first
    // leaf.
    bool wholeObject = false;

    // The attribute's reference with the array indexes the FCDA names; empty for a member not found.
    std::string fReference() const;
};

// A data set of a logical node. Its members belong to data objects of the same device.
class SclDataSet : public SclObject {
public:
    SclDataSet();

    const std::string& fName() const { return *m_name; }
    // Reference of the holding node (logical device reference + "/" + prefix + class + instance) + "."
    // + fName: the name the server gives the data set.
    std::string fReference() const;
    // Logical device reference + "/" + class of the holding node + "." + fName: how data sets of nodes
    // other than LLN0 were named before their prefix and instance counted, still found in older access
    // files. Equal to fReference() for a node without prefix and instance.
    std::string classOnlyReference() const;
    const std::string& fGooseName() const { return *m_gooseName; }
    // The attributes of the members that could be found, in member order; one attribute may appear more
    // than once.
    SclList<SclDataAttribute> dataAttributes() const { return m_listDA; }
    // The reference of dataAttributes()[found]: the attribute's own, or with the indexes of the array
    // elements its FCDA names.
    std::string memberReference(std::size_t found) const;
    // Every member, found or not, in member order.
    std::span<const SclDataSetMember> members() const { return m_members; }
    // Place (from 1) of the first member that could not be found; 0 when every member was found.
    std::size_t firstUnresolvedMember() const;

private:
    friend class SclLoader;
    const std::string* m_name;
    const std::string* m_gooseName;
    std::span<const SclDataAttribute* const> m_listDA;
    std::span<const std::string* const> m_listReference; // parallel to m_listDA; null: the attribute's
    std::span<const SclDataSetMember> m_members;
};

// A logical node (LN0 or LN).
class SclLogicalNode : public SclObject {
public:
    SclLogicalNode();

    const std::string& flnClass() const { return *m_lnClass; }
    const std::string& flnType() const { return *m_lnType; }
    const std::string& fPrefix() const { return *m_prefix; }
    const std::string& fInst() const { return *m_inst; }
    // Logical device reference + "/" + prefix + class + instance.
    std::string reference() const;
    SclList<SclDataObject> dataObjects() const { return {m_listDO.data(), m_listDO.size()}; }
    SclList<SclDataSet> dataSets() const { return {m_listDataSet.data(), m_listDataSet.size()}; }

    // Depth-first, pre-order over the data objects and their sub-data objects.
    const SclDataObject* findDataObject(std::string_view DO_Name) const;

private:
    friend class SclLoader;
    const std::string* m_lnClass;
    const std::string* m_lnType;
    const std::string* m_prefix;
    const std::string* m_inst;
    std::span<SclDataObject*> m_listDO;
    std::span<SclDataSet*> m_listDataSet;
};

// A logical device.
class SclLogicalDevice : public SclObject {
public:
    SclLogicalDevice();

    // The LDevice's inst.
    const std::string& fName() const { return *m_name; }
    // IED name immediately followed by fName.
    std::string reference() const;
    SclList<SclLogicalNode> logicalNodes() const { return {m_listLN.data(), m_listLN.size()}; }

    // The first node of that class, whatever its prefix and instance.
    const SclLogicalNode* findLogicalNode(std::string_view LN_Class) const;
    // The first node with that prefix, class and instance.
    const SclLogicalNode* findNode(std::string_view prefix, std::string_view lnClass,
                                   std::string_view inst) const;

private:
    friend class SclLoader;
    const std::string* m_name;
    std::span<SclLogicalNode*> m_listLN;
};

// Guards against files whose types expand without end or beyond memory. The expansion is counted from
// the types before anything is built, so a file that breaks a limit costs little more than its parse.
struct SclLoadLimits {
    // Nesting of data objects below a logical node, and of attributes below a data object.
    std::size_t maxDepth = 200;
    // Logical devices, nodes, data objects, attributes and data sets together.
    std::size_t maxObjects = 32'000'000;
    // Objects per byte of the file (never fewer than 100 000 in all). Real files make less than one
    // object per ten bytes; a file whose types multiply at every level makes millions per byte.
    std::size_t objectsPerFileByte = 50;
    // Text of the objects' references, functional constraints and basic types, in bytes per byte of the
    // file (never less than 16 MB in all): what a listing of the whole model prints. Real files give
    // less than ten; long names in deep chains of types give tens of thousands.
    std::size_t textPerFileByte = 1000;
};

// An address of one of the IED's access points, from the Communication section of the file.
struct SclAddress {
    std::string subNetwork;  // the SubNetwork's name
    std::string accessPoint; // the ConnectedAP's apName
    std::string ip;          // its Address/P of type "IP"; empty when it has none
};

// A report control block of a logical node as its ReportControl gives it; TrgOps and OptFields as the
// bits of the block's attributes (bit 0 first).
struct SclReportControl {
    const SclLogicalNode* node = nullptr;
    std::string name;
    std::string dataSet; // the node's data set it reports, by name; empty: none
    std::string reportId;
    std::uint32_t confRev = 0;
    std::uint32_t bufferTime = 0;
    std::uint32_t integrityPeriod = 0;
    bool buffered = false;
    bool indexed = true;         // instances named name01, name02, ...
    std::uint32_t instances = 1; // RptEnabled max
    std::uint64_t triggers = 0;  // TrgOps: dchg 1, qchg 2, dupd 3, period 4, gi 5
    std::uint64_t options = 0;   // OptFlds: seqNum 1, timeStamp 2, reasonCode 3, dataSet 4, dataRef 5,
                                 // bufOvfl 6, entryID 7, configRef 8
};

// One IED of a file as a picker lists it; the texts are the IED's attributes (empty when missing).
struct SclIedSummary {
    std::string name;
    std::string desc;
    std::string manufacturer;
    std::string type;
    std::string ipAddress; // the first address of its access points with an IP, or empty
    // A file may hold several IEDs of one name: this one's place among them (from 1) and their number.
    std::size_t sameNamePosition = 1;
    std::size_t sameNameCount = 1;
};

// One loaded SCL file: one of its IEDs, the first unless another is named.
class SclIed : public SclObject {
public:
    // Loads the file. A missing file or missing sections give an empty or partial device; a file that
    // is not well-formed XML, or that exceeds the limits, throws ConfigError naming the file.
    explicit SclIed(const std::filesystem::path& FileName_icd, const SclLoadLimits& limits = {});
    // Loads SCL text held in memory; fileName stands for the file in fFileName and in messages.
    SclIed(std::string_view bytes, const std::string& fileName, const SclLoadLimits& limits = {});
    ~SclIed();

    // Loads the named IEDs of one file, parsing it once: one entry per name in the same order, an empty
    // name standing for the first IED, a null entry for a name the file holds no IED of. Errors as the
    // constructors.
    static std::vector<std::unique_ptr<SclIed>> loadIeds(const std::filesystem::path& file,
                                                         const std::vector<std::string>& iedNames,
                                                         const SclLoadLimits& limits = {});
    static std::vector<std::unique_ptr<SclIed>> loadIeds(std::string_view bytes, const std::string& fileName,
                                                         const std::vector<std::string>& iedNames,
                                                         const SclLoadLimits& limits = {});

    // The IED at `position` (from 0) among the file's IEDs named `name`, or null when the file holds
    // no more of that name; sameNameCount receives how many it holds. Errors as the constructors.
    static std::unique_ptr<SclIed> loadIedAt(const std::filesystem::path& file, const std::string& name,
                                             std::size_t position, std::size_t& sameNameCount,
                                             const SclLoadLimits& limits = {});

    const std::string& fName() const { return *m_name; }
    // The file's name without its folder.
    const std::string& fFileName() const { return m_fileName; }
    SclList<SclLogicalDevice> logicalDevices() const { return {m_listLDevice.data(), m_listLDevice.size()}; }

    const SclLogicalDevice* findLogicalDevice(std::string_view LD_Name) const;

    // Every object of the model (logical devices, nodes, data objects, attributes, data sets).
    std::size_t objectCount() const { return m_objectCount; }

    // The IED's access points as the Communication section connects them, in document order.
    const std::vector<SclAddress>& addresses() const { return m_addresses; }
    // The address rows of this device are filled with: the IP of the access point whose server was
    // loaded, else the first IP of any of its access points; empty when the file gives none.
    const std::string& ipAddress() const { return m_ipAddress; }

    // The initial value the SCL gives an attribute (Val of its DAI, else of its DA or BDA), an
    // enumeration's as its ord; null when it gives none. The elements of an array share one value.
    const std::string* initialValue(const SclDataAttribute& attribute) const;
    // The report control blocks of every logical node, in document order.
    const std::vector<SclReportControl>& reportControls() const { return m_reportControls; }

private:
    friend class SclLoader;
    struct Unloaded {};
    SclIed(Unloaded, const std::string& fileName);

    std::pmr::monotonic_buffer_resource m_arena;
    std::unique_ptr<StringPool> m_pool;
    std::string m_fileName;
    const std::string* m_name;
    std::size_t m_objectCount = 0;
    std::span<SclLogicalDevice*> m_listLDevice;
    std::vector<SclAddress> m_addresses;
    std::string m_ipAddress;
    // Kept beside the objects, not in them: few attributes have one.
    std::unordered_map<const SclDataAttribute*, const std::string*> m_initialValues;
    std::vector<SclReportControl> m_reportControls;
};

// The IEDs of a file in document order, read from one parse without building any model. Throws
// ConfigError naming the file when it cannot be read or is not well-formed XML; a missing file or one
// without IEDs gives none.
std::vector<SclIedSummary> listIeds(const std::filesystem::path& file);
std::vector<SclIedSummary> listIeds(std::string_view bytes, const std::string& fileName);

} // namespace sw
