#include "core/common/config_error.h"
#include "core/parameters/parameter_file.h"
#include "core/shell/settings.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

// Any bytes as the settings file and as a parameter file: either a clean ConfigError or values with
// their fallbacks, never a crash.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() / ("sw-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        // libFuzzer ends its runs through exit(); the folder goes with them.
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(
                std::filesystem::temp_directory_path() / ("sw-fuzz-" + std::to_string(getpid())), ignored);
        });
        return path;
    }();
    {
        std::ofstream(folder / "Mendral.xml", std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    sw::ProgramState state;
    state.session.programFolder = folder;
    sw::readSettings(state);
    try {
        sw::readParameterBytes(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz");
    } catch (const sw::ConfigError&) {
    }
    return 0;
}
