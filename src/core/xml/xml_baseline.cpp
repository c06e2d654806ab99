#include "core/xml/xml_baseline.h"
#include "core/common/atomic_file.h"

#include "core/xml/xml.h"

#include <cstring>
#include <string>

namespace sw::xml::baseline {

namespace {

std::size_t visitAll(pugi::xml_node node) {
    std::size_t sum = 0;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        for (pugi::xml_attribute a = child.first_attribute(); a; a = a.next_attribute()) {
            sum += static_cast<unsigned char>(a.name()[0]) + std::strlen(a.value());
        }
        sum += visitAll(child);
    }
    return sum;
}

void load(pugi::xml_document& document, std::string_view bytes) {
    if (!document.load_buffer(bytes.data(), bytes.size())) {
        loadBuffer(document, bytes, "benchmark input"); // words the error
    }
}

} // namespace

void parse(std::string_view bytes) {
    pugi::xml_document document;
    load(document, bytes);
}

std::size_t parseAndVisit(std::string_view bytes) {
    pugi::xml_document document;
    load(document, bytes);
    return visitAll(document);
}

void parseFileInPlace(const std::filesystem::path& file) {
    pugi::xml_document document;
    loadFileFast(document, file, limits::kSclFile);
}

} // namespace sw::xml::baseline
