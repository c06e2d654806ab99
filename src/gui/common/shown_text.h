#pragma once

#include "core/language/window_texts.h"

#include <QString>

namespace sw {
class LangTable;
}

namespace sw::gui {

// The string table the windows' own texts and the errors are said in; the main window sets it to the
// program's texts. Without one, they read in English.
void setShownTexts(const LangTable* texts);
const LangTable* shownTexts();

// One of the windows' own texts in `texts`; English where the language leaves it blank.
QString shownText(const LangTable& texts, WindowText text);
// The same in the table of setShownTexts().
QString shownText(WindowText text);

} // namespace sw::gui
