#include "image/iec61850_client.h"

#include "common/config_error.h"
#include "common/numbers.h"
#include "common/xml.h"
#include "image/image_text.h"
#include "image/little_endian.h"

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string_view>

namespace sw::image {

namespace {

constexpr std::uint32_t kDefaultTime = 1000;
constexpr float kDefaultFactor = 1.0F;

// Where an item sits in the access file, put into words only when something is wrong with it.
struct Location {
    const char* list;
    std::size_t row;        // from 0
    std::size_t member = 0; // from 1; 0 for the row itself

    std::string describe() const {
        std::string text = "row " + std::to_string(row + 1) + " of " + list;
        if (member > 0) {
            text = "member " + std::to_string(member) + " of the data set in " + text;
        }
        return text;
    }
};

// The C library's comparison reads a word at a time; a byte loop stalls on the branch that ends it,
// which for short attribute names costs more than the comparison itself.
bool sameText(const char* a, const char* b) {
    return std::strcmp(a, b) == 0;
}

// Where an attribute's value goes: a slot of the reader's table, or nowhere for the ones the image does
// not hold.
struct Field {
    const char* name;
    int slot; // -1: not read
};

// The attributes of one element, found in a single pass over them: an access list of tens of thousands
// of items must cost little more than parsing it. `order` lists every attribute in the order the access
// editor writes them, so in its files each name is compared once, with the one expected next; other
// orders and unknown names fall back to a search. The first of equal names wins.
template <std::size_t N, std::size_t W> class Attributes {
public:
    Attributes(pugi::xml_node element, const std::array<Field, W>& order) : m_order(order) {
        std::size_t next = 0;
        for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
            const char* name = a.name();
            std::size_t at = next;
            if (at >= W || !sameText(name, order[at].name)) {
                at = 0;
                while (at < W && (name[0] != order[at].name[0] || !sameText(name, order[at].name))) {
                    ++at;
                }
                if (at == W) {
                    continue;
                }
            }
            next = at + 1;
            const int slot = order[at].slot;
            if (slot >= 0 && m_values[static_cast<std::size_t>(slot)] == nullptr) {
                m_values[static_cast<std::size_t>(slot)] = a.value();
            }
        }
    }

    // The bound keeps each instantiation's body its own; g++ otherwise merges them and warns falsely.
    bool present(std::size_t i) const { return i < N && m_values[i] != nullptr; }
    bool equals(std::size_t i, const char* text) const { return present(i) && sameText(m_values[i], text); }
    const char* name(std::size_t i) const {
        for (const Field& field : m_order) {
            if (field.slot == static_cast<int>(i)) {
                return field.name;
            }
        }
        return "";
    }
    // Zero-terminated, inside the parsed document.
    const char* value(std::size_t i) const { return m_values[i]; }

private:
    const std::array<Field, W>& m_order;
    std::array<const char*, N> m_values{};
};

class AccessReader {
public:
    AccessReader(const std::filesystem::path& file, char decimalSeparator)
        : m_file(file), m_decimalSeparator(decimalSeparator) {}

    [[noreturn]] void fail(const std::string& what) const {
        throw ConfigError("The access file \"" + m_file.string() +
                          "\" cannot be built into the device image: " + what + ". No image was written.");
    }

    // The attributes the image cannot do without; checked in the order they are read.
    template <std::size_t N, std::size_t W>
    void require(const Attributes<N, W>& a, std::initializer_list<std::size_t> needed,
                 const Location& where) const {
        for (std::size_t i : needed) {
            if (!a.present(i)) {
                fail(where.describe() + " lacks the attribute \"" + a.name(i) + "\"");
            }
        }
    }

    static std::int32_t integer(const char* text, std::int32_t fallback) {
        return parseTerminatedInteger(text).value_or(fallback);
    }

    float factor(const char* text) const {
        const auto value = parseTerminatedFloat(text, m_decimalSeparator);
        if (!value || std::fabs(*value) > static_cast<double>(std::numeric_limits<float>::max())) {
            return kDefaultFactor;
        }
        return static_cast<float>(*value);
    }

private:
    const std::filesystem::path& m_file;
    char m_decimalSeparator;
};

// Comments and whitespace between items are not items: an indented file reads like a raw one.
std::size_t countElements(pugi::xml_node parent) {
    std::size_t count = 0;
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        count += child.type() == pugi::node_element ? 1 : 0;
    }
    return count;
}

template <typename Visit> void forEachElement(pugi::xml_node parent, Visit visit) {
    std::size_t index = 0;
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element) {
            visit(child, index++);
        }
    }
}

enum VariableAttribute {
    VarBType,
    VarFc,
    VarReference,
    VarIPAddress,
    VarPort,
    VarOnChange,
    VarOnCMD,
    VarOnTimer,
    VarTime,
    VarPosition,
    VarStartBit,
    VarReadWrite,
    VarConvertion,
    VarMoltFact,
    VarCount
};
constexpr std::array<Field, VarCount + 2> kVariableAttributes = {{{"Index", -1},
                                                                  {"bType", VarBType},
                                                                  {"fc", VarFc},
                                                                  {"Reference", VarReference},
                                                                  {"IPAddress", VarIPAddress},
                                                                  {"Port", VarPort},
                                                                  {"OnChange", VarOnChange},
                                                                  {"OnCMD", VarOnCMD},
                                                                  {"OnTimer", VarOnTimer},
                                                                  {"Time", VarTime},
                                                                  {"Position", VarPosition},
                                                                  {"StartBit", VarStartBit},
                                                                  {"ReadWrite", VarReadWrite},
                                                                  {"Convertion", VarConvertion},
                                                                  {"MoltFact", VarMoltFact},
                                                                  {"Mnemonic", -1}}};

enum DataSetAttribute { SetPort, SetEnGoose, SetTime, SetGooseName, SetReference, SetIPAddress, SetCount };
constexpr std::array<Field, SetCount + 2> kDataSetAttributes = {{{"Index", -1},
                                                                 {"Reference", SetReference},
                                                                 {"GooseName", SetGooseName},
                                                                 {"EnGoose", SetEnGoose},
                                                                 {"IPAddress", SetIPAddress},
                                                                 {"Port", SetPort},
                                                                 {"Time", SetTime},
                                                                 {"Mnemonic", -1}}};

enum MemberAttribute {
    MemBType,
    MemReference,
    MemPosition,
    MemStartBit,
    MemConvertion,
    MemMoltFact,
    MemCount
};
constexpr std::array<Field, MemCount + 1> kMemberAttributes = {{{"bType", MemBType},
                                                                {"Reference", MemReference},
                                                                {"Position", MemPosition},
                                                                {"StartBit", MemStartBit},
                                                                {"Convertion", MemConvertion},
                                                                {"MoltFact", MemMoltFact},
                                                                {"Mnemonic", -1}}};

} // namespace

void TIEC61850_Client::Clear_Client() {
    nVariable = 0;
    nDataSet = 0;
    vLan = 0;
    appID = 0;
    Variable_Add = 0;
    DataSet_Add = 0;
    VariableList.clear();
    DataSetList.clear();
    variableStrings.clear();
    dataSetStrings.clear();
    memberStrings.clear();
    m_imageSize = kHeaderSize;
}

namespace {

TIEC61850_Variable readVariable(const AccessReader& reader, pugi::xml_node item, const Location& where,
                                TextArea& strings) {
    const Attributes<VarCount, kVariableAttributes.size()> a(item, kVariableAttributes);
    reader.require(a,
                   {VarBType, VarFc, VarReference, VarIPAddress, VarPort, VarTime, VarPosition, VarStartBit,
                    VarMoltFact},
                   where);
    TIEC61850_Variable v;
    const char* fcText = a.value(VarFc);
    if (fcText[0] == 0) {
        reader.fail(where.describe() + " has an empty attribute \"fc\"");
    }
    if (static_cast<unsigned char>(fcText[0]) < 0x80 && static_cast<unsigned char>(fcText[1]) < 0x80) {
        // Also when the text has one character: the second byte is then its terminating zero.
        v.fc[0] = static_cast<std::uint8_t>(fcText[0]);
        v.fc[1] = static_cast<std::uint8_t>(fcText[1]);
    } else {
        const std::u16string fc = toUtf16(fcText);
        v.fc[0] = static_cast<std::uint8_t>(fc[0]);
        v.fc[1] = fc.size() > 1 ? static_cast<std::uint8_t>(fc[1]) : 0;
    }
    v.tcpPort = static_cast<std::uint16_t>(AccessReader::integer(a.value(VarPort), 0));
    v.options = 0;
    if (a.equals(VarOnChange, "Y")) {
        v.options |= 0x01;
    }
    if (a.equals(VarOnCMD, "Y")) {
        v.options |= 0x02;
    }
    if (a.equals(VarOnTimer, "Y")) {
        v.options |= 0x04;
    }
    v.time = static_cast<std::uint32_t>(
        AccessReader::integer(a.value(VarTime), static_cast<std::int32_t>(kDefaultTime)));
    v.position = static_cast<std::uint16_t>(AccessReader::integer(a.value(VarPosition), 0));
    v.bit_address = static_cast<std::uint8_t>(AccessReader::integer(a.value(VarStartBit), 0));
    v.rw = a.equals(VarReadWrite, "Read") ? 0 : 1;
    v.conversion = a.equals(VarConvertion, "ItoF/FtoI") ? 1 : 0;
    v.moltFactor = reader.factor(a.value(VarMoltFact));
    // In the order the image lays them out.
    v.bType = strings.append(a.value(VarBType));
    v.hostname = strings.append(a.value(VarIPAddress));
    v.reference = strings.append(a.value(VarReference));
    return v;
}

TIEC61850_Variable_DS readMember(const AccessReader& reader, pugi::xml_node item, const Location& where,
                                 TextArea& strings) {
    const Attributes<MemCount, kMemberAttributes.size()> a(item, kMemberAttributes);
    reader.require(a, {MemBType, MemReference, MemPosition, MemStartBit, MemMoltFact}, where);
    TIEC61850_Variable_DS m;
    m.position = static_cast<std::uint16_t>(AccessReader::integer(a.value(MemPosition), 0));
    m.bitAddress = static_cast<std::uint8_t>(AccessReader::integer(a.value(MemStartBit), 0));
    m.conversion = a.equals(MemConvertion, "ItoF/FtoI") ? 1 : 0;
    m.moltFactor = reader.factor(a.value(MemMoltFact));
    m.bType = strings.append(a.value(MemBType));
    m.reference = strings.append(a.value(MemReference));
    return m;
}

TDataSet readDataSet(const AccessReader& reader, pugi::xml_node item, const Location& where,
                     TextArea& strings, TextArea& memberStrings) {
    const Attributes<SetCount, kDataSetAttributes.size()> a(item, kDataSetAttributes);
    reader.require(a, {SetPort, SetTime, SetGooseName, SetReference, SetIPAddress}, where);
    TDataSet d;
    d.options = kDataSetOptions;
    d.tcpPort = static_cast<std::uint16_t>(AccessReader::integer(a.value(SetPort), 0));
    d.enGoose = a.equals(SetEnGoose, "Y") ? 1 : 0;
    d.time = static_cast<std::uint32_t>(
        AccessReader::integer(a.value(SetTime), static_cast<std::int32_t>(kDefaultTime)));

    const pugi::xml_node members = xml::findChild(item, "DataSet_List_DAs");
    if (!members) {
        reader.fail("the data set in " + where.describe() + " has no element \"DataSet_List_DAs\"");
    }
    d.goose_name = strings.append(a.value(SetGooseName));
    d.reference = strings.append(a.value(SetReference));
    d.hostname = strings.append(a.value(SetIPAddress));

    d.VariableList.reserve(countElements(members));
    forEachElement(members, [&](pugi::xml_node member, std::size_t k) {
        d.VariableList.push_back(readMember(reader, member, {where.list, where.row, k + 1}, memberStrings));
    });
    const std::size_t count = d.VariableList.size();
    if (count > kMaxDataSetMembers) {
        reader.fail("the data set in " + where.describe() + " has " + std::to_string(count) + " members, " +
                    std::to_string(count - kMaxDataSetMembers) + " more than the " +
                    std::to_string(kMaxDataSetMembers) + " a data set can hold");
    }
    d.nVariable = static_cast<std::uint8_t>(count);
    return d;
}

class ImageWriter {
public:
    explicit ImageWriter(std::uint8_t* at) : m_at(at) {}

    void u8(std::uint8_t value) { *m_at++ = value; }
    void u16(std::uint16_t value) {
        putU16(m_at, value);
        m_at += 2;
    }
    void u32(std::uint32_t value) {
        putU32(m_at, value);
        m_at += 4;
    }
    void f32(float value) {
        putF32(m_at, value);
        m_at += 4;
    }
    void zeros(std::size_t count) {
        std::memset(m_at, 0, count);
        m_at += count;
    }
    void bytes(const TextArea& area) {
        if (area.size() == 0) {
            return;
        }
        std::memcpy(m_at, area.data(), area.size());
        m_at += area.size();
    }
    const std::uint8_t* at() const { return m_at; }

private:
    std::uint8_t* m_at;
};

} // namespace

void TIEC61850_Client::Load_Access_List(const std::filesystem::path& accessFile, std::uint32_t imageBase,
                                        char decimalSeparator) {
    std::error_code error;
    const bool present = std::filesystem::exists(accessFile, error);
    if (error) {
        throw ConfigError("Cannot read the file \"" + accessFile.string() + "\": " + error.message());
    }
    if (present) {
        // Only elements and their attributes are read, so the file is parsed in place without its
        // comments: a big access list is held once.
        pugi::xml_document document;
        xml::loadFileFast(document, accessFile);
        const AccessReader reader(accessFile, decimalSeparator);

        const pugi::xml_node root = xml::findChild(document, "IEC_68850_Client");
        if (!root) {
            reader.fail("it has no root element \"IEC_68850_Client\"");
        }
        const pugi::xml_node variables = xml::findChild(root, "List_DA_Selected");
        if (!variables) {
            reader.fail("its root has no element \"List_DA_Selected\"");
        }
        VariableList.clear();
        VariableList.reserve(countElements(variables));
        variableStrings.clear();
        forEachElement(variables, [&](pugi::xml_node item, std::size_t i) {
            VariableList.push_back(readVariable(reader, item, {"List_DA_Selected", i}, variableStrings));
        });

        DataSetList.clear();
        dataSetStrings.clear();
        memberStrings.clear();
        if (const pugi::xml_node dataSets = xml::findChild(root, "List_DataSet_Selected")) {
            DataSetList.reserve(countElements(dataSets));
            forEachElement(dataSets, [&](pugi::xml_node item, std::size_t i) {
                DataSetList.push_back(
                    readDataSet(reader, item, {"List_DataSet_Selected", i}, dataSetStrings, memberStrings));
            });
        }
        nVariable = static_cast<std::int32_t>(VariableList.size());
        nDataSet = static_cast<std::int32_t>(DataSetList.size());
    }
    layOut(imageBase);
}

void TIEC61850_Client::layOut(std::uint32_t imageBase) {
    // Kept in 64 bits so that an oversized list is measured, not wrapped, and refused on writing.
    std::uint64_t address = std::uint64_t{imageBase} + kHeaderSize;
    Variable_Add = static_cast<std::uint32_t>(address);
    address += kVariableEntrySize * VariableList.size();
    DataSet_Add = static_cast<std::uint32_t>(address);
    address += kDataSetEntrySize * DataSetList.size();
    for (TDataSet& d : DataSetList) {
        d.VariableList_Add = static_cast<std::uint32_t>(address);
        address += kMemberEntrySize * d.VariableList.size();
    }
    // The texts were gathered in layout order, section by section, so each address is the section's
    // start plus the text's offset in it.
    const std::uint64_t variableTexts = address;
    const std::uint64_t dataSetTexts = variableTexts + variableStrings.size();
    const std::uint64_t memberTexts = dataSetTexts + dataSetStrings.size();
    auto at = [](std::uint64_t section, const ImageString& text) {
        return static_cast<std::uint32_t>(section + text.offset);
    };
    for (TIEC61850_Variable& v : VariableList) {
        v.bType_Add = at(variableTexts, v.bType);
        v.hostname_Add = at(variableTexts, v.hostname);
        v.reference_Add = at(variableTexts, v.reference);
    }
    for (TDataSet& d : DataSetList) {
        d.goose_name_Add = at(dataSetTexts, d.goose_name);
        d.reference_Add = at(dataSetTexts, d.reference);
        d.hostname_Add = at(dataSetTexts, d.hostname);
        for (TIEC61850_Variable_DS& m : d.VariableList) {
            m.bType_Add = at(memberTexts, m.bType);
            m.reference_Add = at(memberTexts, m.reference);
        }
    }
    m_imageSize = memberTexts + memberStrings.size() - imageBase;
}

std::size_t TIEC61850_Client::Write_Variable_Image(std::size_t position, std::vector<std::uint8_t>& buffer,
                                                   std::size_t limit) const {
    if (m_imageSize > limit) {
        throw ConfigError("The variable image would take " + std::to_string(m_imageSize) + " bytes, " +
                          std::to_string(m_imageSize - limit) + " more than its limit of " +
                          std::to_string(limit) + " bytes: shorten the access list. No image was written.");
    }
    const auto size = static_cast<std::size_t>(m_imageSize);
    if (buffer.size() < position + size) {
        buffer.resize(position + size);
    }
    ImageWriter out(buffer.data() + position);

    out.u32(static_cast<std::uint32_t>(VariableList.size()));
    out.u32(static_cast<std::uint32_t>(DataSetList.size()));
    out.u32(static_cast<std::uint32_t>(vLan));
    out.u32(static_cast<std::uint32_t>(appID));
    out.u32(Variable_Add);
    out.u32(DataSet_Add);

    for (const TIEC61850_Variable& v : VariableList) {
        out.u8(v.fc[0]);
        out.u8(v.fc[1]);
        out.u8(v.rw);
        out.u8(v.bit_address);
        out.u8(v.options);
        out.u8(v.conversion);
        out.zeros(2);
        out.u16(v.position);
        out.u16(v.tcpPort);
        out.u32(v.time);
        out.f32(v.moltFactor);
        out.u32(v.bType_Add);
        out.u32(v.hostname_Add);
        out.u32(v.reference_Add);
    }
    for (const TDataSet& d : DataSetList) {
        out.u8(static_cast<std::uint8_t>(d.VariableList.size()));
        out.u8(d.options);
        out.u16(d.tcpPort);
        out.u8(d.enGoose);
        out.zeros(3);
        out.u32(d.time);
        out.u32(d.goose_name_Add);
        out.u32(d.reference_Add);
        out.u32(d.hostname_Add);
        out.u32(d.VariableList_Add);
    }
    for (const TDataSet& d : DataSetList) {
        for (const TIEC61850_Variable_DS& m : d.VariableList) {
            out.u16(m.position);
            out.u8(m.bitAddress);
            out.u8(m.conversion);
            out.f32(m.moltFactor);
            out.u32(m.bType_Add);
            out.u32(m.reference_Add);
        }
    }
    out.bytes(variableStrings);
    out.bytes(dataSetStrings);
    out.bytes(memberStrings);
    if (out.at() != buffer.data() + position + size) {
        throw std::logic_error("The variable image does not match its own layout");
    }
    return position + size;
}

} // namespace sw::image
