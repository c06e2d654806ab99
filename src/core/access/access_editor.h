#pragma once

#include "core/access/access_list.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The access editor without its window: everything the IEC 61850 access dialog decides, from opening
// the access file to writing it at OK. A window is a thin shell over it: its table models read and write
// cells through list(), its tree shows list().devices()[chosenDevice()], and each button calls one
// operation here.
namespace sw {
class SclObject;
class SclIed;
class ProjectPaths;
struct SclIedSummary;
} // namespace sw

namespace sw::access {

// Member settings of the access file that match no member of their data set at opening.
struct DroppedMember {
    std::size_t dataSetRow = 0; // from 1
    std::string reference;      // the Reference attribute as stored
};

// A member of a data set in the catalog that no stored setting matched at opening: it joins the data set
// at its place, without settings, so that the list still lines up with the values the server sends.
struct AddedMember {
    std::size_t dataSetRow = 0; // from 1
    std::size_t place = 0;      // in the data set, from 1
    std::string reference;
};

// A data set stored under its node's class alone, as older access files name it, renamed at opening to
// the name the server gives it.
struct RenamedDataSet {
    std::size_t dataSetRow = 0; // from 1
    std::string from;
    std::string to;
};

struct OpenReport {
    std::vector<DroppedMember> droppedMembers;
    std::vector<AddedMember> addedMembers;
    std::vector<RenamedDataSet> renamedDataSets;
    // One message for all of them, empty when nothing changed.
    std::string message() const;
};

// The answer to "File already exists in catalog directory. Do you want to overwrite file?".
enum class OverwriteAnswer { Yes, No, Cancel };
inline constexpr const char* kOverwriteQuestion =
    "File already exists in catalog directory. Do you want to overwrite file?";

// What Add Var did, so that the window shows the page that changed.
enum class AddVarResult { Nothing, Variable, DataSet };

// Loads the named IEDs of one catalog file (an empty name: the first IED), parsing it once, as
// SclIed::loadIeds does: one entry per name, null for an IED the file does not hold; throws
// ConfigError. A window hands in one that loads off its own thread, so that a big file never freezes it.
using DeviceLoader = std::function<std::vector<std::unique_ptr<SclIed>>(
    const std::filesystem::path&, const std::vector<std::string>& iedNames)>;
// Lists the IEDs of a file as listIeds does.
using IedLister = std::function<std::vector<SclIedSummary>(const std::filesystem::path&)>;
// Given the IEDs of a file that holds more than one, the names of those to add (none: add nothing).
using IedPicker = std::function<std::vector<std::string>(const std::vector<SclIedSummary>&)>;

// What opening reads from the disk: the access file (none when it does not exist) and the devices of its
// catalog. Reading it changes no editor, so a window reads it off its own thread and opens it afterwards.
struct StoredAccess {
    std::optional<AccessFile> file;
    std::vector<CatalogDevice> catalog;
};

// Reads the project's access file and loads its catalog as open() describes, through `load` (empty:
// SclIed::loadIeds). Throws ConfigError when the access file exists but cannot be read.
StoredAccess readStoredAccess(const ProjectPaths& project, const DeviceLoader& load = {});

// The first step of Add IEC Device: copies `chosenFile` into the project's catalog folder (created when
// missing); when a file of that name is already there, `ask` decides: Yes copies over it, No keeps it,
// Cancel stops. Returns the catalog file, or nothing when cancelled. Throws ConfigError.
std::optional<std::filesystem::path> copyIntoCatalog(const ProjectPaths& project,
                                                     const std::filesystem::path& chosenFile,
                                                     const std::function<OverwriteAnswer()>& ask);

class AccessEditor {
public:
    AccessEditor();
    ~AccessEditor();
    AccessEditor(const AccessEditor&) = delete;
    AccessEditor& operator=(const AccessEditor&) = delete;

    // Every catalog file open() and addDevice() read goes through `loader`, and every list of a file's
    // IEDs through `lister`; empty restores SclIed::loadIeds and listIeds.
    void setDeviceLoader(DeviceLoader loader);
    void setIedLister(IedLister lister);

    AccessList& list() { return m_list; }
    const AccessList& list() const { return m_list; }

    // Opening: forgets the previous list and selection, then reads the project's access file (none:
    // empty editor). Catalog files are read from the project's ICD_Catalog folder only; one that is
    // missing, does not parse, or is named by a path stays as a placeholder, and so does an item whose
    // IEDName the file no longer holds; items of one file are loaded from one parse of it. Member settings
    // are matched to their data set's members by position, then by reference and type among those not yet
    // matched; the ones that match nothing are returned. Throws ConfigError when the access file exists but
    // cannot be read; the editor is then empty and must not be saved over the file.
    OpenReport open(const ProjectPaths& project);
    // The same with what readStoredAccess() read; an empty StoredAccess leaves an empty editor.
    OpenReport open(StoredAccess read);

    // Writes the access list to `accessFile` atomically (root, catalog, variables, data sets, then the
    // version comment). Does not validate: the caller runs checkAccessList first. Throws ConfigError.
    void save(const std::filesystem::path& accessFile);
    // The list differs, in its stored form, from what open() read or save() last wrote.
    bool hasChanges() const;

    // --- Catalog.
    // Add IEC Device: copies `chosenFile` into the catalog folder (created when missing); when a file of
    // that name is already there, `ask` decides: Yes copies over it, No keeps it, Cancel stops. Then loads
    // the catalog copy and appends it. When `pick` is given and the copy holds more than one IED, `pick`
    // chooses among them and each IED picked becomes a device of its own that records its IEDName;
    // otherwise the first IED is added, without an IEDName. Returns the index of the first new device,
    // or nothing when cancelled or nothing was picked (the copy stays). Throws ConfigError when the copy
    // fails or the copy does not parse (the copy stays, no device is added). Afterwards no device is
    // chosen and the tree selection is cleared.
    std::optional<std::size_t> addDevice(const ProjectPaths& project, const std::filesystem::path& chosenFile,
                                         const std::function<OverwriteAnswer()>& ask,
                                         const IedPicker& pick = {});
    // The last step of Add IEC Device: appends `devices`, loaded from `catalogFile` for `iedNames` (the
    // names picked when `named`, else one empty name). Returns the index of the first new device, or
    // nothing when none was given. Throws ConfigError, adding nothing, when a name found no IED.
    std::optional<std::size_t> appendDevices(const std::filesystem::path& catalogFile,
                                             const std::vector<std::string>& iedNames, bool named,
                                             std::vector<std::unique_ptr<SclIed>> devices);
    // Remove IEC Device on the chosen device: refused (false) when none is chosen or a row names it;
    // otherwise removes it, shifts the later indexes down and clears the choice and the tree selection.
    bool removeChosenDevice();
    // A click on line `index` of the device list (nothing for an index out of range): the tree now shows
    // that device and nothing in it is selected.
    void chooseDevice(std::optional<std::size_t> index);
    std::optional<std::size_t> chosenDevice() const { return m_chosenDevice; }
    // The device the tree shows, or null (no choice, or a placeholder).
    const SclIed* chosenModel() const;

    // --- Tree selection (selectedAttribute / selectedDataSet). A click on `node` of the chosen device's
    // tree: a leaf attribute or a data set becomes the selection; anything else, or an object of another
    // device, clears it.
    void selectTreeNode(const SclObject* node);
    const SclDataAttribute* selectedAttribute() const { return m_selectedDA; }
    const SclDataSet* selectedDataSet() const { return m_selectedDS; }

    // --- Rows.
    // Add Var: the selected attribute as a new variables row, or the selected data set as a new data-set
    // row with one blank setting per member; nothing without a selection.
    AddVarResult addVar();
    // Remove Var on `page`, `currentRow` being that table's current row (from 1). Removing a data-set row
    // empties the members view.
    void removeVar(Page page, std::optional<std::size_t> currentRow);

    // --- Members view (ACG_DS_Vars). A click in data-set row `row` shows that row's members and makes it
    // the row member edits go to (DataSet_Row_Select); nothing for a row without a data set.
    void showDataSetMembers(std::optional<std::size_t> row);
    std::size_t DataSet_Row_Select() const { return m_dataSetRowSelect; }
    // What the members table shows: the members of DataSet_Row_Select, or one blank row.
    std::vector<MemberCells> shownMembers() const;
    // The end of an edit in the members table: stored at once into the shown data set; dropped when no
    // data set is shown.
    void setShownMemberCell(std::size_t memberRow, std::size_t column, std::string text);

private:
    void clearSelection();
    std::vector<std::unique_ptr<SclIed>> loadDevices(const std::filesystem::path& file,
                                                     const std::vector<std::string>& iedNames) const;

    DeviceLoader m_loader;
    IedLister m_lister;
    AccessList m_list;
    std::optional<std::size_t> m_chosenDevice;
    const SclDataAttribute* m_selectedDA = nullptr;
    const SclDataSet* m_selectedDS = nullptr;
    std::size_t m_dataSetRowSelect = 0;
    std::string m_storedBytes; // the list as opened or last saved, in its stored form
};

} // namespace sw::access
