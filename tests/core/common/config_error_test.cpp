#include "core/common/config_error.h"
#include "core/common/error_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sw {
namespace {

TEST(ConfigError, CarriesItsCodeAndArgumentsAndSaysTheEnglishSentence) {
    const ConfigError error(ErrorCode::FileOverLimit, {"/p/Ü.xml", "300", "256"});
    EXPECT_EQ(error.code(), ErrorCode::FileOverLimit);
    EXPECT_EQ(error.arguments(), (std::vector<std::string>{"/p/Ü.xml", "300", "256"}));
    EXPECT_STREQ(error.what(),
                 "Cannot read the file \"/p/Ü.xml\": it holds 300 bytes, more than the limit of "
                 "256 bytes for a file of its kind");

    const ConfigError plain("Something of its own: 100%1");
    EXPECT_EQ(plain.code(), ErrorCode::Message);
    EXPECT_STREQ(plain.what(), "Something of its own: 100%1");
    EXPECT_EQ(plain.arguments(), (std::vector<std::string>{"Something of its own: 100%1"}));
}

TEST(ConfigError, PlacesAreFilledOnceAndArgumentsAreNeverReadAsPlaces) {
    const struct {
        const char* text;
        std::vector<std::string> arguments;
        const char* filled;
    } cases[] = {
        {"%2 before %1", {"a", "b"}, "b before a"},
        {"%1 and %1", {"x"}, "x and x"},
        {"%1", {"%2"}, "%2"},                  // an argument holding a place stays as it is
        {"%3 unfilled", {"a"}, "%3 unfilled"}, // a place without an argument
        {"100%% of %1", {"it"}, "100% of it"},
        {"ends with %", {}, "ends with %"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fillPlaces(c.text, c.arguments), c.filled) << c.text;
    }
    EXPECT_EQ(englishErrorText(ErrorCode::Message), "%1");
}

} // namespace
} // namespace sw
