#pragma once

#include "core/common/build_config.h"
#include "core/language/lang_table.h"
#include "core/project/project_paths.h"

#include <filesystem>
#include <string>

namespace sw {

// The address the update sends to until the user gives another one.
inline constexpr const char* kDefaultDeviceAddress = "192.168.2.205";

// What the settings file stores; each value has its fallback here.
struct Settings {
    std::string lastIpAddress = kDefaultDeviceAddress;
    std::string languageName = "English";
    bool enableInternet = false;
    bool enableUpdateCheck = false;
    bool enableJumpFieldTables = false;
    bool doubleClickAutoSize = false;
    int updateOptionIndex = 0;
    bool updateReadBack = true;
};

// The folders of this run and the active project. The project's files are derived from its folder,
// never kept beside it.
struct Session {
    std::filesystem::path programFolder;
    std::filesystem::path masterFolder;
    std::filesystem::path projectsFolder;
    std::filesystem::path languageFolder;
    std::string activeProjectName;
    std::filesystem::path activeProjectFolder;

    bool projectActive() const { return !activeProjectFolder.empty(); }
    // The files of the active project.
    ProjectPaths project() const { return ProjectPaths(activeProjectFolder); }
};

// The product as the windows name it.
struct Product {
    std::string windowTitle;
    std::string softwareCode;
    std::string softwareDescription;
};

// The state of one run: the session, the settings, the product and the texts of the chosen language.
// One instance for the whole run; each window takes the parts it uses.
struct ProgramState {
    Session session;
    Settings settings;
    Product product;
    LangTable texts;
};

inline constexpr const char* kWindowTitle = "Brantis - Configurator SW40512 - IEC61850 Client / Serial ";
inline constexpr const char* kSoftwareCode = "SW40512";
inline constexpr const char* kSoftwareDescription = "IEC61850 Client / Serial - Converter";

} // namespace sw
