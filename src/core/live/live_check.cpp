#include "core/live/live_check.h"

#include "core/access/access_file.h"
#include "core/access/access_schema.h"
#include "core/common/ip_address.h"
#include "core/common/numbers.h"
#include "core/mms/ber.h"
#include "core/mms/mms_pdu.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <charconv>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace sw::live {

using mms::AccessResult;
using mms::DataType;
using mms::MmsClient;
using mms::MmsStopped;
using mms::NamedVariableList;
using mms::ObjectName;
using mms::Outcome;
using mms::VariableAttributes;

namespace {

using access::DataSetColumn;
using access::MemberColumn;
using access::VariableColumn;

bool validPart(std::string_view part) {
    return !part.empty() && part.find('$') == std::string_view::npos;
}

std::string dotsToDollars(std::string_view text) {
    std::string out(text);
    std::replace(out.begin(), out.end(), '.', '$');
    return out;
}

// "LD/LN.rest" split at the slash and the first dot after it.
struct SplitReference {
    std::string_view domain;
    std::string_view node;
    std::string_view rest;
};

std::optional<SplitReference> splitReference(std::string_view reference) {
    const std::size_t slash = reference.find('/');
    if (slash == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view domain = reference.substr(0, slash);
    const std::string_view path = reference.substr(slash + 1);
    const std::size_t dot = path.find('.');
    if (dot == std::string_view::npos || !validPart(domain) || path.find('/') != std::string_view::npos) {
        return std::nullopt;
    }
    SplitReference split{domain, path.substr(0, dot), path.substr(dot + 1)};
    if (!validPart(split.node) || split.rest.empty()) {
        return std::nullopt;
    }
    // Every dotted part must name something.
    std::size_t start = 0;
    for (;;) {
        const std::size_t next = split.rest.find('.', start);
        if (!validPart(split.rest.substr(start, next - start))) {
            return std::nullopt;
        }
        if (next == std::string_view::npos) {
            break;
        }
        start = next + 1;
    }
    return split;
}

std::string_view kindWord(RowKind kind) {
    switch (kind) {
    case RowKind::Variable:
        return "var";
    case RowKind::DataSet:
        return "ds";
    case RowKind::Goose:
        return "goose";
    }
    return "?";
}

std::string_view statusWord(LiveStatus status) {
    switch (status) {
    case LiveStatus::Ok:
        return "ok";
    case LiveStatus::Missing:
        return "missing";
    case LiveStatus::WrongType:
        return "type";
    case LiveStatus::Differs:
        return "differs";
    case LiveStatus::Unreachable:
        return "unreachable";
    case LiveStatus::Error:
        return "error";
    case LiveStatus::Invalid:
        return "invalid";
    case LiveStatus::Stopped:
        return "stopped";
    }
    return "?";
}

// A row's server as a canonical "a.b.c.d" and a port, or the reason it names none.
struct Server {
    std::string address;
    std::uint16_t port = 0;
    friend auto operator<=>(const Server&, const Server&) = default;
};

std::optional<Server> serverOf(const LiveRow& row, std::string& reason) {
    std::array<std::string, 4> parts;
    if (!checkIpAddress(row.address, parts)) {
        reason = "\"" + row.address + "\" is not an IPv4 address";
        return std::nullopt;
    }
    const std::optional<std::int32_t> port = parseInteger(row.port);
    if (!port || *port < 1 || *port > 65535) {
        reason = "port \"" + row.port + "\" is not a number from 1 to 65535";
        return std::nullopt;
    }
    Server server;
    for (const std::string& part : parts) {
        server.address +=
            (server.address.empty() ? "" : ".") + std::to_string(parseInteger(part).value_or(0));
    }
    server.port = static_cast<std::uint16_t>(*port);
    return server;
}

// Reading a control's select attribute selects the control, and a server may act on a read of its
// other control attributes alike: such variables are looked up, never read.
bool readHasEffect(const LiveRow& row) {
    auto sameWord = [](std::string_view a, std::string_view b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) ==
                          std::tolower(static_cast<unsigned char>(y));
               });
    };
    if (sameWord(row.fc, "CO")) {
        return true;
    }
    std::string_view rest = row.reference;
    while (!rest.empty()) {
        const std::size_t cut = rest.find_first_of("./");
        const std::string_view part = rest.substr(0, cut);
        for (const std::string_view control : {"SBO", "SBOw", "Oper", "Cancel"}) {
            if (sameWord(part, control)) {
                return true;
            }
        }
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    }
    return false;
}

// The range of the integer basic types narrower than the 64 bits the decoder takes; nothing for others.
std::optional<std::pair<long long, unsigned long long>> integerRange(std::string_view bType) {
    static const std::map<std::string_view, std::pair<long long, unsigned long long>> kRanges = {
        {"INT8", {-128, 127}},
        {"INT16", {-32768, 32767}},
        {"INT24", {-8388608, 8388607}},
        {"INT32", {-2147483648LL, 2147483647ULL}},
        {"INT8U", {0, 255}},
        {"INT16U", {0, 65535}},
        {"INT24U", {0, 16777215}},
        {"INT32U", {0, 4294967295ULL}},
    };
    const auto it = kRanges.find(bType);
    return it == kRanges.end() ? std::nullopt : std::optional(it->second);
}

// Whether a decoded integer's text lies outside the declared type's range: the server's type is wider.
bool outsideDeclaredRange(std::string_view bType, std::string_view text) {
    const auto range = integerRange(bType);
    if (!range || text.empty()) {
        return false;
    }
    if (text.front() == '-') {
        long long value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        return error != std::errc() || end != text.data() + text.size() || value < range->first;
    }
    unsigned long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error != std::errc() || end != text.data() + text.size() || value > range->second;
}

void judgeType(const LiveRow& row, DataType found, std::string text, LiveResult& result) {
    const std::optional<DataType> expected = expectedType(row.bType);
    if (expected && found != expected) {
        result.status = LiveStatus::WrongType;
        result.detail = std::string(dataTypeName(*expected)) + " " + std::string(dataTypeName(found));
    } else if (expected && outsideDeclaredRange(row.bType, text)) {
        result.status = LiveStatus::WrongType;
        result.detail = row.bType + " " + text;
    } else {
        result.status = LiveStatus::Ok;
        result.detail = std::move(text);
    }
}

void checkVariables(MmsClient& client, const std::vector<LiveRow>& rows,
                    const std::vector<std::size_t>& indexes, std::vector<LiveResult>& results) {
    std::vector<std::size_t> asked;
    std::vector<ObjectName> names;
    std::vector<std::pair<std::size_t, ObjectName>> controls;
    for (const std::size_t i : indexes) {
        if (const auto name = variableName(rows[i].reference, rows[i].fc)) {
            if (readHasEffect(rows[i])) {
                controls.emplace_back(i, *name);
            } else {
                asked.push_back(i);
                names.push_back(*name);
            }
        } else {
            results[i].status = LiveStatus::Invalid;
            results[i].detail = "reference \"" + rows[i].reference + "\" with fc \"" + rows[i].fc +
                                "\" names no MMS variable";
        }
    }
    const std::vector<AccessResult> read = client.readMany(names);
    for (std::size_t k = 0; k < asked.size(); ++k) {
        LiveResult& result = results[asked[k]];
        if (read[k].value) {
            judgeType(rows[asked[k]], read[k].value->type, read[k].value->text, result);
            continue;
        }
        if (read[k].objectMissing()) {
            result.status = LiveStatus::Missing;
            continue;
        }
        // Readable or not, the variable may exist: its attributes tell.
        const Outcome<VariableAttributes> attributes = client.getVariableAccessAttributes(names[k]);
        if (!attributes.value || !read[k].unusable.empty()) {
            const bool missing = !attributes.value && attributes.error.objectMissing();
            result.status = missing ? LiveStatus::Missing : LiveStatus::Error;
            result.detail = missing ? "" : read[k].errorText();
            continue;
        }
        judgeType(rows[asked[k]], attributes.value->type, "(not readable: " + read[k].errorText() + ")",
                  result);
    }
    for (const auto& [i, name] : controls) {
        LiveResult& result = results[i];
        const Outcome<VariableAttributes> attributes = client.getVariableAccessAttributes(name);
        if (!attributes.value) {
            const bool missing = attributes.error.objectMissing() && attributes.unusable.empty();
            result.status = missing ? LiveStatus::Missing : LiveStatus::Error;
            result.detail = missing ? "" : attributes.errorText();
            continue;
        }
        judgeType(rows[i], attributes.value->type, "(a control: not read)", result);
    }
}

void checkDataSet(MmsClient& client, const LiveRow& row, LiveResult& result) {
    const std::optional<ObjectName> name = dataSetName(row.reference);
    if (!name) {
        result.status = LiveStatus::Invalid;
        result.detail = "reference \"" + row.reference + "\" names no data set";
        return;
    }
    const Outcome<NamedVariableList> list = client.getNamedVariableListAttributes(*name);
    if (!list.value) {
        const bool missing = list.error.objectMissing() && list.unusable.empty();
        result.status = missing ? LiveStatus::Missing : LiveStatus::Error;
        result.detail = missing ? "" : list.errorText();
        return;
    }
    std::vector<std::string> served;
    for (const mms::ListMember& member : list.value->members) {
        served.push_back(memberReference(member));
    }
    // An expected member is there when a member of the server names it or an object above it: a
    // component (".cVal") or an element of an array ("(7)") of it. The server sends the values in its
    // members' order and the converter takes each by its place, so the expected members must come in
    // that order too: each is looked for from the member the one before it was found at.
    const auto covers = [](const std::string& member, const std::string& expected) {
        return expected == member ||
               (expected.size() > member.size() && expected.compare(0, member.size(), member) == 0 &&
                (expected[member.size()] == '.' || expected[member.size()] == '('));
    };
    std::vector<std::string> absent;
    std::string outOfOrder;
    std::size_t from = 0;
    const std::string* previous = nullptr;
    for (const std::string& expected : row.memberReferences) {
        const auto matches = [&](const std::string& member) { return covers(member, expected); };
        const auto at =
            std::find_if(served.begin() + static_cast<std::ptrdiff_t>(from), served.end(), matches);
        if (at != served.end()) {
            from = static_cast<std::size_t>(at - served.begin());
            previous = &expected;
        } else if (std::none_of(served.begin(), served.end(), matches)) {
            absent.push_back(expected);
        } else if (outOfOrder.empty() && previous != nullptr) {
            outOfOrder = expected + " comes before " + *previous;
        }
    }
    if (absent.empty() && outOfOrder.empty()) {
        result.status = LiveStatus::Ok;
        result.detail = std::to_string(served.size());
        return;
    }
    result.status = LiveStatus::Differs;
    if (!absent.empty()) {
        result.detail = "without";
        for (const std::string& member : absent) {
            result.detail += " " + member;
        }
    }
    if (!outOfOrder.empty()) {
        result.detail += (result.detail.empty() ? "" : "; ") + std::string("order: ") + outOfOrder;
    }
}

// The attributes of a GOOSE control block the check reads (reading them has no effect on the server);
// the first says which data set the block publishes. Not every server has all of them.
constexpr std::array<std::string_view, 5> kGooseAttributes = {"DatSet", "GoEna", "GoID", "AppID",
                                                              "DstAddress"};

// A visible string with `value` as the client shows one read, so that a value read compares with one a
// row names however the client shows strings.
std::string visibleStringText(const std::string& value) {
    mms::BerWriter out;
    out.text(mms::context(static_cast<std::uint32_t>(DataType::VisibleString)), value);
    const mms::Bytes bytes = out.take();
    mms::BerReader reader(bytes);
    return mms::decodeData(reader.next()).text;
}

void checkGooseControls(MmsClient& client, const std::vector<LiveRow>& rows,
                        const std::vector<std::size_t>& indexes, std::vector<LiveResult>& results) {
    std::vector<std::size_t> asked;
    std::vector<ObjectName> names;
    for (const std::size_t i : indexes) {
        const auto block = gooseControlName(rows[i].reference, rows[i].gooseName);
        if (block && dataSetName(rows[i].reference)) {
            asked.push_back(i);
            for (const std::string_view attribute : kGooseAttributes) {
                names.push_back({block->domain, block->item + "$" + std::string(attribute)});
            }
        } else {
            results[i].status = LiveStatus::Invalid;
            results[i].detail = "GOOSE name \"" + rows[i].gooseName + "\" of \"" + rows[i].reference +
                                "\" names no control block";
        }
    }
    const std::vector<AccessResult> read = client.readMany(names);
    for (std::size_t k = 0; k < asked.size(); ++k) {
        LiveResult& result = results[asked[k]];
        const AccessResult* attributes = read.data() + k * kGooseAttributes.size();
        const AccessResult& datSet = attributes[0];
        if (std::all_of(attributes, attributes + kGooseAttributes.size(),
                        [](const AccessResult& attribute) { return attribute.objectMissing(); })) {
            result.status = LiveStatus::Missing;
            continue;
        }
        if (!datSet.value) {
            result.status = datSet.objectMissing() ? LiveStatus::Differs : LiveStatus::Error;
            result.detail = datSet.objectMissing() ? "without DatSet" : "DatSet: " + datSet.errorText();
            continue;
        }
        // The server names the data set in MMS form, as "LD/LLN0$DataSet1".
        const std::string expected = visibleStringText(dataSetName(rows[asked[k]].reference)->text());
        if (datSet.value->type != DataType::VisibleString || datSet.value->text != expected) {
            result.status = LiveStatus::Differs;
            result.detail =
                (datSet.value->text == visibleStringText("") ? std::string("publishes no data set")
                                                             : "publishes " + datSet.value->text) +
                ", not " + expected;
            continue;
        }
        result.status = LiveStatus::Ok;
        for (std::size_t a = 1; a < kGooseAttributes.size(); ++a) {
            if (attributes[a].value) {
                result.detail += (result.detail.empty() ? "" : " ") + std::string(kGooseAttributes[a]) + "=" +
                                 attributes[a].value->text;
            }
        }
    }
}

} // namespace

std::optional<ObjectName> variableName(std::string_view reference, std::string_view fc) {
    const auto split = splitReference(reference);
    if (!split || !validPart(fc) || fc.find('.') != std::string_view::npos) {
        return std::nullopt;
    }
    return ObjectName{std::string(split->domain),
                      std::string(split->node) + "$" + std::string(fc) + "$" + dotsToDollars(split->rest)};
}

std::optional<ObjectName> dataSetName(std::string_view reference) {
    const auto split = splitReference(reference);
    if (!split || split->rest.find('.') != std::string_view::npos) {
        return std::nullopt;
    }
    return ObjectName{std::string(split->domain), std::string(split->node) + "$" + std::string(split->rest)};
}

std::optional<ObjectName> gooseControlName(std::string_view dataSetReference, std::string_view gooseName) {
    const auto split = splitReference(dataSetReference);
    if (!split || !validPart(gooseName) || gooseName.find('.') != std::string_view::npos) {
        return std::nullopt;
    }
    return ObjectName{std::string(split->domain), "LLN0$GO$" + std::string(gooseName)};
}

std::string memberReference(const mms::ListMember& listMember) {
    const ObjectName& member = listMember.name;
    std::string out = member.domain.empty() ? std::string() : member.domain + "/";
    std::size_t part = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t next = member.item.find('$', start);
        const std::string_view piece = std::string_view(member.item).substr(start, next - start);
        if (part != 1) { // the functional constraint
            out += part == 0 ? "" : ".";
            out += piece;
        }
        ++part;
        if (next == std::string::npos) {
            break;
        }
        start = next + 1;
    }
    return out + listMember.accessText();
}

std::optional<DataType> expectedType(std::string_view bType) {
    // Servers send a PhyComAddr as a structure of Addr, PRIORITY, VID and APPID, not as octets.
    static const std::map<std::string_view, DataType> kTypes = {
        {"BOOLEAN", DataType::Boolean},       {"INT8", DataType::Integer},
        {"INT16", DataType::Integer},         {"INT24", DataType::Integer},
        {"INT32", DataType::Integer},         {"INT64", DataType::Integer},
        {"INT128", DataType::Integer},        {"Enum", DataType::Integer},
        {"INT8U", DataType::Unsigned},        {"INT16U", DataType::Unsigned},
        {"INT24U", DataType::Unsigned},       {"INT32U", DataType::Unsigned},
        {"INT64U", DataType::Unsigned},       {"FLOAT32", DataType::FloatingPoint},
        {"FLOAT64", DataType::FloatingPoint}, {"Dbpos", DataType::BitString},
        {"Tcmd", DataType::BitString},        {"Quality", DataType::BitString},
        {"Check", DataType::BitString},       {"TrgOps", DataType::BitString},
        {"OptFlds", DataType::BitString},     {"SvOptFlds", DataType::BitString},
        {"Timestamp", DataType::UtcTime},     {"EntryTime", DataType::BinaryTime},
        {"ObjRef", DataType::VisibleString},  {"Currency", DataType::VisibleString},
        {"EntryID", DataType::OctetString},   {"PhyComAddr", DataType::Structure},
        {"Struct", DataType::Structure},
    };
    if (const auto it = kTypes.find(bType); it != kTypes.end()) {
        return it->second;
    }
    if (bType.starts_with("VisString")) {
        return DataType::VisibleString;
    }
    if (bType.starts_with("Unicode")) {
        return DataType::MmsString;
    }
    if (bType.starts_with("Octet")) {
        return DataType::OctetString;
    }
    return std::nullopt;
}

namespace {

// A row of the list as the check needs it, from the cells of a file's item or of a table's row.
template <class Cells> LiveRow variableRow(const Cells& cells, std::size_t number) {
    LiveRow row;
    row.kind = RowKind::Variable;
    row.row = number;
    row.address = cells[VariableColumn::IPAddress];
    row.port = cells[VariableColumn::Port];
    row.reference = cells[VariableColumn::Reference];
    row.fc = cells[VariableColumn::fc];
    row.bType = cells[VariableColumn::bType];
    return row;
}

template <class Cells> LiveRow dataSetRow(const Cells& cells, std::size_t number) {
    LiveRow row;
    row.kind = RowKind::DataSet;
    row.row = number;
    row.address = cells[DataSetColumn::IPAddress];
    row.port = cells[DataSetColumn::Port];
    row.reference = cells[DataSetColumn::Reference];
    row.gooseName = cells[DataSetColumn::GooseName];
    return row;
}

// Adds a data set's row and, where the converter is to receive the data set by GOOSE, its control
// block's.
void addDataSet(std::vector<LiveRow>& rows, LiveRow&& row, bool enGoose) {
    const bool goose = enGoose && !row.gooseName.empty();
    rows.push_back(std::move(row));
    if (goose) {
        LiveRow block = rows.back();
        block.kind = RowKind::Goose;
        block.memberReferences.clear();
        rows.push_back(std::move(block));
    }
}

// The rows straight from the file's items, without keeping every cell of the list as text.
class RowCollector final : public access::AccessFileVisitor {
public:
    explicit RowCollector(std::vector<LiveRow>& rows) : m_rows(rows) {}

    void outline(const access::AccessFileOutline& outline) override {
        m_variableCount = outline.variableCount;
        m_dataSetCount = outline.dataSetCount;
        m_rows.reserve(outline.variableCount + 2 * outline.dataSetCount);
    }
    void catalogItem(const access::RowView<access::CatalogColumn::Count>&, std::size_t) override {}
    void variable(const access::RowView<VariableColumn::Count>& item, std::size_t number) override {
        if (!access::isBlankTableRow(m_variableCount, item, VariableColumn::Index)) {
            m_rows.push_back(variableRow(item, number));
        }
    }
    void dataSet(const access::RowView<DataSetColumn::Count>& item, std::size_t number, bool,
                 std::size_t memberCount) override {
        finishDataSet();
        if (access::isBlankTableRow(m_dataSetCount, item, DataSetColumn::Index)) {
            return;
        }
        m_dataSet = dataSetRow(item, number);
        m_dataSet->memberReferences.reserve(memberCount);
        m_enGoose = access::flagValue(item[DataSetColumn::EnGoose]).value_or(false);
    }
    void member(const access::RowView<MemberColumn::Count>& item, std::size_t, std::size_t) override {
        if (m_dataSet && !item[MemberColumn::Reference].empty()) {
            m_dataSet->memberReferences.emplace_back(item[MemberColumn::Reference]);
        }
    }
    void finishDataSet() {
        if (m_dataSet) {
            addDataSet(m_rows, std::move(*m_dataSet), m_enGoose);
            m_dataSet.reset();
        }
    }

private:
    std::vector<LiveRow>& m_rows;
    std::size_t m_variableCount = 0;
    std::size_t m_dataSetCount = 0;
    std::optional<LiveRow> m_dataSet; // the data set whose members are being read
    bool m_enGoose = false;
};

} // namespace

std::vector<LiveRow> liveRows(const access::AccessFile& file) {
    // A table whose only row has no "Index" is the editor's empty table: it names no server.
    const bool noVariables = access::isBlankTable(file.variables, VariableColumn::Index);
    const bool noDataSets = access::isBlankTable(file.dataSets, DataSetColumn::Index);
    std::vector<LiveRow> rows;
    rows.reserve(file.variables.size() + 2 * file.dataSets.size());
    for (std::size_t i = 0; i < (noVariables ? 0 : file.variables.size()); ++i) {
        rows.push_back(variableRow(file.variables[i], i + 1));
    }
    for (std::size_t i = 0; i < (noDataSets ? 0 : file.dataSets.size()); ++i) {
        const auto& cells = file.dataSets[i];
        LiveRow row = dataSetRow(cells, i + 1);
        for (const auto& member : cells.members) {
            if (!member[MemberColumn::Reference].empty()) {
                row.memberReferences.push_back(member[MemberColumn::Reference]);
            }
        }
        addDataSet(rows, std::move(row), access::flagValue(cells[DataSetColumn::EnGoose]).value_or(false));
    }
    return rows;
}

std::vector<LiveRow> liveRows(const std::filesystem::path& accessFile) {
    std::vector<LiveRow> rows;
    RowCollector collector(rows);
    access::visitAccessFile(accessFile, collector);
    collector.finishDataSet();
    return rows;
}

std::vector<LiveResult> runLiveCheck(const std::vector<LiveRow>& rows, const LiveCheckOptions& options,
                                     const LiveProgress& progress, std::stop_token stop) {
    std::vector<LiveResult> results(rows.size());
    std::vector<Server> order;
    std::map<Server, std::size_t> known;
    std::vector<std::vector<std::size_t>> groups; // the rows of order[k]
    // Rows mostly come in runs of one server: a row with the address and port of the one before it
    // joins the same group without its address being read again.
    const LiveRow* previous = nullptr;
    std::size_t previousGroup = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        results[i].kind = rows[i].kind;
        results[i].row = rows[i].row;
        if (previous != nullptr && rows[i].address == previous->address && rows[i].port == previous->port) {
            groups[previousGroup].push_back(i);
            continue;
        }
        previous = nullptr;
        std::string reason;
        std::optional<Server> server = serverOf(rows[i], reason);
        if (server && options.simulatedPort) {
            const std::optional<std::uint16_t> port = options.simulatedPort(rows[i]);
            server = port ? std::optional<Server>(Server{"127.0.0.1", *port}) : std::nullopt;
            reason = "no simulated device stands for " + rows[i].address;
        }
        if (server) {
            auto [it, added] = known.try_emplace(*server, order.size());
            if (added) {
                order.push_back(*server);
                groups.emplace_back();
            }
            groups[it->second].push_back(i);
            // A simulated device may be chosen by the row's reference, so each row is asked for its own.
            previous = options.simulatedPort ? nullptr : &rows[i];
            previousGroup = it->second;
        } else {
            results[i].status = LiveStatus::Unreachable;
            results[i].detail = reason;
        }
    }

    LiveCount count;
    count.rows = rows.size();
    count.servers = order.size();
    count.rowsDone = rows.size();
    for (const auto& members : groups) {
        count.rowsDone -= members.size();
    }
    if (progress) {
        progress(count);
    }

    // A stop from the caller, or an unexpected fault in one worker, stops them all.
    std::stop_source stopAll;
    const std::stop_callback forward(stop, [&stopAll] { stopAll.request_stop(); });
    const std::stop_token workerStop = stopAll.get_token();
    std::mutex mutex; // guards count, fault and the progress calls
    std::exception_ptr fault;
    std::atomic<std::size_t> next{0};

    // Each server's rows are checked by one worker over one association; each worker writes only the
    // results of its server's rows.
    const auto checkServer = [&](const Server& server, const std::vector<std::size_t>& members) {
        MmsClient client;
        bool associated = false;
        try {
            client.connect(server.address, server.port, options.timeouts, workerStop);
            associated = true;
            std::vector<std::size_t> variables;
            std::vector<std::size_t> gooses;
            for (const std::size_t i : members) {
                if (rows[i].kind == RowKind::Variable) {
                    variables.push_back(i);
                } else if (rows[i].kind == RowKind::Goose) {
                    gooses.push_back(i);
                }
            }
            checkVariables(client, rows, variables, results);
            for (const std::size_t i : members) {
                if (rows[i].kind == RowKind::DataSet) {
                    checkDataSet(client, rows[i], results[i]);
                }
            }
            checkGooseControls(client, rows, gooses, results);
            client.conclude();
        } catch (const MmsStopped&) {
            return false;
        } catch (const ConfigError& error) {
            // What was checked before the fault stands; the rest of this server's rows could not be. A
            // server that took the association was reached: what broke it off is an error, not
            // unreachability.
            for (const std::size_t i : members) {
                if (results[i].status == LiveStatus::Stopped) {
                    results[i].status = associated ? LiveStatus::Error : LiveStatus::Unreachable;
                    results[i].detail =
                        associated ? "the association broke off: " + std::string(error.what()) : error.what();
                }
            }
        }
        return true;
    };
    const auto work = [&] {
        try {
            for (;;) {
                const std::size_t k = next.fetch_add(1);
                if (k >= order.size() || workerStop.stop_requested() || !checkServer(order[k], groups[k])) {
                    return;
                }
                const std::lock_guard lock(mutex);
                count.rowsDone += groups[k].size();
                ++count.serversDone;
                if (progress && !workerStop.stop_requested()) {
                    progress(count);
                }
            }
        } catch (...) {
            const std::lock_guard lock(mutex);
            if (!fault) {
                fault = std::current_exception();
            }
            stopAll.request_stop();
        }
    };

    const std::size_t workers = std::min(order.size(), std::max<std::size_t>(options.parallel, 1));
    if (workers == 1) {
        work(); // no thread for a single server
    } else if (workers > 1) {
        std::vector<std::jthread> threads;
        threads.reserve(workers);
        for (std::size_t w = 0; w < workers; ++w) {
            threads.emplace_back(work);
        }
    } // the threads are joined here
    if (fault) {
        std::rethrow_exception(fault);
    }
    return results;
}

std::string resultLine(const LiveResult& result) {
    std::string line = std::string(kindWord(result.kind)) + " " + std::to_string(result.row) + " " +
                       std::string(statusWord(result.status));
    if (!result.detail.empty()) {
        line += " " + result.detail;
    }
    return line;
}

} // namespace sw::live
