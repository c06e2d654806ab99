#include "core/image/variable_image.h"

#include "core/common/config_error.h"
#include "core/common/numbers.h"
#include "core/common/path_text.h"
#include "core/common/utf8.h"
#include "core/image/little_endian.h"

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

using access::DataSetColumn;
using access::MemberColumn;
using access::VariableColumn;

// Where a row is, put into words only when something is wrong with it.
struct Where {
    std::string_view list;
    std::size_t row;        // from 1
    std::size_t member = 0; // from 1; 0 for the row itself

    std::string describe() const { return access::describeRow(list, row, member); }
};

// Turns the access file's texts into the image's typed values, stopping at the first thing the image
// cannot take with a message naming the file, the row and the attribute.
class ImageValues {
public:
    ImageValues(const std::filesystem::path& file, char decimalSeparator)
        : m_file(file), m_decimalSeparator(decimalSeparator) {}

    ConfigError error(const std::string& what) const {
        return ConfigError(ErrorCode::AccessFileNotBuildable, {utf8Of(m_file), what});
    }
    [[noreturn]] void fail(const std::string& what) const { throw error(what); }

    // The attributes the image cannot do without; checked in this order.
    template <std::size_t N>
    void require(const access::RowView<N>& row, const std::array<std::string_view, N>& names,
                 std::initializer_list<std::size_t> needed, const Where& where) const {
        for (std::size_t column : needed) {
            if (!row.has(column)) {
                fail(where.describe() + " lacks the attribute \"" + std::string(names[column]) + "\"");
            }
        }
    }

    // A text in image form; one the device cannot store stops the build at its row.
    template <std::size_t N>
    ImageString text(TextArea& strings, const access::RowView<N>& row,
                     const std::array<std::string_view, N>& names, std::size_t column,
                     const Where& where) const {
        try {
            return strings.append(row[column].data(), row[column].size());
        } catch (const ConfigError& fault) {
            fail("the attribute \"" + std::string(names[column]) + "\" in " + where.describe() + " " +
                 fault.what());
        }
    }

    // The reader's views end with a terminating zero.
    static std::int32_t integer(std::string_view text, std::int32_t fallback) {
        return parseTerminatedInteger(text.data()).value_or(fallback);
    }

    float factor(std::string_view text) const {
        const auto value = parseTerminatedFloat(text.data(), m_decimalSeparator);
        if (!value || std::fabs(*value) > static_cast<double>(std::numeric_limits<float>::max())) {
            return kDefaultFactor;
        }
        return static_cast<float>(*value);
    }

private:
    const std::filesystem::path& m_file;
    char m_decimalSeparator;
};

// Fills `v`, a fresh entry of the list: the record is built where it stays.
void takeVariable(const ImageValues& values, const access::RowView<VariableColumn::Count>& a, std::size_t row,
                  TextArea& strings, VariableRecord& v) {
    using C = VariableColumn;
    const auto& names = access::kVariableAttributes;
    const Where where{access::kVariableList, row};
    values.require(a, names,
                   {C::bType, C::fc, C::Reference, C::IPAddress, C::Port, C::Time, C::Position, C::StartBit,
                    C::MoltFact},
                   where);
    const std::string_view fcText = a[C::fc];
    if (fcText.empty()) {
        values.fail(where.describe() + " has an empty attribute \"fc\"");
    }
    if (static_cast<unsigned char>(fcText.data()[0]) < 0x80 &&
        static_cast<unsigned char>(fcText.data()[1]) < 0x80) {
        // Also when the text has one character: the second byte is then its terminating zero.
        v.fc[0] = static_cast<std::uint8_t>(fcText.data()[0]);
        v.fc[1] = static_cast<std::uint8_t>(fcText.data()[1]);
    } else {
        const std::u16string fc = utf8::toUtf16(fcText);
        v.fc[0] = static_cast<std::uint8_t>(fc[0]);
        v.fc[1] = fc.size() > 1 ? static_cast<std::uint8_t>(fc[1]) : 0;
    }
    v.tcpPort = static_cast<std::uint16_t>(ImageValues::integer(a[C::Port], 0));
    v.options = 0;
    if (a[C::OnChange] == "Y") {
        v.options |= 0x01;
    }
    if (a[C::OnCMD] == "Y") {
        v.options |= 0x02;
    }
    if (a[C::OnTimer] == "Y") {
        v.options |= 0x04;
    }
    v.time =
        static_cast<std::uint32_t>(ImageValues::integer(a[C::Time], static_cast<std::int32_t>(kDefaultTime)));
    v.position = static_cast<std::uint16_t>(ImageValues::integer(a[C::Position], 0));
    v.bit_address = static_cast<std::uint8_t>(ImageValues::integer(a[C::StartBit], 0));
    v.rw = a[C::ReadWrite] == "Read" ? 0 : 1;
    v.conversion = a[C::Convertion] == "ItoF/FtoI" ? 1 : 0;
    v.moltFactor = values.factor(a[C::MoltFact]);
    // In the order the image lays them out.
    v.bType = values.text(strings, a, names, C::bType, where);
    v.hostname = values.text(strings, a, names, C::IPAddress, where);
    v.reference = values.text(strings, a, names, C::Reference, where);
}

void takeMember(const ImageValues& values, const access::RowView<MemberColumn::Count>& a, std::size_t row,
                std::size_t member, TextArea& strings, MemberRecord& m) {
    using C = MemberColumn;
    const auto& names = access::kMemberAttributes;
    const Where where{access::kDataSetList, row, member};
    values.require(a, names, {C::bType, C::Reference, C::Position, C::StartBit, C::MoltFact}, where);
    m.position = static_cast<std::uint16_t>(ImageValues::integer(a[C::Position], 0));
    m.bitAddress = static_cast<std::uint8_t>(ImageValues::integer(a[C::StartBit], 0));
    m.conversion = a[C::Convertion] == "ItoF/FtoI" ? 1 : 0;
    m.moltFactor = values.factor(a[C::MoltFact]);
    m.bType = values.text(strings, a, names, C::bType, where);
    m.reference = values.text(strings, a, names, C::Reference, where);
}

// The data set's own values and texts; its members follow one by one.
void takeDataSet(const ImageValues& values, const access::RowView<DataSetColumn::Count>& a, std::size_t row,
                 bool hasMemberList, std::size_t memberCount, TextArea& strings, DataSetRecord& d) {
    using C = DataSetColumn;
    const auto& names = access::kDataSetAttributes;
    const Where where{access::kDataSetList, row};
    values.require(a, names, {C::Port, C::Time, C::GooseName, C::Reference, C::IPAddress}, where);
    d.options = kDataSetOptions;
    d.tcpPort = static_cast<std::uint16_t>(ImageValues::integer(a[C::Port], 0));
    d.enGoose = a[C::EnGoose] == "Y" ? 1 : 0;
    d.time =
        static_cast<std::uint32_t>(ImageValues::integer(a[C::Time], static_cast<std::int32_t>(kDefaultTime)));
    d.goose_name = values.text(strings, a, names, C::GooseName, where);
    d.reference = values.text(strings, a, names, C::Reference, where);
    d.hostname = values.text(strings, a, names, C::IPAddress, where);
    if (!hasMemberList) {
        values.fail("the data set in " + where.describe() + " has no element \"" +
                    std::string(access::kMemberList) + "\"");
    }
    if (memberCount > kMaxDataSetMembers) {
        values.fail("the data set in " + where.describe() + " has " + std::to_string(memberCount) +
                    " members, " + std::to_string(memberCount - kMaxDataSetMembers) + " more than the " +
                    std::to_string(kMaxDataSetMembers) + " a data set can hold");
    }
    d.VariableList.reserve(memberCount);
    d.nVariable = static_cast<std::uint8_t>(memberCount);
}

// Builds the client's lists while the access file is read, so that its texts are never copied.
class ImageIntake final : public access::AccessFileVisitor {
public:
    ImageIntake(VariableImage& client, const ImageValues& values) : m_client(client), m_values(values) {}

    void outline(const access::AccessFileOutline& outline) override {
        if (!outline.hasRoot) {
            m_values.fail("it has no root element \"" + std::string(access::kRootElement) + "\"");
        }
        if (!outline.hasVariableList) {
            m_values.fail("its root has no element \"" + std::string(access::kVariableList) + "\"");
        }
        m_client.VariableList.reserve(outline.variableCount);
        m_client.DataSetList.reserve(outline.dataSetCount);
    }
    void catalogItem(const access::RowView<access::CatalogColumn::Count>&, std::size_t) override {}
    void variable(const access::RowView<VariableColumn::Count>& item, std::size_t row) override {
        takeVariable(m_values, item, row, m_client.variableStrings, m_client.VariableList.emplace_back());
    }
    void dataSet(const access::RowView<DataSetColumn::Count>& item, std::size_t row, bool hasMemberList,
                 std::size_t memberCount) override {
        takeDataSet(m_values, item, row, hasMemberList, memberCount, m_client.dataSetStrings,
                    m_client.DataSetList.emplace_back());
    }
    void member(const access::RowView<MemberColumn::Count>& item, std::size_t row,
                std::size_t member) override {
        takeMember(m_values, item, row, member, m_client.memberStrings,
                   m_client.DataSetList.back().VariableList.emplace_back());
    }

private:
    VariableImage& m_client;
    const ImageValues& m_values;
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

void VariableImage::clear() {
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

void VariableImage::loadAccessList(const std::filesystem::path& accessFile, std::uint32_t imageBase,
                                   char decimalSeparator) {
    std::error_code error;
    const bool present = std::filesystem::exists(accessFile, error);
    if (error) {
        throw ConfigError("Cannot read the file \"" + utf8Of(accessFile) + "\": " + error.message());
    }
    VariableList.clear();
    DataSetList.clear();
    variableStrings.clear();
    dataSetStrings.clear();
    memberStrings.clear();
    if (!present) {
        layOut(imageBase);
        return;
    }
    const ImageValues values(accessFile, decimalSeparator);
    ImageIntake intake(*this, values);
    access::visitAccessFile(accessFile, intake);
    nVariable = static_cast<std::int32_t>(VariableList.size());
    nDataSet = static_cast<std::int32_t>(DataSetList.size());
    layOut(imageBase);
}

void VariableImage::layOut(std::uint32_t imageBase) {
    // Kept in 64 bits so that an oversized list is measured, not wrapped, and refused on writing.
    std::uint64_t address = std::uint64_t{imageBase} + kHeaderSize;
    Variable_Add = static_cast<std::uint32_t>(address);
    address += kVariableEntrySize * VariableList.size();
    DataSet_Add = static_cast<std::uint32_t>(address);
    address += kDataSetEntrySize * DataSetList.size();
    for (DataSetRecord& d : DataSetList) {
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
    for (VariableRecord& v : VariableList) {
        v.bType_Add = at(variableTexts, v.bType);
        v.hostname_Add = at(variableTexts, v.hostname);
        v.reference_Add = at(variableTexts, v.reference);
    }
    for (DataSetRecord& d : DataSetList) {
        d.goose_name_Add = at(dataSetTexts, d.goose_name);
        d.reference_Add = at(dataSetTexts, d.reference);
        d.hostname_Add = at(dataSetTexts, d.hostname);
        for (MemberRecord& m : d.VariableList) {
            m.bType_Add = at(memberTexts, m.bType);
            m.reference_Add = at(memberTexts, m.reference);
        }
    }
    m_imageSize = memberTexts + memberStrings.size() - imageBase;
}

std::size_t VariableImage::writeImage(std::size_t position, std::vector<std::uint8_t>& buffer,
                                      std::size_t limit) const {
    if (m_imageSize > limit) {
        throw ConfigError(
            ErrorCode::VariableImageTooLarge,
            {std::to_string(m_imageSize), std::to_string(m_imageSize - limit), std::to_string(limit)});
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

    for (const VariableRecord& v : VariableList) {
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
    for (const DataSetRecord& d : DataSetList) {
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
    for (const DataSetRecord& d : DataSetList) {
        for (const MemberRecord& m : d.VariableList) {
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
