#include "core/xml/xml.h"

#include "core/common/atomic_file.h"
#include "core/common/build_config.h"
#include "core/common/config_error.h"
#include "core/common/path_text.h"
#include "core/common/utf8.h"

#include <algorithm>
#include <sstream>

namespace sw::xml {

namespace {

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration | pugi::parse_pi |
                                   pugi::parse_comments | pugi::parse_ws_pcdata_single;

struct StringWriter : pugi::xml_writer {
    std::string bytes;
    void write(const void* data, std::size_t size) override {
        bytes.append(static_cast<const char*>(data), size);
    }
};

} // namespace

std::pair<std::size_t, std::size_t> lineAndColumn(std::string_view bytes, std::size_t offset) {
    std::size_t line = 1;
    std::size_t lineStart = 0;
    const std::size_t end = std::min(offset, bytes.size());
    for (std::size_t i = 0; i < end; ++i) {
        if (bytes[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    return {line, end - lineStart + 1};
}

namespace {

[[noreturn]] void throwParseError(std::string_view bytes, const pugi::xml_parse_result& result,
                                  const std::string& displayName) {
    const auto [line, column] = lineAndColumn(bytes, static_cast<std::size_t>(result.offset));
    throw ConfigError(ErrorCode::NotWellFormedXml,
                      {displayName, result.description(), std::to_string(line), std::to_string(column)});
}

} // namespace

void loadBuffer(pugi::xml_document& document, std::string_view bytes, const std::string& displayName) {
    const pugi::xml_parse_result result = document.load_buffer(bytes.data(), bytes.size(), kParseOptions);
    if (!result) {
        throwParseError(bytes, result, displayName);
    }
}

namespace {

void loadInPlace(pugi::xml_document& document, const std::filesystem::path& file, std::uint64_t limit,
                 unsigned options) {
    const auto size = static_cast<std::size_t>(checkReadableFile(file, limit));
    // The document takes the buffer over, so it comes from pugixml's allocator.
    char* buffer = static_cast<char*>(pugi::get_memory_allocation_function()(size + 1));
    if (buffer == nullptr) {
        throw ConfigError(ErrorCode::NoMemoryForFile, {utf8Of(file)});
    }
    std::size_t got = 0;
    try {
        // A file that shrank since it was measured is parsed as it is now.
        got = readFileInto(file, buffer, size);
    } catch (...) {
        pugi::get_memory_deallocation_function()(buffer);
        throw;
    }
    const pugi::xml_parse_result result = document.load_buffer_inplace_own(buffer, got, options);
    if (!result) {
        // Parsing in place has rewritten the bytes; the position is counted on the file as it is.
        throwParseError(readFileBytes(file, limit), result, utf8Of(file));
    }
}

} // namespace

void loadFileFast(pugi::xml_document& document, const std::filesystem::path& file, std::uint64_t limit) {
    loadInPlace(document, file, limit, pugi::parse_default);
}

void loadFileKeepingReferences(pugi::xml_document& document, const std::filesystem::path& file,
                               std::uint64_t limit) {
    loadInPlace(document, file, limit, pugi::parse_default & ~pugi::parse_escapes);
}

void loadFile(pugi::xml_document& document, const std::filesystem::path& file, std::uint64_t limit) {
    loadBuffer(document, readFileBytes(file, limit), utf8Of(file));
}

namespace {

// The character reference at `raw[at]` ("&#" seen), decoded like the parser does; nothing when it is
// not a complete reference, which then stays as written. `end` is set past its ';'.
std::optional<std::uint64_t> characterReference(std::string_view raw, std::size_t at, std::size_t& end) {
    std::size_t i = at + 2;
    const bool hex = i < raw.size() && raw[i] == 'x';
    if (hex) {
        ++i;
    }
    std::uint64_t value = 0;
    const std::size_t first = i;
    for (; i < raw.size() && raw[i] != ';'; ++i) {
        const char c = raw[i];
        std::uint64_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<std::uint64_t>(c - '0');
        } else if (hex && ((c | ' ') >= 'a' && (c | ' ') <= 'f')) {
            digit = static_cast<std::uint64_t>((c | ' ') - 'a' + 10);
        } else {
            return std::nullopt;
        }
        // Saturates: anything this large names no character anyway.
        value = std::min<std::uint64_t>(value * (hex ? 16 : 10) + digit, 0xFFFFFFFF);
    }
    if (i == first || i == raw.size()) {
        return std::nullopt;
    }
    end = i + 1;
    return value;
}

} // namespace

std::optional<std::uint32_t> decodeReferences(std::string_view raw, std::string& out) {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&apos;", '\''}, {"&gt;", '>'}, {"&lt;", '<'}, {"&quot;", '"'}};
    std::size_t done = 0;
    for (std::size_t at = raw.find('&'); at != std::string_view::npos; at = raw.find('&', at + 1)) {
        const std::string_view rest = raw.substr(at);
        std::size_t end = 0;
        if (rest.size() > 1 && rest[1] == '#') {
            const std::optional<std::uint64_t> code = characterReference(raw, at, end);
            if (!code) {
                continue;
            }
            out.append(raw.substr(done, at - done));
            if (*code == 0 || (*code >= 0xD800 && *code <= 0xDFFF) || *code > 0x10FFFF) {
                return static_cast<std::uint32_t>(*code);
            }
            utf8::append(out, static_cast<char32_t>(*code));
        } else {
            const auto* entity = std::find_if(std::begin(kEntities), std::end(kEntities),
                                              [&rest](const auto& e) { return rest.starts_with(e.first); });
            if (entity == std::end(kEntities)) {
                continue;
            }
            out.append(raw.substr(done, at - done));
            out += entity->second;
            end = at + entity->first.size();
        }
        done = end;
        at = end - 1;
    }
    out.append(raw.substr(done));
    return std::nullopt;
}

pugi::xml_node firstElement(const pugi::xml_document& document) {
    for (pugi::xml_node node = document.first_child(); node; node = node.next_sibling()) {
        if (node.type() == pugi::node_element) {
            return node;
        }
    }
    return {};
}

pugi::xml_node findChild(pugi::xml_node parent, std::string_view name) {
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && name == child.name()) {
            return child;
        }
    }
    return {};
}

std::string elementText(pugi::xml_node element) {
    if (!element) {
        throw ConfigError("Missing XML element");
    }
    std::string text;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        switch (child.type()) {
        case pugi::node_pcdata:
        case pugi::node_cdata:
            text += child.value();
            break;
        case pugi::node_element:
            throw ConfigError(std::string("The element \"") + element.name() +
                              "\" holds elements instead of text");
        default:
            break;
        }
    }
    return text;
}

std::optional<std::string> childText(pugi::xml_node parent, std::string_view name) {
    const pugi::xml_node element = findChild(parent, name);
    if (!element) {
        return std::nullopt;
    }
    try {
        return elementText(element);
    } catch (const ConfigError&) {
        return std::nullopt;
    }
}

std::optional<std::string> attribute(pugi::xml_node element, std::string_view name) {
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
        if (name == a.name()) {
            return std::string(a.value());
        }
    }
    return std::nullopt;
}

pugi::xml_node appendElement(pugi::xml_node parent, std::string_view name, std::string_view text) {
    pugi::xml_node element = parent.append_child(std::string(name).c_str());
    if (!text.empty()) {
        element.append_child(pugi::node_pcdata).set_value(std::string(text).c_str());
    }
    return element;
}

void appendVersionComment(pugi::xml_document& document) {
    document.append_child(pugi::node_comment)
        .set_value((std::string("SW_VERSION = ") + kSoftwareVersion).c_str());
}

std::string toBytes(const pugi::xml_document& document) {
    StringWriter writer;
    document.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return std::move(writer.bytes);
}

void saveFile(const pugi::xml_document& document, const std::filesystem::path& file) {
    writeFileAtomically(file, toBytes(document));
}

} // namespace sw::xml
