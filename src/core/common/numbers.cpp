#include "core/common/numbers.h"

#include "core/common/trim.h"
#include "core/platform/locale.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>

namespace sw {

namespace {

bool isBlank(char c) {
    return c == ' ' || (static_cast<unsigned char>(c) < 32 && c != 0);
}

} // namespace

std::optional<std::int32_t> parseInteger(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > 2147483648LL) {
            return std::nullopt;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > 2147483647LL) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::optional<double> parseFloat(std::string_view text, char decimalSeparator) {
    text = trimmedBy(text, isBlank);
    if (text.empty()) {
        return std::nullopt;
    }
    std::string normal;
    normal.reserve(text.size());
    for (char c : text) {
        if (c == decimalSeparator) {
            normal += '.';
        } else if (c == '.' || c == ',') {
            return std::nullopt;
        } else if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == 'e' || c == 'E') {
            normal += c;
        } else {
            return std::nullopt;
        }
    }
    std::string_view digits = normal;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

bool checkFloat(std::string_view text, char decimalSeparator, float& value) {
    std::string unified(text);
    const char other = decimalSeparator == '.' ? ',' : '.';
    for (char& c : unified) {
        if (c == other) {
            c = decimalSeparator;
        }
    }
    const auto parsed = parseFloat(unified, decimalSeparator);
    if (!parsed || std::fabs(*parsed) > 3.4028234663852886e38) {
        value = 1.0F;
        return false;
    }
    value = static_cast<float>(*parsed);
    return true;
}

char decimalSeparatorFrom(std::string_view regionalSetting) {
    if (!regionalSetting.empty() && (regionalSetting.front() == ',' || regionalSetting.front() == '.')) {
        return regionalSetting.front();
    }
    return ',';
}

char userDecimalSeparator() {
    return decimalSeparatorFrom(platform::userDecimalSymbol());
}

} // namespace sw
