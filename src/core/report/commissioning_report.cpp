#include "core/report/commissioning_report.h"
#include "core/common/path_text.h"
#include "core/common/utf8.h"

#include "core/access/access_editor.h"
#include "core/access/access_file.h"
#include "core/access/data_array_map.h"
#include "core/access/lint.h"
#include "core/common/config_error.h"
#include "core/image/image_builder.h"
#include "core/image/parameter_block.h"
#include "core/language/builtin_texts.h"
#include "core/parameters/parameter_check.h"
#include "core/parameters/parameter_fields.h"
#include "core/parameters/parameter_file.h"
#include "core/project/project_paths.h"
#include "core/shell/program_state.h"

#include <array>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

namespace sw::report {

namespace {

using namespace sw::access;

constexpr std::size_t kMapColumns = 50;
constexpr int kCell = 13; // pixels per cell, gap included
constexpr int kLabelWidth = 36;

struct UseStyle {
    CellUse use;
    const char* colour;
    const char* name;
};
constexpr std::array<UseStyle, 6> kUseStyles = {{{CellUse::Free, "#eeeeee", "free"},
                                                 {CellUse::Read, "#4a86c5", "read"},
                                                 {CellUse::Write, "#6aa84f", "write or no direction"},
                                                 {CellUse::Member, "#e69138", "data-set member"},
                                                 {CellUse::Mixed, "#8e7cc3", "mixed, no conflict"},
                                                 {CellUse::Conflict, "#cc0000", "conflict"}}};

const UseStyle& styleOf(CellUse use) {
    for (const UseStyle& style : kUseStyles) {
        if (style.use == use) {
            return style;
        }
    }
    return kUseStyles[0];
}

std::string hex32(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

// A table of texts; the first row is the header.
class Table {
public:
    explicit Table(std::string& out, const char* cssClass = nullptr) : m_out(out) {
        m_out += cssClass ? std::string("<table class=\"") + cssClass + "\">" : std::string("<table>");
    }
    ~Table() { m_out += "</tbody></table>\n"; }
    template <class Texts> void header(const Texts& texts) {
        m_out += "<thead><tr>";
        for (const auto& text : texts) {
            m_out += "<th>" + escapeHtml(text) + "</th>";
        }
        m_out += "</tr></thead><tbody>";
    }
    template <class Texts> void row(const Texts& texts, const char* cssClass = nullptr) {
        m_out += cssClass ? std::string("<tr class=\"") + cssClass + "\">" : std::string("<tr>");
        for (const auto& text : texts) {
            m_out += "<td>";
            m_out += escapeHtml(text);
            m_out += "</td>";
        }
        m_out += "</tr>\n";
    }

private:
    std::string& m_out;
};

constexpr const char* kStyle = R"(<style>
@page { size: A4 landscape; margin: 12mm; }
body { font-family: "DejaVu Sans", Arial, Helvetica, sans-serif; font-size: 10pt; color: #111; margin: 0 8px; }
h1 { font-size: 16pt; margin: 0 0 4px 0; }
h2 { font-size: 12.5pt; margin: 18px 0 6px 0; border-bottom: 1px solid #999; break-after: avoid; }
table { border-collapse: collapse; margin: 4px 0 8px 0; }
th, td { border: 1px solid #bbb; padding: 1px 4px; text-align: left; vertical-align: top; }
th { background: #e8e8e8; }
thead { display: table-header-group; }
tr { break-inside: avoid; }
table.wide { font-size: 7.5pt; width: 100%; }
table.wide td { word-break: break-all; }
tr.dataset td { background: #f4f4f4; font-weight: bold; }
tr.member td:first-child { padding-left: 14px; }
.map { break-inside: avoid; }
.legend span { display: inline-block; width: 10px; height: 10px; border: 1px solid #888; margin: 0 4px 0 12px; }
.note { color: #555; }
.error { color: #b00; font-weight: bold; }
ul.lint { font-size: 9pt; }
</style>
)";

// The serial values are the last four parameters, each an index into its list of names.
std::string serialText(const ParameterSet& set, std::size_t serial) {
    static constexpr std::array<std::span<const std::string_view>, 4> kLists = {
        kSerialInterfaceNames, kSerialBaudrateNames, kSerialParityNames, kSerialStopBitsNames};
    const int index = set.*kParameterFields[kParameterFields.size() - kLists.size() + serial].index;
    if (index >= 0 && static_cast<std::size_t>(index) < kLists[serial].size()) {
        return std::string(kLists[serial][static_cast<std::size_t>(index)]);
    }
    return "(none)";
}

void parametersSection(std::string& out, const ParameterSet& set) {
    out += "<h2>Communication parameters</h2>\n";
    const auto joined = [&set](std::string ParameterSet::*a, std::string ParameterSet::*b,
                               std::string ParameterSet::*c, std::string ParameterSet::*d) {
        return set.*a + "." + set.*b + "." + set.*c + "." + set.*d;
    };
    Table table(out);
    table.header(std::array<std::string, 2>{"Parameter", "Value"});
    table.row(std::array<std::string, 2>{
        "IP address", joined(&ParameterSet::IEC61850_Client_IP1, &ParameterSet::IEC61850_Client_IP2,
                             &ParameterSet::IEC61850_Client_IP3, &ParameterSet::IEC61850_Client_IP4)});
    table.row(std::array<std::string, 2>{
        "Subnet mask", joined(&ParameterSet::IEC61850_Client_SM1, &ParameterSet::IEC61850_Client_SM2,
                              &ParameterSet::IEC61850_Client_SM3, &ParameterSet::IEC61850_Client_SM4)});
    table.row(std::array<std::string, 2>{
        "Gateway", joined(&ParameterSet::IEC61850_Client_GAT1, &ParameterSet::IEC61850_Client_GAT2,
                          &ParameterSet::IEC61850_Client_GAT3, &ParameterSet::IEC61850_Client_GAT4) +
                       (set.IEC61850_Client_En_GAT ? " (enabled)" : " (disabled)")});
    table.row(std::array<std::string, 2>{"VLAN", set.IEC61850_Client_VLAN});
    table.row(std::array<std::string, 2>{"Application ID", set.IEC61850_Client_Application_ID});
    const std::array<const char*, 4> serialNames = {"Serial interface", "Baud rate", "Parity", "Stop bits"};
    for (std::size_t i = 0; i < serialNames.size(); ++i) {
        table.row(std::array<std::string, 2>{serialNames[i], serialText(set, i)});
    }
}

void catalogSection(std::string& out, const AccessFile& access, const std::vector<CatalogDevice>& devices) {
    out += "<h2>Catalog</h2>\n";
    // The server addresses the rows of each device use, in order of first use.
    std::map<std::string, std::vector<std::string>> addresses;
    std::set<std::pair<std::string, std::string>> seen;
    const auto note = [&](const std::string& index, const std::string& ip, const std::string& port) {
        const std::string address = port.empty() ? ip : ip + ":" + port;
        if (!ip.empty() && seen.emplace(index, address).second) {
            addresses[index].push_back(address);
        }
    };
    for (const VariableRow& row : access.variables) {
        note(row[VariableColumn::Index], row[VariableColumn::IPAddress], row[VariableColumn::Port]);
    }
    for (const DataSetRow& row : access.dataSets) {
        note(row[DataSetColumn::Index], row[DataSetColumn::IPAddress], row[DataSetColumn::Port]);
    }
    if (devices.empty()) {
        out += "<p class=\"note\">The catalog is empty.</p>\n";
        return;
    }
    Table table(out);
    table.header(std::array<std::string, 4>{"Index", "IED name", "File", "Server addresses"});
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const std::string index = std::to_string(i);
        std::string list;
        for (const std::string& address : addresses[index]) {
            list += (list.empty() ? "" : ", ") + address;
        }
        table.row(std::array<std::string, 4>{
            index, devices[i].isPlaceholder() ? devices[i].listText() : devices[i].name, devices[i].fileName,
            list});
    }
}

void signalSection(std::string& out, const AccessFile& access) {
    out += "<h2>Signal list</h2>\n";
    if (access.variables.empty()) {
        out += "<p class=\"note\">No variables.</p>\n";
        return;
    }
    Table table(out, "wide");
    std::vector<std::string_view> header = {"N"};
    header.insert(header.end(), kVariableAttributes.begin(), kVariableAttributes.end());
    table.header(header);
    std::vector<std::string_view> cells(header.size());
    for (std::size_t r = 0; r < access.variables.size(); ++r) {
        const std::string number = std::to_string(r + 1);
        cells[0] = number;
        std::copy(access.variables[r].cells.begin(), access.variables[r].cells.end(), cells.begin() + 1);
        table.row(cells);
    }
}

void dataSetSection(std::string& out, const AccessFile& access) {
    out += "<h2>Data sets</h2>\n";
    if (access.dataSets.empty()) {
        out += "<p class=\"note\">No data sets.</p>\n";
        return;
    }
    Table table(out, "wide");
    table.header(std::array<std::string_view, 9>{"N / member", "Index / bType", "Reference", "Goose name",
                                                 "En. Goose / Position", "IP address / Start bit",
                                                 "Port / Convertion", "Time / Mult. factor", "Mnemonic"});
    for (std::size_t d = 0; d < access.dataSets.size(); ++d) {
        const DataSetRow& dataSet = access.dataSets[d];
        std::array<std::string_view, 9> cells;
        const std::string number = std::to_string(d + 1);
        cells[0] = number;
        std::copy(dataSet.cells.begin(), dataSet.cells.end(), cells.begin() + 1);
        table.row(cells, "dataset");
        for (std::size_t m = 0; m < dataSet.members.size(); ++m) {
            const MemberRow& member = dataSet.members[m];
            const std::string memberNumber = number + "." + std::to_string(m + 1);
            table.row(
                std::array<std::string_view, 9>{
                    memberNumber, member[MemberColumn::bType], member[MemberColumn::Reference], "",
                    member[MemberColumn::Position], member[MemberColumn::StartBit],
                    member[MemberColumn::Convertion], member[MemberColumn::MoltFact],
                    member[MemberColumn::Mnemonic]},
                "member");
        }
    }
}

void mapSection(std::string& out, const DataArrayMap& map) {
    out += "<h2>Data-array map</h2>\n<div class=\"map\">\n";
    out += dataArraySvg(map);
    out += "<p class=\"legend\">";
    for (const UseStyle& style : kUseStyles) {
        out += std::string("<span style=\"background:") + style.colour + "\"></span>" + style.name;
    }
    out += "</p>\n<p>" + std::to_string(map.conflictCount()) +
           " position(s) with a conflict. Positions 0 to 1399, " + std::to_string(kMapColumns) +
           " a line.</p>\n</div>\n";
}

// The errors OK would refuse the list for, then the parameter file's warnings, then the list's.
void lintSection(std::string& out, const std::vector<ReviewLine>& review) {
    out += "<h2>Warnings</h2>\n";
    if (review.empty()) {
        out += "<p>None.</p>\n";
        return;
    }
    out += "<ul class=\"lint\">\n";
    for (const ReviewLine& line : review) {
        out += (line.error ? "<li class=\"error\">" : "<li>") + escapeHtml(line.text) + "</li>\n";
    }
    out += "</ul>\n";
}

void imageSection(std::string& out, const ProjectPaths& project, char decimalSeparator) {
    out += "<h2>Images</h2>\n";
    BuildResult images;
    try {
        images = buildImages(project.parGenFile(), project.accessFile(), decimalSeparator);
    } catch (const ConfigError& error) {
        out += "<p class=\"error\">The images cannot be built: " + escapeHtml(error.what()) + "</p>\n";
        return;
    }
    Table table(out);
    table.header(std::array<std::string, 4>{"File", "Size (bytes)", "Checksum in the image", "CRC-32"});
    table.row(std::array<std::string, 4>{kParameterImageName, std::to_string(images.bank1.size()),
                                         hex32(image::parameterChecksum(images.bank1.data())),
                                         hex32(crc32(images.bank1))});
    table.row(std::array<std::string, 4>{kVariableImageName, std::to_string(images.bank2.size()), "-",
                                         hex32(crc32(images.bank2))});
    out += "<p class=\"note\">As a build of the project gives them now, with \"";
    out += decimalSeparator;
    out += "\" as decimal mark.</p>\n";
}

} // namespace

std::filesystem::path reportFile(const ProjectPaths& project) {
    return project.folder() / "Commissioning_Report.html";
}

std::string escapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    // The page declares UTF-8: a name that is not (a folder's bytes on POSIX) shows U+FFFD where it breaks.
    for (const char c : utf8::repair(text)) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::uint32_t crc32(std::span<const std::uint8_t> bytes) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1U) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
            }
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFU;
    for (const std::uint8_t byte : bytes) {
        crc = table[(crc ^ byte) & 0xFFU] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFU;
}

std::string dataArraySvg(const DataArrayMap& map) {
    const std::size_t lines = (kDataArraySize + kMapColumns - 1) / kMapColumns;
    const int width = kLabelWidth + static_cast<int>(kMapColumns) * kCell;
    const int height = static_cast<int>(lines) * kCell + 14;
    std::string out = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) +
                      "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(width) +
                      " " + std::to_string(height) + "\" font-family=\"sans-serif\" font-size=\"8\">\n";
    for (std::size_t c = 0; c < kMapColumns; c += 10) {
        out += "<text x=\"" + std::to_string(kLabelWidth + static_cast<int>(c) * kCell) + "\" y=\"9\">+" +
               std::to_string(c) + "</text>";
    }
    out += '\n';
    for (std::size_t line = 0; line < lines; ++line) {
        const int y = 12 + static_cast<int>(line) * kCell;
        out += "<text x=\"0\" y=\"" + std::to_string(y + 9) + "\">" + std::to_string(line * kMapColumns) +
               "</text>";
        for (std::size_t c = 0; c < kMapColumns && line * kMapColumns + c < kDataArraySize; ++c) {
            const std::size_t position = line * kMapColumns + c;
            out += "<rect x=\"" + std::to_string(kLabelWidth + static_cast<int>(c) * kCell) + "\" y=\"" +
                   std::to_string(y) + "\" width=\"" + std::to_string(kCell - 2) + "\" height=\"" +
                   std::to_string(kCell - 2) + "\" fill=\"" + styleOf(map.use(position)).colour + "\">";
            if (!map.at(position).empty()) {
                out += "<title>" + escapeHtml(describePosition(map, position)) + "</title>";
            }
            out += "</rect>";
        }
        out += '\n';
    }
    out += "</svg>\n";
    return out;
}

std::string commissioningReport(const ProjectPaths& project, char decimalSeparator) {
    const ParameterSet parameters = readParameterFile(project.parGenFile());
    AccessEditor editor;
    editor.open(project); // for the catalog's devices, loaded as the editor loads them
    std::error_code error;
    const AccessFile access = std::filesystem::exists(project.accessFile(), error)
                                  ? readAccessFile(project.accessFile())
                                  : AccessFile{};
    const std::vector<CatalogDevice>& devices = editor.list().devices();
    const DataArrayMap map = buildDataArrayMap(access);
    const std::string name = project.name();

    std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
                      escapeHtml("Commissioning report - " + name) + "</title>\n";
    out += kStyle;
    out += "</head>\n<body>\n<h1>" + escapeHtml("Commissioning report - " + name) + "</h1>\n";
    out += "<p class=\"note\">" +
           escapeHtml(std::string(kSoftwareCode) + " " + kSoftwareDescription + ", configurator " +
                      kSoftwareVersion) +
           "<br>Project folder: " + escapeHtml(utf8Of(project.folder())) + "</p>\n";
    parametersSection(out, parameters);
    catalogSection(out, access, devices);
    signalSection(out, access);
    dataSetSection(out, access);
    mapSection(out, map);
    lintSection(out, reviewAccessList(access, devices, parameterWarnings(parameters), decimalSeparator,
                                      builtinTexts()));
    imageSection(out, project, decimalSeparator);
    out += "</body>\n</html>\n";
    return out;
}

} // namespace sw::report
