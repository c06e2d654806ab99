#pragma once

#include "core/access/access_file.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The access list as the access editor holds it between opening and OK: the catalog of devices, the
// variables table, the data-set table and the member settings of each selected data set. Every cell is
// text; a table always has at least one data row, and a table whose only row has an empty "Index" is
// empty. Rows are numbered from 1 as the window shows them; cell 0 of every row is that number.
namespace sw {
class SclIed;
class SclDataSet;
class SclDataAttribute;
} // namespace sw

namespace sw::access {

// Columns of the three tables. Column 0 is "N"; column c >= 1 holds attribute c - 1 of the access file
// (VariableColumn, DataSetColumn, MemberColumn), so a table column is the attribute's enumerator + 1.
inline constexpr std::size_t kVariableCells = 1 + VariableColumn::Count; // 17
inline constexpr std::size_t kDataSetCells = 1 + DataSetColumn::Count;   // 9
inline constexpr std::size_t kMemberCells = 1 + MemberColumn::Count;     // 8
inline constexpr std::size_t kNumberColumn = 0;

// The table column of an attribute: tableColumn(VariableColumn::Port) is 6.
constexpr std::size_t tableColumn(std::size_t attribute) {
    return attribute + 1;
}

using VariableCells = std::array<std::string, kVariableCells>;
using DataSetCells = std::array<std::string, kDataSetCells>;
using MemberCells = std::array<std::string, kMemberCells>;

// The headers the window shows over the data-set and members tables (the form's own, not translated).
inline constexpr std::array<std::string_view, kDataSetCells> kDataSetHeaders = {
    "N", "Index", "Reference", "Goose Name", "En. Goose", "IP Address", "Port", "Time (ms)", "Mnemonic"};
inline constexpr std::array<std::string_view, kMemberCells> kMemberHeaders = {
    "N", "bType", "Reference", "Position", "Start Bit", "Convertion", "Mult Fact", "Mnemonic"};

// Settings of one member of a selected data set. The link is into a catalog device and does not own;
// the member's type and reference are kept as texts too, so that the settings of a data set whose
// catalog file is missing are shown and written back as they were read.
struct MemberSetting {
    const SclDataAttribute* Select_DA = nullptr;
    std::string bType;     // the member's fbType
    std::string reference; // the member's fReference
    std::string Position;
    std::string bitAddress;
    std::string conversion;
    std::string multFactor;
    std::string Mnemonic;
};

// A selected data set: the data set in the model (none when it was not found at opening) and the
// settings of its members.
struct SelectedDataSet {
    const SclDataSet* Select_DataSet = nullptr;
    std::vector<MemberSetting> List_DAs;
};

enum class Page { Variables, DataSet };

// One entry of List_IEC_Dev. A catalog file that the access file names but that is missing from the
// catalog folder, cannot be parsed or is named by a path instead of a plain file name stays in the list
// as a placeholder without a device, so that the devices after it keep their indexes; it is written
// back at OK with the Name and FileName it was read with.
struct CatalogDevice {
    enum class State { Loaded, Missing, Unreadable };

    State state = State::Loaded;
    std::unique_ptr<SclIed> device; // set exactly when Loaded
    std::string name;               // the IED name (fName), or Name as read for a placeholder
    std::string fileName;           // file name inside the catalog folder
    std::string iedName;            // the IED of the file it stands for; empty: the first one
    std::string problem;            // for a placeholder: why, in words (empty when Loaded)

    CatalogDevice();
    CatalogDevice(CatalogDevice&&) noexcept;
    CatalogDevice& operator=(CatalogDevice&&) noexcept;
    ~CatalogDevice();

    bool isPlaceholder() const { return state != State::Loaded; }
    // The line of the device list: the IED name, or "<file> (missing)" / "<file> (unreadable)", the
    // file followed by " [<IED>]" when the entry names its IED.
    std::string listText() const;
};

class AccessList {
public:
    AccessList();
    ~AccessList();
    AccessList(const AccessList&) = delete;
    AccessList& operator=(const AccessList&) = delete;

    // Forgets everything: empty catalog, three empty tables (one blank row each), no data sets.
    void clear();

    // --- Catalog (List_IEC_Dev); the device index is the position in this list.
    const std::vector<CatalogDevice>& devices() const { return m_devices; }
    // Appends an entry and returns its index.
    std::size_t appendDevice(CatalogDevice device);
    // Whether a data row of either table has an "Index" whose integer value is `index` (a cell that is
    // not an integer counts as -1).
    bool deviceInUse(std::size_t index) const;
    // The rows (from 1) of each table whose Index names device `index`.
    struct DeviceUsers {
        std::vector<std::size_t> variables;
        std::vector<std::size_t> dataSets;
        bool empty() const { return variables.empty() && dataSets.empty(); }
    };
    DeviceUsers usersOfDevice(std::size_t index) const;
    // Removes entry `index` when no row names it, then lowers by one every "Index" above it. False, with
    // nothing changed, when the index is out of range or the device is in use.
    bool removeDevice(std::size_t index);
    // The data set of loaded device `deviceIndex` whose fReference equals `reference`: logical devices,
    // then their nodes, then their data sets, in list order, the first that matches. Null when the index
    // is out of range, names a placeholder, or nothing matches.
    const SclDataSet* findDataSet(std::int64_t deviceIndex, std::string_view reference) const;

    // --- Variables table: at least one row; row r (from 1) is variables()[r - 1].
    const std::vector<VariableCells>& variables() const { return m_variables; }
    bool variablesEmpty() const;
    // Sets one cell of a data row; column 0 ("N") and rows or columns out of range are ignored.
    void setVariableCell(std::size_t row, std::size_t column, std::string text);
    // Fills the blank row of an empty table, or appends a row; returns the row's number. Every cell but
    // "N" starts empty; the caller fills the rest through setVariableCell or the returned reference.
    std::size_t addVariableRow();
    // Removes data row `row` (from 1); the only row is emptied instead. Out of range: nothing.
    void removeVariableRow(std::size_t row);
    // Replaces every row at once ("N" is set here); no rows leave the one blank row.
    void setVariables(std::vector<VariableCells> rows);

    // --- Data-set table and dataSets: row r belongs to dataSets()[r - 1] whenever
    // the table is not empty.
    const std::vector<DataSetCells>& dataSetRows() const { return m_dataSetRows; }
    const std::vector<SelectedDataSet>& dataSets() const { return m_dataSets; }
    bool dataSetsEmpty() const;
    void setDataSetCell(std::size_t row, std::size_t column, std::string text);
    // Fills the blank row or appends one, with `dataSet` behind it; returns the row's number.
    std::size_t addDataSetRow(SelectedDataSet dataSet);
    // Removes data row `row` and its data set; the only row is emptied instead. Out of range: nothing.
    void removeDataSetRow(std::size_t row);

    // --- Members of the data set behind data-set row `dataSetRow` (from 1), as the members table shows
    // them: one row per MemberSetting, "N" from 1; no rows for a row without a data set.
    std::vector<MemberCells> memberRows(std::size_t dataSetRow) const;
    // Stores a members-table cell into its setting: columns "Position" to "Mnemonic" (3 to 7); the other
    // columns and anything out of range are ignored.
    void setMemberCell(std::size_t dataSetRow, std::size_t memberRow, std::size_t column, std::string text);

    // --- Fill addresses from SCL on rows `rows` (from 1) of the table of `page`: an empty "IP Address"
    // takes the address of the row's device from its SCL file and an empty "Port" takes 102. Rows whose
    // device is not loaded or has no IPv4 address in its file are left alone, and so is every typed cell.
    // Returns how many rows changed.
    std::size_t fillAddressesFromScl(Page page, const std::vector<std::size_t>& rows);

    // --- The access file: the lists as written at OK (every attribute present, empty tables as empty
    // lists, catalog entries in list order, placeholders with the texts they were read with).
    AccessFile toAccessFile() const;

private:
    friend class AccessEditor; // fills the tables in one go when it reads the access file

    template <class Cells> static void renumber(std::vector<Cells>& rows);
    // The loaded device a row's "Index" names, or null.
    const SclIed* rowDevice(const std::string& indexCell) const;
    const std::unordered_map<std::string, const SclDataSet*>& dataSetIndex(std::size_t device) const;

    std::vector<CatalogDevice> m_devices;
    std::vector<VariableCells> m_variables;
    std::vector<DataSetCells> m_dataSetRows;
    std::vector<SelectedDataSet> m_dataSets;
    // Per device, its data sets by reference (first in list order wins), built on first look-up.
    mutable std::vector<std::optional<std::unordered_map<std::string, const SclDataSet*>>> m_dataSetIndex;
};

// A data row whose reference is not found in its device, and why in words. Rows are from 1.
struct StaleRow {
    Page page = Page::Variables;
    std::size_t row = 0;
    std::string problem;
};

// The data rows of both tables (variables, then data sets, each in row order) whose device is out of
// range or a placeholder, or whose Reference names no attribute (variables) or no data set (data sets)
// of their device. Rows of an empty table are not looked at; nothing is changed.
std::vector<StaleRow> staleRows(const AccessList& list);

} // namespace sw::access
