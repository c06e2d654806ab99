#include "image/iec61850_client.h"

#include "common/config_error.h"
#include "common/numbers.h"
#include "common/xml.h"
#include "image/image_text.h"
#include "image/little_endian.h"

#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace sw::image {

namespace {

constexpr std::uint32_t kDefaultTime = 1000;
constexpr float kDefaultFactor = 1.0F;

// The attributes of one element, found in a single pass over them (the access file's items carry up
// to sixteen, and a big list holds tens of thousands of items). The first of equal names wins.
template <std::size_t N> class Attributes {
public:
    Attributes(pugi::xml_node element, const std::array<std::string_view, N>& names) {
        for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
            const std::string_view name = a.name();
            for (std::size_t i = 0; i < N; ++i) {
                if (!m_values[i] && names[i] == name) {
                    m_values[i] = std::string_view(a.value());
                    break;
                }
            }
        }
    }
    const std::optional<std::string_view>& operator[](std::size_t i) const { return m_values[i]; }

private:
    std::array<std::optional<std::string_view>, N> m_values{};
};

class AccessReader {
public:
    AccessReader(const std::filesystem::path& file, char decimalSeparator)
        : m_file(file), m_decimalSeparator(decimalSeparator) {}

    [[noreturn]] void fail(const std::string& what) const {
        throw ConfigError("The access file \"" + m_file.string() +
                          "\" cannot be built into the device image: " + what + ". No image was written.");
    }

    std::string_view required(const std::optional<std::string_view>& value, std::string_view name,
                              const std::string& where) const {
        if (!value) {
            fail(where + " lacks the attribute \"" + std::string(name) + "\"");
        }
        return *value;
    }

    static std::int32_t integer(std::string_view text, std::int32_t fallback) {
        return parseInteger(text).value_or(fallback);
    }

    float factor(std::string_view text) const {
        const auto value = parseFloat(text, m_decimalSeparator);
        if (!value || std::fabs(*value) > static_cast<double>(std::numeric_limits<float>::max())) {
            return kDefaultFactor;
        }
        return static_cast<float>(*value);
    }

private:
    const std::filesystem::path& m_file;
    char m_decimalSeparator;
};

bool equals(const std::optional<std::string_view>& value, std::string_view text) {
    return value && *value == text;
}

std::size_t elementCount(pugi::xml_node parent) {
    std::size_t count = 0;
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element) {
            ++count;
        }
    }
    return count;
}

// Comments and whitespace between items are not items: an indented file reads like a raw one.
template <typename Visit> void forEachElement(pugi::xml_node parent, Visit visit) {
    std::size_t index = 0;
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element) {
            visit(child, index++);
        }
    }
}

std::string rowOf(std::string_view list, std::size_t index) {
    return "row " + std::to_string(index + 1) + " of " + std::string(list);
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
constexpr std::array<std::string_view, VarCount> kVariableAttributes = {
    "bType",   "fc",   "Reference", "IPAddress", "Port",      "OnChange",   "OnCMD",
    "OnTimer", "Time", "Position",  "StartBit",  "ReadWrite", "Convertion", "MoltFact"};

enum DataSetAttribute { SetPort, SetEnGoose, SetTime, SetGooseName, SetReference, SetIPAddress, SetCount };
constexpr std::array<std::string_view, SetCount> kDataSetAttributes = {"Port",      "EnGoose",   "Time",
                                                                       "GooseName", "Reference", "IPAddress"};

enum MemberAttribute {
    MemBType,
    MemReference,
    MemPosition,
    MemStartBit,
    MemConvertion,
    MemMoltFact,
    MemCount
};
constexpr std::array<std::string_view, MemCount> kMemberAttributes = {"bType",    "Reference",  "Position",
                                                                      "StartBit", "Convertion", "MoltFact"};

TIEC61850_Variable readVariable(const AccessReader& reader, pugi::xml_node item, std::size_t index) {
    const Attributes a(item, kVariableAttributes);
    const std::string where = rowOf("List_DA_Selected", index);
    TIEC61850_Variable v;
    v.bType = toUtf16(reader.required(a[VarBType], "bType", where));
    const std::u16string fc = toUtf16(reader.required(a[VarFc], "fc", where));
    if (fc.empty()) {
        reader.fail(where + " has an empty attribute \"fc\"");
    }
    v.fc[0] = static_cast<std::uint8_t>(fc[0]);
    v.fc[1] = fc.size() > 1 ? static_cast<std::uint8_t>(fc[1]) : 0;
    v.reference = toUtf16(reader.required(a[VarReference], "Reference", where));
    v.hostname = toUtf16(reader.required(a[VarIPAddress], "IPAddress", where));
    v.tcpPort =
        static_cast<std::uint16_t>(AccessReader::integer(reader.required(a[VarPort], "Port", where), 0));
    v.options = 0;
    if (equals(a[VarOnChange], "Y")) {
        v.options |= 0x01;
    }
    if (equals(a[VarOnCMD], "Y")) {
        v.options |= 0x02;
    }
    if (equals(a[VarOnTimer], "Y")) {
        v.options |= 0x04;
    }
    v.time = static_cast<std::uint32_t>(AccessReader::integer(reader.required(a[VarTime], "Time", where),
                                                              static_cast<std::int32_t>(kDefaultTime)));
    v.position = static_cast<std::uint16_t>(
        AccessReader::integer(reader.required(a[VarPosition], "Position", where), 0));
    v.bit_address = static_cast<std::uint8_t>(
        AccessReader::integer(reader.required(a[VarStartBit], "StartBit", where), 0));
    v.rw = equals(a[VarReadWrite], "Read") ? 0 : 1;
    v.conversion = equals(a[VarConvertion], "ItoF/FtoI") ? 1 : 0;
    v.moltFactor = reader.factor(reader.required(a[VarMoltFact], "MoltFact", where));
    return v;
}

TIEC61850_Variable_DS readMember(const AccessReader& reader, pugi::xml_node item, const std::string& where) {
    const Attributes a(item, kMemberAttributes);
    TIEC61850_Variable_DS m;
    m.bType = toUtf16(reader.required(a[MemBType], "bType", where));
    m.reference = toUtf16(reader.required(a[MemReference], "Reference", where));
    m.position = static_cast<std::uint16_t>(
        AccessReader::integer(reader.required(a[MemPosition], "Position", where), 0));
    m.bitAddress = static_cast<std::uint8_t>(
        AccessReader::integer(reader.required(a[MemStartBit], "StartBit", where), 0));
    m.conversion = equals(a[MemConvertion], "ItoF/FtoI") ? 1 : 0;
    m.moltFactor = reader.factor(reader.required(a[MemMoltFact], "MoltFact", where));
    return m;
}

TDataSet readDataSet(const AccessReader& reader, pugi::xml_node item, std::size_t index) {
    const Attributes a(item, kDataSetAttributes);
    const std::string where = rowOf("List_DataSet_Selected", index);
    TDataSet d;
    d.options = kDataSetOptions;
    d.tcpPort =
        static_cast<std::uint16_t>(AccessReader::integer(reader.required(a[SetPort], "Port", where), 0));
    d.enGoose = equals(a[SetEnGoose], "Y") ? 1 : 0;
    d.time = static_cast<std::uint32_t>(AccessReader::integer(reader.required(a[SetTime], "Time", where),
                                                              static_cast<std::int32_t>(kDefaultTime)));
    d.goose_name = toUtf16(reader.required(a[SetGooseName], "GooseName", where));
    d.reference = toUtf16(reader.required(a[SetReference], "Reference", where));
    d.hostname = toUtf16(reader.required(a[SetIPAddress], "IPAddress", where));

    const pugi::xml_node members = xml::findChild(item, "DataSet_List_DAs");
    if (!members) {
        reader.fail("the data set in " + where + " has no element \"DataSet_List_DAs\"");
    }
    const std::size_t count = elementCount(members);
    if (count > kMaxDataSetMembers) {
        reader.fail("the data set in " + where + " has " + std::to_string(count) + " members, " +
                    std::to_string(count - kMaxDataSetMembers) + " more than the " +
                    std::to_string(kMaxDataSetMembers) + " a data set can hold");
    }
    d.nVariable = static_cast<std::uint8_t>(count);
    d.VariableList.reserve(count);
    forEachElement(members, [&](pugi::xml_node member, std::size_t k) {
        d.VariableList.push_back(
            readMember(reader, member, "member " + std::to_string(k + 1) + " of the data set in " + where));
    });
    return d;
}

class ImageWriter {
public:
    ImageWriter(std::uint8_t* at) : m_at(at) {}

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
        for (std::size_t i = 0; i < count; ++i) {
            *m_at++ = 0;
        }
    }
    void text(const std::u16string& value) {
        for (char16_t unit : value) {
            *m_at++ = static_cast<std::uint8_t>(unit & 0xFF);
        }
        *m_at++ = 0;
    }
    const std::uint8_t* at() const { return m_at; }

private:
    std::uint8_t* m_at;
};

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
    m_imageSize = kHeaderSize;
}

void TIEC61850_Client::Load_Access_List(const std::filesystem::path& accessFile, std::uint32_t imageBase,
                                        char decimalSeparator) {
    std::error_code error;
    if (std::filesystem::exists(accessFile, error)) {
        pugi::xml_document document;
        xml::loadFile(document, accessFile);
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
        VariableList.reserve(elementCount(variables));
        forEachElement(variables, [&](pugi::xml_node item, std::size_t i) {
            VariableList.push_back(readVariable(reader, item, i));
        });

        DataSetList.clear();
        if (const pugi::xml_node dataSets = xml::findChild(root, "List_DataSet_Selected")) {
            DataSetList.reserve(elementCount(dataSets));
            forEachElement(dataSets, [&](pugi::xml_node item, std::size_t i) {
                DataSetList.push_back(readDataSet(reader, item, i));
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
    auto place = [&address](std::uint32_t& field, std::uint64_t size) {
        field = static_cast<std::uint32_t>(address);
        address += size;
    };
    auto placeText = [&place](std::uint32_t& field, const std::u16string& text) {
        place(field, text.size() + 1);
    };

    place(Variable_Add, kVariableEntrySize * VariableList.size());
    place(DataSet_Add, kDataSetEntrySize * DataSetList.size());
    for (TDataSet& d : DataSetList) {
        place(d.VariableList_Add, kMemberEntrySize * d.VariableList.size());
    }
    for (TIEC61850_Variable& v : VariableList) {
        placeText(v.bType_Add, v.bType);
        placeText(v.hostname_Add, v.hostname);
        placeText(v.reference_Add, v.reference);
    }
    for (TDataSet& d : DataSetList) {
        placeText(d.goose_name_Add, d.goose_name);
        placeText(d.reference_Add, d.reference);
        placeText(d.hostname_Add, d.hostname);
    }
    for (TDataSet& d : DataSetList) {
        for (TIEC61850_Variable_DS& m : d.VariableList) {
            placeText(m.bType_Add, m.bType);
            placeText(m.reference_Add, m.reference);
        }
    }
    m_imageSize = address - imageBase;
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
    for (const TIEC61850_Variable& v : VariableList) {
        out.text(v.bType);
        out.text(v.hostname);
        out.text(v.reference);
    }
    for (const TDataSet& d : DataSetList) {
        out.text(d.goose_name);
        out.text(d.reference);
        out.text(d.hostname);
    }
    for (const TDataSet& d : DataSetList) {
        for (const TIEC61850_Variable_DS& m : d.VariableList) {
            out.text(m.bType);
            out.text(m.reference);
        }
    }
    if (out.at() != buffer.data() + position + size) {
        throw std::logic_error("The variable image does not match its own layout");
    }
    return position + size;
}

} // namespace sw::image
