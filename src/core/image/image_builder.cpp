#include "core/image/image_builder.h"

#include "core/project/project_paths.h"

#include "core/common/atomic_file.h"
#include "core/image/parameter_block.h"
#include "core/image/variable_image.h"

#include <string_view>

namespace sw {

BuildResult buildImages(const std::filesystem::path& parGenFile, const std::filesystem::path& accessFile,
                        char decimalSeparator) {
    // Fresh state every time, so nothing of an earlier build or project reaches this one.
    image::ParameterBlock Parameter_Block;
    image::VariableImage IEC61850_Client;

    Parameter_Block.setDefaultParameters();
    IEC61850_Client.clear();
    Parameter_Block.loadParameterFile(parGenFile, IEC61850_Client);
    Parameter_Block.storeImageAddress(Image_Base);
    IEC61850_Client.loadAccessList(accessFile, Image_Base, decimalSeparator);

    BuildResult result;
    const std::size_t bank2Length = IEC61850_Client.writeImage(0, result.bank2, image::kVariableImageLimit);
    result.bank2.resize(bank2Length);
    // Last, so that the checksum covers the image address.
    const std::size_t bank1Length = Parameter_Block.writeParameterBlock(0, result.bank1);
    result.bank1.resize(bank1Length);
    return result;
}

namespace {

std::string_view asBytes(const std::vector<std::uint8_t>& image) {
    return {reinterpret_cast<const char*>(image.data()), image.size()};
}

} // namespace

void saveImageFiles(const BuildResult& images, const std::filesystem::path& binFolder) {
    // The device takes the two as one: a new parameter block beside an old variable image would send
    // it to addresses that hold something else.
    const FileContent files[] = {{binFolder / kParameterImageName, asBytes(images.bank1)},
                                 {binFolder / kVariableImageName, asBytes(images.bank2)}};
    replaceFilesAtomically(files);
}

} // namespace sw
