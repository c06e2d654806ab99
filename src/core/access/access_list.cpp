#include "core/access/access_list.h"

#include "core/access/device_references.h"

#include "core/access/model_lists.h"
#include "core/common/ip_address.h"
#include "core/common/numbers.h"
#include "core/scl/scl_model.h"

#include <utility>

namespace sw::access {

namespace {

constexpr std::size_t kIndexColumn = tableColumn(VariableColumn::Index);
static_assert(tableColumn(DataSetColumn::Index) == kIndexColumn);

// A cell that is not an integer names no device.
std::int64_t indexValue(const std::string& cell) {
    return parseInteger(cell).value_or(-1);
}

template <class Cells> bool isEmptyTable(const std::vector<Cells>& rows) {
    return rows.size() == 1 && rows[0][kIndexColumn].empty();
}

template <class Cells> std::vector<Cells> oneBlankRow() {
    std::vector<Cells> rows(1);
    rows[0][kNumberColumn] = "1";
    return rows;
}

// Fills the blank row of an empty table or appends one; returns its index from 0.
template <class Cells> std::size_t takeRow(std::vector<Cells>& rows) {
    if (isEmptyTable(rows)) {
        rows[0] = Cells{};
        rows[0][kNumberColumn] = "1";
        return 0;
    }
    Cells& row = rows.emplace_back();
    row[kNumberColumn] = std::to_string(rows.size());
    return rows.size() - 1;
}

template <std::size_t N, std::size_t Cells>
void toRow(Row<N>& row, const std::array<std::string, Cells>& cells) {
    static_assert(Cells == N + 1);
    for (std::size_t column = 0; column < N; ++column) {
        row.cells[column] = cells[column + 1];
    }
    row.present.set();
}

} // namespace

CatalogDevice::CatalogDevice() = default;
CatalogDevice::CatalogDevice(CatalogDevice&&) noexcept = default;
CatalogDevice& CatalogDevice::operator=(CatalogDevice&&) noexcept = default;
CatalogDevice::~CatalogDevice() = default;

std::string CatalogDevice::listText() const {
    const std::string file = iedName.empty() ? fileName : fileName + " [" + iedName + "]";
    switch (state) {
    case State::Loaded:
        return name;
    case State::Missing:
        return file + " (missing)";
    case State::Unreadable:
        return file + " (unreadable)";
    }
    return name;
}

AccessList::AccessList() {
    clear();
}

AccessList::~AccessList() {
    // The data sets link into the devices: they go first.
    m_dataSets.clear();
    while (!m_devices.empty()) {
        m_devices.pop_back();
    }
}

void AccessList::clear() {
    m_dataSets.clear();
    m_dataSetIndex.clear();
    while (!m_devices.empty()) {
        m_devices.pop_back();
    }
    m_variables = oneBlankRow<VariableCells>();
    m_dataSetRows = oneBlankRow<DataSetCells>();
}

template <class Cells> void AccessList::renumber(std::vector<Cells>& rows) {
    for (std::size_t r = 0; r < rows.size(); ++r) {
        rows[r][kNumberColumn] = std::to_string(r + 1);
    }
}

// --- Catalog

std::size_t AccessList::appendDevice(CatalogDevice device) {
    m_devices.push_back(std::move(device));
    m_dataSetIndex.resize(m_devices.size());
    return m_devices.size() - 1;
}

AccessList::DeviceUsers AccessList::usersOfDevice(std::size_t index) const {
    const auto wanted = static_cast<std::int64_t>(index);
    DeviceUsers users;
    for (std::size_t row = 0; row < m_variables.size(); ++row) {
        if (indexValue(m_variables[row][kIndexColumn]) == wanted) {
            users.variables.push_back(row + 1);
        }
    }
    for (std::size_t row = 0; row < m_dataSetRows.size(); ++row) {
        if (indexValue(m_dataSetRows[row][kIndexColumn]) == wanted) {
            users.dataSets.push_back(row + 1);
        }
    }
    return users;
}

bool AccessList::deviceInUse(std::size_t index) const {
    return !usersOfDevice(index).empty();
}

bool AccessList::removeDevice(std::size_t index) {
    if (index >= m_devices.size() || deviceInUse(index)) {
        return false;
    }
    // A row whose Index was edited may still hold links into the device: they go with it.
    const SclObject* gone = m_devices[index].device.get();
    for (SelectedDataSet& dataSet : m_dataSets) {
        if (dataSet.Select_DataSet != nullptr && detail::deviceOf(*dataSet.Select_DataSet) == gone) {
            dataSet.Select_DataSet = nullptr;
            for (MemberSetting& member : dataSet.List_DAs) {
                member.Select_DA = nullptr;
            }
        }
    }
    m_devices.erase(m_devices.begin() + static_cast<std::ptrdiff_t>(index));
    m_dataSetIndex.clear();
    m_dataSetIndex.resize(m_devices.size());
    const auto removed = static_cast<std::int64_t>(index);
    auto shift = [removed](std::string& cell) {
        const std::int64_t value = indexValue(cell);
        if (value > removed) {
            cell = std::to_string(value - 1);
        }
    };
    for (VariableCells& row : m_variables) {
        shift(row[kIndexColumn]);
    }
    for (DataSetCells& row : m_dataSetRows) {
        shift(row[kIndexColumn]);
    }
    return true;
}

const std::unordered_map<std::string, const SclDataSet*>& AccessList::dataSetIndex(std::size_t device) const {
    auto& index = m_dataSetIndex[device];
    if (!index) {
        index.emplace();
        if (const SclIed* model = m_devices[device].device.get()) {
            detail::forEachDataSet(*model, [&](const SclDataSet& dataSet) {
                // emplace keeps the first of equal references, as the search in list order finds it.
                index->emplace(dataSet.fReference(), &dataSet);
            });
            // Older access files name a data set by its node's class alone; such a name still finds it
            // when no data set has it as its own.
            detail::forEachDataSet(*model, [&](const SclDataSet& dataSet) {
                index->emplace(dataSet.classOnlyReference(), &dataSet);
            });
        }
    }
    return *index;
}

const SclDataSet* AccessList::findDataSet(std::int64_t deviceIndex, std::string_view reference) const {
    if (deviceIndex < 0 || static_cast<std::uint64_t>(deviceIndex) >= m_devices.size()) {
        return nullptr;
    }
    const auto& index = dataSetIndex(static_cast<std::size_t>(deviceIndex));
    const auto found = index.find(std::string(reference));
    return found == index.end() ? nullptr : found->second;
}

// --- Variables table

bool AccessList::variablesEmpty() const {
    return isEmptyTable(m_variables);
}

void AccessList::setVariableCell(std::size_t row, std::size_t column, std::string text) {
    if (row >= 1 && row <= m_variables.size() && column >= 1 && column < kVariableCells) {
        m_variables[row - 1][column] = std::move(text);
    }
}

std::size_t AccessList::addVariableRow() {
    return takeRow(m_variables) + 1;
}

void AccessList::removeVariableRow(std::size_t row) {
    if (row < 1 || row > m_variables.size()) {
        return;
    }
    if (m_variables.size() == 1) {
        m_variables = oneBlankRow<VariableCells>();
        return;
    }
    m_variables.erase(m_variables.begin() + static_cast<std::ptrdiff_t>(row - 1));
    renumber(m_variables);
}

void AccessList::setVariables(std::vector<VariableCells> rows) {
    m_variables = rows.empty() ? oneBlankRow<VariableCells>() : std::move(rows);
    renumber(m_variables);
}

// --- Data-set table

bool AccessList::dataSetsEmpty() const {
    return isEmptyTable(m_dataSetRows);
}

void AccessList::setDataSetCell(std::size_t row, std::size_t column, std::string text) {
    if (row >= 1 && row <= m_dataSetRows.size() && column >= 1 && column < kDataSetCells) {
        m_dataSetRows[row - 1][column] = std::move(text);
    }
}

std::size_t AccessList::addDataSetRow(SelectedDataSet dataSet) {
    const std::size_t index = takeRow(m_dataSetRows);
    // A blank row that is being filled may have no data set behind it yet.
    m_dataSets.resize(index);
    m_dataSets.push_back(std::move(dataSet));
    return index + 1;
}

void AccessList::removeDataSetRow(std::size_t row) {
    if (row < 1 || row > m_dataSetRows.size()) {
        return;
    }
    if (row <= m_dataSets.size()) {
        m_dataSets.erase(m_dataSets.begin() + static_cast<std::ptrdiff_t>(row - 1));
    }
    if (m_dataSetRows.size() == 1) {
        m_dataSetRows = oneBlankRow<DataSetCells>();
        m_dataSets.clear();
        return;
    }
    m_dataSetRows.erase(m_dataSetRows.begin() + static_cast<std::ptrdiff_t>(row - 1));
    renumber(m_dataSetRows);
}

// --- Members

std::vector<MemberCells> AccessList::memberRows(std::size_t dataSetRow) const {
    std::vector<MemberCells> rows;
    if (dataSetRow < 1 || dataSetRow > m_dataSets.size() || dataSetsEmpty()) {
        return rows;
    }
    const SelectedDataSet& dataSet = m_dataSets[dataSetRow - 1];
    rows.reserve(dataSet.List_DAs.size());
    for (const MemberSetting& member : dataSet.List_DAs) {
        MemberCells& cells = rows.emplace_back();
        cells[kNumberColumn] = std::to_string(rows.size());
        cells[tableColumn(MemberColumn::bType)] = member.bType;
        cells[tableColumn(MemberColumn::Reference)] = member.reference;
        cells[tableColumn(MemberColumn::Position)] = member.Position;
        cells[tableColumn(MemberColumn::StartBit)] = member.bitAddress;
        cells[tableColumn(MemberColumn::Convertion)] = member.conversion;
        cells[tableColumn(MemberColumn::MoltFact)] = member.multFactor;
        cells[tableColumn(MemberColumn::Mnemonic)] = member.Mnemonic;
    }
    return rows;
}

void AccessList::setMemberCell(std::size_t dataSetRow, std::size_t memberRow, std::size_t column,
                               std::string text) {
    if (dataSetRow < 1 || dataSetRow > m_dataSets.size()) {
        return;
    }
    auto& members = m_dataSets[dataSetRow - 1].List_DAs;
    if (memberRow < 1 || memberRow > members.size()) {
        return;
    }
    MemberSetting& member = members[memberRow - 1];
    switch (column) {
    case tableColumn(MemberColumn::Position):
        member.Position = std::move(text);
        break;
    case tableColumn(MemberColumn::StartBit):
        member.bitAddress = std::move(text);
        break;
    case tableColumn(MemberColumn::Convertion):
        member.conversion = std::move(text);
        break;
    case tableColumn(MemberColumn::MoltFact):
        member.multFactor = std::move(text);
        break;
    case tableColumn(MemberColumn::Mnemonic):
        member.Mnemonic = std::move(text);
        break;
    default:
        break;
    }
}

// --- Addresses

const SclIed* AccessList::rowDevice(const std::string& indexCell) const {
    const std::int64_t index = indexValue(indexCell);
    if (index < 0 || static_cast<std::uint64_t>(index) >= m_devices.size()) {
        return nullptr;
    }
    return m_devices[static_cast<std::size_t>(index)].device.get();
}

std::size_t AccessList::fillAddressesFromScl(Page page, const std::vector<std::size_t>& rows) {
    // The standard port of the protocol: what a device listens on unless told otherwise.
    constexpr const char* kDefaultPort = "102";
    const auto fill = [this, &rows](auto& table, std::size_t ipColumn, std::size_t portColumn) {
        std::size_t changed = 0;
        if (isEmptyTable(table)) {
            return changed;
        }
        for (const std::size_t row : rows) {
            if (row < 1 || row > table.size()) {
                continue;
            }
            auto& cells = table[row - 1];
            const SclIed* device = rowDevice(cells[kIndexColumn]);
            // Only an address the converter can use: the OK check would refuse any other.
            std::array<std::string, 4> parts;
            if (device == nullptr || !checkIpAddress(device->ipAddress(), parts)) {
                continue;
            }
            bool rowChanged = false;
            if (cells[ipColumn].empty()) {
                cells[ipColumn] = device->ipAddress();
                rowChanged = true;
            }
            if (cells[portColumn].empty()) {
                cells[portColumn] = kDefaultPort;
                rowChanged = true;
            }
            changed += rowChanged ? 1 : 0;
        }
        return changed;
    };
    if (page == Page::Variables) {
        return fill(m_variables, tableColumn(VariableColumn::IPAddress), tableColumn(VariableColumn::Port));
    }
    return fill(m_dataSetRows, tableColumn(DataSetColumn::IPAddress), tableColumn(DataSetColumn::Port));
}

// --- Access file

AccessFile AccessList::toAccessFile() const {
    AccessFile access;
    access.hasRoot = access.hasCatalogList = access.hasVariableList = access.hasDataSetList = true;
    access.catalog.reserve(m_devices.size());
    for (const CatalogDevice& device : m_devices) {
        CatalogRow& row = access.catalog.emplace_back();
        row.cells[CatalogColumn::Name] = device.name;
        row.cells[CatalogColumn::FileName] = device.fileName;
        row.cells[CatalogColumn::IEDName] = device.iedName;
        row.present.set(CatalogColumn::Name);
        row.present.set(CatalogColumn::FileName);
        row.present.set(CatalogColumn::IEDName, !device.iedName.empty());
    }
    if (!variablesEmpty()) {
        access.variables.resize(m_variables.size());
        for (std::size_t r = 0; r < m_variables.size(); ++r) {
            toRow(access.variables[r], m_variables[r]);
        }
    }
    if (!dataSetsEmpty()) {
        access.dataSets.resize(m_dataSetRows.size());
        for (std::size_t r = 0; r < m_dataSetRows.size(); ++r) {
            DataSetRow& row = access.dataSets[r];
            toRow(row, m_dataSetRows[r]);
            row.hasMemberList = true;
            if (r >= m_dataSets.size()) {
                continue;
            }
            const auto& members = m_dataSets[r].List_DAs;
            row.members.resize(members.size());
            for (std::size_t k = 0; k < members.size(); ++k) {
                const MemberSetting& member = members[k];
                auto& cells = row.members[k].cells;
                cells[MemberColumn::bType] = member.bType;
                cells[MemberColumn::Reference] = member.reference;
                cells[MemberColumn::Position] = member.Position;
                cells[MemberColumn::StartBit] = member.bitAddress;
                cells[MemberColumn::Convertion] = member.conversion;
                cells[MemberColumn::MoltFact] = member.multFactor;
                cells[MemberColumn::Mnemonic] = member.Mnemonic;
                row.members[k].present.set();
            }
        }
    }
    return access;
}

} // namespace sw::access

namespace sw::access {

std::vector<StaleRow> staleRows(const AccessList& list) {
    std::vector<StaleRow> stale;
    const auto& devices = list.devices();
    // Each device's references are gathered once, when a row first needs them.
    std::vector<std::optional<DeviceReferences>> references(devices.size());
    // Why the row's device cannot hold its reference; empty when the device is loaded.
    const auto deviceProblem = [&devices](const std::string& indexCell) -> std::string {
        const std::int64_t index = indexValue(indexCell);
        if (index < 0 || static_cast<std::uint64_t>(index) >= devices.size()) {
            return "Index \"" + indexCell + "\" names no device of the catalog";
        }
        const CatalogDevice& device = devices[static_cast<std::size_t>(index)];
        if (device.isPlaceholder()) {
            return "Device " + indexCell + " (" + device.listText() + ") is not loaded: " + device.problem;
        }
        return {};
    };
    const auto where = [&devices](const std::string& indexCell) {
        const CatalogDevice& device = devices[static_cast<std::size_t>(indexValue(indexCell))];
        return "the IED \"" + device.name + "\" of \"" + device.fileName + "\"";
    };
    if (!list.variablesEmpty()) {
        for (std::size_t r = 0; r < list.variables().size(); ++r) {
            const VariableCells& cells = list.variables()[r];
            std::string problem = deviceProblem(cells[kIndexColumn]);
            if (problem.empty()) {
                const std::string& reference = cells[tableColumn(VariableColumn::Reference)];
                const auto index = static_cast<std::size_t>(indexValue(cells[kIndexColumn]));
                if (!references[index]) {
                    references[index].emplace(*devices[index].device);
                }
                if (!references[index]->hasAttribute(reference)) {
                    problem = "\"" + reference + "\" is not an attribute of " + where(cells[kIndexColumn]);
                }
            }
            if (!problem.empty()) {
                stale.push_back({Page::Variables, r + 1, std::move(problem)});
            }
        }
    }
    if (!list.dataSetsEmpty()) {
        for (std::size_t r = 0; r < list.dataSetRows().size(); ++r) {
            const DataSetCells& cells = list.dataSetRows()[r];
            std::string problem = deviceProblem(cells[kIndexColumn]);
            const std::string& reference = cells[tableColumn(DataSetColumn::Reference)];
            if (problem.empty()) {
                const SclDataSet* dataSet = list.findDataSet(indexValue(cells[kIndexColumn]), reference);
                if (dataSet == nullptr) {
                    problem = "\"" + reference + "\" is not a data set of " + where(cells[kIndexColumn]);
                } else {
                    problem = incompleteDataSetText(*dataSet);
                }
            }
            if (!problem.empty()) {
                stale.push_back({Page::DataSet, r + 1, std::move(problem)});
            }
        }
    }
    return stale;
}

} // namespace sw::access
