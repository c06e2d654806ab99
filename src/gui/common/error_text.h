#pragma once

#include <QString>

#include <exception>

namespace sw {
class LangTable;
}

namespace sw::gui {

// The string table errors are said in; the main window sets it to the program's texts. Without one,
// errors read in English.
void setErrorTexts(const LangTable* texts);

// What the user reads for an error: a ConfigError in the chosen language, any other error as it says.
QString errorText(const std::exception& error);
// The same for an error caught elsewhere, such as on a background thread; anything not derived from
// std::exception reads as an unknown error.
QString errorText(const std::exception_ptr& error);

} // namespace sw::gui
