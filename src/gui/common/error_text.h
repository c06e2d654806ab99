#pragma once

#include <QString>

#include <exception>

namespace sw::gui {

// What the user reads for an error: a ConfigError in the chosen language (the table of
// setShownTexts()), any other error as it says.
QString errorText(const std::exception& error);
// The same for an error caught elsewhere, such as on a background thread; anything not derived from
// std::exception reads as an unknown error.
QString errorText(const std::exception_ptr& error);

} // namespace sw::gui
