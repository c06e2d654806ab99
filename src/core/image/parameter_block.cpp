#include "core/image/parameter_block.h"
#include "core/common/atomic_file.h"
#include "core/common/path_text.h"

#include "core/common/config_error.h"
#include "core/common/numbers.h"
#include "core/image/little_endian.h"
#include "core/image/variable_image.h"
#include "core/xml/xml.h"

#include <algorithm>
#include <optional>
#include <string>

namespace sw::image {

namespace {

constexpr std::uint32_t kBaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr std::uint32_t kBaudRateOutOfTable = 9600;

ParameterBytes makeDefaultBlock() {
    ParameterBytes block{};
    putU32(&block[0x000], 250000);
    putU32(&block[0x004], 250000);
    putU32(&block[0x00C], 9600);
    const std::uint8_t address[] = {192, 168, 2, 205, 255, 255, 255, 0, 255, 255, 255, 255};
    std::copy(std::begin(address), std::end(address), block.begin() + kIpAddressOffset);
    putU16(&block[0x034], 10000);
    putU16(&block[0x036], 10001);
    putU16(&block[0x038], 10001);
    std::fill(block.begin() + kDataBitsOffset, block.begin() + kDataBitsOffset + 8, kDataBits);
    return block;
}

// The text of one key of the parameter file, or nothing when the element is missing or holds
// elements instead of text: both take the key's missing-element fallback.
class ParGenKeys {
public:
    explicit ParGenKeys(pugi::xml_node parameters) : m_parameters(parameters) {}

    std::optional<std::string> text(std::string_view key) const { return xml::childText(m_parameters, key); }

    std::int32_t integer(std::string_view key, std::int32_t notInteger, std::int32_t missing) const {
        const auto value = text(key);
        if (!value) {
            return missing;
        }
        return parseInteger(*value).value_or(notInteger);
    }

    std::uint8_t byte(std::string_view key, std::int32_t notInteger, std::int32_t missing) const {
        return static_cast<std::uint8_t>(integer(key, notInteger, missing));
    }

private:
    pugi::xml_node m_parameters;
};

std::uint32_t baudRate(std::int32_t index) {
    if (index < 0 || index >= static_cast<std::int32_t>(std::size(kBaudRates))) {
        return kBaudRateOutOfTable;
    }
    return kBaudRates[index];
}

} // namespace

const ParameterBytes& defaultParameterBlock() {
    static const ParameterBytes block = makeDefaultBlock();
    return block;
}

std::uint32_t parameterChecksum(const std::uint8_t* block) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < kChecksumOffset; ++i) {
        sum += block[i];
    }
    return sum;
}

void ParameterBlock::setDefaultParameters() {
    m_bytes = defaultParameterBlock();
}

void ParameterBlock::loadParameterFile(const std::filesystem::path& parGenFile, VariableImage& client) {
    // Only a file that is not there means "defaults"; one that cannot be looked at must not silently
    // give a default image.
    std::error_code error;
    const bool present = std::filesystem::exists(parGenFile, error);
    if (error) {
        throw ConfigError("Cannot read the file \"" + utf8Of(parGenFile) + "\": " + error.message());
    }
    if (!present) {
        return;
    }
    pugi::xml_document document;
    xml::loadFile(document, parGenFile, limits::kSettingsFile);
    // The parameters are the children of the first node, whatever it is: a declaration or comment in
    // front of the root leaves every key missing, as the communication dialog reads it too.
    const ParGenKeys keys(xml::firstElement(document));

    const std::uint8_t ip[4] = {
        keys.byte("IEC61850_Client_IP1", 192, 192),
        keys.byte("IEC61850_Client_IP2", 168, 168),
        keys.byte("IEC61850_Client_IP3", 0, 0),
        keys.byte("IEC61850_Client_IP4", 10, 10),
    };
    std::copy(std::begin(ip), std::end(ip), m_bytes.begin() + kIpAddressOffset);

    const std::uint8_t mask[4] = {
        keys.byte("IEC61850_Client_SM1", 255, 255),
        keys.byte("IEC61850_Client_SM2", 255, 255),
        keys.byte("IEC61850_Client_SM3", 255, 255),
        keys.byte("IEC61850_Client_SM4", 255, 0),
    };
    std::copy(std::begin(mask), std::end(mask), m_bytes.begin() + kSubnetMaskOffset);

    std::uint8_t gateway[4] = {
        keys.byte("IEC61850_Client_GAT1", 192, 192),
        keys.byte("IEC61850_Client_GAT2", 168, 168),
        keys.byte("IEC61850_Client_GAT3", 0, 0),
        keys.byte("IEC61850_Client_GAT4", 1, 1),
    };
    if (keys.text("IEC61850_Client_En_GAT") != "1") {
        std::fill(std::begin(gateway), std::end(gateway), 0xFF);
    }
    std::copy(std::begin(gateway), std::end(gateway), m_bytes.begin() + kGatewayOffset);

    client.vLan = keys.integer("IEC61850_Client_VLAN", 0, 0);
    client.appID = keys.integer("IEC61850_Client_Application_ID", 0, 0);

    // Index 0 of the serial list is RS232, which the device marks with 1.
    m_bytes[kSerialTypeOffset] = keys.text("SERIAL_SERIAL") == "0" ? 1 : 0;

    const std::uint32_t baud = baudRate(keys.integer("SERIAL_BAUDRATE", 7, 7));
    putU32(&m_bytes[kBaudRateOffset], baud);
    putU32(&m_bytes[kBaudRateCopyOffset], baud);

    const std::uint8_t parity = keys.byte("SERIAL_PARITY", 0, 0);
    m_bytes[kParityOffset] = parity;
    m_bytes[kParityCopyOffset] = parity;

    // The list stores index 1 for two stop bits; the device wants the count itself.
    const std::int32_t stopIndex = keys.integer("SERIAL_STOPBITS", 0, 0);
    const auto stopBits = static_cast<std::uint8_t>(stopIndex == 1 ? 2 : stopIndex);
    m_bytes[kStopBitsOffset] = stopBits;
    m_bytes[kStopBitsCopyOffset] = stopBits;

    m_bytes[kDataBitsOffset] = kDataBits;
    m_bytes[kDataBitsCopyOffset] = kDataBits;
}

void ParameterBlock::storeImageAddress(std::uint32_t address) {
    putU32(&m_bytes[kImageAddressOffset], address);
}

std::size_t ParameterBlock::writeParameterBlock(std::size_t position, std::vector<std::uint8_t>& buffer) {
    putU32(&m_bytes[kChecksumOffset], parameterChecksum(m_bytes.data()));
    if (buffer.size() < position + kParameterBlockSize) {
        buffer.resize(position + kParameterBlockSize);
    }
    std::copy(m_bytes.begin(), m_bytes.end(), buffer.begin() + static_cast<std::ptrdiff_t>(position));
    return position + kParameterBlockSize;
}

} // namespace sw::image
