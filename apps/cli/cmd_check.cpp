#include "commands.h"
#include "project_arguments.h"

#include "core/access/access_check.h"
#include "core/access/access_editor.h"
#include "core/common/escaped_text.h"
#include "core/common/numbers.h"
#include "core/common/path_text.h"
#include "core/language/builtin_texts.h"
#include "core/language/lang_table.h"
#include "core/parameters/parameter_check.h"
#include "core/parameters/parameter_file.h"
#include "core/project/project_paths.h"

#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

namespace sw::cli {

namespace {

constexpr const char* kUsage = "Usage: sw40512-cli check PROJECT_FOLDER [--decimal-separator , | .]\n"
                               "Prints the catalog, one line per device: INDEX FILE IED_NAME (missing or\n"
                               "unreadable in place of the name), then OK or the first failing message.\n";

std::string catalogLine(std::size_t index, const access::CatalogDevice& device) {
    std::string line = std::to_string(index) + ' ' + escapeControlCharacters(device.fileName) + ' ';
    switch (device.state) {
    case access::CatalogDevice::State::Loaded:
        return line + escapeControlCharacters(device.name);
    case access::CatalogDevice::State::Missing:
        return line + "missing";
    case access::CatalogDevice::State::Unreadable:
        return line + "unreadable";
    }
    return line;
}

} // namespace

// Checks a project as the OK buttons of the communication dialog and of the access editor would, without
// writing anything: the parameter file through the communication check, then the access file opened as
// the editor opens it and its variables table through the editor's check.
int runCheck(const std::vector<std::string>& args) {
    const auto arguments = parseProjectArguments(args, kUsage);
    if (const int* exitCode = std::get_if<int>(&arguments)) {
        return *exitCode;
    }
    const auto& [folder, separator] = std::get<ProjectArguments>(arguments);
    const ProjectPaths paths(folder);
    const std::optional<int> parameterFailure =
        checkParameters(asShownInDialog(readParameterFile(paths.parGenFile())));

    access::AccessEditor editor;
    const access::OpenReport opened = editor.open(paths);
    const auto& devices = editor.list().devices();
    for (std::size_t i = 0; i < devices.size(); ++i) {
        std::cout << catalogLine(i, devices[i]) << '\n';
    }
    if (const std::string note = opened.message(); !note.empty()) {
        std::cerr << note << '\n';
    }

    LangTable texts;
    fillBuiltinTexts(texts);
    if (parameterFailure) {
        std::cout << texts.Get(*parameterFailure) << '\n';
        return 1;
    }
    if (const auto faults =
            access::checkAccessList(editor.list(), separator.value_or(userDecimalSeparator()));
        !faults.empty()) {
        std::cout << escapeControlCharacters(faults.front().message(texts)) << '\n';
        return 1;
    }
    std::cout << "OK\n";
    return 0;
}

} // namespace sw::cli
