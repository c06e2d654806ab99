#pragma once

#include "core/mms/mms_client.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace sw::access {
struct AccessFile;
}

// The live check of an access list: each variable, data set and GOOSE control block of the list is
// looked up on the server its row names, over one MMS association per distinct address and port. Only
// the addresses of the rows are ever contacted, and nothing on a server is changed: no write, no control
// service, and variables whose read acts on the server (a control's attributes, fc CO) are looked up
// through their attributes, never read. The check runs on any thread; it reports progress and
// ends early when its stop token fires.
namespace sw::live {

// --- From the access list's references to MMS names (IEC 61850-8-1).

// "IED1LD0/GGIO1.Ind1.stVal" with fc "ST" -> domain "IED1LD0", item "GGIO1$ST$Ind1$stVal". Nothing when
// the reference has no logical device, no logical node, or the fc is empty.
std::optional<mms::ObjectName> variableName(std::string_view reference, std::string_view fc);
// "IED1LD0/LLN0.DataSet1" -> domain "IED1LD0", item "LLN0$DataSet1".
std::optional<mms::ObjectName> dataSetName(std::string_view reference);
// The GOOSE control block `gooseName` of the logical device of a data set's reference, in LLN0.
std::optional<mms::ObjectName> gooseControlName(std::string_view dataSetReference,
                                                std::string_view gooseName);
// A data set member as its reference: "LD/GGIO1$ST$Ind1$stVal" -> "LD/GGIO1.Ind1.stVal" (the fc, the
// second part of the item, dropped), followed by the part its alternate access selects:
// "LD/MHAI1$MX$HA$phsAHar" with element 9, component cVal -> "LD/MHAI1.HA.phsAHar(9).cVal".
std::string memberReference(const mms::ListMember& member);

// The MMS type a basic type reads as; nothing for a basic type the check does not know, whose type is
// then not compared.
std::optional<mms::DataType> expectedType(std::string_view bType);

// --- The check.

enum class RowKind { Variable, DataSet, Goose };

// One row to check, as the access list gives it.
struct LiveRow {
    RowKind kind = RowKind::Variable;
    std::size_t row = 0; // from 1, in its table
    std::string address;
    std::string port;
    std::string reference; // the variable's, or the data set's for data sets and GOOSE control blocks
    std::string fc;
    std::string bType;
    std::string gooseName;
    std::vector<std::string> memberReferences; // of a data set: the members the list expects
};

enum class LiveStatus {
    Ok,
    Missing,
    WrongType,   // the variable exists with another type
    Differs,     // the data set exists without members the list expects or holds them in another
                 // order, or the GOOSE control block publishes another data set
    Unreachable, // no association with the row's server (or an invalid address)
    Error,       // the server answered with an error other than "does not exist", answered of no use
                 // (no result, a value that cannot be decoded), or the association broke off
    Invalid,     // the reference cannot name an MMS object
    Stopped,     // not checked: the check was stopped first
};

struct LiveResult {
    RowKind kind = RowKind::Variable;
    std::size_t row = 0;
    LiveStatus status = LiveStatus::Stopped;
    // Ok: the value (variable), the number of members (data set) or the control block's attributes
    // besides its data set ("GoEna=true GoID=..."); WrongType: "<expected> <found>", or "<bType> <value>"
    // for an integer beyond the range of its declared type; Differs: what
    // differs; Unreachable, Error, Invalid: the reason.
    std::string detail;
};

// The rows of an access file in output order: the variables, then each data set followed by its GOOSE
// control block when GOOSE is enabled for it and it names one. A table that is empty by the editor's rule
// (one row without "Index") gives no rows.
std::vector<LiveRow> liveRows(const access::AccessFile& access);
// The same rows read from an access file, with the reader's rules and errors (ConfigError), without
// holding the whole list in memory first.
std::vector<LiveRow> liveRows(const std::filesystem::path& accessFile);

// How many servers are checked at once by default. Each association is one thread and one socket that
// mostly wait; eight turn twenty unreachable servers into three rounds of time-outs instead of twenty,
// while a station's network and the client machine see no burst of connections.
inline constexpr std::size_t kParallelAssociations = 8;

struct LiveCheckOptions {
    mms::Timeouts timeouts;
    std::size_t parallel = kParallelAssociations; // servers checked at once; 0 counts as 1
    // When set, the check runs against simulated devices: each row is checked at the port of 127.0.0.1
    // this gives for it instead of at its own address, and a row it gives none for is unreachable.
    std::function<std::optional<std::uint16_t>(const LiveRow& row)> simulatedPort;
};

// How far a check has come: rows and servers done, of all. Rows without a usable address are done
// from the start; they name no server.
struct LiveCount {
    std::size_t rowsDone = 0;
    std::size_t rows = 0;
    std::size_t serversDone = 0;
    std::size_t servers = 0;
    friend bool operator==(const LiveCount&, const LiveCount&) = default;
};

// Called once at the start and after each server. Calls come from the check's threads, one at a time,
// and their counts never go down.
using LiveProgress = std::function<void(const LiveCount& count)>;

// One result per row, in row order. Servers are checked at once up to `options.parallel`, each over its
// own association; a stop request ends every one of them.
std::vector<LiveResult> runLiveCheck(const std::vector<LiveRow>& rows, const LiveCheckOptions& options,
                                     const LiveProgress& progress = {}, std::stop_token stop = {});

// "var 3 ok true", "ds 1 differs without LD/GGIO1.Ind2.stVal", "goose 1 missing".
std::string resultLine(const LiveResult& result);

} // namespace sw::live
