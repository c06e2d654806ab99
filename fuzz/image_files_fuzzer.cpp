#include "core/access/access_file.h"
#include "core/access/access_schema.h"
#include "core/common/config_error.h"
#include "core/common/escaped_text.h"
#include "core/image/image_builder.h"
#include "core/image/image_decoder.h"
#include "core/image/variable_image.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <unistd.h>

namespace {

void require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// Every text of the image lies in its string area as "<text>" @address in the dump; the one the reader
// read must be there for each variable and member, so the decoder sees what the reader read.
void requireTextsInDump(const std::string& dump, const sw::access::AccessFile& lists,
                        const std::string& bank2) {
    if (bank2.size() < 8) {
        return;
    }
    if (sw::access::isBlankTable(lists.variables, sw::access::VariableColumn::Index)) {
        return;
    }
    for (const sw::access::VariableRow& row : lists.variables) {
        const std::string& reference = row[sw::access::VariableColumn::Reference];
        bool ascii = true;
        for (char c : reference) {
            ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        }
        if (ascii) {
            // The dump quotes a text as the companion prints it: control characters and the quote escaped.
            std::string quoted = "reference \"";
            sw::appendEscaped(quoted, reference, '"');
            require(dump.find(quoted + "\" @") != std::string::npos);
        }
    }
}

} // namespace

// Any bytes as an access file to build from, and as either device image to decode: a clean
// ConfigError or a result, never a crash; whatever the builder makes, the decoder accepts, with the
// counts and texts the reader read, and the pair it makes belongs together.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() / ("sw-fuzz-image-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    static const struct Cleanup {
        ~Cleanup() {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        }
    } cleanup;
    const std::span<const std::uint8_t> bytes(data, size);
    static_cast<void>(sw::image::decodeParameterImage(bytes));
    static_cast<void>(sw::image::decodeVariableImage(bytes));

    const std::filesystem::path accessFile = folder / "IEC_61850_Client.xml";
    {
        std::ofstream(accessFile, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    sw::BuildResult images;
    try {
        images = sw::buildImages(folder / "ParGen.xml", accessFile, ',');
    } catch (const sw::ConfigError&) {
        return 0;
    }
    const sw::image::ImageReport variables = sw::image::decodeVariableImage(images.bank2);
    require(variables.problems.empty());
    require(sw::image::decodeParameterImage(images.bank1).problems.empty());
    require(sw::image::checkImagePair(images.bank1, images.bank2).empty());

    // A file that builds reads again the same way, the check finds nothing in it (nothing the check
    // refuses is ever built), and the image holds what was read.
    const sw::access::AccessFile lists = sw::access::readAccessFile(accessFile);
    require(sw::access::checkAccessFile(lists, {',', lists.catalog.size()}).empty());
    const std::string bank2(images.bank2.begin(), images.bank2.end());
    const auto rows = [](const auto& table, std::size_t indexColumn) {
        return sw::access::isBlankTable(table, indexColumn) ? std::size_t{0} : table.size();
    };
    require(variables.dump.find("header: " + std::to_string(rows(lists.variables, 0)) + " variable(s), " +
                                std::to_string(rows(lists.dataSets, 0)) + " data set(s)") !=
            std::string::npos);
    requireTextsInDump(variables.dump, lists, bank2);

    // An import into the file replaces its variables and leaves the rest as it was read.
    const std::string original(reinterpret_cast<const char*>(data), size);
    std::optional<std::string> spliced;
    try {
        spliced = sw::access::withVariables(original, "fuzz", lists.variables);
    } catch (const sw::ConfigError&) {
        return 0; // rows the writer refuses (a blank table's row is never checked)
    }
    if (spliced) {
        { std::ofstream(accessFile, std::ios::binary | std::ios::trunc) << *spliced; }
        const sw::access::AccessFile again = sw::access::readAccessFile(accessFile);
        require(again.variables.size() == lists.variables.size());
        require(again.catalog.size() == lists.catalog.size());
        require(again.dataSets.size() == lists.dataSets.size());
    }
    return 0;
}
