#include "commands.h"
#include "project_arguments.h"

#include "core/access/access_editor.h"
#include "core/access/access_file.h"
#include "core/access/lint.h"
#include "core/access/signal_csv.h"
#include "core/common/atomic_file.h"
#include "core/common/escaped_text.h"
#include "core/common/numbers.h"
#include "core/common/path_text.h"
#include "core/language/builtin_texts.h"
#include "core/language/lang_table.h"
#include "core/parameters/parameter_file.h"
#include "core/project/project_paths.h"
#include "core/report/commissioning_report.h"

#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// The signal list beyond the editor: its warnings, its exchange with spreadsheet programs and its
// commissioning report.
namespace sw::cli {

namespace {

constexpr const char* kLintUsage =
    "Usage: sw40512-cli lint PROJECT_FOLDER\n"
    "Prints one warning a line (position conflicts, device indexes outside the\n"
    "catalog, stale references, duplicate rows, data-set members without or with\n"
    "a bad position); exit code 0 when there is none, 1 otherwise.\n";
constexpr const char* kExportUsage =
    "Usage: sw40512-cli export PROJECT_FOLDER --csv FILE\n"
    "Writes the variables to FILE and the data sets with their members to FILE's name + \".datasets\".\n"
    "Cells starting with =, +, - or @ get an apostrophe in front, which the import takes off again.\n";
constexpr const char* kImportUsage =
    "Usage: sw40512-cli import PROJECT_FOLDER --csv FILE [--decimal-separator , | .]\n"
    "Replaces the variables of the access file with the rows of FILE when every row passes the access\n"
    "editor's check and names a device of the catalog; otherwise changes nothing.\n";
constexpr const char* kReportUsage =
    "Usage: sw40512-cli report PROJECT_FOLDER [-o FILE] [--decimal-separator , | .]\n"
    "Writes the commissioning report (one HTML page) to FILE, by default Commissioning_Report.html in the\n"
    "project folder.\n";

// Takes "NAME VALUE" out of the arguments. Nothing when it is not there; exit code 2 when the value is
// missing.
std::variant<std::optional<std::string>, int>
takeOption(std::vector<std::string>& args, std::initializer_list<std::string_view> names, const char* usage) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        for (std::string_view name : names) {
            if (args[i] == name) {
                if (i + 1 >= args.size()) {
                    std::cerr << "The option " << name << " needs a value.\n" << usage;
                    return 2;
                }
                std::string value = args[i + 1];
                args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                           args.begin() + static_cast<std::ptrdiff_t>(i + 2));
                return std::optional<std::string>(std::move(value));
            }
        }
    }
    return std::optional<std::string>();
}

access::AccessFile readAccessFileOrEmpty(const ProjectPaths& paths) {
    std::error_code error;
    if (!std::filesystem::exists(paths.accessFile(), error)) {
        return {};
    }
    return access::readAccessFile(paths.accessFile());
}

// Parses PROJECT_FOLDER and the one named option (required or not); an int is the exit code to give.
struct Parsed {
    ProjectArguments project;
    std::optional<std::string> option;
};
std::variant<Parsed, int> parse(std::vector<std::string> args, std::initializer_list<std::string_view> option,
                                bool required, const char* usage) {
    Parsed parsed;
    if (option.size() > 0) {
        auto taken = takeOption(args, option, usage);
        if (const int* exitCode = std::get_if<int>(&taken)) {
            return *exitCode;
        }
        parsed.option = std::get<std::optional<std::string>>(taken);
    }
    auto project = parseProjectArguments(args, usage);
    if (const int* exitCode = std::get_if<int>(&project)) {
        return *exitCode;
    }
    if (required && !parsed.option) {
        std::cerr << usage;
        return 2;
    }
    parsed.project = std::get<ProjectArguments>(project);
    return parsed;
}

} // namespace

int runLint(const std::vector<std::string>& args) {
    const auto parsed = parse(args, {}, false, kLintUsage);
    if (const int* exitCode = std::get_if<int>(&parsed)) {
        return *exitCode;
    }
    const ProjectPaths paths(std::get<Parsed>(parsed).project.folder);
    access::AccessEditor editor;
    editor.open(paths); // the catalog's devices, as the editor loads them
    const std::vector<access::ReviewLine> lines = access::reviewAccessList(
        readAccessFileOrEmpty(paths), editor.list().devices(), parameterFileWarnings(paths.parGenFile()),
        std::get<Parsed>(parsed).project.separator.value_or(userDecimalSeparator()), builtinTexts());
    for (const access::ReviewLine& line : lines) {
        std::cout << escapeControlCharacters(line.text) << '\n';
    }
    return lines.empty() ? 0 : 1;
}

int runExport(const std::vector<std::string>& args) {
    const auto parsed = parse(args, {"--csv"}, true, kExportUsage);
    if (const int* exitCode = std::get_if<int>(&parsed)) {
        return *exitCode;
    }
    const auto& [project, csv] = std::get<Parsed>(parsed);
    const ProjectPaths paths(project.folder);
    const access::AccessFile access = readAccessFileOrEmpty(paths);
    const std::filesystem::path variables = *csv;
    const std::filesystem::path dataSets = access::dataSetsCsvPath(variables);
    access::writeSignalListCsv(access, variables, paths.accessFile());
    std::cout << escapeControlCharacters(utf8Of(variables)) << ": " << access.variables.size()
              << " variables\n"
              << escapeControlCharacters(utf8Of(dataSets)) << ": " << access.dataSets.size()
              << " data sets\n";
    return 0;
}

int runImport(const std::vector<std::string>& args) {
    const auto parsed = parse(args, {"--csv"}, true, kImportUsage);
    if (const int* exitCode = std::get_if<int>(&parsed)) {
        return *exitCode;
    }
    const auto& [project, csv] = std::get<Parsed>(parsed);
    const ProjectPaths paths(project.folder);
    LangTable texts;
    fillBuiltinTexts(texts);
    // Every row is read and checked before the access file is touched.
    const std::size_t rows = access::importVariablesCsv(
        *csv, paths.accessFile(), project.separator.value_or(userDecimalSeparator()), texts);
    std::cout << escapeControlCharacters(utf8Of(paths.accessFile())) << ": " << rows << " variables\n";
    return 0;
}

int runReport(const std::vector<std::string>& args) {
    const auto parsed = parse(args, {"-o", "--output"}, false, kReportUsage);
    if (const int* exitCode = std::get_if<int>(&parsed)) {
        return *exitCode;
    }
    const auto& [project, output] = std::get<Parsed>(parsed);
    const ProjectPaths paths(project.folder);
    const std::filesystem::path file = output ? std::filesystem::path(*output) : report::reportFile(paths);
    writeFileAtomically(
        file, report::commissioningReport(paths, project.separator.value_or(userDecimalSeparator())));
    std::cout << escapeControlCharacters(utf8Of(file)) << '\n';
    return 0;
}

} // namespace sw::cli
