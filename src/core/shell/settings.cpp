#include "core/shell/settings.h"

#include "core/common/atomic_file.h"
#include "core/common/config_error.h"
#include "core/xml/xml.h"

#include <system_error>

namespace sw {

namespace {

std::string readText(pugi::xml_node root, std::string_view group, std::string_view name,
                     std::string fallback) {
    return xml::childText(xml::findChild(root, group), name).value_or(std::move(fallback));
}

bool readFlag(pugi::xml_node group, std::string_view name) {
    return xml::childText(group, name) == "1";
}

const char* flag(bool value) {
    return value ? "1" : "0";
}

} // namespace

std::filesystem::path settingsFile(const ProgramState& state) {
    return state.session.programFolder / "Mendral.xml";
}

SettingsSource readSettings(ProgramState& state) {
    state.session.activeProjectName.clear();
    state.session.activeProjectFolder.clear();
    state.settings.lastIpAddress = kDefaultDeviceAddress;
    state.settings.languageName = "English";
    state.settings.enableInternet = state.settings.enableUpdateCheck = state.settings.enableJumpFieldTables =
        state.settings.doubleClickAutoSize = false;

    const auto file = settingsFile(state);
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        return SettingsSource::Missing;
    }
    pugi::xml_document document;
    try {
        xml::loadFile(document, file, limits::kSettingsFile);
    } catch (const ConfigError&) {
        // Keep what the user had, so the next save does not silently destroy a hand-edited file.
        auto copy = file;
        copy += ".bad";
        std::filesystem::copy_file(file, copy, std::filesystem::copy_options::overwrite_existing, error);
        return SettingsSource::Unreadable;
    }
    const pugi::xml_node root = xml::firstElement(document);
    state.session.activeProjectName = readText(root, "lastproj", "projectname", "");
    state.settings.lastIpAddress = readText(root, "lastipadd", "ipaddress", kDefaultDeviceAddress);
    state.settings.languageName = readText(root, "lastlang", "language", "English");
    const pugi::xml_node options = xml::findChild(root, "lastinternet");
    state.settings.enableInternet = readFlag(options, "enable_internet");
    state.settings.enableUpdateCheck = readFlag(options, "enable_update");
    state.settings.enableJumpFieldTables = readFlag(options, "enable_jump_field_tables");
    state.settings.doubleClickAutoSize = readFlag(options, "Double_Click_Auto_Size");
    return SettingsSource::Read;
}

std::string settingsBytes(const ProgramState& state) {
    pugi::xml_document document;
    pugi::xml_node root = xml::appendElement(document, "Conf_Settings");
    xml::appendElement(xml::appendElement(root, "lastproj"), "projectname", state.session.activeProjectName);
    xml::appendElement(xml::appendElement(root, "lastipadd"), "ipaddress", state.settings.lastIpAddress);
    xml::appendElement(xml::appendElement(root, "lastlang"), "language", state.settings.languageName);
    pugi::xml_node options = xml::appendElement(root, "lastinternet");
    xml::appendElement(options, "enable_internet", flag(state.settings.enableInternet));
    xml::appendElement(options, "enable_update", flag(state.settings.enableUpdateCheck));
    xml::appendElement(options, "enable_jump_field_tables", flag(state.settings.enableJumpFieldTables));
    xml::appendElement(options, "Double_Click_Auto_Size", flag(state.settings.doubleClickAutoSize));
    return xml::toBytes(document);
}

void saveSettings(const ProgramState& state) {
    const auto file = settingsFile(state);
    try {
        writeFileAtomically(file, settingsBytes(state));
    } catch (const ConfigError& error) {
        throw ConfigError(ErrorCode::SettingsNotSaved, {error.what()});
    }
}

} // namespace sw
