#include "common/config_error.h"
#include "image/image_builder.h"
#include "image/image_decoder.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <span>
#include <unistd.h>

// Any bytes as an access file to build from, and as either device image to decode: a clean
// ConfigError or a result, never a crash; whatever the builder makes, the decoder accepts.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() / ("sw-fuzz-image-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    const std::span<const std::uint8_t> bytes(data, size);
    static_cast<void>(sw::image::decodeParameterImage(bytes));
    static_cast<void>(sw::image::decodeVariableImage(bytes));

    {
        std::ofstream(folder / "IEC_61850_Client.xml", std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    try {
        const sw::BuildResult images = sw::Build_Images(folder / "ParGen.xml", folder / "IEC_61850_Client.xml", ',');
        if (!sw::image::decodeVariableImage(images.bank2).problems.empty() ||
            !sw::image::decodeParameterImage(images.bank1).problems.empty()) {
            __builtin_trap();
        }
    } catch (const sw::ConfigError&) {
    }
    return 0;
}
