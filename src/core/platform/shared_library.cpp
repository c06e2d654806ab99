#include "core/platform/shared_library.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <string>

namespace sw::platform {

#ifdef _WIN32

bool SharedLibrary::load(const std::string& fileName, std::string& reason) {
    const std::wstring wide(fileName.begin(), fileName.end()); // library file names are ASCII
    m_handle = LoadLibraryW(wide.c_str());
    if (m_handle == nullptr) {
        reason = fileName + ": error " + std::to_string(GetLastError());
        return false;
    }
    return true;
}

void* SharedLibrary::symbol(const char* name) const {
    return m_handle == nullptr
               ? nullptr
               : reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(m_handle), name));
}

#else

bool SharedLibrary::load(const std::string& fileName, std::string& reason) {
    m_handle = ::dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr) {
        const char* error = ::dlerror();
        reason = error != nullptr ? error : fileName + ": cannot be loaded";
        return false;
    }
    return true;
}

void* SharedLibrary::symbol(const char* name) const {
    return m_handle == nullptr ? nullptr : ::dlsym(m_handle, name);
}

#endif

} // namespace sw::platform
