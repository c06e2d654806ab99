#include "core/platform/handle.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace sw::platform {

#ifdef _WIN32

FileTraits::Native FileTraits::invalid() {
    return INVALID_HANDLE_VALUE;
}

// Some functions report failure with a null handle, others with INVALID_HANDLE_VALUE.
bool FileTraits::valid(Native native) {
    return native != INVALID_HANDLE_VALUE && native != nullptr;
}

bool FileTraits::close(Native native) {
    return CloseHandle(native) != 0;
}

#else

FileTraits::Native FileTraits::invalid() {
    return -1;
}

bool FileTraits::valid(Native native) {
    return native >= 0;
}

bool FileTraits::close(Native native) {
    return ::close(native) == 0;
}

#endif

} // namespace sw::platform
