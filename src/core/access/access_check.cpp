#include "core/access/access_check.h"

#include "core/common/trim.h"

#include "core/common/ip_address.h"
#include "core/common/numbers.h"
#include "core/language/lang_table.h"

#include <array>
#include <cctype>
#include <cstdint>

namespace sw::access {

namespace {

bool isNone(std::string_view text) {
    const std::string_view word = trimmedOfControls(text);
    static constexpr std::string_view kNone = "NONE";
    if (word.size() != kNone.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(word[i])) != kNone[i]) {
            return false;
        }
    }
    return true;
}

bool integerWithin(const std::string& text, std::int32_t low, std::int32_t high) {
    const std::int32_t value = parseInteger(text).value_or(-1);
    return value >= low && value <= high;
}

std::optional<int> failedRule(const VariableCells& row, char decimalSeparator) {
    const auto cell = [&row](std::size_t attribute) -> const std::string& {
        return row[tableColumn(attribute)];
    };
    std::array<std::string, 4> parts;
    if (!checkIpAddress(cell(VariableColumn::IPAddress), parts)) {
        return kTextAccessBadIPAddress;
    }
    if (!integerWithin(cell(VariableColumn::Port), 0, 65535)) {
        return kTextAccessBadPort;
    }
    if (isTicked(cell(VariableColumn::OnTimer)) && !integerWithin(cell(VariableColumn::Time), 1, 100000000)) {
        return kTextAccessBadTime;
    }
    if (!integerWithin(cell(VariableColumn::Position), 0, kLastPosition)) {
        return kTextAccessBadPosition;
    }
    float factor = 0;
    if (!isNone(cell(VariableColumn::MoltFact)) &&
        !checkFloat(cell(VariableColumn::MoltFact), decimalSeparator, factor)) {
        return kTextAccessBadFactor;
    }
    return std::nullopt;
}

} // namespace

bool isTicked(std::string_view cell) {
    return trimmedOfControls(cell) == "Y";
}

std::optional<AccessCheckFailure> checkAccessList(const AccessList& list, char decimalSeparator) {
    const auto& rows = list.variables();
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (rows[r][tableColumn(VariableColumn::bType)].empty()) {
            continue;
        }
        if (const std::optional<int> text = failedRule(rows[r], decimalSeparator)) {
            return AccessCheckFailure{r + 1, *text};
        }
    }
    return std::nullopt;
}

std::string accessCheckMessage(const LangTable& texts, const AccessCheckFailure& failure) {
    std::string message =
        texts.Get(kTextAccessErrorRow) + std::to_string(failure.row) + texts.Get(failure.text);
    if (failure.text == kTextAccessBadPosition) {
        message += std::to_string(kLastPosition);
    }
    return message;
}

} // namespace sw::access
