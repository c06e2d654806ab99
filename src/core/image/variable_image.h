#pragma once

#include "core/access/access_file.h"
#include "core/access/access_schema.h"
#include "core/image/text_area.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The variable image: the access list in the form the converter reads it from address Image_Base on.
namespace sw::image {

inline constexpr std::size_t kHeaderSize = access::kImageHeaderSize;
inline constexpr std::size_t kVariableEntrySize = access::kVariableEntrySize;
inline constexpr std::size_t kDataSetEntrySize = access::kDataSetEntrySize;
inline constexpr std::size_t kMemberEntrySize = access::kMemberEntrySize;
inline constexpr std::size_t kVariableImageLimit = access::kVariableImageLimit;
inline constexpr std::size_t kMaxDataSetMembers = access::kMaxDataSetMembers;
inline constexpr std::uint8_t kDataSetOptions = 0x04;

struct VariableRecord {
    std::array<std::uint8_t, 2> fc{};
    std::uint8_t rw = 0;
    std::uint8_t bit_address = 0;
    std::uint8_t options = 0;
    std::uint8_t conversion = 0;
    std::uint16_t position = 0;
    std::uint16_t tcpPort = 0;
    std::uint32_t time = 0;
    float moltFactor = 0;
    ImageString bType;
    ImageString hostname;
    ImageString reference;
    std::uint32_t bType_Add = 0;
    std::uint32_t hostname_Add = 0;
    std::uint32_t reference_Add = 0;
};

struct MemberRecord {
    std::uint16_t position = 0;
    std::uint8_t bitAddress = 0;
    std::uint8_t conversion = 0;
    float moltFactor = 0;
    ImageString bType;
    ImageString reference;
    std::uint32_t bType_Add = 0;
    std::uint32_t reference_Add = 0;
};

// The image's data-set record; the access editor's selected data set is another type.
struct DataSetRecord {
    std::uint8_t nVariable = 0;
    std::uint8_t options = 0;
    std::uint16_t tcpPort = 0;
    std::uint8_t enGoose = 0;
    std::uint32_t time = 0;
    ImageString goose_name;
    ImageString reference;
    ImageString hostname;
    std::vector<MemberRecord> VariableList;
    std::uint32_t goose_name_Add = 0;
    std::uint32_t reference_Add = 0;
    std::uint32_t hostname_Add = 0;
    std::uint32_t VariableList_Add = 0;
};

struct VariableImage {
    std::int32_t nVariable = 0;
    std::int32_t nDataSet = 0;
    std::int32_t vLan = 0;
    std::int32_t appID = 0;
    std::vector<VariableRecord> VariableList;
    std::uint32_t Variable_Add = 0;
    std::vector<DataSetRecord> DataSetList;
    std::uint32_t DataSet_Add = 0;

    void clear();

    // Reads the access file and lays out every table and string for an image placed at `imageBase`.
    // A missing file leaves both lists empty. `decimalSeparator` is the one mark accepted in MoltFact.
    // Throws ConfigError, naming the file and the row, when the file does not parse, lacks an element
    // or attribute the image needs, or holds a data set of more than 255 members.
    void loadAccessList(const std::filesystem::path& accessFile, std::uint32_t imageBase,
                        char decimalSeparator);

    // Writes the image laid out by loadAccessList from `position` on, growing `buffer` as needed, and
    // returns the position after its last byte. Throws ConfigError, writing nothing, when the image
    // would be longer than `limit` bytes.
    std::size_t writeImage(std::size_t position, std::vector<std::uint8_t>& buffer, std::size_t limit) const;

    // Length in bytes of the image as laid out; valid after loadAccessList.
    std::uint64_t imageSize() const { return m_imageSize; }

    // The string area's three sections, each in layout order: the variables' texts, the data sets'
    // texts, the members' texts.
    TextArea variableStrings;
    TextArea dataSetStrings;
    TextArea memberStrings;

private:
    void layOut(std::uint32_t imageBase);

    std::uint64_t m_imageSize = kHeaderSize;
};

} // namespace sw::image
