#include "commands.h"

#include "core/common/escaped_text.h"
#include "core/common/path_text.h"
#include "core/language/builtin_texts.h"
#include "core/language/lang_table.h"
#include "core/parameters/parameter_check.h"
#include "core/parameters/parameter_fields.h"
#include "core/parameters/parameter_file.h"
#include "core/project/project_paths.h"

#include "core/common/config_error.h"

#include <filesystem>
#include <iostream>
#include <optional>
#include <string_view>

namespace sw::cli {

namespace {

constexpr const char* kUsage =
    "Usage: sw40512-cli parameters PROJECT_FOLDER [NAME=VALUE ...]\n"
    "Without assignments, lists every value as one NAME=VALUE line. Control characters and backslashes in\n"
    "a value are shown escaped (\\n, \\r, \\t, \\\\, \\xNN, \\u00NN), so each line is exactly one value.\n";

void printValues(const ParameterSet& set) {
    for (const ParameterField& field : kParameterFields) {
        std::cout << field.element << '=' << escapeControlCharacters(storedText(set, field), true) << '\n';
    }
}

bool isParameterName(std::string_view name) {
    for (const ParameterField& field : kParameterFields) {
        if (field.element == name) {
            return true;
        }
    }
    return false;
}

} // namespace

// Shows or sets the project's communication parameters the way the Step 2 dialog does: values are loaded
// as the dialog would show them, assignments stand for typing, and the same check guards the write.
int runParameters(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h") {
        std::cout << kUsage;
        return 0;
    }
    const std::filesystem::path folder = pathFromUtf8(args[0]);
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        std::cerr << "The project folder \"" << escapeControlCharacters(utf8Of(folder))
                  << "\" does not exist.\n";
        return 2;
    }
    const std::filesystem::path file = ProjectPaths(folder).parGenFile();
    ParameterSet set = asShownInDialog(readParameterFile(file));
    if (args.size() == 1) {
        printValues(set);
        return 0;
    }

    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& assignment = args[i];
        const std::size_t equals = assignment.find('=');
        if (equals == std::string::npos) {
            std::cerr << "Expected NAME=VALUE, not \"" << escapeControlCharacters(assignment) << "\".\n"
                      << kUsage;
            return 2;
        }
        try {
            assignParameter(set, std::string_view(assignment).substr(0, equals),
                            std::string_view(assignment).substr(equals + 1));
        } catch (const ConfigError& refused) {
            std::cerr << escapeControlCharacters(refused.what()) << '\n';
            if (!isParameterName(std::string_view(assignment).substr(0, equals))) {
                std::cerr << "Without assignments the command lists every name.\n";
            }
            return 2;
        }
    }

    if (const std::optional<int> failed = checkParameters(set)) {
        LangTable texts;
        fillBuiltinTexts(texts);
        std::cerr << texts.Get(*failed) << '\n';
        return 1;
    }
    writeParameterFile(file, set);
    return 0;
}

} // namespace sw::cli
