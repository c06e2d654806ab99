#pragma once

#include <string>

// A shared library loaded while the program runs, for a dependency that only one rarely used command
// needs: the program starts without it, and a machine without it runs everything else. A library once
// loaded stays until the program ends, since threads or exit handlers it left behind may still run its
// code.
namespace sw::platform {

class SharedLibrary {
public:
    // Loads the library of that file name, searched for as the system searches for a program's
    // libraries. False with the system's reason in `reason` when it cannot be loaded.
    bool load(const std::string& fileName, std::string& reason);
    bool loaded() const { return m_handle != nullptr; }
    // The address of an exported function or object; null when the library exports none of that name.
    void* symbol(const char* name) const;

private:
    void* m_handle = nullptr;
};

} // namespace sw::platform
