#include "core/parameters/parameter_file.h"

#include "core/common/atomic_file.h"
#include "core/common/config_error.h"
#include "core/common/ip_address.h"
#include "core/common/numbers.h"
#include "core/parameters/parameter_check.h"
#include "core/parameters/parameter_fields.h"
#include "core/xml/xml.h"

#include <array>
#include <optional>
#include <system_error>

namespace sw {

namespace {

constexpr std::string_view kRootName = "Par_Gen";

ParameterSet readDocument(const pugi::xml_document& document) {
    // The parameter node is whatever comes first; a leading declaration or comment thus yields defaults.
    const pugi::xml_node parameters = xml::firstElement(document);
    ParameterSet set;
    for (const ParameterField& field : kParameterFields) {
        const std::optional<std::string> text = xml::childText(parameters, field.element);
        if (!text) {
            continue;
        }
        if (field.text != nullptr) {
            set.*field.text = *text;
        } else if (field.index != nullptr) {
            // Out-of-list indexes are kept: the list then simply shows no selection.
            set.*field.index = parseInteger(*text).value_or(field.defaultIndex);
        } else {
            set.IEC61850_Client_En_GAT = *text == "1";
        }
    }
    return set;
}

} // namespace

ParameterSet readParameterBytes(std::string_view bytes, const std::string& displayName) {
    pugi::xml_document document;
    xml::loadBuffer(document, bytes, displayName);
    return readDocument(document);
}

ParameterSet readParameterFile(const std::filesystem::path& file) {
    std::error_code error;
    // Only a file known to be absent means defaults; any other trouble is reported by the load below.
    if (!std::filesystem::exists(file, error) && !error) {
        return ParameterSet{};
    }
    pugi::xml_document document;
    xml::loadFile(document, file, limits::kSettingsFile);
    return readDocument(document);
}

namespace {

pugi::xml_document buildDocument(const ParameterSet& set) {
    pugi::xml_document document;
    const pugi::xml_node root = xml::appendElement(document, kRootName);
    xml::appendVersionComment(document);
    for (const ParameterField& field : kParameterFields) {
        xml::appendElement(root, field.element, storedText(set, field));
    }
    return document;
}

} // namespace

std::string parameterFileBytes(const ParameterSet& set) {
    return xml::toBytes(buildDocument(set));
}

void writeParameterFile(const std::filesystem::path& file, const ParameterSet& set) {
    xml::saveFile(buildDocument(set), file);
}

std::vector<std::string> parameterFileWarnings(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        return {};
    }
    return parameterWarnings(readParameterFile(file));
}

std::optional<std::string> converterAddress(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        return std::nullopt;
    }
    try {
        const ParameterSet set = readParameterFile(file);
        const std::string address = set.IEC61850_Client_IP1 + '.' + set.IEC61850_Client_IP2 + '.' +
                                    set.IEC61850_Client_IP3 + '.' + set.IEC61850_Client_IP4;
        std::array<std::string, 4> parts;
        return checkIpAddress(address, parts) ? std::optional<std::string>(address) : std::nullopt;
    } catch (const ConfigError&) {
        return std::nullopt; // Step 2 reports an unreadable file
    }
}

} // namespace sw
