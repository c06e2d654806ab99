#include "core/access/access_file.h"

#include "core/access/access_schema.h"

#include "core/common/atomic_file.h"
#include "core/common/config_error.h"
#include "core/common/path_text.h"
#include "core/common/utf8.h"
#include "core/xml/xml.h"
#include "core/xml/xml_writer.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace sw::access {

namespace {

// Stops at the first difference, so a shorter name is never read past its end.
bool sameName(const char* name, std::string_view expected) {
    for (char c : expected) {
        if (*name++ != c) {
            return false;
        }
    }
    return *name == 0;
}

// Whether a child of a list is one of its items: an element of the item's name. Other elements, like
// comments and text, count for nothing.
bool isItem(pugi::xml_node node, std::string_view itemName) {
    return node.type() == pugi::node_element && sameName(node.name(), itemName);
}

// The items of a list, counted first so that the rows are placed once.
std::size_t countElements(pugi::xml_node list, std::string_view itemName) {
    std::size_t count = 0;
    for (pugi::xml_node item = list.first_child(); item; item = item.next_sibling()) {
        count += isItem(item, itemName) ? 1U : 0U;
    }
    return count;
}

class Reader {
public:
    explicit Reader(const std::filesystem::path& file) : m_file(file) {}

    // `list`, `row` and `member` say where the item is, for a message. `decoded` holds the values that
    // carried references, for as long as the views into it are used.
    template <std::size_t N>
    void fill(RowView<N>& row, std::array<std::string, N>& decoded, pugi::xml_node item,
              const std::array<std::string_view, N>& names, std::string_view list, std::size_t rowNumber,
              std::size_t member = 0) const {
        row.present.reset();
        row.cells.fill({});
        // The editor writes every attribute in table order, so the search starts at the column after
        // the last one found.
        std::size_t next = 0;
        for (pugi::xml_attribute a = item.first_attribute(); a; a = a.next_attribute()) {
            const char* name = a.name();
            for (std::size_t k = 0; k < N; ++k) {
                const std::size_t column = (next + k) % N;
                if (!sameName(name, names[column])) {
                    continue;
                }
                if (!row.present[column]) {
                    row.present[column] = true;
                    row.cells[column] =
                        take(a.value(), decoded[column], names[column], list, rowNumber, member);
                }
                next = column + 1;
                break;
            }
        }
    }

private:
    std::string_view take(const char* value, std::string& decoded, std::string_view name,
                          std::string_view list, std::size_t rowNumber, std::size_t member) const {
        // Nearly every value is ASCII without a reference and is taken as it stands in the parsed file.
        const char* end = value;
        bool ascii = true;
        while (*end != 0 && *end != '&') {
            ascii = ascii && static_cast<unsigned char>(*end) < 0x80;
            ++end;
        }
        if (ascii && *end == 0) {
            return {value, static_cast<std::size_t>(end - value)};
        }
        const std::string_view raw(value, std::strlen(value));
        if (!utf8::isValid(raw)) {
            throw ConfigError(ErrorCode::AccessFileNotUtf8,
                              {utf8Of(m_file), std::string(name), describeRow(list, rowNumber, member)});
        }
        if (raw.find('&') == std::string_view::npos) {
            return raw;
        }
        decoded.clear();
        if (const auto refused = xml::decodeReferences(value, decoded)) {
            fail(name, describeRow(list, rowNumber, member), *refused);
        }
        return decoded;
    }

    [[noreturn]] void fail(std::string_view name, const std::string& where, std::uint32_t refused) const {
        throw ConfigError(ErrorCode::AccessFileCharacter,
                          {utf8Of(m_file), std::string(name), where, characterCode(refused)});
    }

    const std::filesystem::path& m_file;
};

template <std::size_t N> void copyRow(const RowView<N>& view, Row<N>& row) {
    for (std::size_t column = 0; column < N; ++column) {
        row.cells[column].assign(view.cells[column]);
    }
    row.present = view.present;
}

// Keeps every row as text: the lists of readAccessFile.
class Collector final : public AccessFileVisitor {
public:
    explicit Collector(AccessFile& access) : m_access(access) {}

    void outline(const AccessFileOutline& outline) override {
        m_access.hasRoot = outline.hasRoot;
        m_access.hasCatalogList = outline.hasCatalogList;
        m_access.hasVariableList = outline.hasVariableList;
        m_access.hasDataSetList = outline.hasDataSetList;
        m_access.variables.reserve(outline.variableCount);
        m_access.dataSets.reserve(outline.dataSetCount);
    }
    void catalogItem(const RowView<CatalogColumn::Count>& item, std::size_t) override {
        copyRow(item, m_access.catalog.emplace_back());
    }
    void variable(const RowView<VariableColumn::Count>& item, std::size_t) override {
        copyRow(item, m_access.variables.emplace_back());
    }
    void dataSet(const RowView<DataSetColumn::Count>& item, std::size_t, bool hasMemberList,
                 std::size_t memberCount) override {
        DataSetRow& row = m_access.dataSets.emplace_back();
        copyRow(item, row);
        row.hasMemberList = hasMemberList;
        row.members.reserve(memberCount);
    }
    void member(const RowView<MemberColumn::Count>& item, std::size_t, std::size_t) override {
        copyRow(item, m_access.dataSets.back().members.emplace_back());
    }

private:
    AccessFile& m_access;
};

} // namespace

std::string describeRow(std::string_view list, std::size_t row, std::size_t member) {
    std::string text = "row " + std::to_string(row) + " of " + std::string(list);
    if (member > 0) {
        text = "member " + std::to_string(member) + " of the data set in " + text;
    }
    return text;
}

void visitAccessFile(const std::filesystem::path& file, AccessFileVisitor& visitor) {
    pugi::xml_document document;
    xml::loadFileKeepingReferences(document, file, limits::kAccessFile);
    const Reader reader(file);

    const pugi::xml_node root = xml::findChild(document, kRootElement);
    const pugi::xml_node catalog = xml::findChild(root, kCatalogList);
    const pugi::xml_node variables = xml::findChild(root, kVariableList);
    const pugi::xml_node dataSets = xml::findChild(root, kDataSetList);
    AccessFileOutline outline;
    outline.hasRoot = !root.empty();
    outline.hasCatalogList = !catalog.empty();
    outline.hasVariableList = !variables.empty();
    outline.hasDataSetList = !dataSets.empty();
    outline.variableCount = countElements(variables, kVariableItem);
    outline.dataSetCount = countElements(dataSets, kDataSetItem);
    visitor.outline(outline);

    {
        RowView<CatalogColumn::Count> row;
        std::array<std::string, CatalogColumn::Count> decoded;
        std::size_t number = 0;
        for (pugi::xml_node item = catalog.first_child(); item; item = item.next_sibling()) {
            if (isItem(item, kCatalogItem)) {
                reader.fill(row, decoded, item, kCatalogAttributes, kCatalogList, ++number);
                visitor.catalogItem(row, number);
            }
        }
    }
    {
        RowView<VariableColumn::Count> row;
        std::array<std::string, VariableColumn::Count> decoded;
        std::size_t number = 0;
        for (pugi::xml_node item = variables.first_child(); item; item = item.next_sibling()) {
            if (isItem(item, kVariableItem)) {
                reader.fill(row, decoded, item, kVariableAttributes, kVariableList, ++number);
                visitor.variable(row, number);
            }
        }
    }
    RowView<DataSetColumn::Count> row;
    std::array<std::string, DataSetColumn::Count> decoded;
    RowView<MemberColumn::Count> memberRow;
    std::array<std::string, MemberColumn::Count> memberDecoded;
    std::size_t number = 0;
    for (pugi::xml_node item = dataSets.first_child(); item; item = item.next_sibling()) {
        if (!isItem(item, kDataSetItem)) {
            continue;
        }
        reader.fill(row, decoded, item, kDataSetAttributes, kDataSetList, ++number);
        const pugi::xml_node members = xml::findChild(item, kMemberList);
        visitor.dataSet(row, number, !members.empty(), countElements(members, kMemberItem));
        std::size_t memberNumber = 0;
        for (pugi::xml_node member = members.first_child(); member; member = member.next_sibling()) {
            if (isItem(member, kMemberItem)) {
                reader.fill(memberRow, memberDecoded, member, kMemberAttributes, kDataSetList, number,
                            ++memberNumber);
                visitor.member(memberRow, number, memberNumber);
            }
        }
    }
}

AccessFile readAccessFile(const std::filesystem::path& file) {
    AccessFile access;
    Collector collector(access);
    visitAccessFile(file, collector);
    return access;
}

namespace {

// A control character XML 1.0 cannot hold, not even as a reference, is never written: the list that
// holds one is refused, naming the attribute and the row.
void refuseControlCharacters(std::string_view value, std::string_view name, std::string_view list,
                             std::size_t row, std::size_t member = 0) {
    if (const auto c = forbiddenCharacter(value)) {
        throw ConfigError(ErrorCode::AccessFileNotSavable,
                          {std::string(name), describeRow(list, row, member), characterCode(*c)});
    }
}

template <std::size_t N>
void writeRow(xml::StreamWriter& out, std::string_view element, const Row<N>& row,
              const std::array<std::string_view, N>& names, bool forComparison, std::string_view list,
              std::size_t rowNumber, std::size_t member = 0) {
    out.open(element);
    for (std::size_t column = 0; column < N; ++column) {
        if (!forComparison) {
            refuseControlCharacters(row.cells[column], names[column], list, rowNumber, member);
        }
        out.attribute(names[column], row.cells[column]);
    }
}

} // namespace

std::string accessFileBytes(const AccessFile& access, bool forComparison) {
    xml::StreamWriter out;
    // Names, quotes and blanks take about 200 bytes a variable and 120 a member besides the values.
    std::size_t size = 256 + 64 * access.catalog.size();
    for (const VariableRow& row : access.variables) {
        size += 200;
        for (const std::string& cell : row.cells) {
            size += cell.size();
        }
    }
    for (const DataSetRow& row : access.dataSets) {
        size += 200 + 120 * row.members.size();
        for (const MemberRow& member : row.members) {
            for (const std::string& cell : member.cells) {
                size += cell.size();
            }
        }
    }
    out.reserve(size);
    out.open(kRootElement);
    out.open(kCatalogList);
    for (std::size_t r = 0; r < access.catalog.size(); ++r) {
        const CatalogRow& row = access.catalog[r];
        for (std::size_t column = 0; column < CatalogColumn::Count && !forComparison; ++column) {
            refuseControlCharacters(row.cells[column], kCatalogAttributes[column], kCatalogList, r + 1);
        }
        // Items for a file's first IED are written as before the IED could be chosen.
        out.open(kCatalogItem);
        out.attribute(kCatalogAttributes[CatalogColumn::Name], row[CatalogColumn::Name]);
        out.attribute(kCatalogAttributes[CatalogColumn::FileName], row[CatalogColumn::FileName]);
        if (!row[CatalogColumn::IEDName].empty()) {
            out.attribute(kCatalogAttributes[CatalogColumn::IEDName], row[CatalogColumn::IEDName]);
        }
        out.close();
    }
    out.close();
    out.open(kVariableList);
    for (std::size_t r = 0; r < access.variables.size(); ++r) {
        writeRow(out, kVariableItem, access.variables[r], kVariableAttributes, forComparison, kVariableList,
                 r + 1);
        out.close();
    }
    out.close();
    out.open(kDataSetList);
    for (std::size_t r = 0; r < access.dataSets.size(); ++r) {
        const DataSetRow& row = access.dataSets[r];
        writeRow(out, kDataSetItem, row, kDataSetAttributes, forComparison, kDataSetList, r + 1);
        out.open(kMemberList);
        for (std::size_t m = 0; m < row.members.size(); ++m) {
            writeRow(out, kMemberItem, row.members[m], kMemberAttributes, forComparison, kDataSetList, r + 1,
                     m + 1);
            out.close();
        }
        out.close();
        out.close();
    }
    out.close();
    out.close();
    out.versionComment();
    return out.take();
}

namespace {

// Where a node's markup starts in the parsed bytes: pugixml's offset names the element's name or the
// text of a comment, a CDATA section or character data.
std::optional<std::size_t> markupStart(pugi::xml_node node) {
    const std::ptrdiff_t offset = node.offset_debug();
    if (offset < 0) {
        return std::nullopt;
    }
    const auto at = static_cast<std::size_t>(offset);
    switch (node.type()) {
    case pugi::node_element:
    case pugi::node_pi:
    case pugi::node_declaration:
        return at >= 1 ? std::optional<std::size_t>(at - 1) : std::nullopt;
    case pugi::node_comment:
        return at >= 4 ? std::optional<std::size_t>(at - 4) : std::nullopt;
    case pugi::node_cdata:
        return at >= 9 ? std::optional<std::size_t>(at - 9) : std::nullopt;
    case pugi::node_pcdata:
        return at;
    default:
        return std::nullopt;
    }
}

// What of a file's lists the reader sees: the items of each list and the members of all data sets.
struct ListShape {
    std::size_t catalog = 0;
    std::size_t variables = 0;
    std::size_t dataSets = 0;
    std::size_t members = 0;
    bool operator==(const ListShape&) const = default;
};

ListShape listShape(const pugi::xml_document& document) {
    const pugi::xml_node root = xml::findChild(document, kRootElement);
    ListShape shape;
    shape.catalog = countElements(xml::findChild(root, kCatalogList), kCatalogItem);
    shape.variables = countElements(xml::findChild(root, kVariableList), kVariableItem);
    const pugi::xml_node dataSets = xml::findChild(root, kDataSetList);
    for (pugi::xml_node item = dataSets.first_child(); item; item = item.next_sibling()) {
        if (isItem(item, kDataSetItem)) {
            ++shape.dataSets;
            shape.members += countElements(xml::findChild(item, kMemberList), kMemberItem);
        }
    }
    return shape;
}

// The byte range of the variables list in `bytes`, its start and end tags included; nothing when the
// file has no such list or its layout cannot be told for sure. `shape` receives what the file holds.
std::optional<std::pair<std::size_t, std::size_t>>
variableListRange(std::string_view bytes, const std::string& displayName, ListShape& shape) {
    // The parser's offsets are offsets into these bytes only when it read them as UTF-8 as they stand:
    // no byte-order mark, no other encoding by its first bytes or by the declaration.
    if (bytes.size() < 2 || bytes[0] != '<' || bytes[1] == '\0') {
        return std::nullopt;
    }
    pugi::xml_document document;
    xml::loadBuffer(document, bytes, displayName);
    if (const pugi::xml_node declaration = document.first_child();
        declaration.type() == pugi::node_declaration) {
        const std::string_view encoding = declaration.attribute("encoding").value();
        if (!encoding.empty() && encoding != "UTF-8" && encoding != "utf-8") {
            return std::nullopt;
        }
    }
    shape = listShape(document);
    const pugi::xml_node root = xml::findChild(document, kRootElement);
    const pugi::xml_node list = xml::findChild(root, kVariableList);
    const std::optional<std::size_t> begin = list ? markupStart(list) : std::nullopt;
    if (!begin || bytes.substr(*begin, kVariableList.size() + 1) != "<" + std::string(kVariableList)) {
        return std::nullopt;
    }
    // The list ends at the last ">" before whatever follows it: the next node, or the root's end tag.
    std::size_t limit = bytes.size();
    if (const pugi::xml_node next = list.next_sibling()) {
        const std::optional<std::size_t> at = markupStart(next);
        if (!at) {
            return std::nullopt;
        }
        limit = *at;
    } else {
        if (const pugi::xml_node after = root.next_sibling()) {
            const std::optional<std::size_t> at = markupStart(after);
            if (!at) {
                return std::nullopt;
            }
            limit = *at;
        }
        limit = bytes.rfind("</", limit == 0 ? 0 : limit - 1);
    }
    const std::size_t close =
        limit == std::string_view::npos || limit == 0 ? std::string_view::npos : bytes.rfind('>', limit - 1);
    if (close == std::string_view::npos || close < *begin) {
        return std::nullopt;
    }
    return std::pair{*begin, close + 1};
}

} // namespace

std::optional<std::string> withVariables(std::string_view fileBytes, const std::string& displayName,
                                         const std::vector<VariableRow>& variables) {
    ListShape before;
    const std::optional<std::pair<std::size_t, std::size_t>> range =
        variableListRange(fileBytes, displayName, before);
    if (!range) {
        return std::nullopt;
    }
    // The list as the editor writes it, cut out of a file that holds nothing else.
    AccessFile list;
    list.variables = variables;
    const std::string written = accessFileBytes(list);
    const std::size_t begin = written.find("<" + std::string(kVariableList));
    const std::size_t end = written.find("<" + std::string(kDataSetList));
    std::string result(fileBytes.substr(0, range->first));
    result.append(written, begin, end - begin);
    result += fileBytes.substr(range->second);
    // Text the parser passes over (after the root, say) can look like markup and mislead the range: the
    // spliced file must read as the old one with the new variables, or the file is written anew.
    pugi::xml_document spliced;
    try {
        xml::loadBuffer(spliced, result, displayName);
    } catch (const ConfigError&) {
        return std::nullopt;
    }
    ListShape expected = before;
    expected.variables = variables.size();
    if (listShape(spliced) != expected) {
        return std::nullopt;
    }
    return result;
}

void writeAccessFile(const std::filesystem::path& file, const AccessFile& access) {
    const std::string bytes = accessFileBytes(access);
    // No file is written that the program would then refuse to read.
    if (bytes.size() > limits::kAccessFile) {
        throw ConfigError(ErrorCode::CannotWriteFile,
                          {utf8Of(file), "the access list would take " + std::to_string(bytes.size()) +
                                             " bytes, more than the limit of " +
                                             std::to_string(limits::kAccessFile) + " bytes of its file"});
    }
    writeFileAtomically(file, bytes);
}

} // namespace sw::access
