#include "core/image/variable_image.h"

#include "core/access/access_schema.h"

#include "core/common/config_error.h"
#include "core/common/numbers.h"
#include "core/common/path_text.h"
#include "core/common/utf8.h"
#include "core/image/little_endian.h"

#include <algorithm>
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

// Turns the access file's texts into the image's typed values through the access list's rules, stopping
// at the first thing the check refuses or the image cannot take, with a message naming the file, the row
// and the attribute.
class ImageValues {
public:
    ImageValues(const std::filesystem::path& file, char decimalSeparator)
        : m_file(file), m_context{decimalSeparator, 0} {}

    ConfigError error(const std::string& what) const {
        return ConfigError(ErrorCode::AccessFileNotBuildable, {utf8Of(m_file), what});
    }
    [[noreturn]] void fail(const std::string& what) const { throw error(what); }

    const access::CellContext& context() const { return m_context; }
    void countCatalogItem() { ++m_context.catalogSize; }

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

    // Stops at the row's first fault, worded as the check words it.
    void refuseFaults(std::vector<access::CellFault>& faults, const Where& where) const {
        if (faults.empty()) {
            return;
        }
        access::CellFault& fault = faults.front();
        fault.row = where.row;
        fault.member = where.member;
        fail(fault.englishMessage());
    }

    // A text in image form; one the device cannot store stops the build at its row.
    ImageString text(TextArea& strings, std::string_view value, std::string_view name,
                     const Where& where) const {
        try {
            return strings.append(value.data(), value.size());
        } catch (const ConfigError& fault) {
            fail("the attribute \"" + std::string(name) + "\" in " + where.describe() + " " + fault.what());
        }
    }

private:
    const std::filesystem::path& m_file;
    access::CellContext m_context;
};

std::uint8_t flagBit(bool set, std::uint8_t bit) {
    return set ? bit : std::uint8_t{0};
}

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
    access::VariableValues typed;
    std::vector<access::CellFault> faults;
    access::readVariable(a.cells, values.context(), typed, faults);
    values.refuseFaults(faults, where);
    v.fc[0] = static_cast<std::uint8_t>(typed.fc[0]);
    v.fc[1] = static_cast<std::uint8_t>(typed.fc[1]);
    v.tcpPort = typed.port;
    v.options = flagBit(typed.onChange, 0x01) | flagBit(typed.onCommand, 0x02) | flagBit(typed.onTimer, 0x04);
    v.time = typed.time;
    v.position = typed.position;
    v.bit_address = static_cast<std::uint8_t>(std::max<std::int8_t>(typed.startBit, 0));
    v.rw = typed.direction == access::Direction::Read ? 0 : 1;
    v.conversion = typed.conversion ? 1 : 0;
    v.moltFactor = typed.factor;
    // In the order the image lays them out.
    v.bType = values.text(strings, typed.bType, names[C::bType], where);
    v.hostname = values.text(strings, typed.address, names[C::IPAddress], where);
    v.reference = values.text(strings, typed.reference, names[C::Reference], where);
}

void takeMember(const ImageValues& values, const access::RowView<MemberColumn::Count>& a, std::size_t row,
                std::size_t member, TextArea& strings, MemberRecord& m) {
    using C = MemberColumn;
    const auto& names = access::kMemberAttributes;
    const Where where{access::kDataSetList, row, member};
    values.require(a, names, {C::bType, C::Reference, C::Position, C::StartBit, C::MoltFact}, where);
    access::MemberValues typed;
    std::vector<access::CellFault> faults;
    access::readMember(a.cells, values.context(), typed, faults);
    values.refuseFaults(faults, where);
    m.position = typed.position;
    m.bitAddress = static_cast<std::uint8_t>(std::max<std::int8_t>(typed.startBit, 0));
    m.conversion = typed.conversion ? 1 : 0;
    m.moltFactor = typed.factor;
    m.bType = values.text(strings, typed.bType, names[C::bType], where);
    m.reference = values.text(strings, typed.reference, names[C::Reference], where);
}

// The data set's own values and texts; its members follow one by one.
void takeDataSet(const ImageValues& values, const access::RowView<DataSetColumn::Count>& a, std::size_t row,
                 bool hasMemberList, std::size_t memberCount, TextArea& strings, DataSetRecord& d) {
    using C = DataSetColumn;
    const auto& names = access::kDataSetAttributes;
    const Where where{access::kDataSetList, row};
    values.require(a, names, {C::Port, C::Time, C::GooseName, C::Reference, C::IPAddress}, where);
    access::DataSetValues typed;
    std::vector<access::CellFault> faults;
    access::readDataSet(a.cells, values.context(), typed, faults);
    values.refuseFaults(faults, where);
    d.options = kDataSetOptions;
    d.tcpPort = typed.port;
    d.enGoose = typed.goose ? 1 : 0;
    d.time = typed.time;
    d.goose_name = values.text(strings, typed.gooseName, names[C::GooseName], where);
    d.reference = values.text(strings, typed.reference, names[C::Reference], where);
    d.hostname = values.text(strings, typed.address, names[C::IPAddress], where);
    if (!hasMemberList) {
        values.fail("the data set in " + where.describe() + " has no element \"" +
                    std::string(access::kMemberList) + "\"");
    }
    if (memberCount > kMaxDataSetMembers) {
        access::CellFault fault;
        fault.table = access::Table::DataSets;
        fault.row = row;
        fault.rule = static_cast<int>(ErrorCode::AccessTooManyMembers);
        fault.arguments = {std::to_string(memberCount), std::to_string(memberCount - kMaxDataSetMembers),
                           std::to_string(kMaxDataSetMembers)};
        values.fail(fault.englishMessage());
    }
    d.VariableList.reserve(memberCount);
    d.nVariable = static_cast<std::uint8_t>(memberCount);
}

// Builds the client's lists while the access file is read, so that its texts are never copied. A table
// whose only row has no "Index" is the editor's empty table and stands for no row.
class ImageIntake final : public access::AccessFileVisitor {
public:
    ImageIntake(VariableImage& client, ImageValues& values) : m_client(client), m_values(values) {}

    void outline(const access::AccessFileOutline& outline) override {
        if (!outline.hasRoot) {
            m_values.fail("it has no root element \"" + std::string(access::kRootElement) + "\"");
        }
        if (!outline.hasVariableList) {
            m_values.fail("its root has no element \"" + std::string(access::kVariableList) + "\"");
        }
        m_outline = outline;
        m_client.VariableList.reserve(outline.variableCount);
        m_client.DataSetList.reserve(outline.dataSetCount);
    }
    void catalogItem(const access::RowView<access::CatalogColumn::Count>&, std::size_t) override {
        m_values.countCatalogItem();
    }
    void variable(const access::RowView<VariableColumn::Count>& item, std::size_t row) override {
        if (access::isBlankTableRow(m_outline.variableCount, item, VariableColumn::Index)) {
            return;
        }
        takeVariable(m_values, item, row, m_client.variableStrings, m_client.VariableList.emplace_back());
    }
    void dataSet(const access::RowView<DataSetColumn::Count>& item, std::size_t row, bool hasMemberList,
                 std::size_t memberCount) override {
        m_skipMembers = access::isBlankTableRow(m_outline.dataSetCount, item, DataSetColumn::Index);
        if (m_skipMembers) {
            return;
        }
        takeDataSet(m_values, item, row, hasMemberList, memberCount, m_client.dataSetStrings,
                    m_client.DataSetList.emplace_back());
    }
    void member(const access::RowView<MemberColumn::Count>& item, std::size_t row,
                std::size_t member) override {
        if (m_skipMembers) {
            return;
        }
        takeMember(m_values, item, row, member, m_client.memberStrings,
                   m_client.DataSetList.back().VariableList.emplace_back());
    }

private:
    VariableImage& m_client;
    ImageValues& m_values;
    access::AccessFileOutline m_outline;
    bool m_skipMembers = false;
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
    ImageValues values(accessFile, decimalSeparator);
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
