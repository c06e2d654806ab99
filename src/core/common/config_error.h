#pragma once

#include <stdexcept>
#include <string>

namespace sw {

// The one exception type of the system; its text is what the user reads.
class ConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace sw
