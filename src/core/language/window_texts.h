#pragma once

#include <string_view>

namespace sw {

// The windows' own texts beyond the seed's: captions, hints and messages of what this program added to
// its windows. Each is a text of the string table, so a language file translates it like any caption.
// %1, %2, ... in a text are the places a name or a number fills.
enum class WindowText : int {
    FillAddresses = 2100,
    FillAddressesHint,
    Check,
    ExportCsv,
    ImportCsv,
    TreeSearchPlaceholder,
    TreeSearchHint,
    Loading,
    OneMatch,
    Matches,
    MatchOf,
    MapPage,
    LiveCheckHover,
    IedPickerTitle,
    IedPickerHint,
    IedName,
    IedDescription,
    IedManufacturer,
    IedType,
    IedAddress,
    LiveCheck,
    LiveCheckHint,
    LiveRepeat,
    LiveProgress,
    StopCheck,
    CheckingRows,
    LiveCheckFailed,
    LiveCheckStopped,
    CheckingProgress,
    LiveCheckSummary,
    CsvFiles,
    AnyFile,
    SclFiles,
    NoWarnings,
    CsvWritten,
    Importing,
    UnknownError,
    SettingsUnreadable,
    SettingsKept,
    CommissioningReport,
    MapSummary,
    MapFree,
    MapRead,
    MapWrite,
    MapMember,
    MapMixed,
    MapConflict,
    ButtonOk,
    ButtonCancel,
    ButtonYes,
    ButtonNo,
    ButtonSave,
    ButtonDiscard,
    UnsavedAccessChanges,
    ConflictsIntro,
    ConflictsMore,
    ConflictsQuestion,
    AddressesFilled,
    DeviceInUse,
    VariablesRows,
    DataSetRows,
    CheckingAddress,
    NoEchoReply,
    TypedValue,
    UpdaterRunning,
    UpdaterSucceeded,
    UpdaterFailed,
    UpdaterNotStarted,
    UpdaterLeftRunning,
    UpdaterLastLines,
    VersionCheckFailed,
    VersionFailureNotAvailable,
    VersionFailureNotPlainHttp,
    VersionFailureUnreachable,
    VersionFailureTimedOut,
    VersionFailureHttpStatus,
    VersionFailureNotHttp,
    VersionFailureTooLong,
    VersionFailureNotAVersion,
    VersionFailureStopped,
    VersionFailureOther,
    IedNameShared,
    IedNamesSharedHint,
    VersionFailureNoHttpClient,
};

inline constexpr int kFirstWindowText = static_cast<int>(WindowText::FillAddresses);
inline constexpr int kLastWindowText = static_cast<int>(WindowText::VersionFailureNoHttpClient);

// The English text, as the built-in table holds it; empty for an index between kFirstWindowText and
// kLastWindowText that names no text.
std::string_view englishWindowText(WindowText text);

} // namespace sw
