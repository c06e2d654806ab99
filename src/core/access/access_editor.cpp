#include "core/access/access_editor.h"

#include "core/access/model_lists.h"
#include "core/common/atomic_file.h"
#include "core/common/config_error.h"
#include "core/common/escaped_text.h"
#include "core/common/numbers.h"
#include "core/common/path_text.h"
#include "core/project/project_paths.h"
#include "core/scl/scl_model.h"

#include <algorithm>
#include <utility>

namespace sw::access {

namespace {

// Only a plain name of a file directly in the catalog folder is ever opened through the access file.
bool isPlainFileName(const std::string& name) {
    if (name.empty() || name.find("..") != std::string::npos) {
        return false;
    }
    for (const char c : name) {
        if (c == '/' || c == '\\' || c == ':' || c == 0) {
            return false;
        }
    }
    return !pathFromUtf8(name).is_absolute();
}

// The catalog entries of the access file's items, each file parsed once for all the IEDs its items name.
std::vector<CatalogDevice> loadCatalog(const std::filesystem::path& catalog,
                                       const std::vector<CatalogRow>& rows, const DeviceLoader& load) {
    std::vector<CatalogDevice> entries(rows.size());
    std::vector<std::pair<std::string, std::vector<std::size_t>>> files; // in order of first mention
    for (std::size_t i = 0; i < rows.size(); ++i) {
        CatalogDevice& entry = entries[i];
        entry.name = rows[i][CatalogColumn::Name];
        entry.fileName = rows[i][CatalogColumn::FileName];
        entry.iedName = rows[i][CatalogColumn::IEDName];
        if (!isPlainFileName(entry.fileName)) {
            entry.state = CatalogDevice::State::Missing;
            entry.problem = "\"" + entry.fileName + "\" is not the name of a file in the catalog folder";
            continue;
        }
        const std::filesystem::path file = catalog / entry.fileName;
        std::error_code error;
        if (!std::filesystem::exists(file, error) && !error) {
            entry.state = CatalogDevice::State::Missing;
            entry.problem = "The file \"" + utf8Of(file) + "\" is missing from the catalog folder";
            continue;
        }
        auto known = std::find_if(files.begin(), files.end(),
                                  [&entry](const auto& each) { return each.first == entry.fileName; });
        if (known == files.end()) {
            known = files.insert(files.end(), {entry.fileName, {}});
        }
        known->second.push_back(i);
    }
    for (const auto& [fileName, items] : files) {
        const std::filesystem::path file = catalog / pathFromUtf8(fileName);
        std::vector<std::string> names;
        for (const std::size_t i : items) {
            names.push_back(entries[i].iedName);
        }
        std::vector<std::unique_ptr<SclIed>> devices;
        std::string failure;
        try {
            devices = load(file, names);
            devices.resize(items.size());
        } catch (const ConfigError& error) {
            failure = error.what();
        }
        for (std::size_t k = 0; k < items.size(); ++k) {
            CatalogDevice& entry = entries[items[k]];
            if (!failure.empty()) {
                entry.state = CatalogDevice::State::Unreadable;
                entry.problem = failure;
            } else if (devices[k] == nullptr) {
                entry.state = CatalogDevice::State::Missing;
                entry.problem =
                    "The file \"" + utf8Of(file) + "\" holds no IED named \"" + entry.iedName + "\"";
            } else {
                entry.device = std::move(devices[k]);
                entry.name = entry.device->fName();
            }
        }
    }
    return entries;
}

// Stored settings take their member by position first, as files written before any change of the ICD
// expect; the rest look for the first member not yet taken with the same reference and type, so that a
// member inserted into the data set does not cost the settings of all that follow it. The settings come
// out in member order, which is the order the next opening matches them by; a member no setting took
// joins without settings, since the converter places each value by its place in the data set.
std::vector<MemberSetting> matchMembers(const SclDataSet& dataSet, std::vector<MemberRow>& stored,
                                        std::size_t row, OpenReport& report) {
    const std::vector<const SclDataAttribute*> members = detail::membersOf(dataSet);
    std::vector<std::string> references;
    references.reserve(members.size());
    for (std::size_t k = 0; k < members.size(); ++k) {
        references.push_back(dataSet.memberReference(k));
    }
    const auto same = [&](std::size_t m, const MemberRow& item) {
        return members[m]->fbType() == item[MemberColumn::bType] &&
               references[m] == item[MemberColumn::Reference];
    };

    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::vector<std::size_t> takenBy(members.size(), kNone); // member -> stored item
    std::vector<bool> placed(stored.size(), false);
    for (std::size_t k = 0; k < stored.size() && k < members.size(); ++k) {
        if (same(k, stored[k])) {
            takenBy[k] = k;
            placed[k] = true;
        }
    }
    for (std::size_t k = 0; k < stored.size(); ++k) {
        if (placed[k]) {
            continue;
        }
        for (std::size_t m = 0; m < members.size(); ++m) {
            if (takenBy[m] == kNone && same(m, stored[k])) {
                takenBy[m] = k;
                placed[k] = true;
                break;
            }
        }
        if (!placed[k]) {
            report.droppedMembers.push_back({row, stored[k][MemberColumn::Reference]});
        }
    }

    std::vector<MemberSetting> settings;
    for (std::size_t m = 0; m < members.size(); ++m) {
        if (takenBy[m] == kNone) {
            MemberSetting& added = settings.emplace_back();
            added.Select_DA = members[m];
            added.bType = members[m]->fbType();
            added.reference = references[m];
            report.addedMembers.push_back({row, m + 1, references[m]});
            continue;
        }
        auto& cells = stored[takenBy[m]].cells;
        MemberSetting& setting = settings.emplace_back();
        setting.Select_DA = members[m];
        setting.bType = std::move(cells[MemberColumn::bType]);
        setting.reference = std::move(cells[MemberColumn::Reference]);
        setting.Position = std::move(cells[MemberColumn::Position]);
        setting.bitAddress = std::move(cells[MemberColumn::StartBit]);
        setting.conversion = std::move(cells[MemberColumn::Convertion]);
        setting.multFactor = std::move(cells[MemberColumn::MoltFact]);
        setting.Mnemonic = std::move(cells[MemberColumn::Mnemonic]);
    }
    return settings;
}

// The settings of a data set whose catalog file is missing or unreadable are kept as read, unlinked:
// the file may come back, and dropping them would erase them at the next OK.
std::vector<MemberSetting> keptAsRead(std::vector<MemberRow>& stored) {
    std::vector<MemberSetting> settings(stored.size());
    for (std::size_t k = 0; k < stored.size(); ++k) {
        auto& cells = stored[k].cells;
        settings[k].bType = std::move(cells[MemberColumn::bType]);
        settings[k].reference = std::move(cells[MemberColumn::Reference]);
        settings[k].Position = std::move(cells[MemberColumn::Position]);
        settings[k].bitAddress = std::move(cells[MemberColumn::StartBit]);
        settings[k].conversion = std::move(cells[MemberColumn::Convertion]);
        settings[k].multFactor = std::move(cells[MemberColumn::MoltFact]);
        settings[k].Mnemonic = std::move(cells[MemberColumn::Mnemonic]);
    }
    return settings;
}

template <std::size_t N, std::size_t Cells>
void fromRow(std::array<std::string, Cells>& cells, Row<N>& row, std::size_t number) {
    static_assert(Cells == N + 1);
    cells[kNumberColumn] = std::to_string(number);
    for (std::size_t column = 0; column < N; ++column) {
        cells[column + 1] = std::move(row.cells[column]);
    }
}

} // namespace

// The references come from files: escaped, each stays on its own line of the message.
std::string OpenReport::message() const {
    std::string text;
    const auto paragraph = [&text](const char* heading) {
        if (!text.empty()) {
            text += "\n\n";
        }
        text += heading;
    };
    if (!droppedMembers.empty()) {
        paragraph("These data-set member settings match no member of their data set in the catalog and "
                  "will not be saved again:");
        for (const DroppedMember& dropped : droppedMembers) {
            text += "\nrow " + std::to_string(dropped.dataSetRow) + ": " +
                    escapeControlCharacters(dropped.reference);
        }
    }
    if (!addedMembers.empty()) {
        paragraph("These members of data sets in the catalog had no settings and were added at their place, "
                  "so that the list lines up with the values the server sends; give them a position:");
        for (const AddedMember& added : addedMembers) {
            text += "\nrow " + std::to_string(added.dataSetRow) + " member " + std::to_string(added.place) +
                    ": " + escapeControlCharacters(added.reference);
        }
    }
    if (!renamedDataSets.empty()) {
        paragraph("These data sets were named by their node's class alone and now carry the name the server "
                  "gives them:");
        for (const RenamedDataSet& renamed : renamedDataSets) {
            text += "\nrow " + std::to_string(renamed.dataSetRow) + ": " +
                    escapeControlCharacters(renamed.from) + " -> " + escapeControlCharacters(renamed.to);
        }
    }
    return text;
}

AccessEditor::AccessEditor() = default;
AccessEditor::~AccessEditor() = default;

void AccessEditor::setDeviceLoader(DeviceLoader loader) {
    m_loader = std::move(loader);
}

void AccessEditor::setIedLister(IedLister lister) {
    m_lister = std::move(lister);
}

std::vector<std::unique_ptr<SclIed>>
AccessEditor::loadDevices(const std::filesystem::path& file, const std::vector<std::string>& iedNames) const {
    return m_loader ? m_loader(file, iedNames) : SclIed::loadIeds(file, iedNames);
}

void AccessEditor::clearSelection() {
    m_selectedDA = nullptr;
    m_selectedDS = nullptr;
}

StoredAccess readStoredAccess(const ProjectPaths& project, const DeviceLoader& load) {
    StoredAccess stored;
    const std::filesystem::path file = project.accessFile();
    std::error_code error;
    if (!std::filesystem::exists(file, error) && !error) {
        return stored;
    }
    stored.file = readAccessFile(file);
    const DeviceLoader loader = [&load](const std::filesystem::path& f,
                                        const std::vector<std::string>& names) {
        std::vector<std::unique_ptr<SclIed>> devices = load ? load(f, names) : SclIed::loadIeds(f, names);
        if (devices.size() != names.size()) {
            throw ConfigError(ErrorCode::FileCannotBeLoaded, {utf8Of(f)});
        }
        return devices;
    };
    stored.catalog = loadCatalog(project.icdCatalog(), stored.file->catalog, loader);
    return stored;
}

OpenReport AccessEditor::open(const ProjectPaths& project) {
    open(StoredAccess{}); // a file that cannot be read leaves the editor empty
    return open(readStoredAccess(project, m_loader));
}

OpenReport AccessEditor::open(StoredAccess read) {
    clearSelection();
    m_chosenDevice.reset();
    m_dataSetRowSelect = 0;
    m_list.clear();

    OpenReport report;
    for (CatalogDevice& entry : read.catalog) {
        m_list.appendDevice(std::move(entry));
    }
    if (!read.file) {
        m_storedBytes = accessFileBytes(m_list.toAccessFile(), true);
        return report;
    }
    AccessFile& access = *read.file;

    if (!access.variables.empty()) {
        m_list.m_variables.resize(access.variables.size());
        for (std::size_t i = 0; i < access.variables.size(); ++i) {
            fromRow(m_list.m_variables[i], access.variables[i], i + 1);
        }
    }

    if (!access.dataSets.empty()) {
        m_list.m_dataSetRows.resize(access.dataSets.size());
        m_list.m_dataSets.resize(access.dataSets.size());
        for (std::size_t i = 0; i < access.dataSets.size(); ++i) {
            DataSetRow& stored = access.dataSets[i];
            DataSetCells& cells = m_list.m_dataSetRows[i];
            fromRow(cells, stored, i + 1);
            const std::int64_t device =
                parseInteger(cells[tableColumn(DataSetColumn::Index)]).value_or(std::int32_t{-1});
            SelectedDataSet& dataSet = m_list.m_dataSets[i];
            std::string& reference = cells[tableColumn(DataSetColumn::Reference)];
            dataSet.Select_DataSet = m_list.findDataSet(device, reference);
            if (dataSet.Select_DataSet != nullptr) {
                if (std::string own = dataSet.Select_DataSet->fReference(); own != reference) {
                    report.renamedDataSets.push_back({i + 1, reference, own});
                    reference = std::move(own);
                }
                dataSet.List_DAs = matchMembers(*dataSet.Select_DataSet, stored.members, i + 1, report);
            } else if (device >= 0 && static_cast<std::uint64_t>(device) < m_list.devices().size() &&
                       m_list.devices()[static_cast<std::size_t>(device)].isPlaceholder()) {
                dataSet.List_DAs = keptAsRead(stored.members);
            } else {
                for (const MemberRow& member : stored.members) {
                    report.droppedMembers.push_back({i + 1, member[MemberColumn::Reference]});
                }
            }
        }
    }
    m_storedBytes = accessFileBytes(m_list.toAccessFile(), true);
    return report;
}

void AccessEditor::save(const std::filesystem::path& accessFile) {
    const AccessFile stored = m_list.toAccessFile();
    writeAccessFile(accessFile, stored);
    m_storedBytes = accessFileBytes(stored, true);
}

bool AccessEditor::hasChanges() const {
    return accessFileBytes(m_list.toAccessFile(), true) != m_storedBytes;
}

// --- Catalog

std::optional<std::filesystem::path> copyIntoCatalog(const ProjectPaths& project,
                                                     const std::filesystem::path& chosenFile,
                                                     const std::function<OverwriteAnswer()>& ask) {
    const std::filesystem::path name = chosenFile.filename();
    if (name.empty() || name == "." || name == "..") {
        throw ConfigError(ErrorCode::NotACatalogFile, {utf8Of(chosenFile)});
    }
    const std::filesystem::path catalog = project.icdCatalog();
    std::error_code error;
    std::filesystem::create_directories(catalog, error);
    if (error) {
        throw ConfigError(ErrorCode::CannotCreateCatalog, {utf8Of(catalog), error.message()});
    }
    const std::filesystem::path target = catalog / name;
    bool copy = true;
    const bool present = std::filesystem::exists(target, error);
    if (error) {
        throw ConfigError(ErrorCode::CannotReadCatalogFile, {utf8Of(target), error.message()});
    }
    if (present) {
        const OverwriteAnswer answer = ask();
        if (answer == OverwriteAnswer::Cancel) {
            return std::nullopt;
        }
        copy = answer == OverwriteAnswer::Yes;
    }
    if (copy) {
        writeFileAtomically(target, readFileBytes(chosenFile, limits::kSclFile));
    }
    return target;
}

std::optional<std::size_t> AccessEditor::addDevice(const ProjectPaths& project,
                                                   const std::filesystem::path& chosenFile,
                                                   const std::function<OverwriteAnswer()>& ask,
                                                   const IedPicker& pick) {
    const std::optional<std::filesystem::path> target = copyIntoCatalog(project, chosenFile, ask);
    if (!target) {
        return std::nullopt;
    }
    std::vector<std::string> picked{std::string()};
    bool named = false;
    if (pick) {
        const std::vector<SclIedSummary> ieds = m_lister ? m_lister(*target) : listIeds(*target);
        if (ieds.size() > 1) {
            picked = pick(ieds);
            named = true;
            if (picked.empty()) {
                return std::nullopt;
            }
        }
    }
    return appendDevices(*target, picked, named, loadDevices(*target, picked));
}

std::optional<std::size_t> AccessEditor::appendDevices(const std::filesystem::path& catalogFile,
                                                       const std::vector<std::string>& iedNames, bool named,
                                                       std::vector<std::unique_ptr<SclIed>> devices) {
    if (devices.size() != iedNames.size()) {
        throw ConfigError(ErrorCode::FileCannotBeLoaded, {utf8Of(catalogFile)});
    }
    for (std::size_t k = 0; k < devices.size(); ++k) {
        if (devices[k] == nullptr) {
            throw ConfigError(ErrorCode::NoIedOfThatName, {utf8Of(catalogFile), iedNames[k]});
        }
    }
    std::optional<std::size_t> first;
    for (std::size_t k = 0; k < devices.size(); ++k) {
        CatalogDevice entry;
        entry.device = std::move(devices[k]);
        entry.name = entry.device->fName();
        entry.fileName = utf8Of(catalogFile.filename());
        entry.iedName = named ? iedNames[k] : std::string();
        const std::size_t index = m_list.appendDevice(std::move(entry));
        first = first.value_or(index);
    }
    m_chosenDevice.reset();
    clearSelection();
    return first;
}

bool AccessEditor::removeChosenDevice() {
    if (!m_chosenDevice || !m_list.removeDevice(*m_chosenDevice)) {
        return false;
    }
    m_chosenDevice.reset();
    clearSelection();
    return true;
}

void AccessEditor::chooseDevice(std::optional<std::size_t> index) {
    if (!index || *index >= m_list.devices().size()) {
        return;
    }
    m_chosenDevice = index;
    clearSelection();
}

const SclIed* AccessEditor::chosenModel() const {
    if (!m_chosenDevice || *m_chosenDevice >= m_list.devices().size()) {
        return nullptr;
    }
    return m_list.devices()[*m_chosenDevice].device.get();
}

void AccessEditor::selectTreeNode(const SclObject* node) {
    clearSelection();
    const SclIed* device = chosenModel();
    if (node == nullptr || device == nullptr || detail::deviceOf(*node) != device) {
        return;
    }
    if (node->kind() == SclKind::DA) {
        const auto* da = static_cast<const SclDataAttribute*>(node);
        if (da->isLeaf()) {
            m_selectedDA = da;
        }
    } else if (node->kind() == SclKind::DataSet) {
        m_selectedDS = static_cast<const SclDataSet*>(node);
    }
}

// --- Rows

AddVarResult AccessEditor::addVar() {
    if (!m_chosenDevice || (m_selectedDA == nullptr && m_selectedDS == nullptr)) {
        return AddVarResult::Nothing;
    }
    const std::string index = std::to_string(*m_chosenDevice);
    if (m_selectedDA != nullptr) {
        const std::size_t row = m_list.addVariableRow();
        VariableCells& cells = m_list.m_variables[row - 1];
        cells[tableColumn(VariableColumn::Index)] = index;
        cells[tableColumn(VariableColumn::bType)] = m_selectedDA->fbType();
        cells[tableColumn(VariableColumn::fc)] = m_selectedDA->fFC();
        cells[tableColumn(VariableColumn::Reference)] = m_selectedDA->fReference();
        cells[tableColumn(VariableColumn::OnChange)] = "N";
        cells[tableColumn(VariableColumn::OnCMD)] = "N";
        cells[tableColumn(VariableColumn::OnTimer)] = "N";
        return AddVarResult::Variable;
    }
    SelectedDataSet dataSet;
    dataSet.Select_DataSet = m_selectedDS;
    const std::vector<const SclDataAttribute*> members = detail::membersOf(*m_selectedDS);
    for (std::size_t k = 0; k < members.size(); ++k) {
        MemberSetting& setting = dataSet.List_DAs.emplace_back();
        setting.Select_DA = members[k];
        setting.bType = members[k]->fbType();
        setting.reference = m_selectedDS->memberReference(k);
    }
    const std::size_t row = m_list.addDataSetRow(std::move(dataSet));
    DataSetCells& cells = m_list.m_dataSetRows[row - 1];
    cells[tableColumn(DataSetColumn::Index)] = index;
    cells[tableColumn(DataSetColumn::Reference)] = m_selectedDS->fReference();
    cells[tableColumn(DataSetColumn::GooseName)] = m_selectedDS->fGooseName();
    cells[tableColumn(DataSetColumn::EnGoose)] = m_selectedDS->fGooseName().empty() ? "N" : "Y";
    return AddVarResult::DataSet;
}

void AccessEditor::removeVar(Page page, std::optional<std::size_t> currentRow) {
    if (!currentRow) {
        return;
    }
    if (page == Page::Variables) {
        m_list.removeVariableRow(*currentRow);
        return;
    }
    m_list.removeDataSetRow(*currentRow);
    // The rows below moved up: the members shown and edited would now belong to another data set.
    m_dataSetRowSelect = 0;
}

// --- Members view

void AccessEditor::showDataSetMembers(std::optional<std::size_t> row) {
    const bool valid = row && *row >= 1 && *row <= m_list.dataSets().size() && !m_list.dataSetsEmpty();
    m_dataSetRowSelect = valid ? *row : 0;
}

std::vector<MemberCells> AccessEditor::shownMembers() const {
    std::vector<MemberCells> rows = m_list.memberRows(m_dataSetRowSelect);
    if (rows.empty()) {
        rows.resize(1);
    }
    return rows;
}

void AccessEditor::setShownMemberCell(std::size_t memberRow, std::size_t column, std::string text) {
    if (m_dataSetRowSelect > 0) {
        m_list.setMemberCell(m_dataSetRowSelect, memberRow, column, std::move(text));
    }
}

} // namespace sw::access
