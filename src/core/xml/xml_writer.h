#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sw::xml {

// Writes a document element by element into bytes identical to what the document saver of the XML layer
// writes for the same tree (raw, UTF-8, no declaration, no indentation): for files with hundreds of
// thousands of elements that are written straight from their lists, without first building a tree.
class StreamWriter {
public:
    // Room for about this many bytes, so that a big file is not moved while it grows.
    void reserve(std::size_t bytes);
    // Starts a child of the element open now (or a top-level element).
    void open(std::string_view name);
    // An attribute of the element just opened; before any child of it.
    void attribute(std::string_view name, std::string_view value);
    // Ends the element open now: "/>" when it got no child, else its end tag.
    void close();
    // The version mark after the root element.
    void versionComment();

    // The bytes written; every element must have been closed.
    std::string take();

private:
    void endStartTag();

    std::string m_bytes;
    std::vector<std::string> m_open;
    bool m_startTagOpen = false;
};

} // namespace sw::xml
