#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <filesystem>
#include <span>
#include <string_view>

// Reading an XML file element by element without building a tree. The scanner takes only the plain
// form our own writer produces and the usual hand edits keep; for anything else it gives way, and the
// caller reads the file through the full parser instead, which also reports every error. A reader
// written once against StreamHandler can so be fed by either.
namespace sw::xml {

struct StreamAttribute {
    std::string_view name;
    const char* value; // zero-terminated, entities decoded
    std::size_t size;  // of the decoded value, its terminating zero not counted
};

class StreamHandler {
public:
    virtual ~StreamHandler() = default;
    // Returns whether the element's child elements are wanted; when not, the next event for this
    // subtree is the element's own end.
    virtual bool startElement(std::string_view name, std::span<const StreamAttribute> attributes) = 0;
    virtual void endElement() = 0;
};

// Scans `size` bytes in place (values are decoded and terminated inside the buffer), which must be
// followed by at least kStreamPadding readable bytes of which the first is zero. Returns false, having
// possibly sent some events already, when the bytes are not in the plain form: the caller then
// discards what it gathered and parses the file fully.
inline constexpr std::size_t kStreamPadding = 16;
bool streamInPlace(char* bytes, std::size_t size, StreamHandler& handler);

// Reads the file and streams it; false when the file cannot be read or is not in the plain form.
bool streamFile(const std::filesystem::path& file, StreamHandler& handler);

// The same events from a parsed tree, in document order: elements only, their attributes in order.
void streamTree(const pugi::xml_node& parent, StreamHandler& handler);

} // namespace sw::xml
