#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The access file IEC_61850_Client.xml as plain lists: the catalog of SCL files, the selected variables
// and the selected data sets with their members. Every attribute is kept as the text written in the
// file, and an attribute that is not there is told apart from an empty one; what the texts mean is up
// to the reader of the lists (the image builder, the access editor).
namespace sw::access {

// The attributes of each kind of row, in the order the access editor writes them: the enumerators
// index a row's cells and the tables below give their names.
struct CatalogColumn {
    // IEDName names the IED of the file that the item stands for; without it, the file's first IED.
    enum : std::size_t { Name, FileName, IEDName, Count };
};
struct VariableColumn {
    enum : std::size_t {
        Index,
        bType,
        fc,
        Reference,
        IPAddress,
        Port,
        OnChange,
        OnCMD,
        OnTimer,
        Time,
        Position,
        StartBit,
        ReadWrite,
        Convertion,
        MoltFact,
        Mnemonic,
        Count
    };
};
struct DataSetColumn {
    enum : std::size_t { Index, Reference, GooseName, EnGoose, IPAddress, Port, Time, Mnemonic, Count };
};
struct MemberColumn {
    enum : std::size_t { bType, Reference, Position, StartBit, Convertion, MoltFact, Mnemonic, Count };
};

inline constexpr std::array<std::string_view, CatalogColumn::Count> kCatalogAttributes = {"Name", "FileName",
                                                                                          "IEDName"};
inline constexpr std::array<std::string_view, VariableColumn::Count> kVariableAttributes = {
    "Index",   "bType", "fc",       "Reference", "IPAddress", "Port",       "OnChange", "OnCMD",
    "OnTimer", "Time",  "Position", "StartBit",  "ReadWrite", "Convertion", "MoltFact", "Mnemonic"};
inline constexpr std::array<std::string_view, DataSetColumn::Count> kDataSetAttributes = {
    "Index", "Reference", "GooseName", "EnGoose", "IPAddress", "Port", "Time", "Mnemonic"};
inline constexpr std::array<std::string_view, MemberColumn::Count> kMemberAttributes = {
    "bType", "Reference", "Position", "StartBit", "Convertion", "MoltFact", "Mnemonic"};

inline constexpr std::string_view kRootElement = "IEC_68850_Client";
inline constexpr std::string_view kCatalogList = "List_ICD_Files";
inline constexpr std::string_view kCatalogItem = "ICD_File";
inline constexpr std::string_view kVariableList = "List_DA_Selected";
inline constexpr std::string_view kVariableItem = "DA_Item";
inline constexpr std::string_view kDataSetList = "List_DataSet_Selected";
inline constexpr std::string_view kDataSetItem = "DataSet_Item";
inline constexpr std::string_view kMemberList = "DataSet_List_DAs";
inline constexpr std::string_view kMemberItem = "DataSet_DA_Item";

// One element's attributes as cells; a missing attribute is an empty cell whose presence bit is clear.
template <std::size_t N> struct Row {
    std::array<std::string, N> cells;
    std::bitset<N> present;

    const std::string& operator[](std::size_t column) const { return cells[column]; }
    bool has(std::size_t column) const { return present[column]; }
};

using CatalogRow = Row<CatalogColumn::Count>;
using VariableRow = Row<VariableColumn::Count>;
using MemberRow = Row<MemberColumn::Count>;

struct DataSetRow : Row<DataSetColumn::Count> {
    bool hasMemberList = false; // whether the item holds a DataSet_List_DAs element
    std::vector<MemberRow> members;
};

struct AccessFile {
    bool hasRoot = false;
    bool hasCatalogList = false;
    bool hasVariableList = false;
    bool hasDataSetList = false;
    std::vector<CatalogRow> catalog;
    std::vector<VariableRow> variables;
    std::vector<DataSetRow> dataSets;
};

// A row as the reader meets it: views into the parsed file, each followed by a terminating zero, valid
// only during the call that hands the row over.
template <std::size_t N> struct RowView {
    std::array<std::string_view, N> cells;
    std::bitset<N> present;

    std::string_view operator[](std::size_t column) const { return cells[column]; }
    bool has(std::size_t column) const { return present[column]; }
};

// Which lists the file holds and how many items, known before the first item is handed over.
struct AccessFileOutline {
    bool hasRoot = false;
    bool hasCatalogList = false;
    bool hasVariableList = false;
    bool hasDataSetList = false;
    std::size_t variableCount = 0;
    std::size_t dataSetCount = 0;
};

// Receives the file's items in order: the outline, the catalog, the variables, then each data set
// followed by its members. Rows and members count from 1.
class AccessFileVisitor {
public:
    virtual ~AccessFileVisitor() = default;
    virtual void outline(const AccessFileOutline& outline) = 0;
    virtual void catalogItem(const RowView<CatalogColumn::Count>& item, std::size_t row) = 0;
    virtual void variable(const RowView<VariableColumn::Count>& item, std::size_t row) = 0;
    virtual void dataSet(const RowView<DataSetColumn::Count>& item, std::size_t row, bool hasMemberList,
                         std::size_t memberCount) = 0;
    virtual void member(const RowView<MemberColumn::Count>& item, std::size_t row, std::size_t member) = 0;
};

// Reads the file, handing every item to the visitor as it is met, with the rules of readAccessFile
// below: readers that turn the texts into something else need not keep a copy of them.
void visitAccessFile(const std::filesystem::path& file, AccessFileVisitor& visitor);

// Reads the file. The root is the first top-level element named IEC_68850_Client; of each list the
// first element of its name counts, and of each data set the first member list; comments, text and
// other elements count for nothing, nor does an attribute's second occurrence. Throws ConfigError
// naming the file when it cannot be read or is not well-formed XML, and naming the attribute and the
// row when a value refers to a character no text may hold (U+0000, a surrogate).
AccessFile readAccessFile(const std::filesystem::path& file);

// Words a row for messages: "row 2 of List_DA_Selected", "member 3 of the data set in row 2 of
// List_DataSet_Selected". Rows and members count from 1.
std::string describeRow(std::string_view list, std::size_t row, std::size_t member = 0);

// The bytes the access editor writes: the root, List_ICD_Files, List_DA_Selected and
// List_DataSet_Selected, each always present, every row with all its attributes in table order (an
// absent one written empty) but a catalog item's IEDName, written only when it is not empty, every data
// set with its DataSet_List_DAs; then the version comment after the root. Raw UTF-8, no declaration, no
// indentation.
// Throws ConfigError, naming the attribute and the row, for a control character XML 1.0 cannot hold;
// `forComparison` keeps such characters instead, for bytes that are compared and never written.
std::string accessFileBytes(const AccessFile& access, bool forComparison = false);

// The bytes of an access file with its variables list replaced by `variables` and every other byte kept
// as it stands: the catalog, the data sets, comments and anything a hand or another tool put there.
// Nothing when the file has no variables list whose bytes can be told apart; the caller then writes
// the file anew. Throws ConfigError when the bytes are not well-formed XML.
std::optional<std::string> withVariables(std::string_view fileBytes, const std::string& displayName,
                                         const std::vector<VariableRow>& variables);

// Replaces the file atomically with accessFileBytes(access); throws ConfigError naming the file.
void writeAccessFile(const std::filesystem::path& file, const AccessFile& access);

} // namespace sw::access
