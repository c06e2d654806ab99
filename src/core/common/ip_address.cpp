#include "core/common/ip_address.h"

#include "core/common/trim.h"

#include "core/common/config_error.h"
#include "core/common/numbers.h"

#include <algorithm>
#include <charconv>

namespace sw {

namespace {

int numberOrInvalid(const std::string& text) {
    // Only plain decimal digits count here; anything else is out of range.
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return 1000;
    }
    const auto value = parseInteger(text);
    return value ? *value : 1000;
}

} // namespace

bool checkIpAddress(std::string_view text, std::array<std::string, 4>& parts) {
    std::string rest(trimmedOfControls(text));
    for (int i = 0; i < 3; ++i) {
        const auto dot = rest.find('.');
        if (dot == std::string::npos) {
            return false;
        }
        parts[static_cast<std::size_t>(i)] = trimmedOfControls(std::string_view(rest).substr(0, dot));
        rest = trimmedOfControls(std::string_view(rest).substr(dot + 1));
    }
    parts[3] = rest;
    for (const auto& part : parts) {
        const int value = numberOrInvalid(part);
        if (value < 0 || value > 255) {
            return false;
        }
    }
    return true;
}

std::optional<std::string> canonicalIpAddress(std::string_view text) {
    // The numbers checkIpAddress accepts, read in one pass: leading zeros are decimal.
    std::string_view rest = trimmedOfControls(text);
    char plain[16];
    char* out = plain;
    for (int part = 0; part < 4; ++part) {
        const std::size_t dot = part < 3 ? rest.find('.') : std::string_view::npos;
        if (part < 3 && dot == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view digits = trimmedOfControls(rest.substr(0, dot));
        unsigned value = 0;
        for (const char c : digits) {
            if (c < '0' || c > '9') {
                return std::nullopt;
            }
            value = std::min(value * 10 + static_cast<unsigned>(c - '0'), 1000U);
        }
        if (digits.empty() || value > 255) {
            return std::nullopt;
        }
        if (part > 0) {
            *out++ = '.';
        }
        out = std::to_chars(out, plain + sizeof plain, value).ptr;
        rest = part < 3 ? rest.substr(dot + 1) : std::string_view();
    }
    return std::string(plain, out);
}

std::uint32_t ipv4Address(std::string_view text) {
    std::array<std::string, 4> parts;
    if (!checkIpAddress(text, parts)) {
        throw ConfigError(ErrorCode::NotAnIpv4Address, {std::string(text)});
    }
    std::uint32_t address = 0;
    for (const std::string& part : parts) {
        address = (address << 8) | static_cast<std::uint32_t>(parseInteger(part).value_or(0));
    }
    return address;
}

} // namespace sw
