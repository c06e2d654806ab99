#pragma once

#include "core/common/build_config.h"
#include "core/language/lang_table.h"
#include "core/project/project_paths.h"

#include <filesystem>
#include <string>

namespace sw {

// The address the update sends to until the user gives another one.
inline constexpr const char* kDefaultDeviceAddress = "192.168.2.205";

// The program-wide state: folders, the active project, its file paths, the settings and the product
// texts. One instance for the whole run.
struct ProgramState {
    std::filesystem::path ProgramFolder;
    std::filesystem::path MasterFolder;
    std::filesystem::path ProjectsFolder;
    std::filesystem::path LanguageFolder;
    std::string ActiveProjectName;
    std::filesystem::path ActiveProjectFolder;
    std::filesystem::path ParGenFile;
    std::filesystem::path AccessFile;
    std::string LastIpAddress = kDefaultDeviceAddress;
    std::string LanguageName = "English";
    bool EnableInternet = false;
    bool EnableUpdateCheck = false;
    bool EnableJumpFieldTables = false;
    bool DoubleClickAutoSize = false;
    std::string WindowTitle;
    std::string SoftwareCode;
    std::string SoftwareDescription;
    ::sw::LangTable LangTable;
    int UpdateOptionIndex = 0;
    bool UpdateReadBack = true;

    bool projectActive() const { return !ActiveProjectFolder.empty(); }
    // The files of the active project.
    ProjectPaths project() const { return ProjectPaths(ActiveProjectFolder); }
};

inline constexpr const char* kWindowTitle = "Brantis - Configurator SW40512 - IEC61850 Client / Serial ";
inline constexpr const char* kSoftwareCode = "SW40512";
inline constexpr const char* kSoftwareDescription = "IEC61850 Client / Serial - Converter";

} // namespace sw
