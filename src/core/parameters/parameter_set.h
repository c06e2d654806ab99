#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace sw {

// The converter's communication parameters as the user edits them. Network values are kept exactly as
// typed ("010" stays "010"); the image builder interprets them later, so nothing is normalised here.
struct ParameterSet {
    std::string IEC61850_Client_IP1 = "192";
    std::string IEC61850_Client_IP2 = "168";
    std::string IEC61850_Client_IP3 = "0";
    std::string IEC61850_Client_IP4 = "10";
    std::string IEC61850_Client_SM1 = "255";
    std::string IEC61850_Client_SM2 = "255";
    std::string IEC61850_Client_SM3 = "255";
    std::string IEC61850_Client_SM4 = "0";
    std::string IEC61850_Client_GAT1 = "192";
    std::string IEC61850_Client_GAT2 = "168";
    std::string IEC61850_Client_GAT3 = "0";
    std::string IEC61850_Client_GAT4 = "1";
    bool IEC61850_Client_En_GAT = false;
    std::string IEC61850_Client_VLAN = "0";
    std::string IEC61850_Client_Application_ID = "0";
    // Zero-based indexes into the fixed lists below; a value outside its list means "nothing selected".
    int SERIAL_SERIAL = 0;
    int SERIAL_BAUDRATE = 7;
    int SERIAL_PARITY = 0;
    int SERIAL_STOPBITS = 0;

    bool operator==(const ParameterSet&) const = default;
};

// The fixed entries of the four serial lists; they are never translated and only their index is stored.
inline constexpr std::array<std::string_view, 2> kSerialInterfaceNames{"RS232", "RS485"};
inline constexpr std::array<std::string_view, 8> kSerialBaudrateNames{"1200",  "2400",  "4800",  "9600",
                                                                      "19200", "38400", "57600", "115200"};
inline constexpr std::array<std::string_view, 3> kSerialParityNames{"NONE", "ODD", "EVEN"};
inline constexpr std::array<std::string_view, 2> kSerialStopBitsNames{"1 Stop Bits", "2 Stop Bits"};

// What a pick list shows for a stored index: the index itself, or -1 (no selection) when it lies outside
// a list of `count` entries.
int listSelection(int index, std::size_t count);

// The set as the dialog would hold it after loading `set`: serial indexes outside their lists become -1.
ParameterSet asShownInDialog(ParameterSet set);

} // namespace sw
