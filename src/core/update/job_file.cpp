#include "core/update/job_file.h"

#include "core/common/atomic_file.h"
#include "core/common/config_error.h"
#include "core/common/ip_address.h"
#include "core/common/path_text.h"
#include "core/common/trim.h"
#include "core/platform/paths.h"
#include "core/xml/xml.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace sw {

namespace {

// One operation's values, column by column of the three kinds the job can hold.
struct OperationValues {
    std::string fileName;
    const char* startAddress;
    const char* bankType;
    const char* writeCss;
};

void appendOperation(pugi::xml_node operations, const OperationValues& values, bool readBack, bool last) {
    pugi::xml_node op = xml::appendElement(operations, "Operation");
    xml::appendElement(op, "Ope_Protection_Enabled");
    xml::appendElement(op, "Ope_GoToBoot_Before", "0");
    xml::appendElement(op, "Ope_GoToApp_Before", "0");
    xml::appendElement(op, "Ope_IP_Address");
    xml::appendElement(op, "Ope_Port", "2008");
    xml::appendElement(op, "Ope_Port_Sec", "2007");
    xml::appendElement(op, "Ope_Erase_Memory", "0");
    xml::appendElement(op, "Ope_FileName", values.fileName);
    xml::appendElement(op, "Ope_Start_Address", values.startAddress);
    xml::appendElement(op, "Ope_Memory_Type", "0");
    xml::appendElement(op, "Ope_Bank_Type", values.bankType);
    xml::appendElement(op, "Ope_Read_Back", readBack ? "1" : "0");
    xml::appendElement(op, "Ope_Write_CSS", values.writeCss);
    xml::appendElement(op, "Ope_Address_CSS", "0x07A00");
    xml::appendElement(op, "Ope_Command_CSS", "0x02");
    xml::appendElement(op, "Ope_Write_Internal_Data", "0");
    xml::appendElement(op, "Ope_WID_Address", "0x07810");
    xml::appendElement(op, "Ope_WID_Command", "0x02");
    xml::appendElement(op, "Ope_WID_Data", "0x00, 0x00, 0x00, 0x01");
    xml::appendElement(op, "Ope_GoToApp_After", last ? "1" : "0");
}

std::string pathText(const std::filesystem::path& folder, const std::filesystem::path& name) {
    return utf8Of(folder / name);
}

template <class Fields> std::string fieldText(const Fields& fields, std::string_view name) {
    const auto found =
        std::find_if(fields.begin(), fields.end(), [name](const auto& field) { return field.first == name; });
    return found != fields.end() ? found->second : std::string();
}

JobDocument readDocument(const pugi::xml_document& document, const std::string& displayName) {
    const pugi::xml_node root = xml::firstElement(document);
    if (!root || std::string_view(root.name()) != "Ethernet_Update") {
        throw ConfigError(ErrorCode::JobFileWithoutRoot, {displayName});
    }
    JobDocument job;
    try {
        for (pugi::xml_node child : root.children()) {
            if (child.type() != pugi::node_element) {
                continue;
            }
            const std::string_view name = child.name();
            if (name == "Protections") {
                job.hasProtections = true;
                for (pugi::xml_node protection : child.children("Protection")) {
                    job.protections.push_back(xml::elementText(protection));
                }
            } else if (name == "Operations") {
                job.hasOperations = true;
                for (pugi::xml_node operation : child.children("Operation")) {
                    JobOperation& read = job.operations.emplace_back();
                    for (pugi::xml_node field : operation.children()) {
                        if (field.type() == pugi::node_element) {
                            read.fields.emplace_back(field.name(), xml::elementText(field));
                        }
                    }
                }
            } else {
                job.fields.emplace_back(std::string(name), xml::elementText(child));
            }
        }
    } catch (const ConfigError& error) {
        throw ConfigError(ErrorCode::JobFileLayout, {displayName, error.what()});
    }
    return job;
}

} // namespace

const std::array<const char*, 20> kOperationFieldNames = {
    "Ope_Protection_Enabled",
    "Ope_GoToBoot_Before",
    "Ope_GoToApp_Before",
    "Ope_IP_Address",
    "Ope_Port",
    "Ope_Port_Sec",
    "Ope_Erase_Memory",
    "Ope_FileName",
    "Ope_Start_Address",
    "Ope_Memory_Type",
    "Ope_Bank_Type",
    "Ope_Read_Back",
    "Ope_Write_CSS",
    "Ope_Address_CSS",
    "Ope_Command_CSS",
    "Ope_Write_Internal_Data",
    "Ope_WID_Address",
    "Ope_WID_Command",
    "Ope_WID_Data",
    "Ope_GoToApp_After",
};

std::string joinAddress(const std::array<std::string, 4>& fields) {
    return fields[0] + "." + fields[1] + "." + fields[2] + "." + fields[3];
}

std::filesystem::path updaterLog(const std::filesystem::path& programFolder) {
    return jobFile(programFolder).replace_extension(".log");
}

std::vector<std::string> lastLines(const std::filesystem::path& file, std::size_t count) {
    // Only the end of the file matters, however much was written.
    constexpr std::streamoff kTail = 8192;
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in) {
        return {};
    }
    const std::streamoff size = in.tellg();
    in.seekg(size > kTail ? size - kTail : 0);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (begin < bytes.size()) {
        std::size_t end = bytes.find('\n', begin);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        std::string line(trimmedOfControls(std::string_view(bytes).substr(begin, end - begin)));
        if (!line.empty()) {
            lines.push_back(std::move(line));
        }
        begin = end + 1;
    }
    if (lines.size() > count) {
        lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(count));
    }
    return lines;
}

std::filesystem::path jobFile(const std::filesystem::path& programFolder) {
    return programFolder / kJobFileName;
}

std::filesystem::path updaterProgram(const std::filesystem::path& programFolder) {
    return programFolder / ("Ethernet_Update" + std::string(platform::kProgramSuffix));
}

std::string jobFileBytes(const UpdateJob& job) {
    const std::optional<std::string> address = canonicalIpAddress(job.address);
    if (!address) {
        throw ConfigError(ErrorCode::NotAnIpv4Address, {job.address});
    }
    pugi::xml_document document;
    pugi::xml_node root = xml::appendElement(document, "Ethernet_Update");
    xml::appendElement(root, "Version", "1000");
    xml::appendElement(root, "Title", "Brantis - SW40512 Ethernet Update");
    xml::appendElement(root, "IP_Address_Dev", *address);
    xml::appendElement(root, "Application_Port", "10000");
    xml::appendElement(root, "Boot_Port", "2008");
    xml::appendElement(root, "Boot_Port_Sec", "2007");
    xml::appendElement(root, "Address_Protection", "0x07800");
    xml::appendElement(xml::appendElement(root, "Protections"), "Protection", "0x5B1");
    pugi::xml_node operations = xml::appendElement(root, "Operations");

    const bool firmware = job.option != UpdateOption::Configuration;
    const bool configuration = job.option != UpdateOption::Firmware;
    if (firmware) {
        appendOperation(operations, {pathText(job.masterFolder, kFirmwareFileName), "0x8000", "1", "1"},
                        job.readBack, !configuration);
    }
    if (configuration) {
        const std::filesystem::path bin = job.projectFolder / "bin";
        appendOperation(operations, {pathText(bin, "bank1.bin"), "0x07000", "2", "0"}, job.readBack, false);
        appendOperation(operations, {pathText(bin, "bank2.bin"), "0x80000", "2", "0"}, job.readBack, true);
    }
    return xml::toBytes(document);
}

void compileParameters(const UpdateJob& job, const std::filesystem::path& programFolder) {
    writeFileAtomically(jobFile(programFolder), jobFileBytes(job));
}

std::string JobOperation::get(std::string_view name) const {
    return fieldText(fields, name);
}

std::string JobDocument::get(std::string_view name) const {
    return fieldText(fields, name);
}

bool JobDocument::has(std::string_view name) const {
    return std::any_of(fields.begin(), fields.end(),
                       [name](const auto& field) { return field.first == name; });
}

JobDocument readJobFile(const std::filesystem::path& file) {
    pugi::xml_document document;
    xml::loadFile(document, file, limits::kSettingsFile);
    return readDocument(document, utf8Of(file));
}

JobDocument readJobBytes(std::string_view bytes, const std::string& displayName) {
    pugi::xml_document document;
    xml::loadBuffer(document, bytes, displayName);
    return readDocument(document, displayName);
}

} // namespace sw
