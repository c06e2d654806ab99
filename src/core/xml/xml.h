#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The one set of rules by which every XML file of the system is read and written.
namespace sw::xml {

// Loads a file keeping declarations, processing instructions and comments. Only a regular file of at
// most `limit` bytes is read (see limits in atomic_file.h). Throws ConfigError naming the file and the
// reason, or the parser's description, line and column.
void loadFile(pugi::xml_document& document, const std::filesystem::path& file, std::uint64_t limit);
void loadBuffer(pugi::xml_document& document, std::string_view bytes, const std::string& displayName);

// For big input files that are only walked element by element (SCL): parses the file's bytes in place,
// without a second copy, and keeps no declarations, processing instructions or comments. Same errors
// as loadFile.
void loadFileFast(pugi::xml_document& document, const std::filesystem::path& file, std::uint64_t limit);

// The same in-place parse, but attribute values keep their entity and character references as
// written, for a reader that decodes them with decodeReferences and so can refuse, naming the
// attribute, a reference to a character that no text may hold.
void loadFileKeepingReferences(pugi::xml_document& document, const std::filesystem::path& file,
                               std::uint64_t limit);

// Appends `raw`, an attribute value as loadFileKeepingReferences leaves it, with its references
// decoded exactly as the parser would decode them. Returns the code point of the first character
// reference that names no character a text can hold (U+0000, a surrogate, past U+10FFFF; larger
// values come back as 0xFFFFFFFF), leaving `out` partly appended; nothing when all is well.
std::optional<std::uint32_t> decodeReferences(std::string_view raw, std::string& out);

// The document's root: its first top-level element. A declaration, comment, processing instruction or
// document type in front of it, as hand-edited and tool-written files have, is passed over.
pugi::xml_node firstElement(const pugi::xml_document& document);

// The first child whose name equals the given one exactly, or a null node.
pugi::xml_node findChild(pugi::xml_node parent, std::string_view name);

// Empty for an element without children, the text for a text-only element; throws ConfigError when
// the element holds child elements.
std::string elementText(pugi::xml_node element);

// The text of the first child with that name, or nothing when it is missing or holds elements: the
// two cases in which a reader takes a value's fallback.
std::optional<std::string> childText(pugi::xml_node parent, std::string_view name);

// Absent attributes are told apart from empty ones.
std::optional<std::string> attribute(pugi::xml_node element, std::string_view name);

pugi::xml_node appendElement(pugi::xml_node parent, std::string_view name, std::string_view text = {});

// Appends the format version mark after the root element, at document level.
void appendVersionComment(pugi::xml_document& document);

// Raw UTF-8, no declaration, no indentation.
std::string toBytes(const pugi::xml_document& document);

// Writes toBytes() atomically; throws ConfigError naming the file and the system's reason.
void saveFile(const pugi::xml_document& document, const std::filesystem::path& file);

// Line and column (both from 1) of a byte offset, for error messages.
std::pair<std::size_t, std::size_t> lineAndColumn(std::string_view bytes, std::size_t offset);

} // namespace sw::xml
