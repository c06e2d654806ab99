#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sw {

// What a ConfigError says, as a text of the string table: the code is the text's index, so a language
// file translates an error like any caption. %1, %2, ... in a text are the places its arguments fill.
enum class ErrorCode : int {
    Message = 0, // a sentence of its own, the same in every language
    CannotReadFile = 2000,
    CannotWriteFile = 2001,
    CannotReplaceFile = 2002,
    NotRegularFile = 2003,
    FileOverLimit = 2004,
    FileGrowsOverLimit = 2005,
    NoMemoryForFile = 2006,
    NotWellFormedXml = 2007,
    FileCannotBeLoaded = 2008,
    NotACatalogFile = 2009,
    CannotCreateCatalog = 2010,
    CannotReadCatalogFile = 2011,
    NoIedOfThatName = 2012,
    AccessFileCharacter = 2013,
    AccessFileNotBuildable = 2014,
    VariableImageTooLarge = 2015,
    SclTooManyObjects = 2016,
    SclTooMuchText = 2017,
    SclTooDeep = 2018,
    SclModelTooLarge = 2019,
    SclNameTooLong = 2020,
    SettingsNotSaved = 2021,
    JobFileWithoutRoot = 2022,
    JobFileLayout = 2023,
    NotAnIpv4Address = 2024,
    EchoNotAllowed = 2025,
    EchoNotSent = 2026,
    EchoReplyUnreadable = 2027,
    AccessFaultDataSetRow = 2028,
    AccessFaultMemberRow = 2029,
    AccessBadChoice = 2030,
    AccessUnknownType = 2031,
    AccessBadFlag = 2032,
    AccessBadStartBit = 2033,
    AccessBadDeviceIndex = 2034,
    AccessEmptyCatalog = 2035,
    AccessEmptyCell = 2036,
    AccessControlCharacter = 2037,
    AccessTooManyMembers = 2038,
    AccessImageTooLarge = 2039,
    AccessFileNotUtf8 = 2040,
    AccessFileNotSavable = 2041,
};

// The first and the last index of the errors' texts.
inline constexpr int kFirstErrorText = 2000;
inline constexpr int kLastErrorText = 2041;

// The English text of a code; for Message, "%1".
std::string_view englishErrorText(ErrorCode code);

// The text with %1 ... %9 replaced by the arguments; a place without an argument stays as it is, and
// "%%" stands for "%".
std::string fillPlaces(std::string_view text, const std::vector<std::string>& arguments);

} // namespace sw
