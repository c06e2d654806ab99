#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

namespace sw {

// The two device images, side by side in a project's bin folder.
inline constexpr const char* kParameterImageName = "bank1.bin";
inline constexpr const char* kVariableImageName = "bank2.bin";

// Where each file of a project lives, from its folder. Every program that works on a project asks here,
// so that the window, the command-line companion and the builder always agree on a name.
class ProjectPaths {
public:
    ProjectPaths() = default;
    explicit ProjectPaths(std::filesystem::path folder) : m_folder(std::move(folder)) {}

    const std::filesystem::path& folder() const { return m_folder; }
    // The project's name, UTF-8 as the platform converts paths: the last component of its folder however
    // the folder was written ("Demo/", "Demo/.", "." in it).
    std::string name() const;
    std::filesystem::path parGenFile() const { return m_folder / "ParGen.xml"; }
    std::filesystem::path accessFile() const { return m_folder / "IEC_61850_Client.xml"; }
    std::filesystem::path icdCatalog() const { return m_folder / "ICD_Catalog"; }
    std::filesystem::path binFolder() const { return m_folder / "bin"; }
    std::filesystem::path parameterImage() const { return binFolder() / kParameterImageName; }
    std::filesystem::path variableImage() const { return binFolder() / kVariableImageName; }

private:
    std::filesystem::path m_folder;
};

// A project name names exactly one folder directly below the projects folder: not empty, not "." or
// "..", no separator, no absolute path and no NUL; on Windows also none of the names that the system
// would turn into another folder or a device.
bool isProjectFolderName(std::string_view name);

} // namespace sw
