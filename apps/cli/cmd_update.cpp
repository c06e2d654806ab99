#include "commands.h"

#include "core/access/data_array_map.h"
#include "core/common/config_error.h"
#include "core/common/escaped_text.h"
#include "core/common/ip_address.h"
#include "core/common/numbers.h"
#include "core/common/path_text.h"
#include "core/image/image_builder.h"
#include "core/language/builtin_texts.h"
#include "core/platform/paths.h"
#include "core/platform/process.h"
#include "core/project/project_paths.h"
#include "core/shell/startup.h"
#include "core/update/address_check.h"
#include "core/update/job_file.h"

#include <filesystem>
#include <iostream>
#include <optional>

namespace sw::cli {

namespace {

constexpr const char* kUsage = "Usage: sw40512-cli update PROJECT_FOLDER --ip A.B.C.D [--option "
                               "firmware+configuration|firmware|configuration]\n"
                               "                          [--no-read-back] [--program-folder DIR]\n";

std::optional<UpdateOption> optionFrom(const std::string& name) {
    if (name == "firmware+configuration") {
        return UpdateOption::FirmwareAndConfiguration;
    }
    if (name == "firmware") {
        return UpdateOption::Firmware;
    }
    if (name == "configuration") {
        return UpdateOption::Configuration;
    }
    return std::nullopt;
}

struct Arguments {
    std::optional<std::filesystem::path> project;
    std::optional<std::string> address;
    UpdateOption option = UpdateOption::FirmwareAndConfiguration;
    bool readBack = true;
    std::filesystem::path programFolder;
};

// Parses the arguments; a message and nothing when they are wrong.
std::optional<Arguments> parse(const std::vector<std::string>& args) {
    Arguments parsed;
    parsed.programFolder = platform::executableFolder();
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 < args.size()) {
                return args[++i];
            }
            std::cerr << "The option " << escapeControlCharacters(arg) << " needs a value.\n" << kUsage;
            return std::nullopt;
        };
        if (arg == "--ip") {
            parsed.address = value();
            if (!parsed.address) {
                return std::nullopt;
            }
        } else if (arg == "--option") {
            const auto name = value();
            if (!name) {
                return std::nullopt;
            }
            const auto option = optionFrom(*name);
            if (!option) {
                std::cerr << "Unknown update option \"" << escapeControlCharacters(*name) << "\".\n"
                          << kUsage;
                return std::nullopt;
            }
            parsed.option = *option;
        } else if (arg == "--no-read-back") {
            parsed.readBack = false;
        } else if (arg == "--program-folder") {
            const auto folder = value();
            if (!folder) {
                return std::nullopt;
            }
            parsed.programFolder = pathFromUtf8(*folder);
        } else if (!parsed.project && arg.rfind("--", 0) != 0) {
            parsed.project = pathFromUtf8(arg);
        } else {
            std::cerr << "Unexpected argument \"" << escapeControlCharacters(arg) << "\".\n" << kUsage;
            return std::nullopt;
        }
    }
    if (!parsed.project || !parsed.address) {
        std::cerr << kUsage;
        return std::nullopt;
    }
    // The address is checked before anything is built or written, and from here on only its plain
    // dotted-decimal form is used: the one pinged is the one the job names.
    const std::optional<std::string> address = canonicalIpAddress(*parsed.address);
    if (!address) {
        LangTable texts;
        fillBuiltinTexts(texts);
        std::cerr << "address check: " << *parsed.address << ": "
                  << texts.Get(addressCheckMessage(AddressCheck::AddressError)) << "\n"
                  << kUsage;
        return std::nullopt;
    }
    parsed.address = *address;
    // The job names its files by absolute paths: the updater does not share our working folder.
    parsed.project = std::filesystem::absolute(*parsed.project);
    parsed.programFolder = std::filesystem::absolute(parsed.programFolder);
    return parsed;
}

} // namespace

// Step 4 without a window: builds the images, checks that the device answers, writes the job file and
// runs the updater, one line per stage; the first stage that fails ends the command.
int runUpdate(const std::vector<std::string>& args) {
    const std::optional<Arguments> parsed = parse(args);
    if (!parsed) {
        return 2;
    }
    std::error_code error;
    if (!std::filesystem::is_directory(*parsed->project, error)) {
        std::cerr << "The project folder \"" << escapeControlCharacters(utf8Of(*parsed->project))
                  << "\" does not exist.\n";
        return 2;
    }
    if (!std::filesystem::is_directory(parsed->programFolder, error)) {
        std::cerr << "The program folder \"" << escapeControlCharacters(utf8Of(parsed->programFolder))
                  << "\" does not exist.\n";
        return 2;
    }

    const ProjectPaths paths(*parsed->project);
    const BuildResult images = buildImages(paths.parGenFile(), paths.accessFile(), userDecimalSeparator());
    std::filesystem::create_directories(paths.binFolder(), error);
    if (error) {
        throw ConfigError("Cannot create the folder \"" + utf8Of(paths.binFolder()) +
                          "\": " + error.message());
    }
    saveImageFiles(images, paths.binFolder());
    std::cout << "build: " << escapeControlCharacters(utf8Of(paths.parameterImage())) << " ("
              << images.bank1.size() << " bytes), " << escapeControlCharacters(utf8Of(paths.variableImage()))
              << " (" << images.bank2.size() << " bytes)" << std::endl;
    // The device accepts rows that collide on its data array, but one value then overwrites the other.
    if (std::filesystem::exists(paths.accessFile(), error)) {
        const access::DataArrayMap map =
            access::buildDataArrayMap(access::readAccessFile(paths.accessFile()));
        for (const std::string& line : access::describeConflicts(map)) {
            std::cerr << "warning: data-array conflict at " << escapeControlCharacters(line) << "\n";
        }
    }

    const std::string& host = *parsed->address;
    const auto echo = makeIcmpEchoService();
    const AddressCheckResult check = checkByEchoes(host, *echo, systemTickClock());
    if (check.outcome != AddressCheck::Answered) {
        LangTable texts;
        fillBuiltinTexts(texts);
        std::cerr << "address check: " << escapeControlCharacters(host) << ": "
                  << texts.Get(addressCheckMessage(check.outcome));
        if (!check.error.empty()) {
            std::cerr << " (" << check.error << ")";
        }
        std::cerr << "\n";
        return 1;
    }
    std::cout << "address check: " << escapeControlCharacters(host) << " answered " << check.answered
              << " of " << check.requests << " echo requests" << std::endl;

    UpdateJob job;
    job.address = host;
    job.option = parsed->option;
    job.readBack = parsed->readBack;
    job.masterFolder = parsed->programFolder / "MASTER";
    job.projectFolder = *parsed->project;
    compileParameters(job, parsed->programFolder);
    std::cout << "job file: " << escapeControlCharacters(utf8Of(jobFile(parsed->programFolder))) << std::endl;

    const std::filesystem::path updater = updaterProgram(parsed->programFolder);
    std::cout << "updater: starting " << escapeControlCharacters(utf8Of(updater)) << std::endl;
    const platform::StartProgramResult run = platform::startProgram(utf8Of(updater), "", 0);
    if (!run.started) {
        std::cerr << "updater: \"" << escapeControlCharacters(utf8Of(updater))
                  << "\" could not be started.\n";
        return 1;
    }
    if (!run.ended) {
        std::cerr << "updater: still running after " << platform::kStartProgramLimit.count() / 1000
                  << " s; it was left running.\n";
        return 1;
    }
    if (run.exitCode != 0) {
        std::cerr << "updater: ended with exit code " << run.exitCode << ".\n";
        return 1;
    }
    std::cout << "updater: ended successfully" << std::endl;
    return 0;
}

} // namespace sw::cli
