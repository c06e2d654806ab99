#pragma once

#include "core/common/error_texts.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace sw {

// The one exception type of the system. It carries what went wrong as a code and the texts that fill the
// code's places, so that a window can say it in the user's language; what() is the English sentence the
// companion prints.
class ConfigError : public std::runtime_error {
public:
    // A sentence without a code of its own: shown as it stands in every language.
    explicit ConfigError(const std::string& english)
        : std::runtime_error(english), m_code(ErrorCode::Message), m_arguments{english} {}
    ConfigError(ErrorCode code, std::vector<std::string> arguments)
        : std::runtime_error(fillPlaces(englishErrorText(code), arguments)), m_code(code),
          m_arguments(std::move(arguments)) {}

    ErrorCode code() const { return m_code; }
    const std::vector<std::string>& arguments() const { return m_arguments; }

private:
    ErrorCode m_code;
    std::vector<std::string> m_arguments;
};

} // namespace sw
