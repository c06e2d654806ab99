#include "core/parameters/parameter_check.h"

#include "core/common/numbers.h"

#include <array>
#include <string>

namespace sw {

namespace {

constexpr int kTextFirstAddressByteError = 649;
constexpr int kTextFirstMaskByteError = 653;
constexpr int kTextFirstGatewayByteError = 657;
constexpr int kTextTwoStopBitsNeedNoParity = 763;

// The first of `fields` that is not a byte gives `firstText` plus its position.
std::optional<int> firstNonByte(const std::array<const std::string*, 4>& fields, int firstText) {
    int text = firstText;
    for (const std::string* field : fields) {
        if (!isByteText(*field)) {
            return text;
        }
        ++text;
    }
    return std::nullopt;
}

} // namespace

bool isByteText(std::string_view text) {
    const std::optional<std::int32_t> value = parseInteger(text);
    return value && *value >= 0 && *value <= 255;
}

std::optional<int> checkParameters(const ParameterSet& set) {
    if (auto failed = firstNonByte({&set.IEC61850_Client_IP1, &set.IEC61850_Client_IP2,
                                    &set.IEC61850_Client_IP3, &set.IEC61850_Client_IP4},
                                   kTextFirstAddressByteError)) {
        return failed;
    }
    if (auto failed = firstNonByte({&set.IEC61850_Client_SM1, &set.IEC61850_Client_SM2,
                                    &set.IEC61850_Client_SM3, &set.IEC61850_Client_SM4},
                                   kTextFirstMaskByteError)) {
        return failed;
    }
    if (set.IEC61850_Client_En_GAT) {
        if (auto failed = firstNonByte({&set.IEC61850_Client_GAT1, &set.IEC61850_Client_GAT2,
                                        &set.IEC61850_Client_GAT3, &set.IEC61850_Client_GAT4},
                                       kTextFirstGatewayByteError)) {
            return failed;
        }
    }
    if (set.SERIAL_STOPBITS > 0 && set.SERIAL_PARITY > 0) {
        return kTextTwoStopBitsNeedNoParity;
    }
    return std::nullopt;
}

std::vector<std::string> parameterWarnings(const ParameterSet& set) {
    constexpr std::int32_t kLargestVlan = 4095;
    std::vector<std::string> warnings;
    if (const std::optional<std::int32_t> vlan = parseInteger(set.IEC61850_Client_VLAN);
        vlan && *vlan > kLargestVlan) {
        warnings.push_back("Communication parameters: the VLAN index " + set.IEC61850_Client_VLAN +
                           " is above 4095, which no VLAN tag can carry");
    }
    return warnings;
}

} // namespace sw
