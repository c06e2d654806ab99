#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace sw {

inline constexpr const char* kJobFileName = "Ethernet_Update.xml";
inline constexpr const char* kFirmwareFileName = "Sim40512.sim";

// What the update sends, in the order of the update dialog's option list.
enum class UpdateOption { FirmwareAndConfiguration = 0, Firmware = 1, Configuration = 2 };

// Everything the job file is made of: the device's address, the option, the read-back choice and the two
// folders whose files the operations name.
struct UpdateJob {
    std::string address; // written in its plain dotted-decimal form, whatever zeros it was typed with
    UpdateOption option = UpdateOption::FirmwareAndConfiguration;
    bool readBack = true;
    std::filesystem::path masterFolder;
    std::filesystem::path projectFolder;
};

// The four field texts joined with ".", unchanged: "002" stays "002" (canonicalIpAddress drops it).
std::string joinAddress(const std::array<std::string, 4>& fields);

// The job file that the updater reads beside itself.
std::filesystem::path jobFile(const std::filesystem::path& programFolder);
// The updater program in the program folder.
std::filesystem::path updaterProgram(const std::filesystem::path& programFolder);
// Where the updater's output goes when the update window runs it: beside the job file, replaced at each run.
std::filesystem::path updaterLog(const std::filesystem::path& programFolder);
// The last `count` non-blank lines of an output file (trimmed), read from its end however long it is;
// none when it cannot be read.
std::vector<std::string> lastLines(const std::filesystem::path& file, std::size_t count);

// The job file's bytes: UTF-8 without declaration, comment or indentation, the fixed values exactly as
// the updater and the device expect them. Throws ConfigError when the address is not an IPv4 address:
// an updater may read a leading zero as octal, so only the plain dotted-decimal form is ever written.
std::string jobFileBytes(const UpdateJob& job);

// Writes the job file into the program folder, replacing any earlier one atomically. Throws ConfigError
// naming the file and the system's reason.
void compileParameters(const UpdateJob& job, const std::filesystem::path& programFolder);

// One operation of a job file as the updater reads it: the element texts by name.
struct JobOperation {
    std::vector<std::pair<std::string, std::string>> fields; // in document order

    // The text of the field of that name; empty when it is missing.
    std::string get(std::string_view name) const;
};

// A job file as read back: the root's text fields by name, its protection values and its operations.
struct JobDocument {
    std::vector<std::pair<std::string, std::string>> fields;
    std::vector<std::string> protections;
    std::vector<JobOperation> operations;
    bool hasProtections = false;
    bool hasOperations = false;

    std::string get(std::string_view name) const;
    bool has(std::string_view name) const;
};

// The names of an operation's twenty fields, in the order they are written.
extern const std::array<const char*, 20> kOperationFieldNames;

// Reads a job file: only a regular file within the settings limit. Throws ConfigError naming the file
// and what is wrong when it is not well-formed or its root is not Ethernet_Update.
JobDocument readJobFile(const std::filesystem::path& file);
JobDocument readJobBytes(std::string_view bytes, const std::string& displayName);

} // namespace sw
