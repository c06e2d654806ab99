#pragma once

#include "core/parameters/parameter_set.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace sw {

// One value of the parameter set, named by its element in the parameter file. Exactly one of `text` and
// `index` is set, except for the gateway flag, which has neither.
struct ParameterField {
    std::string_view element;
    std::string ParameterSet::*text = nullptr;
    int ParameterSet::*index = nullptr;
    std::size_t listSize = 0;
    int defaultIndex = 0;

    bool isFlag() const { return text == nullptr && index == nullptr; }
};

// The nineteen values in file order.
inline constexpr std::array<ParameterField, 19> kParameterFields{{
    {"IEC61850_Client_IP1", &ParameterSet::IEC61850_Client_IP1},
    {"IEC61850_Client_IP2", &ParameterSet::IEC61850_Client_IP2},
    {"IEC61850_Client_IP3", &ParameterSet::IEC61850_Client_IP3},
    {"IEC61850_Client_IP4", &ParameterSet::IEC61850_Client_IP4},
    {"IEC61850_Client_SM1", &ParameterSet::IEC61850_Client_SM1},
    {"IEC61850_Client_SM2", &ParameterSet::IEC61850_Client_SM2},
    {"IEC61850_Client_SM3", &ParameterSet::IEC61850_Client_SM3},
    {"IEC61850_Client_SM4", &ParameterSet::IEC61850_Client_SM4},
    {"IEC61850_Client_GAT1", &ParameterSet::IEC61850_Client_GAT1},
    {"IEC61850_Client_GAT2", &ParameterSet::IEC61850_Client_GAT2},
    {"IEC61850_Client_GAT3", &ParameterSet::IEC61850_Client_GAT3},
    {"IEC61850_Client_GAT4", &ParameterSet::IEC61850_Client_GAT4},
    {"IEC61850_Client_En_GAT"},
    {"IEC61850_Client_VLAN", &ParameterSet::IEC61850_Client_VLAN},
    {"IEC61850_Client_Application_ID", &ParameterSet::IEC61850_Client_Application_ID},
    {"SERIAL_SERIAL", nullptr, &ParameterSet::SERIAL_SERIAL, kSerialInterfaceNames.size(), 0},
    {"SERIAL_BAUDRATE", nullptr, &ParameterSet::SERIAL_BAUDRATE, kSerialBaudrateNames.size(), 7},
    {"SERIAL_PARITY", nullptr, &ParameterSet::SERIAL_PARITY, kSerialParityNames.size(), 0},
    {"SERIAL_STOPBITS", nullptr, &ParameterSet::SERIAL_STOPBITS, kSerialStopBitsNames.size(), 0},
}};

// The text the parameter file holds for `field`: field texts as they stand, the flag as "1" or "0", a
// serial value as its decimal index.
std::string storedText(const ParameterSet& set, const ParameterField& field);

// Sets one value from a command line NAME=VALUE, with the values a user could give through the dialog:
// field texts as typed (the VLAN index only as the dialog lets it be typed), the flag as "1" or "0", a
// serial value as an index of its list or -1 for none. Throws ConfigError for an unknown name or a value
// the dialog could not hold.
void assignParameter(ParameterSet& set, std::string_view name, std::string_view value);

} // namespace sw
