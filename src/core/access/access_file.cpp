#include "core/access/access_file.h"

#include "core/common/atomic_file.h"
#include "core/common/config_error.h"
#include "core/internal/xml.h"

#include <cstdint>
#include <cstdio>

namespace sw::access {

namespace {

// The element children of a list, counted first so that the rows are placed once.
std::size_t countElements(pugi::xml_node list) {
    std::size_t count = 0;
    for (pugi::xml_node item = list.first_child(); item; item = item.next_sibling()) {
        if (item.type() == pugi::node_element) {
            ++count;
        }
    }
    return count;
}

// Stops at the first difference, so a shorter name is never read past its end.
bool sameName(const char* name, std::string_view expected) {
    for (char c : expected) {
        if (*name++ != c) {
            return false;
        }
    }
    return *name == 0;
}

class Reader {
public:
    explicit Reader(const std::filesystem::path& file) : m_file(file) {}

    // `list`, `row` and `member` say where the item is, for a message.
    template <std::size_t N>
    void fill(Row<N>& row, pugi::xml_node item, const std::array<std::string_view, N>& names,
              std::string_view list, std::size_t rowNumber, std::size_t member = 0) const {
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
                    take(a.value(), row.cells[column], names[column], list, rowNumber, member);
                }
                next = column + 1;
                break;
            }
        }
    }

private:
    void take(const char* value, std::string& cell, std::string_view name, std::string_view list,
              std::size_t rowNumber, std::size_t member) const {
        // Nearly every value holds no reference and is taken as it is.
        const char* end = value;
        while (*end != 0 && *end != '&') {
            ++end;
        }
        if (*end == 0) {
            cell.assign(value, end);
            return;
        }
        if (const auto refused = xml::decodeReferences(value, cell)) {
            fail(name, describeRow(list, rowNumber, member), *refused);
        }
    }

    [[noreturn]] void fail(std::string_view name, const std::string& where, std::uint32_t refused) const {
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(refused));
        throw ConfigError("The access file \"" + m_file.string() + "\" cannot be read: the attribute \"" +
                          std::string(name) + "\" in " + where + " refers to the character " + code +
                          ", which no text can hold");
    }

    const std::filesystem::path& m_file;
};

} // namespace

std::string describeRow(std::string_view list, std::size_t row, std::size_t member) {
    std::string text = "row " + std::to_string(row) + " of " + std::string(list);
    if (member > 0) {
        text = "member " + std::to_string(member) + " of the data set in " + text;
    }
    return text;
}

AccessFile readAccessFile(const std::filesystem::path& file) {
    pugi::xml_document document;
    xml::loadFileKeepingReferences(document, file, limits::kAccessFile);
    const Reader reader(file);
    AccessFile access;

    const pugi::xml_node root = xml::findChild(document, kRootElement);
    access.hasRoot = !root.empty();
    const pugi::xml_node catalog = xml::findChild(root, kCatalogList);
    access.hasCatalogList = !catalog.empty();
    for (pugi::xml_node item = catalog.first_child(); item; item = item.next_sibling()) {
        if (item.type() == pugi::node_element) {
            auto& row = access.catalog.emplace_back();
            reader.fill(row, item, kCatalogAttributes, kCatalogList, access.catalog.size());
        }
    }

    const pugi::xml_node variables = xml::findChild(root, kVariableList);
    access.hasVariableList = !variables.empty();
    access.variables.reserve(countElements(variables));
    for (pugi::xml_node item = variables.first_child(); item; item = item.next_sibling()) {
        if (item.type() == pugi::node_element) {
            auto& row = access.variables.emplace_back();
            reader.fill(row, item, kVariableAttributes, kVariableList, access.variables.size());
        }
    }

    const pugi::xml_node dataSets = xml::findChild(root, kDataSetList);
    access.hasDataSetList = !dataSets.empty();
    access.dataSets.reserve(countElements(dataSets));
    for (pugi::xml_node item = dataSets.first_child(); item; item = item.next_sibling()) {
        if (item.type() != pugi::node_element) {
            continue;
        }
        DataSetRow& dataSet = access.dataSets.emplace_back();
        const std::size_t row = access.dataSets.size();
        reader.fill(dataSet, item, kDataSetAttributes, kDataSetList, row);
        const pugi::xml_node members = xml::findChild(item, kMemberList);
        dataSet.hasMemberList = !members.empty();
        dataSet.members.reserve(countElements(members));
        for (pugi::xml_node member = members.first_child(); member; member = member.next_sibling()) {
            if (member.type() == pugi::node_element) {
                MemberRow& cells = dataSet.members.emplace_back();
                reader.fill(cells, member, kMemberAttributes, kDataSetList, row, dataSet.members.size());
            }
        }
    }
    return access;
}

namespace {

template <std::size_t N>
void writeRow(pugi::xml_node element, const Row<N>& row, const std::array<std::string_view, N>& names) {
    for (std::size_t column = 0; column < N; ++column) {
        element.append_attribute(std::string(names[column]).c_str()).set_value(row.cells[column].c_str());
    }
}

} // namespace

std::string accessFileBytes(const AccessFile& access) {
    pugi::xml_document document;
    pugi::xml_node root = xml::appendElement(document, kRootElement);
    xml::appendVersionComment(document);

    const pugi::xml_node catalog = xml::appendElement(root, kCatalogList);
    for (const CatalogRow& row : access.catalog) {
        writeRow(xml::appendElement(catalog, kCatalogItem), row, kCatalogAttributes);
    }
    const pugi::xml_node variables = xml::appendElement(root, kVariableList);
    for (const VariableRow& row : access.variables) {
        writeRow(xml::appendElement(variables, kVariableItem), row, kVariableAttributes);
    }
    const pugi::xml_node dataSets = xml::appendElement(root, kDataSetList);
    for (const DataSetRow& row : access.dataSets) {
        const pugi::xml_node item = xml::appendElement(dataSets, kDataSetItem);
        writeRow(item, row, kDataSetAttributes);
        const pugi::xml_node members = xml::appendElement(item, kMemberList);
        for (const MemberRow& member : row.members) {
            writeRow(xml::appendElement(members, kMemberItem), member, kMemberAttributes);
        }
    }
    return xml::toBytes(document);
}

void writeAccessFile(const std::filesystem::path& file, const AccessFile& access) {
    writeFileAtomically(file, accessFileBytes(access));
}

} // namespace sw::access
