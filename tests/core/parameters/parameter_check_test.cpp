#include "core/parameters/parameter_check.h"
#include "core/parameters/parameter_fields.h"
#include "core/parameters/parameter_input.h"
#include "core/parameters/parameter_set.h"

#include "core/common/config_error.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace {

TEST(ParameterCheck, ByteFieldsAcceptOnlyWholeNumbersFrom0To255) {
    for (const char* text : {"0", "255", "010", " 7", "+1", "-0"}) {
        EXPECT_TRUE(sw::isByteText(text)) << text;
    }
    for (const char* text : {"", " ", "256", "-1", "1.0", "0x1", "1 ", "abc", "99999999999"}) {
        EXPECT_FALSE(sw::isByteText(text)) << text;
    }
}

TEST(ParameterCheck, DefaultsPass) {
    EXPECT_EQ(sw::checkParameters(sw::ParameterSet{}), std::nullopt);
}

TEST(ParameterCheck, FirstFailingRuleGivesItsMessage) {
    struct Case {
        const char* what;
        std::function<void(sw::ParameterSet&)> change;
        std::optional<int> message;
    };
    const Case cases[] = {
        {"IP1", [](auto& s) { s.IEC61850_Client_IP1 = "256"; }, 649},
        {"IP2 empty before SM1", [](auto& s) { s.IEC61850_Client_IP2 = "", s.IEC61850_Client_SM1 = "256"; },
         650},
        {"IP3", [](auto& s) { s.IEC61850_Client_IP3 = "x"; }, 651},
        {"IP4", [](auto& s) { s.IEC61850_Client_IP4 = "-1"; }, 652},
        {"SM1", [](auto& s) { s.IEC61850_Client_SM1 = "256"; }, 653},
        {"SM4", [](auto& s) { s.IEC61850_Client_SM4 = ""; }, 656},
        {"GAT1 used", [](auto& s) { s.IEC61850_Client_En_GAT = true, s.IEC61850_Client_GAT1 = "abc"; }, 657},
        {"GAT3 used", [](auto& s) { s.IEC61850_Client_En_GAT = true, s.IEC61850_Client_GAT3 = "300"; }, 659},
        {"GAT4 used", [](auto& s) { s.IEC61850_Client_En_GAT = true, s.IEC61850_Client_GAT4 = ""; }, 660},
        {"gateway unused is unchecked",
         [](auto& s) { s.IEC61850_Client_GAT1 = "abc", s.IEC61850_Client_GAT3 = "300"; }, std::nullopt},
        {"gateway before stop bits",
         [](auto& s) {
             s.IEC61850_Client_En_GAT = true, s.IEC61850_Client_GAT2 = "a";
             s.SERIAL_PARITY = 2, s.SERIAL_STOPBITS = 1;
         },
         658},
        {"two stop bits with even parity", [](auto& s) { s.SERIAL_PARITY = 2, s.SERIAL_STOPBITS = 1; }, 763},
        {"two stop bits with odd parity", [](auto& s) { s.SERIAL_PARITY = 1, s.SERIAL_STOPBITS = 1; }, 763},
        {"two stop bits without parity", [](auto& s) { s.SERIAL_PARITY = 0, s.SERIAL_STOPBITS = 1; },
         std::nullopt},
        {"no selection counts as none", [](auto& s) { s.SERIAL_PARITY = -1, s.SERIAL_STOPBITS = 1; },
         std::nullopt},
        {"VLAN and application id unchecked",
         [](auto& s) { s.IEC61850_Client_VLAN = "x", s.IEC61850_Client_Application_ID = "x"; }, std::nullopt},
    };
    for (const Case& c : cases) {
        sw::ParameterSet set;
        c.change(set);
        EXPECT_EQ(sw::checkParameters(set), c.message) << c.what;
    }
}

TEST(ParameterInput, VlanTakesAtMostEightDigits) {
    EXPECT_TRUE(sw::acceptsVlanInput(""));
    EXPECT_TRUE(sw::acceptsVlanInput("12345678"));
    EXPECT_FALSE(sw::acceptsVlanInput("123456789"));
    EXPECT_FALSE(sw::acceptsVlanInput("12a"));
    EXPECT_FALSE(sw::acceptsVlanInput("-1"));
}

TEST(ParameterInput, VlanEditsMayOnlyInsertDigits) {
    struct Case {
        const char* before;
        const char* after;
        bool accepted;
    };
    for (const Case& c :
         {Case{"12", "132", true}, Case{"12", "1x2", false}, Case{"1234567", "12345678", true},
          Case{"12345678", "123456789", false}, Case{"abc", "ab", true}, Case{"abc", "ab1c", true},
          Case{"123456789", "12345678", true}, Case{"123456789", "1234567890", false}, Case{"123", "4", true},
          Case{"11", "111", true}, Case{"11", "1a1", false}}) {
        EXPECT_EQ(sw::acceptsVlanEdit(c.before, c.after), c.accepted) << c.before << " -> " << c.after;
    }
}

TEST(ParameterInput, DotMovesThroughTheTwelveByteFieldsAndStopsAtTheLast) {
    EXPECT_EQ(sw::nextByteField(0), 1u);
    EXPECT_EQ(sw::nextByteField(3), 4u);
    EXPECT_EQ(sw::nextByteField(10), 11u);
    EXPECT_EQ(sw::nextByteField(11), std::nullopt);
}

TEST(ParameterAssignment, SetsEachKindOfValue) {
    sw::ParameterSet set;
    sw::assignParameter(set, "IEC61850_Client_IP1", "010");
    sw::assignParameter(set, "IEC61850_Client_En_GAT", "1");
    sw::assignParameter(set, "IEC61850_Client_Application_ID", " x");
    sw::assignParameter(set, "SERIAL_BAUDRATE", "3");
    sw::assignParameter(set, "SERIAL_PARITY", "-1");
    EXPECT_EQ(set.IEC61850_Client_IP1, "010");
    EXPECT_TRUE(set.IEC61850_Client_En_GAT);
    EXPECT_EQ(set.IEC61850_Client_Application_ID, " x");
    EXPECT_EQ(set.SERIAL_BAUDRATE, 3);
    EXPECT_EQ(set.SERIAL_PARITY, -1);
}

TEST(ParameterAssignment, RefusesWhatTheDialogCouldNotHold) {
    const std::pair<const char*, const char*> refused[] = {
        {"IEC61850_Client_IP5", "1"},       {"iec61850_client_ip1", "1"},
        {"IEC61850_Client_En_GAT", "true"}, {"SERIAL_BAUDRATE", "8"},
        {"SERIAL_BAUDRATE", "-2"},          {"SERIAL_SERIAL", "abc"},
        {"IEC61850_Client_VLAN", "1a"},     {"IEC61850_Client_VLAN", "123456789"},
    };
    for (const auto& [name, value] : refused) {
        sw::ParameterSet set;
        EXPECT_THROW(sw::assignParameter(set, name, value), sw::ConfigError) << name << "=" << value;
        EXPECT_EQ(set, sw::ParameterSet{}) << name << "=" << value;
    }
}

TEST(ParameterFields, StoredTextsFollowFileConventions) {
    sw::ParameterSet set;
    set.IEC61850_Client_En_GAT = true;
    set.SERIAL_BAUDRATE = -1;
    EXPECT_EQ(sw::storedText(set, sw::kParameterFields[12]), "1");
    EXPECT_EQ(sw::storedText(set, sw::kParameterFields[16]), "-1");
    EXPECT_EQ(sw::storedText(set, sw::kParameterFields[14]), "0");
}

} // namespace

TEST(ParameterWarnings, OnlyAVlanIndexATagCannotCarryIsSaid) {
    const struct {
        const char* vlan;
        bool warned;
    } cases[] = {{"0", false}, {"4095", false}, {"4096", true}, {"99999999", true}, {"", false}};
    for (const auto& c : cases) {
        sw::ParameterSet set;
        set.IEC61850_Client_VLAN = c.vlan;
        const auto warnings = sw::parameterWarnings(set);
        EXPECT_EQ(warnings.size(), c.warned ? 1U : 0U) << c.vlan;
        if (c.warned) {
            EXPECT_NE(warnings[0].find(c.vlan), std::string::npos) << warnings[0];
        }
    }
}
