#include "core/update/updater_job.h"

#include "core/common/atomic_file.h"
#include "core/common/config_error.h"
#include "core/common/ip_address.h"
#include "core/common/path_text.h"
#include "core/image/image_builder.h"
#include "core/image/image_decoder.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <span>

namespace sw {

namespace {

constexpr std::uint32_t kFirmwareAddress = 0x8000;
constexpr std::uint32_t kParameterAddress = 0x07000;

std::optional<std::uint32_t> parseHex(std::string_view text) {
    if (text.size() < 3 || text.size() > 10 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    const char* first = text.data() + 2;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value, 16);
    if (error != std::errc() || end != last) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint32_t> parseDecimal(std::string_view text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

bool isPort(std::string_view text) {
    const auto port = parseDecimal(text);
    return port && *port >= 1 && *port <= 65535;
}

bool isFlag(std::string_view text) {
    return text == "0" || text == "1";
}

bool isByteList(std::string_view text) {
    std::size_t count = 0;
    while (!text.empty()) {
        const auto comma = text.find(',');
        std::string_view item = text.substr(0, comma);
        while (!item.empty() && item.front() == ' ') {
            item.remove_prefix(1);
        }
        const auto value = parseHex(item);
        if (!value || *value > 0xFF) {
            return false;
        }
        ++count;
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    return count > 0;
}

// Only the plain form: an address with leading zeros is read as octal by some programs, so it would not
// be certain which device the job names.
bool isAddress(std::string_view text) {
    return canonicalIpAddress(text) == text;
}

// Whether `inner` lies below `folder`; both already canonical.
bool isInside(const std::filesystem::path& inner, const std::filesystem::path& folder) {
    const auto [folderEnd, innerAt] = std::mismatch(folder.begin(), folder.end(), inner.begin(), inner.end());
    // A trailing separator of the folder leaves an empty last element.
    const bool folderDone =
        folderEnd == folder.end() || (std::next(folderEnd) == folder.end() && folderEnd->empty());
    return folderDone && innerAt != inner.end();
}

std::string inQuotes(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::span<const std::uint8_t> bytesOf(const std::string& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

class JobChecker {
public:
    JobChecker(const JobDocument& job, const std::filesystem::path& programFolder)
        : m_job(job), m_masterFolder(programFolder / "MASTER") {}

    UpdaterRun run() {
        checkDevice();
        if (!m_job.hasOperations || m_job.operations.empty()) {
            problem("The job has no operation: there is nothing to transfer.");
        }
        for (std::size_t i = 0; i < m_job.operations.size(); ++i) {
            checkOperation(i);
        }
        if (m_parameterImage && m_variableImage) {
            for (const std::string& mismatch :
                 image::checkImagePair(bytesOf(*m_parameterImage), bytesOf(*m_variableImage))) {
                problem(mismatch);
            }
        }
        return std::move(m_run);
    }

private:
    void problem(std::string text) { m_run.problems.push_back(std::move(text)); }

    void require(std::string_view name, bool (*valid)(std::string_view), std::string_view expected) {
        if (!m_job.has(name)) {
            problem("The job has no " + std::string(name) + ".");
        } else if (!valid(m_job.get(name))) {
            problem(std::string(name) + " is " + inQuotes(m_job.get(name)) + ", not " +
                    std::string(expected) + ".");
        }
    }

    void checkDevice() {
        require(
            "Version", [](std::string_view text) { return text == "1000"; }, "the job format 1000");
        require("IP_Address_Dev", isAddress,
                "an IPv4 address of four numbers from 0 to 255 written without leading zeros");
        require("Application_Port", isPort, "a port number");
        require("Boot_Port", isPort, "a port number");
        require("Boot_Port_Sec", isPort, "a port number");
        require(
            "Address_Protection", [](std::string_view text) { return parseHex(text).has_value(); },
            "a hexadecimal address");
        if (!m_job.hasProtections || m_job.protections.empty()) {
            problem("The job has no Protections/Protection value.");
        }
        for (const std::string& protection : m_job.protections) {
            if (!parseHex(protection)) {
                problem("Protection is " + inQuotes(protection) + ", not a hexadecimal value.");
            }
        }
        m_run.transfer.push_back("Device " + m_job.get("IP_Address_Dev") + ": application port " +
                                 m_job.get("Application_Port") + ", boot ports " + m_job.get("Boot_Port") +
                                 " and " + m_job.get("Boot_Port_Sec") + ", protection value " +
                                 (m_job.protections.empty() ? std::string("-") : m_job.protections.front()) +
                                 " at " + m_job.get("Address_Protection") + ".");
    }

    bool checkOperationFields(const JobOperation& op, const std::string& which) {
        const bool laidOut =
            op.fields.size() == kOperationFieldNames.size() &&
            std::equal(op.fields.begin(), op.fields.end(), kOperationFieldNames.begin(),
                       [](const auto& field, const char* name) { return field.first == name; });
        if (!laidOut) {
            problem(which + " does not hold the twenty fields Ope_Protection_Enabled to Ope_GoToApp_After in "
                            "their order.");
            return false;
        }
        const std::size_t before = m_run.problems.size();
        auto expect = [&](const char* name, bool valid, const char* what) {
            if (!valid) {
                problem(which + ": " + name + " is " + inQuotes(op.get(name)) + ", not " + what + ".");
            }
        };
        for (const char* flag :
             {"Ope_GoToBoot_Before", "Ope_GoToApp_Before", "Ope_Erase_Memory", "Ope_Read_Back",
              "Ope_Write_CSS", "Ope_Write_Internal_Data", "Ope_GoToApp_After"}) {
            expect(flag, isFlag(op.get(flag)), "0 or 1");
        }
        const std::string protection = op.get("Ope_Protection_Enabled");
        expect("Ope_Protection_Enabled", protection.empty() || isFlag(protection), "empty, 0 or 1");
        const std::string address = op.get("Ope_IP_Address");
        expect("Ope_IP_Address", address.empty() || isAddress(address),
               "empty or an IPv4 address written without leading zeros");
        expect("Ope_Port", isPort(op.get("Ope_Port")), "a port number");
        expect("Ope_Port_Sec", isPort(op.get("Ope_Port_Sec")), "a port number");
        for (const char* hex : {"Ope_Start_Address", "Ope_Address_CSS", "Ope_Command_CSS", "Ope_WID_Address",
                                "Ope_WID_Command"}) {
            expect(hex, parseHex(op.get(hex)).has_value(), "a hexadecimal number");
        }
        expect("Ope_Memory_Type", parseDecimal(op.get("Ope_Memory_Type")).has_value(), "a number");
        const std::string bank = op.get("Ope_Bank_Type");
        expect("Ope_Bank_Type", bank == "1" || bank == "2", "1 or 2");
        expect("Ope_WID_Data", isByteList(op.get("Ope_WID_Data")), "a list of hexadecimal bytes");
        const std::filesystem::path file = pathFromUtf8(op.get("Ope_FileName"));
        expect("Ope_FileName", file.is_absolute(), "the absolute path of a file");
        return m_run.problems.size() == before;
    }

    // Reads the named file for the check; a file that cannot be read is a problem of the job.
    std::optional<std::string> readNamed(const std::string& which, const std::filesystem::path& file) {
        try {
            return readFileBytes(file, limits::kImageFile);
        } catch (const ConfigError& error) {
            problem(which + ": " + error.what());
            return std::nullopt;
        }
    }

    // The firmware comes from the program's MASTER folder only: spelled with "..", or reached through a
    // link, it must still end up there, as a regular file holding something.
    bool firmwareInMaster(const std::string& which, const std::filesystem::path& file) {
        std::error_code error;
        const std::filesystem::path master = std::filesystem::weakly_canonical(m_masterFolder, error);
        const std::filesystem::path real =
            error ? std::filesystem::path() : std::filesystem::weakly_canonical(file, error);
        if (error || !isInside(real, master)) {
            problem(which + ": the firmware " + inQuotes(utf8Of(file)) + " is not a file of the folder " +
                    inQuotes(utf8Of(m_masterFolder)) + ".");
            return false;
        }
        const std::filesystem::file_status status = std::filesystem::status(real, error);
        if (error || !std::filesystem::is_regular_file(status)) {
            problem(which + ": the firmware " + inQuotes(utf8Of(file)) + " is not a regular file.");
            return false;
        }
        if (std::filesystem::file_size(real, error) == 0 || error) {
            problem(which + ": the firmware " + inQuotes(utf8Of(file)) + " is empty.");
            return false;
        }
        return true;
    }

    void checkImage(const std::string& which, const std::filesystem::path& file,
                    const image::ImageReport& report) {
        for (const std::string& inconsistency : report.problems) {
            problem(which + ": " + utf8Of(file) + ": " + inconsistency);
        }
    }

    void checkOperation(std::size_t index) {
        const JobOperation& op = m_job.operations[index];
        const std::string which = "Operation " + std::to_string(index + 1);
        if (!checkOperationFields(op, which)) {
            return;
        }
        const std::filesystem::path file = pathFromUtf8(op.get("Ope_FileName"));
        const std::uint32_t start = *parseHex(op.get("Ope_Start_Address"));
        const std::string bank = op.get("Ope_Bank_Type");
        std::string what;
        std::optional<std::string> bytes;
        // An empty Ope_IP_Address means the job's device; any other device is refused, as one job
        // updates one device.
        const std::string device = m_job.get("IP_Address_Dev");
        const std::string target = op.get("Ope_IP_Address").empty() ? device : op.get("Ope_IP_Address");
        if (target != device) {
            problem(which + " goes to " + target + ", not to the job's device " + device +
                    ": one job updates one device.");
        }
        if (bank == "1" && start == kFirmwareAddress) {
            what = "the firmware";
            if (firmwareInMaster(which, file)) {
                bytes = readNamed(which, file);
            }
        } else if (bank == "2" && start == kParameterAddress) {
            what = "the parameter block";
            bytes = readNamed(which, file);
            if (bytes) {
                checkImage(which, file, image::decodeParameterImage(bytesOf(*bytes)));
                m_parameterImage = bytes;
            }
        } else if (bank == "2" && start == Image_Base) {
            what = "the variable image";
            bytes = readNamed(which, file);
            if (bytes) {
                checkImage(which, file, image::decodeVariableImage(bytesOf(*bytes), start));
                m_variableImage = bytes;
            }
        } else {
            problem(which + " sends " + inQuotes(utf8Of(file)) + " to " + op.get("Ope_Start_Address") +
                    " in bank " + bank + ", where neither the firmware nor an image of this converter goes.");
            return;
        }
        std::string line = which + " of " + std::to_string(m_job.operations.size()) + " to " + target + ": ";
        if (op.get("Ope_GoToBoot_Before") == "1") {
            line += "switch the device to its boot loader, ";
        }
        if (op.get("Ope_Erase_Memory") == "1") {
            line += "erase the memory, ";
        }
        line += "send " + what + " " + inQuotes(utf8Of(file)) + " (" +
                (bytes ? std::to_string(bytes->size()) : "?") + " bytes) to " + op.get("Ope_Start_Address") +
                " in bank " + bank + " through port " + op.get("Ope_Port") + " (" + op.get("Ope_Port_Sec") +
                ")";
        if (op.get("Ope_Read_Back") == "1") {
            line += ", read it back";
        }
        if (op.get("Ope_Write_CSS") == "1") {
            line += ", write command " + op.get("Ope_Command_CSS") + " at " + op.get("Ope_Address_CSS");
        }
        if (op.get("Ope_Write_Internal_Data") == "1") {
            line += ", write " + op.get("Ope_WID_Data") + " at " + op.get("Ope_WID_Address");
        }
        if (op.get("Ope_GoToApp_After") == "1") {
            line += ", then start the application";
        }
        m_run.transfer.push_back(line + ".");
    }

    const JobDocument& m_job;
    const std::filesystem::path m_masterFolder;
    UpdaterRun m_run;
    std::optional<std::string> m_parameterImage;
    std::optional<std::string> m_variableImage;
};

} // namespace

UpdaterRun checkUpdateJob(const JobDocument& job, const std::filesystem::path& programFolder) {
    return JobChecker(job, programFolder).run();
}

UpdaterRun runUpdaterJob(const std::filesystem::path& programFolder) {
    try {
        return checkUpdateJob(readJobFile(jobFile(programFolder)), programFolder);
    } catch (const ConfigError& error) {
        UpdaterRun run;
        run.problems.emplace_back(error.what());
        return run;
    }
}

} // namespace sw
