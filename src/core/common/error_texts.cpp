#include "core/common/error_texts.h"

#include "core/common/indexed_texts.h"

namespace sw {

namespace {

// In code order; the static_assert below keeps every code in its place.
constexpr IndexedText<ErrorCode> kErrorTexts[] = {
    {ErrorCode::CannotReadFile, "Cannot read the file \"%1\": %2"},
    {ErrorCode::CannotWriteFile, "Cannot write the file \"%1\": %2"},
    {ErrorCode::CannotReplaceFile, "Cannot replace the file \"%1\": %2"},
    {ErrorCode::NotRegularFile, "Cannot read the file \"%1\": it is not a regular file"},
    {ErrorCode::FileOverLimit, "Cannot read the file \"%1\": it holds %2 bytes, more than the limit of %3 "
                               "bytes for a file of its kind"},
    {ErrorCode::FileGrowsOverLimit,
     "Cannot read the file \"%1\": it grows beyond the limit of %2 bytes for a file of its kind"},
    {ErrorCode::NoMemoryForFile, "Not enough memory to read the file \"%1\""},
    {ErrorCode::NotWellFormedXml, "The file \"%1\" is not well-formed XML: %2 (line %3, column %4)"},
    {ErrorCode::FileCannotBeLoaded, "The file \"%1\" could not be loaded."},
    {ErrorCode::NotACatalogFile, "\"%1\" is not a file that can be added to the catalog."},
    {ErrorCode::CannotCreateCatalog, "Cannot create the catalog folder \"%1\": %2"},
    {ErrorCode::CannotReadCatalogFile, "Cannot read the catalog file \"%1\": %2"},
    {ErrorCode::NoIedOfThatName, "The file \"%1\" holds no IED named \"%2\"."},
    {ErrorCode::AccessFileCharacter,
     "The access file \"%1\" cannot be read: the attribute \"%2\" in %3 refers to the character %4, which no "
     "text can hold"},
    {ErrorCode::AccessFileNotBuildable,
     "The access file \"%1\" cannot be built into the device image: %2. No image was written."},
    {ErrorCode::VariableImageTooLarge, "The variable image would take %1 bytes, %2 more than its limit of %3 "
                                       "bytes: shorten the access list. No "
                                       "image was written."},
    {ErrorCode::SclTooManyObjects, "The file \"%1\" is refused: its data types expand into more than %2 "
                                   "model objects, out of all proportion "
                                   "to its %3 bytes."},
    {ErrorCode::SclTooMuchText, "The file \"%1\" is refused: the references of its %2 model objects add up "
                                "to more than %3 bytes, out of "
                                "all proportion to its %4 bytes."},
    {ErrorCode::SclTooDeep, "The file \"%1\" nests its data types deeper than %2 levels."},
    {ErrorCode::SclModelTooLarge, "The file \"%1\" expands into more than %2 model objects."},
    {ErrorCode::SclNameTooLong,
     "The file \"%1\" has a %2 of %3 characters in the element \"%4\" at %5; SCL allows at most %6."},
    {ErrorCode::SettingsNotSaved, "The program settings could not be saved. %1"},
    {ErrorCode::JobFileWithoutRoot, "The update job file \"%1\" has no Ethernet_Update element at its top."},
    {ErrorCode::JobFileLayout, "The update job file \"%1\" is not laid out as expected: %2"},
    {ErrorCode::NotAnIpv4Address, "\"%1\" is not an IPv4 address of four numbers from 0 to 255."},
    {ErrorCode::EchoNotAllowed, "No ICMP echo may be sent to check the device address (%1)."},
    {ErrorCode::EchoNotSent, "The echo request to %1 could not be sent: %2."},
    {ErrorCode::EchoReplyUnreadable, "The echo reply of %1 could not be read: %2."},
    {ErrorCode::AccessFaultDataSetRow, "Error data set row %1"},
    {ErrorCode::AccessFaultMemberRow, "Error data set row %1 member %2"},
    {ErrorCode::AccessBadChoice, "!! %1 \"%2\" must be one of: %3"},
    {ErrorCode::AccessUnknownType, "!! bType \"%1\" is not a basic type an SCL file can name"},
    {ErrorCode::AccessBadFlag, "!! %1 must be Y or N, not \"%2\""},
    {ErrorCode::AccessBadStartBit, "!! Start Bit must be empty or between 0 and 7, not \"%1\""},
    {ErrorCode::AccessBadDeviceIndex, "!! Index \"%1\" names no device of the catalog (0 to %2)"},
    {ErrorCode::AccessEmptyCatalog, "!! Index \"%1\" names no device: the catalog is empty"},
    {ErrorCode::AccessEmptyCell, "!! %1 must not be empty"},
    {ErrorCode::AccessControlCharacter,
     "!! %1 holds the control character %2, which an XML file cannot hold"},
    {ErrorCode::AccessTooManyMembers,
     "!! The data set has %1 members, %2 more than the %3 a data set can hold"},
    {ErrorCode::AccessImageTooLarge, "The variable image would take %1 bytes, %2 more than the converter's "
                                     "limit of %3: shorten the access list"},
    {ErrorCode::AccessFileNotUtf8,
     "The access file \"%1\" cannot be read: the attribute \"%2\" in %3 is not UTF-8 text"},
    {ErrorCode::AccessFileNotSavable, "The access list cannot be saved: the attribute \"%1\" in %2 holds the "
                                      "control character %3, which an XML file cannot hold"},
};

static_assert(textsInIndexOrder(kErrorTexts, kFirstErrorText, kLastErrorText),
              "error texts must follow their codes without a gap");

} // namespace

std::string_view englishErrorText(ErrorCode code) {
    return englishTextOf(kErrorTexts, code, "%1");
}

std::string fillPlaces(std::string_view text, const std::vector<std::string>& arguments) {
    std::string out;
    out.reserve(text.size() + 64);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] == '%' && next == '%') {
            out += '%';
            ++i;
        } else if (text[i] == '%' && next >= '1' && next <= '9' &&
                   static_cast<std::size_t>(next - '1') < arguments.size()) {
            out += arguments[static_cast<std::size_t>(next - '1')];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace sw
