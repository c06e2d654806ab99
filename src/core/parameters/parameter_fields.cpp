#include "core/parameters/parameter_fields.h"

#include "core/common/config_error.h"
#include "core/common/numbers.h"
#include "core/parameters/parameter_input.h"

namespace sw {

std::string storedText(const ParameterSet& set, const ParameterField& field) {
    if (field.text != nullptr) {
        return set.*field.text;
    }
    if (field.index != nullptr) {
        return std::to_string(set.*field.index);
    }
    return set.IEC61850_Client_En_GAT ? "1" : "0";
}

void assignParameter(ParameterSet& set, std::string_view name, std::string_view value) {
    for (const ParameterField& field : kParameterFields) {
        if (field.element != name) {
            continue;
        }
        const std::string quoted = "\"" + std::string(value) + "\"";
        if (field.text != nullptr) {
            if (&ParameterSet::IEC61850_Client_VLAN == field.text && !acceptsVlanInput(value)) {
                throw ConfigError(std::string(name) + " must be at most 8 digits, not " + quoted + ".");
            }
            set.*field.text = std::string(value);
        } else if (field.index != nullptr) {
            const std::optional<std::int32_t> index = parseInteger(value);
            if (!index || *index < -1 || *index >= static_cast<std::int32_t>(field.listSize)) {
                throw ConfigError(std::string(name) + " must be an index from 0 to " +
                                  std::to_string(field.listSize - 1) + " (or -1 for none), not " + quoted +
                                  ".");
            }
            set.*field.index = *index;
        } else {
            if (value != "1" && value != "0") {
                throw ConfigError(std::string(name) + " must be 1 or 0, not " + quoted + ".");
            }
            set.IEC61850_Client_En_GAT = value == "1";
        }
        return;
    }
    throw ConfigError("Unknown parameter name \"" + std::string(name) + "\".");
}

} // namespace sw
