#include "core/language/window_texts.h"

#include "core/common/indexed_texts.h"

namespace sw {

namespace {

// In index order; the static_assert below keeps every text in its place.
constexpr IndexedText<WindowText> kWindowTexts[] = {
    {WindowText::FillAddresses, "Fill addresses from SCL"},
    {WindowText::FillAddressesHint, "Sets the empty IP Address cells of the selected rows to their device's "
                                    "address in its SCL file, and empty Port cells to 102"},
    {WindowText::Check, "Check"},
    {WindowText::ExportCsv, "Export CSV"},
    {WindowText::ImportCsv, "Import CSV"},
    {WindowText::TreeSearchPlaceholder, "Search name or reference"},
    {WindowText::TreeSearchHint, "Shows the nodes whose name or reference holds the text; Enter: next match, "
                                 "Shift+Enter: previous, Escape: clear"},
    {WindowText::Loading, "Loading %1 ..."},
    {WindowText::OneMatch, "1 match"},
    {WindowText::Matches, "%1 matches"},
    {WindowText::MatchOf, "%1 of %2"},
    {WindowText::MapPage, "Map"},
    {WindowText::LiveCheckHover, "Live check:"},
    {WindowText::IedPickerTitle, "IEDs of %1"},
    {WindowText::IedPickerHint, "The file holds %1 IEDs. Pick those to add; each becomes a device."},
    {WindowText::IedName, "Name"},
    {WindowText::IedDescription, "Description"},
    {WindowText::IedManufacturer, "Manufacturer"},
    {WindowText::IedType, "Type"},
    {WindowText::IedAddress, "IP Address"},
    {WindowText::LiveCheck, "Live check"},
    {WindowText::LiveCheckHint,
     "Looks up every row on the server it names; the row numbers show what was found"},
    {WindowText::LiveRepeat, "Repeat every 5 s"},
    {WindowText::LiveProgress, "%v of %m rows"},
    {WindowText::StopCheck, "Stop check"},
    {WindowText::CheckingRows, "Checking %1 rows …"},
    {WindowText::LiveCheckFailed, "Live check failed: %1"},
    {WindowText::LiveCheckStopped, "Live check stopped"},
    {WindowText::CheckingProgress, "Checking: %1 of %2 rows done …"},
    {WindowText::LiveCheckSummary, "Live check %1: %2 ok, %3 missing or different, %4 unreachable"},
    {WindowText::CsvFiles, "CSV Files (*.csv)"},
    {WindowText::AnyFile, "Any File (*)"},
    {WindowText::SclFiles, "SCL Files (*.scd *.ssd *.sed *.icd *.iid *.cid)"},
    {WindowText::NoWarnings, "No warnings."},
    {WindowText::CsvWritten, "The variables were written to %1 and the data sets to %2."},
    {WindowText::Importing, "Importing %1 ..."},
    {WindowText::UnknownError, "Unknown error"},
    {WindowText::SettingsUnreadable,
     "The settings file \"%1\" could not be read. The program started with its default settings."},
    {WindowText::SettingsKept, "The unreadable file was kept as \"%1\"."},
    {WindowText::CommissioningReport, "Commissioning report"},
    {WindowText::MapSummary,
     "%1 of %2 positions used, %3 with a conflict. Hover a cell to see its rows, click "
     "it to show the row."},
    {WindowText::MapFree, "free"},
    {WindowText::MapRead, "read"},
    {WindowText::MapWrite, "write"},
    {WindowText::MapMember, "data-set member"},
    {WindowText::MapMixed, "mixed"},
    {WindowText::MapConflict, "conflict"},
    {WindowText::ButtonOk, "OK"},
    {WindowText::ButtonCancel, "Cancel"},
    {WindowText::ButtonYes, "Yes"},
    {WindowText::ButtonNo, "No"},
    {WindowText::ButtonSave, "Save"},
    {WindowText::ButtonDiscard, "Discard"},
    {WindowText::UnsavedAccessChanges,
     "The access list has changes that are not saved. Save them (with the checks of "
     "OK) or discard them?"},
    {WindowText::ConflictsIntro,
     "These rows bring values from the servers into the same place of the data array, "
     "where one overwrites the other:"},
    {WindowText::ConflictsMore, "... and %1 more"},
    {WindowText::ConflictsQuestion, "The device accepts it. Save the access list anyway?"},
    {WindowText::AddressesFilled, "Addresses filled in %1 rows."},
    {WindowText::DeviceInUse, "The device %1 is still used by these rows; change or remove them first."},
    {WindowText::VariablesRows, "Variables rows: %1"},
    {WindowText::DataSetRows, "Data-set rows: %1"},
    {WindowText::CheckingAddress, "Checking %1 …"},
    {WindowText::NoEchoReply, "%1 answered %2 of %3 echo requests."},
    {WindowText::TypedValue, "Typed: \"%1\""},
    {WindowText::UpdaterRunning, "Updating … %1"},
    {WindowText::UpdaterSucceeded, "The update ended successfully."},
    {WindowText::UpdaterFailed, "The update failed: the updater ended with exit status %1."},
    {WindowText::UpdaterNotStarted, "The update failed: the updater \"%1\" could not be started."},
    {WindowText::UpdaterLeftRunning,
     "The updater is still running after %1 s; this window no longer follows it."},
    {WindowText::UpdaterLastLines, "Its last lines:"},
    {WindowText::VersionCheckFailed, "Could not check for a newer version (%1)."},
    {WindowText::VersionFailureNotAvailable, "this build cannot ask the version service"},
    {WindowText::VersionFailureNotPlainHttp, "%1 is not a plain http:// address"},
    {WindowText::VersionFailureUnreachable, "the service could not be reached"},
    {WindowText::VersionFailureTimedOut, "the service did not answer in time"},
    {WindowText::VersionFailureHttpStatus, "the service answered with HTTP status %1"},
    {WindowText::VersionFailureNotHttp, "the answer is not HTTP"},
    {WindowText::VersionFailureTooLong, "the answer is too long to be a version"},
    {WindowText::VersionFailureNotAVersion, "the answer names no version: %1"},
    {WindowText::VersionFailureStopped, "the check was given up"},
    {WindowText::VersionFailureOther, "the HTTP client failed: %1"},
    {WindowText::IedNameShared, "%1 (%2 of %3)"},
    {WindowText::IedNamesSharedHint,
     "Several IEDs of this file share a name; each shows its place among them. "
     "A device names its IED by name alone: it stands for the first of them."},
    {WindowText::VersionFailureNoHttpClient, "libcurl could not be loaded: %1"},
    {WindowText::SimulateDevices, "Simulate devices"},
    {WindowText::SimulateDevicesHint,
     "Checks against the catalog's devices simulated from their SCL on this computer instead of the real "
     "servers"},
};

static_assert(textsInIndexOrder(kWindowTexts, kFirstWindowText, kLastWindowText),
              "every window text has one English text, in index order");

} // namespace

std::string_view englishWindowText(WindowText text) {
    return englishTextOf(kWindowTexts, text, {});
}

} // namespace sw
