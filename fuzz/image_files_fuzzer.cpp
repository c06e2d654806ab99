#include "core/common/config_error.h"
#include "core/image/iec61850_client.h"
#include "core/image/image_builder.h"
#include "core/image/image_decoder.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <span>
#include <string>
#include <unistd.h>

namespace {

// The variable image, or the error text, that one way of reading the access file gives.
std::string variableImageOrError(const std::filesystem::path& accessFile, sw::image::AccessReading reading) {
    sw::image::TIEC61850_Client client;
    client.Clear_Client();
    try {
        client.Load_Access_List(accessFile, sw::Image_Base, ',', reading);
        std::vector<std::uint8_t> image;
        image.resize(client.Write_Variable_Image(0, image, sw::image::kVariableImageLimit));
        return "image " + std::string(image.begin(), image.end());
    } catch (const sw::ConfigError& error) {
        return std::string("error ") + error.what();
    }
}

} // namespace

// Any bytes as an access file to build from, and as either device image to decode: a clean
// ConfigError or a result, never a crash; whatever the builder makes, the decoder accepts; and the
// streaming reader, where it takes the file, gives exactly what the full parser gives.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() / ("sw-fuzz-image-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    const std::span<const std::uint8_t> bytes(data, size);
    static_cast<void>(sw::image::decodeParameterImage(bytes));
    static_cast<void>(sw::image::decodeVariableImage(bytes));

    const std::filesystem::path accessFile = folder / "IEC_61850_Client.xml";
    {
        std::ofstream(accessFile, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    try {
        const sw::BuildResult images = sw::Build_Images(folder / "ParGen.xml", accessFile, ',');
        if (!sw::image::decodeVariableImage(images.bank2).problems.empty() ||
            !sw::image::decodeParameterImage(images.bank1).problems.empty()) {
            __builtin_trap();
        }
    } catch (const sw::ConfigError&) {
    }
    if (variableImageOrError(accessFile, sw::image::AccessReading::Fastest) !=
        variableImageOrError(accessFile, sw::image::AccessReading::DocumentOnly)) {
        __builtin_trap();
    }
    return 0;
}
