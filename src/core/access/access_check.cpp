#include "core/access/access_check.h"

namespace sw::access {

std::vector<CellFault> checkAccessList(const AccessList& list, char decimalSeparator) {
    return checkAccessFile(list.toAccessFile(), {decimalSeparator, list.devices().size()});
}

} // namespace sw::access
