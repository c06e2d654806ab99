#include "core/image/iec61850_client.h"
#include "core/common/atomic_file.h"

#include "core/common/config_error.h"
#include "core/common/numbers.h"
#include "core/common/xml_stream.h"
#include "core/image/image_text.h"
#include "core/image/little_endian.h"
#include "core/internal/xml.h"

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <stdexcept>
#include <string_view>
#include <utility>

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

// Where an attribute's value goes: a slot of the reader's table, or nowhere for the ones the image does
// not hold.
struct Field {
    std::string_view name;
    int slot; // -1: not read
};

// Names of the access file are short: comparing them as one or two machine words, on the length
// already known to be equal, costs less than a library call per attribute.
inline bool sameName(std::string_view a, std::string_view b) {
    const std::size_t n = a.size();
    if (n != b.size()) {
        return false;
    }
    if (n >= 8 && n <= 16) {
        std::uint64_t x[2];
        std::uint64_t y[2];
        std::memcpy(&x[0], a.data(), 8);
        std::memcpy(&x[1], a.data() + n - 8, 8);
        std::memcpy(&y[0], b.data(), 8);
        std::memcpy(&y[1], b.data() + n - 8, 8);
        return ((x[0] ^ y[0]) | (x[1] ^ y[1])) == 0;
    }
    if (n >= 4 && n < 8) {
        std::uint32_t x[2];
        std::uint32_t y[2];
        std::memcpy(&x[0], a.data(), 4);
        std::memcpy(&x[1], a.data() + n - 4, 4);
        std::memcpy(&y[0], b.data(), 4);
        std::memcpy(&y[1], b.data() + n - 4, 4);
        return ((x[0] ^ y[0]) | (x[1] ^ y[1])) == 0;
    }
    return a == b;
}

// The attributes of one element, found in a single pass over them: an access list of tens of thousands
// of items must cost little more than parsing it. `Order` lists every attribute in the order the access
// editor writes them, so in its files each name is compared once, with the one expected next; other
// orders and unknown names fall back to a search. The first of equal names wins.
template <std::size_t N, const auto& Order> class Attributes {
public:
    static constexpr std::size_t W = Order.size();

    explicit Attributes(std::span<const xml::StreamAttribute> attributes) {
        if (attributes.size() == W && inOrder(attributes, std::make_index_sequence<W>())) {
            return;
        }
        std::size_t next = 0;
        for (const xml::StreamAttribute& a : attributes) {
            std::size_t at = next;
            if (at >= W || !sameName(a.name, Order[at].name)) {
                at = 0;
                while (at < W && !sameName(a.name, Order[at].name)) {
                    ++at;
                }
                if (at == W) {
                    continue;
                }
            }
            next = at + 1;
            const int slot = Order[at].slot;
            if (slot >= 0 && m_values[static_cast<std::size_t>(slot)] == nullptr) {
                m_values[static_cast<std::size_t>(slot)] = &a;
            }
        }
    }

    // The bound keeps each instantiation's body its own; g++ otherwise merges them and warns falsely.
    bool present(std::size_t i) const { return i < N && m_values[i] != nullptr; }
    // Against a literal, on the known length: no library call, no read past the value.
    template <std::size_t L> bool equals(std::size_t i, const char (&text)[L]) const {
        return present(i) && m_values[i]->size == L - 1 && std::memcmp(m_values[i]->value, text, L - 1) == 0;
    }
    std::string_view name(std::size_t i) const {
        for (const Field& field : Order) {
            if (field.slot == static_cast<int>(i)) {
                return field.name;
            }
        }
        return "";
    }
    // Zero-terminated, inside the read document.
    const char* value(std::size_t i) const { return m_values[i]->value; }
    std::size_t size(std::size_t i) const { return m_values[i]->size; }

private:
    // The access editor's own form: every attribute once, in the expected order. Each name is then
    // compared on a length known when compiling, without a search.
    template <std::size_t... I>
    bool inOrder(std::span<const xml::StreamAttribute> attributes, std::index_sequence<I...>) {
        if (!(isName<I>(attributes[I].name) && ...)) {
            return false;
        }
        (take<I>(attributes[I]), ...);
        return true;
    }
    template <std::size_t I> static bool isName(std::string_view name) {
        constexpr std::string_view expected = Order[I].name;
        return name.size() == expected.size() &&
               sameName(std::string_view(name.data(), expected.size()), expected);
    }
    template <std::size_t I> void take(const xml::StreamAttribute& a) {
        if constexpr (Order[I].slot >= 0) {
            m_values[static_cast<std::size_t>(Order[I].slot)] = &a;
        }
    }

    std::array<const xml::StreamAttribute*, N> m_values{};
};

class AccessReader {
public:
    AccessReader(const std::filesystem::path& file, char decimalSeparator)
        : m_file(file), m_decimalSeparator(decimalSeparator) {}

    ConfigError error(const std::string& what) const {
        return ConfigError("The access file \"" + m_file.string() +
                           "\" cannot be built into the device image: " + what + ". No image was written.");
    }
    [[noreturn]] void fail(const std::string& what) const { throw error(what); }

    // The attributes the image cannot do without; checked in the order they are read.
    template <class A>
    void require(const A& a, std::initializer_list<std::size_t> needed, const Location& where) const {
        for (std::size_t i : needed) {
            if (!a.present(i)) {
                fail(where.describe() + " lacks the attribute \"" + std::string(a.name(i)) + "\"");
            }
        }
    }

    // A text of the attribute in image form; one the device cannot store stops the build at its row.
    template <class A>
    ImageString text(TextArea& strings, const A& a, std::size_t i, const Location& where) const {
        try {
            return strings.append(a.value(i), a.size(i));
        } catch (const ConfigError& fault) {
            fail("the attribute \"" + std::string(a.name(i)) + "\" in " + where.describe() + " " +
                 fault.what());
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

using ElementAttributes = std::span<const xml::StreamAttribute>;

// Fills `v`, a fresh entry of the list: the record is built where it stays.
void readVariable(const AccessReader& reader, ElementAttributes item, const Location& where,
                  TextArea& strings, TIEC61850_Variable& v) {
    const Attributes<VarCount, kVariableAttributes> a(item);
    reader.require(a,
                   {VarBType, VarFc, VarReference, VarIPAddress, VarPort, VarTime, VarPosition, VarStartBit,
                    VarMoltFact},
                   where);
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
    v.bType = reader.text(strings, a, VarBType, where);
    v.hostname = reader.text(strings, a, VarIPAddress, where);
    v.reference = reader.text(strings, a, VarReference, where);
}

void readMember(const AccessReader& reader, ElementAttributes item, const Location& where, TextArea& strings,
                TIEC61850_Variable_DS& m) {
    const Attributes<MemCount, kMemberAttributes> a(item);
    reader.require(a, {MemBType, MemReference, MemPosition, MemStartBit, MemMoltFact}, where);
    m.position = static_cast<std::uint16_t>(AccessReader::integer(a.value(MemPosition), 0));
    m.bitAddress = static_cast<std::uint8_t>(AccessReader::integer(a.value(MemStartBit), 0));
    m.conversion = a.equals(MemConvertion, "ItoF/FtoI") ? 1 : 0;
    m.moltFactor = reader.factor(a.value(MemMoltFact));
    m.bType = reader.text(strings, a, MemBType, where);
    m.reference = reader.text(strings, a, MemReference, where);
}

// The data set's own attributes and texts; its members follow as the item's children.
TDataSet readDataSet(const AccessReader& reader, ElementAttributes item, const Location& where,
                     TextArea& strings) {
    const Attributes<SetCount, kDataSetAttributes> a(item);
    reader.require(a, {SetPort, SetTime, SetGooseName, SetReference, SetIPAddress}, where);
    TDataSet d;
    d.options = kDataSetOptions;
    d.tcpPort = static_cast<std::uint16_t>(AccessReader::integer(a.value(SetPort), 0));
    d.enGoose = a.equals(SetEnGoose, "Y") ? 1 : 0;
    d.time = static_cast<std::uint32_t>(
        AccessReader::integer(a.value(SetTime), static_cast<std::int32_t>(kDefaultTime)));
    d.goose_name = reader.text(strings, a, SetGooseName, where);
    d.reference = reader.text(strings, a, SetReference, where);
    d.hostname = reader.text(strings, a, SetIPAddress, where);
    return d;
}

// The access file's structure, fed element by element in document order, from the streaming scanner
// or from a parsed tree. Each element is matched as the tree reader would: the first root named
// IEC_68850_Client, its first List_DA_Selected and List_DataSet_Selected, each data set's first
// DataSet_List_DAs; comments, text and other elements count for nothing. What is wrong is kept, the
// first of each list, and reported at the end in the order a reader going list by list would meet it,
// so that the order of the lists in the file does not change the message.
class AccessListBuilder final : public xml::StreamHandler {
public:
    // Starts the client's lists afresh: what a stream gathered before it gave way is dropped.
    AccessListBuilder(const AccessReader& reader, TIEC61850_Client& client)
        : m_reader(reader), m_client(client) {
        client.VariableList.clear();
        client.DataSetList.clear();
        client.variableStrings.clear();
        client.dataSetStrings.clear();
        client.memberStrings.clear();
    }

    bool startElement(std::string_view name, ElementAttributes attributes) override {
        Level next = Level::Skipped;
        switch (m_levels.empty() ? Level::Document : m_levels.back()) {
        case Level::Document:
            next = take(m_rootSeen, name == "IEC_68850_Client", Level::Root);
            break;
        case Level::Root:
            next = take(m_variablesSeen, name == "List_DA_Selected", Level::Variables);
            if (next == Level::Skipped) {
                next = take(m_dataSetsSeen, name == "List_DataSet_Selected", Level::DataSets);
            }
            break;
        case Level::Variables:
            variable(attributes);
            break;
        case Level::DataSets:
            next = dataSet(attributes);
            break;
        case Level::DataSet:
            next = take(m_membersSeen, name == "DataSet_List_DAs", Level::Members);
            break;
        case Level::Members:
            member(attributes);
            break;
        case Level::Skipped:
            break;
        }
        m_levels.push_back(next);
        return next != Level::Skipped;
    }

    void endElement() override {
        const Level level = m_levels.back();
        m_levels.pop_back();
        if (level == Level::DataSet) {
            finishDataSet();
        }
    }

    // Throws the first fault; the lists are complete otherwise.
    void finish() const {
        if (!m_rootSeen) {
            m_reader.fail("it has no root element \"IEC_68850_Client\"");
        }
        if (!m_variablesSeen) {
            m_reader.fail("its root has no element \"List_DA_Selected\"");
        }
        if (m_variableFault) {
            throw *m_variableFault;
        }
        if (m_dataSetFault) {
            throw *m_dataSetFault;
        }
    }

private:
    enum class Level { Document, Root, Variables, DataSets, DataSet, Members, Skipped };

    static Level take(bool& seen, bool matches, Level level) {
        if (!matches || seen) {
            return Level::Skipped;
        }
        seen = true;
        return level;
    }

    void variable(ElementAttributes attributes) {
        const std::size_t row = m_variableRows++;
        if (m_variableFault) {
            return;
        }
        std::vector<TIEC61850_Variable>& list = m_client.VariableList;
        try {
            readVariable(m_reader, attributes, {"List_DA_Selected", row}, m_client.variableStrings,
                         list.emplace_back());
        } catch (const ConfigError& fault) {
            list.pop_back();
            m_variableFault = fault;
        }
    }

    Level dataSet(ElementAttributes attributes) {
        const std::size_t row = m_dataSetRows++;
        if (m_dataSetFault) {
            return Level::Skipped;
        }
        try {
            m_client.DataSetList.push_back(
                readDataSet(m_reader, attributes, {"List_DataSet_Selected", row}, m_client.dataSetStrings));
        } catch (const ConfigError& fault) {
            m_dataSetFault = fault;
            return Level::Skipped;
        }
        m_membersSeen = false;
        return Level::DataSet;
    }

    void member(ElementAttributes attributes) {
        TDataSet& d = m_client.DataSetList.back();
        const Location where{"List_DataSet_Selected", m_dataSetRows - 1, d.VariableList.size() + 1};
        if (m_dataSetFault) {
            return;
        }
        try {
            readMember(m_reader, attributes, where, m_client.memberStrings, d.VariableList.emplace_back());
        } catch (const ConfigError& fault) {
            d.VariableList.pop_back();
            m_dataSetFault = fault;
        }
    }

    void finishDataSet() {
        if (m_dataSetFault) {
            return;
        }
        const Location where{"List_DataSet_Selected", m_dataSetRows - 1};
        if (!m_membersSeen) {
            m_dataSetFault = m_reader.error("the data set in " + where.describe() +
                                            " has no element \"DataSet_List_DAs\"");
            return;
        }
        TDataSet& d = m_client.DataSetList.back();
        const std::size_t count = d.VariableList.size();
        if (count > kMaxDataSetMembers) {
            m_dataSetFault =
                m_reader.error("the data set in " + where.describe() + " has " + std::to_string(count) +
                               " members, " + std::to_string(count - kMaxDataSetMembers) + " more than the " +
                               std::to_string(kMaxDataSetMembers) + " a data set can hold");
            return;
        }
        d.nVariable = static_cast<std::uint8_t>(count);
    }

    const AccessReader& m_reader;
    TIEC61850_Client& m_client;
    std::vector<Level> m_levels;
    bool m_rootSeen = false;
    bool m_variablesSeen = false;
    bool m_dataSetsSeen = false;
    bool m_membersSeen = false;
    std::size_t m_variableRows = 0;
    std::size_t m_dataSetRows = 0;
    std::optional<ConfigError> m_variableFault;
    std::optional<ConfigError> m_dataSetFault;
};

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
                                        char decimalSeparator, AccessReading reading) {
    std::error_code error;
    const bool present = std::filesystem::exists(accessFile, error);
    if (error) {
        throw ConfigError("Cannot read the file \"" + accessFile.string() + "\": " + error.message());
    }
    m_streamed = false;
    if (present) {
        const AccessReader reader(accessFile, decimalSeparator);
        // The access editor's files are read straight from their bytes; anything else, a malformed
        // file included, goes through the full parser, which also words every parse error.
        if (reading == AccessReading::Fastest) {
            AccessListBuilder builder(reader, *this);
            m_streamed = xml::streamFile(accessFile, builder);
            if (m_streamed) {
                builder.finish();
            }
        }
        if (!m_streamed) {
            // Only elements and their attributes are read, so the file is parsed in place without its
            // comments: a big access list is held once.
            pugi::xml_document document;
            xml::loadFileFast(document, accessFile, limits::kAccessFile);
            AccessListBuilder builder(reader, *this);
            xml::streamTree(document, builder);
            builder.finish();
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
