#include "commands.h"

#include "core/common/atomic_file.h"
#include "core/common/escaped_text.h"
#include "core/common/path_text.h"
#include "core/image/image_decoder.h"

#include <iostream>
#include <span>

namespace sw::cli {

namespace {

void printProblems(const std::vector<std::string>& problems) {
    std::cout << problems.size() << " inconsistenc" << (problems.size() == 1 ? "y" : "ies") << ":\n";
    for (const std::string& problem : problems) {
        std::cout << "  " << escapeControlCharacters(problem) << '\n';
    }
}

std::span<const std::uint8_t> asImage(const std::string& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

} // namespace

// Prints device images in readable form; exits 1 when one holds an inconsistency the device would trip
// on or, given both, when they do not belong together.
int runDump(const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2) {
        std::cerr << "Usage: sw40512-cli dump FILE [FILE]\n";
        return 2;
    }
    std::vector<std::string> problems;
    std::string images[2];
    bool seen[2] = {false, false};
    for (const std::string& name : args) {
        const std::filesystem::path file = pathFromUtf8(name);
        const image::ImageReport report = image::decodeImageFile(file);
        std::cout << report.dump;
        problems.insert(problems.end(), report.problems.begin(), report.problems.end());
        const auto kind = static_cast<std::size_t>(report.kind == image::ImageKind::Variable);
        if (seen[kind]) {
            std::cerr << "Give one parameter block and one variable image, not two of the same kind.\n";
            return 2;
        }
        seen[kind] = true;
        images[kind] = readFileBytes(file, limits::kImageFile);
    }
    if (seen[0] && seen[1]) {
        const auto pair = image::checkImagePair(asImage(images[0]), asImage(images[1]));
        problems.insert(problems.end(), pair.begin(), pair.end());
    }
    if (problems.empty()) {
        std::cout << "consistent\n";
        return 0;
    }
    printProblems(problems);
    return 1;
}

} // namespace sw::cli
