#include "core/parameters/parameter_set.h"

namespace sw {

int listSelection(int index, std::size_t count) {
    return index >= 0 && static_cast<std::size_t>(index) < count ? index : -1;
}

ParameterSet asShownInDialog(ParameterSet set) {
    set.SERIAL_SERIAL = listSelection(set.SERIAL_SERIAL, kSerialInterfaceNames.size());
    set.SERIAL_BAUDRATE = listSelection(set.SERIAL_BAUDRATE, kSerialBaudrateNames.size());
    set.SERIAL_PARITY = listSelection(set.SERIAL_PARITY, kSerialParityNames.size());
    set.SERIAL_STOPBITS = listSelection(set.SERIAL_STOPBITS, kSerialStopBitsNames.size());
    return set;
}

} // namespace sw
